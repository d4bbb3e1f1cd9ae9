// The request editor's logic: what each control shows and allows, from opening on an event to
// the event that OK stores. The dialog only mirrors this state in its widgets.
#pragma once

#include <string>
#include <vector>

#include "core/platform/prompts.h"

namespace quillrun {

// The event handed to the editor (and read back by nobody else while it is open).
struct CurrentRequest {
    int method = 1;       // 1 URL, 2 GET, 3 POST, 4 SET; 5 PUT, 6 PATCH, 7 DELETE (script rows)
    std::string number;   // "%06d"
    std::string url;      // at most 30719 bytes
    std::string data;     // at most 10239 bytes
    std::string headers;  // a script row's headers field; empty for any other row
};
CurrentRequest& TheCurrentRequest();

class EventList;

// Fills the current request from the pair at headRow, as both pages do before opening the
// editor: method code from the method text (anything else is "URL"), URL, and data (empty for
// "URL", at most 10239 bytes).
void FillCurrentRequest(const EventList& list, int headRow);

struct Check {
    bool checked = false;
    bool enabled = true;
};

enum RequestType { kTypeNone = 0, kTypeGet = 1005, kTypePost = 1006, kTypeSet = 1052 };

// The codes of the output box, in its order.
enum OutputCode { kOutNone = 0, kOutSjis = 1, kOutEuc = 2, kOutUtf8 = 3, kOutJis = 4 };

struct EditorResult {
    int method = 1;
    std::string url;
    std::string data;
    std::string headers;
};

class RequestEditorModel {
  public:
    static constexpr int kMaxEntries = 40;
    static constexpr std::size_t kValueWidth = 256;
    static constexpr std::size_t kTextWidth = 10240;

    explicit RequestEditorModel(Prompter& prompter) : prompter_(prompter) {}

    // Opening on the current request. False when the SET data lacks "input=" or "click=".
    bool Open(const CurrentRequest& request);

    // The controls.
    std::string number;    // 1003
    int type = kTypeNone;  // 1005 / 1006 / 1052
    Check noData;          // 1004
    std::string url;       // 1007
    bool urlEnabled = true;
    Check noDecode, noConvertIn;  // 1041, 1039
    std::string decoded;          // 1008
    bool decodedEnabled = true;
    std::string source;                             // 1020
    std::string detected;                           // 1011
    std::string output;                             // 1021
    int outputCode = kOutNone;                      // 1037
    Check noEncode, noConvertOut;                   // 1036, 1040
    Check keepAmpersand, keepEquals, keepQuestion;  // 1038, 1042, 1043
    Check multipart;                                // 1044
    std::vector<std::string> valueNames;            // 1045's list
    std::string valueNameText;                      // 1045's edit
    std::string valueText;                          // 1013
    std::vector<std::string> pressNames;            // 1047's list
    std::string pressNameText;                      // 1047's edit
    std::string submitText;                         // 1015
    bool setControlsEnabled = false;
    int selectedEntry = -1;
    // A row a page's script sent: its method stays, its headers are edited one per line
    // ("Name: value", CP932); other rows have none and the box is not editable.
    bool scriptRow = false;
    int scriptMethod = 0;
    std::string headersText;

    std::uint16_t KeepFlags() const;

    // The user's actions.
    void SetNoData(bool checked);
    void SelectType(int newType);
    // Commands from 1041 (fromNoDecode) or 1039.
    void DecodingDirection(bool fromNoDecode);
    // Commands from 1008, 1036, 1037, 1038, 1040, 1042, 1043.
    void EncodingDirection();
    void AddValueEntry();
    void SelectValueEntry(int index);
    void AddPressEntry();
    // False (and a message) when the event cannot be stored as it stands.
    bool Ok(EditorResult& result);

    const std::string& EntryValue(int index) const { return values_[index]; }

  private:
    void SetSetControls(bool enabled) { setControlsEnabled = enabled; }
    // The parts of Open: a request's data decoded and its code found, a SET step's names and
    // values, a script row's headers.
    void OpenRequest(const CurrentRequest& request);
    void DetectCode(const std::string& decodedText);
    bool OpenSetStep(const CurrentRequest& request);
    void OpenScriptRow(const CurrentRequest& request);
    // The headers field of a script row from the box's lines; false (and a message) when they
    // are no HTTP headers.
    bool ScriptHeaders(std::string& field);
    std::string BuildSetText() const;
    void Refuse(const char* utf8Message);

    Prompter& prompter_;
    bool percentBody_ = false;  // the script row's body is kept escaped
    std::string values_[kMaxEntries];
    int entryCount_ = 0;
};

// The SET notice is shown once per program run.
bool& SetNoticeShown();

}  // namespace quillrun
