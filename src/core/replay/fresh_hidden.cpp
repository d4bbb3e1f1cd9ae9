#include "core/replay/fresh_hidden.h"

#include <algorithm>
#include <cctype>

#include "core/platform/cp932.h"
#include "core/platform/message_sink.h"
#include "core/web/charset_converter.h"
#include "core/web/form_encoding.h"
#include "core/web/html_tree.h"
#include "core/web/url_encoding.h"

namespace quillrun {
namespace {

std::string WithoutQueryAndFragment(const std::string& url) {
    return url.substr(0, std::min(url.find('?'), url.find('#')));
}

// One urlencoded name or value as bytes.
std::string Decoded(const std::string& text) {
    std::string out = text;
    std::replace(out.begin(), out.end(), '+', ' ');
    UrlDecode(out, 0, true);
    return out;
}

std::string CharsetLabelAfter(const std::string& text, std::size_t from) {
    std::size_t at = AsciiLower(text).find("charset=", from);
    if (at == std::string::npos)
        return std::string();
    at += 8;
    while (at < text.size() && (text[at] == '"' || text[at] == '\''))
        ++at;
    std::size_t end = at;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) ||
                                 text[end] == '-' || text[end] == '_'))
        ++end;
    return text.substr(at, end - at);
}

}  // namespace

std::string ResolveAddress(const std::string& pageUrl, const std::string& reference) {
    std::string ref = reference;
    // Blanks around an attribute's value do not count.
    while (!ref.empty() && std::isspace(static_cast<unsigned char>(ref.front())))
        ref.erase(0, 1);
    while (!ref.empty() && std::isspace(static_cast<unsigned char>(ref.back())))
        ref.pop_back();
    if (ref.empty())
        return pageUrl;
    std::size_t schemeEnd = ref.find("://");
    if (schemeEnd != std::string::npos && ref.find('/') > schemeEnd)
        return ref;
    std::size_t hostStart = pageUrl.find("://");
    if (hostStart == std::string::npos)
        return ref;
    std::size_t pathStart = pageUrl.find('/', hostStart + 3);
    std::string origin = pageUrl.substr(0, pathStart);
    std::string path =
        pathStart == std::string::npos ? "/" : WithoutQueryAndFragment(pageUrl.substr(pathStart));
    if (ref.compare(0, 2, "//") == 0)
        return pageUrl.substr(0, hostStart + 1) + ref;
    if (ref[0] == '/')
        return origin + ref;
    if (ref[0] == '?')
        return origin + path + ref;
    if (ref[0] == '#')
        return origin + path;
    std::string folder = path.substr(0, path.rfind('/') + 1);
    std::string joined = folder + ref;
    // "./" and "../" steps.
    std::vector<std::string> parts;
    std::size_t start = 1;
    std::string tail;
    std::size_t q = joined.find_first_of("?#");
    if (q != std::string::npos) {
        tail = joined.substr(q);
        joined = joined.substr(0, q);
    }
    while (start <= joined.size()) {
        std::size_t slash = joined.find('/', start);
        std::string part =
            joined.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (part != ".") {
            parts.push_back(part);
        }
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    std::string result;
    for (const std::string& p : parts)
        result += "/" + p;
    return origin + (result.empty() ? "/" : result) + tail;
}

std::vector<PageForm> ParseForms(const HtmlTree& page, const std::string& pageUrl) {
    std::vector<PageForm> forms;
    std::vector<std::string> ids;
    std::vector<std::pair<std::string, const GumboElement*>> tied;
    // The forms in tree order, and the hidden inputs of each (an input inside a form, or one tied
    // to a form by its form= attribute); what goes down the tree is the form an element is in.
    ForEachElement(page.Root(), -1, [&](const GumboElement& element, int currentForm) {
        if (element.tag == GUMBO_TAG_FORM) {
            forms.push_back(PageForm{HtmlAttribute(element, "action"), {}});
            ids.push_back(HtmlAttribute(element, "id"));
            return static_cast<int>(forms.size()) - 1;
        }
        if (element.tag == GUMBO_TAG_INPUT &&
            AsciiLower(HtmlAttribute(element, "type")) == "hidden" &&
            HasHtmlAttribute(element, "name") && !HasHtmlAttribute(element, "disabled")) {
            if (HasHtmlAttribute(element, "form"))
                tied.emplace_back(HtmlAttribute(element, "form"), &element);
            else if (currentForm >= 0)
                forms[static_cast<std::size_t>(currentForm)].hidden.emplace_back(
                    HtmlAttribute(element, "name"), HtmlAttribute(element, "value"));
        }
        return currentForm;
    });
    for (const auto& [id, element] : tied) {
        auto at = std::find(ids.begin(), ids.end(), id);
        if (at != ids.end() && !id.empty()) {
            forms[static_cast<std::size_t>(at - ids.begin())].hidden.emplace_back(
                HtmlAttribute(*element, "name"), HtmlAttribute(*element, "value"));
        }
    }
    for (PageForm& form : forms)
        form.action = ResolveAddress(pageUrl, form.action);
    return forms;
}

std::vector<PageForm> ParseForms(const std::string& htmlUtf8, const std::string& pageUrl) {
    return ParseForms(HtmlTree(htmlUtf8), pageUrl);
}

const PageForm* FormForRow(const std::vector<PageForm>& forms, const std::string& rowUrl) {
    std::string target = WithoutQueryAndFragment(rowUrl);
    for (const PageForm& form : forms) {
        if (WithoutQueryAndFragment(form.action) == target)
            return &form;
    }
    return forms.size() == 1 ? &forms[0] : nullptr;
}

RefreshedEntries RefreshHiddenEntries(const std::string& data, const PageForm& form,
                                      const std::string& charsetName) {
    RefreshedEntries result;
    std::vector<bool> used(form.hidden.size(), false);
    std::vector<std::string> pairs = UrlencodedPairs(data);
    for (std::string& pair : pairs) {
        std::size_t equals = pair.find('=');
        std::string name = Decoded(pair.substr(0, equals));
        std::string nameUtf8 = ConvertCharset("UTF-8", charsetName.c_str(), name, "?");
        bool replaced = false;
        if (equals != std::string::npos) {
            for (std::size_t k = 0; k < form.hidden.size(); ++k) {
                if (used[k] || form.hidden[k].first != nameUtf8)
                    continue;
                used[k] = true;  // a second entry of the name takes the second input
                pair.erase(equals + 1);
                AppendUrlEncoded(pair, EncodeFormText(form.hidden[k].second, charsetName));
                result.refreshed.push_back(nameUtf8);
                replaced = true;
                break;
            }
        }
        if (!replaced && LooksLikeTokenName(nameUtf8))
            result.missing.push_back(nameUtf8);
    }
    result.data = JoinUrlencodedPairs(pairs);
    return result;
}

std::string AnswerCharset(const std::string& response) {
    std::size_t headerEnd = response.find("\r\n\r\n");
    std::string header = response.substr(0, headerEnd == std::string::npos ? 0 : headerEnd);
    std::size_t type = AsciiLower(header).find("\ncontent-type:");
    std::string label;
    if (type != std::string::npos)
        label = CharsetLabelAfter(header.substr(type, header.find('\n', type + 1) - type), 0);
    if (label.empty()) {
        std::size_t body = headerEnd == std::string::npos ? 0 : headerEnd + 4;
        std::size_t meta = AsciiLower(response.substr(body, 4096)).find("<meta");
        while (meta != std::string::npos && label.empty()) {
            std::string tag =
                response.substr(body + meta, response.find('>', body + meta) - body - meta);
            label = CharsetLabelAfter(tag, 0);
            meta = AsciiLower(response.substr(body, 4096)).find("<meta", meta + 5);
        }
    }
    std::string known = FormEncodingName("", label);
    if (!label.empty())
        return known;
    return IconvNameOf(DetectJapaneseCode(response));
}

void SayRefreshedEntries(const RefreshedEntries& entries, const std::string& source,
                         std::vector<std::string>& notes) {
    std::string where = source == "page" ? J("表示中のページ") : J("前の応答");
    for (const std::string& name : entries.refreshed) {
        AddMessage(J("隠しフィールドを") + where + J("の値で送ります: ") + Utf8ToCp932(name));
        notes.push_back("hidden field " + name + " refreshed");
    }
    for (const std::string& name : entries.missing) {
        AddMessage(J("隠しフィールドが") + where + J("に見つからないため、記録した値で送ります: ") +
                   Utf8ToCp932(name));
        notes.push_back("hidden field " + name + " not found in the " +
                        (source == "page" ? "page shown" : "answer before") + ": sent as recorded");
    }
}

bool LooksLikeTokenName(const std::string& name) {
    std::string n = AsciiLower(name);
    return n.find("csrf") != std::string::npos || n.find("token") != std::string::npos ||
           n.find("authenticity") != std::string::npos || n.find("xsrf") != std::string::npos;
}

}  // namespace quillrun
