// core/browser: the Browser interface that the GUI implements on Qt WebEngine and tests fake,
// and the navigation tracker that says when it is busy.
//
// The embedded browser as the rest of the program uses it. Texts are CP932; the Qt WebEngine
// implementation lives in the GUI.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillrun {

enum class BrowserCommand { Cut = 11, Copy = 12, Paste = 13, Undo = 15 };

class Browser {
  public:
    virtual ~Browser() = default;

    // Starts a load and returns.
    virtual void Navigate(const std::string& url) = 0;
    // Starts a POST load with these body bytes and a header line "Name: value".
    virtual void NavigateWithPost(const std::string& url, const std::string& postData,
                                  const std::string& header) = 0;
    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void Stop() = 0;
    virtual void Refresh() = 0;
    virtual void GoHome() = 0;
    // The top-level address; empty when there is none.
    virtual std::string LocationURL() const = 0;
    // True while a load is under way.
    virtual bool Busy() const = 0;
    // Whether the last completed load of the top document succeeded.
    virtual bool LastLoadSucceeded() const { return true; }
    virtual void Exec(BrowserCommand command) = 0;
    // The forms of the page shown: each one's action (the engine's resolved address) and
    // hidden inputs, names and values UTF-8; and the page's charset. False when unknown.
    struct FormOnPage {
        std::string action;
        std::vector<std::pair<std::string, std::string>> hidden;
    };
    virtual bool FormsOnPage(std::vector<FormOnPage>& forms, std::string& charset) {
        (void)forms;
        (void)charset;
        return false;
    }
    // The tokens of the page shown as its script sees them: its <meta name="csrf-token"> (or
    // "_csrf", "csrf_token") and <meta name="csrf-param">, and its cookies ("a=1; b=2"). False
    // when unknown.
    virtual bool PageTokensShown(std::string& token, std::string& param, std::string& cookies) {
        (void)token;
        (void)param;
        (void)cookies;
        return false;
    }
    // A page of this origin ("http://host:port") is to be loaded in a moment: the engine may
    // open its connection now (a preconnect: no request is sent, the site sees a connection).
    virtual void WarmUp(const std::string& origin) { (void)origin; }
    // The text of the page shown (UTF-8), for a success rule to look into.
    virtual std::string PageText() { return std::string(); }
    // A row a page's script sent, sent again the same way: fetch() from the page shown, with
    // this method, body and headers (event line field). Busy() until it is answered. False
    // when this browser cannot.
    virtual bool SendScriptRequest(const std::string& method, const std::string& url,
                                   const std::string& body, const std::string& headers) {
        (void)method;
        (void)url;
        (void)body;
        (void)headers;
        return false;
    }
    struct ScriptAnswer {
        bool answered = false;
        int status = 0;
        std::string statusText;
        std::string text;   // the answer's body as text (UTF-8)
        std::string error;  // why no answer came (the engine's words)
    };
    virtual ScriptAnswer LastScriptAnswer() const { return ScriptAnswer(); }
    // The addresses of the frames of the page shown (their src, resolved), for a row that one
    // of them sent.
    virtual std::vector<std::string> FrameAddresses() { return {}; }
    // The next request to this address with this method (the replay's own) goes out as the
    // page it comes from would send it: with this Origin and Referer (an empty one: as the
    // engine has it).
    virtual void SetNextRequestSource(const std::string& url, const std::string& method,
                                      const std::string& origin, const std::string& referrer) {
        (void)url;
        (void)method;
        (void)origin;
        (void)referrer;
    }
    // Whether the page itself (a meta refresh, its script, a form it sent on load) has asked
    // for this address since the program's own last navigation; for a POST, by sending a
    // form. True takes that navigation as the program's own.
    virtual bool TakePagesOwnNavigation(const std::string& url, bool post) {
        (void)url;
        (void)post;
        return false;
    }
};

// What the browser tells its host; all on the user-interface thread.
class BrowserEvents {
  public:
    virtual ~BrowserEvents() = default;
    // A navigation starts; postData is the request body when there is one.
    virtual void BeforeNavigate2(const std::string* postData) = 0;
    virtual void DocumentComplete() = 0;
};

}  // namespace quillrun
