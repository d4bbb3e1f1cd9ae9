#include "core/recording/request_editor.h"

#include "core/platform/cp932.h"
#include "core/platform/paths.h"
#include "core/recording/event_list.h"
#include "core/web/charset_converter.h"
#include "core/web/url_encoding.h"

namespace quillrun {
namespace {

constexpr std::size_t kOutputWidth = 20480;
constexpr std::size_t kTextWidthOfRequest = 10240;

std::string Convert(const char* option, const std::string& text) {
    CharsetConverter converter;
    converter.SetOption(option);
    return converter.Convert(text);
}

bool HasLineBreakOrTab(const std::string& text) {
    return text.find_first_of("\r\n\t") != std::string::npos;
}

// Line breaks and tabs would break the line of the event file: they are stored escaped.
std::string EscapeLineBreaks(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            out += "%0D";
        } else if (c == '\n') {
            out += "%0A";
        } else if (c == '\t') {
            out += "%09";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

CurrentRequest& TheCurrentRequest() {
    static CurrentRequest request;
    return request;
}

void FillCurrentRequest(const EventList& list, int headRow) {
    CurrentRequest& request = TheCurrentRequest();
    int pair = headRow / 2;
    request.number = EventNumberText(pair + 1);
    std::string method = list.MethodOf(pair);
    int code = EventMethodCode(method);
    request.method = code == kMethodNone ? kMethodUrl : code;
    request.url = list.UrlOf(pair);
    request.data =
        method == "URL" ? std::string() : CutToWidth(list.DataOf(pair), kTextWidthOfRequest);
    request.headers = list.HeadersOf(pair);
}

bool& SetNoticeShown() {
    static bool shown = false;
    return shown;
}

std::uint16_t RequestEditorModel::KeepFlags() const {
    return static_cast<std::uint16_t>((keepAmpersand.checked ? kKeepAmpersand : 0) |
                                      (keepQuestion.checked ? kKeepQuestion : 0) |
                                      (keepEquals.checked ? kKeepEquals : 0));
}

void RequestEditorModel::Refuse(const char* utf8Message) {
    prompter_.Ask(J(utf8Message), J("処理中断"), PromptButtons::Ok, PromptIcon::Stop);
}

void RequestEditorModel::DetectCode(const std::string& text) {
    int code = -1;
    if (!text.empty()) {
        code = 6;
        const char* options[] = {"s", "-e", "w", "j"};
        const int codes[] = {0, 1, 3, 2};
        for (int k = 0; k < 4; ++k) {
            if (Convert(options[k], text) == text) {
                code = codes[k];
                break;
            }
        }
    }
    switch (code) {
        case 0:
            detected = "SJIS";
            outputCode = kOutSjis;
            break;
        case 1:
            detected = "EUC";
            outputCode = kOutEuc;
            break;
        case 3:
            detected = "UTF8";
            outputCode = kOutUtf8;
            break;
        case 2:
            detected = "JIS";
            outputCode = kOutJis;
            break;
        default:
            detected = "???";
            outputCode = kOutNone;
            break;
    }
    std::string display = (code == 0 || code == 6) ? text : Convert("s", text);
    decoded = CutToWidth(display, kTextWidth);
    multipart.checked = display.find("form-data") != std::string::npos;
}

void RequestEditorModel::OpenRequest(const CurrentRequest& request) {
    number = request.number;
    url = request.url.empty() ? "about:blank" : request.url;
    const std::string& data = request.data;
    source = data;
    keepAmpersand.checked = data.find('&') != std::string::npos;
    keepQuestion.checked = data.find('?') != std::string::npos;
    keepEquals.checked = data.find('=') != std::string::npos;
    std::string text = data;
    UrlDecode(text, KeepFlags());
    if (text == data) {
        noDecode = {true, false};
        noEncode.checked = true;
    }
    if (data.empty()) {
        noDecode = {true, false};
        noEncode = {true, false};
        noConvertIn = {true, false};
        noConvertOut = {true, false};
    }
    DetectCode(text);
    output = data;
}

bool RequestEditorModel::OpenSetStep(const CurrentRequest& request) {
    url = "about:blank";
    submitText = request.url.size() > 7 ? request.url.substr(7) : std::string();
    const std::string& data = request.data;
    std::size_t input = data.find("input=");
    std::size_t click = data.find("click=");
    if (input == std::string::npos || click == std::string::npos) {
        // Shown as what it is, a SET event, with its submit name.
        type = kTypeSet;
        urlEnabled = decodedEnabled = false;
        SetSetControls(true);
        return false;
    }
    std::string collected;
    for (std::size_t i = input + 6; i < click && i < data.size(); ++i) {
        if (data[i] == ':') {
            valueNames.push_back(collected);
            collected.clear();
        } else if (data[i] == ',') {
            if (entryCount_ < kMaxEntries) {
                values_[entryCount_] = CutToWidth(collected, kValueWidth);
                ++entryCount_;
            }
            collected.clear();
        } else {
            collected += data[i];
        }
    }
    if (!valueNames.empty())
        SelectValueEntry(0);
    collected.clear();
    for (std::size_t i = click + 6; i < data.size(); ++i) {
        if (data[i] == ',') {
            pressNames.push_back(collected);
            collected.clear();
        } else {
            collected += data[i];
        }
    }
    if (!pressNames.empty())
        pressNameText = pressNames.front();
    return true;
}

void RequestEditorModel::OpenScriptRow(const CurrentRequest& request) {
    scriptRow = true;
    scriptMethod =
        request.method == kMethodUrl || request.method == kMethodGet ? kMethodPost : request.method;
    type = kTypePost;
    noData = {request.data.empty(), false};
    decodedEnabled = true;
    percentBody_ = RowBodyIsPercentEncoded(request.headers);
    for (const auto& [name, value] : SplitRowHeaders(request.headers)) {
        if (!headersText.empty())
            headersText += "\n";
        headersText += name + ": " + value;
    }
}

bool RequestEditorModel::Open(const CurrentRequest& request) {
    if (request.method != 4)
        OpenRequest(request);
    else if (!OpenSetStep(request))
        return false;
    switch (request.method) {
        case 1:
            noData.checked = true;
            type = kTypeGet;
            decodedEnabled = false;
            break;
        case 2:
            type = kTypeGet;
            break;
        case 3:
            type = kTypePost;
            break;
        case 4:
            type = kTypeSet;
            urlEnabled = decodedEnabled = false;
            break;
        default:
            break;
    }
    SetSetControls(request.method == 4);
    if (!request.headers.empty() && request.method != 4)
        OpenScriptRow(request);
    return true;
}

bool RequestEditorModel::ScriptHeaders(std::string& field) {
    HeaderEntries entries;
    std::size_t start = 0;
    while (start <= headersText.size()) {
        std::size_t end = headersText.find('\n', start);
        std::string line =
            headersText.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(' ') != std::string::npos) {
            std::size_t colon = line.find(':');
            if (colon == std::string::npos || colon == 0) {
                Refuse("ヘッダーは1行に1つ、「名前: 値」の形で書きます");
                return false;
            }
            std::size_t nameEnd = line.find_last_not_of(' ', colon - 1);
            std::size_t valueStart = line.find_first_not_of(' ', colon + 1);
            entries.emplace_back(line.substr(0, nameEnd == std::string::npos ? 0 : nameEnd + 1),
                                 valueStart == std::string::npos ? "" : line.substr(valueStart));
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    for (const auto& [name, value] : entries) {
        if (!RefusedRowHeader(name).empty()) {
            // Sent next to the sender's own, it would send two lengths or a foreign Host.
            prompter_.Ask(
                J("このヘッダーは送信側が自分で書くか中継用のため、行には書けません: ") + name,
                J("処理中断"), PromptButtons::Ok, PromptIcon::Stop);
            return false;
        }
    }
    std::string error;
    if (!JoinRowHeaders(entries, field, error)) {
        Refuse(
            "ヘッダーに使えない文字があるか、長すぎます（名前は英数字と記号、値に制御文字は"
            "使えません）");
        return false;
    }
    if (percentBody_)
        field = kPercentBodyEntry + (field.empty() ? "" : kHeaderSeparator + field);
    if (field.empty()) {
        // Without headers it would no longer be a script row (and PUT, PATCH, DELETE no event).
        Refuse("スクリプトの通信の行にはヘッダーが少なくとも1つ要ります（Origin など）");
        return false;
    }
    if (field.size() >= kHeadersWidth) {
        Refuse("ヘッダーが長すぎます（8191バイトまで）");
        return false;
    }
    return true;
}

void RequestEditorModel::SetNoData(bool checked) {
    noData.checked = checked;
    if (checked) {
        decodedEnabled = false;
        if (type == kTypePost)
            type = kTypeGet;
    } else if (type != kTypeSet) {
        decodedEnabled = true;
    }
}

void RequestEditorModel::SelectType(int newType) {
    if (newType == kTypeSet && !SetNoticeShown()) {
        prompter_.Ask(
            J("SETメソッドは新しい機能です。ヘルプなどで使い方をよく確認し利用してください\n"
              "もし動作に不具合がある場合は、新しいバージョンが公開されていないか確認して"
              "ください。\nまた不具合のご報告にもご協力いただければ幸いです。\n"
              "<このメッセージは起動後一回のみ表示されます。\n"
              "一定期間経過した以降のバージョンで非表示になります>"),
            J("お知らせ"), PromptButtons::Ok, PromptIcon::Information);
        SetNoticeShown() = true;
    }
    type = newType;
    if (newType == kTypeGet) {
        urlEnabled = true;
        decodedEnabled = !noData.checked;
        SetSetControls(false);
    } else if (newType == kTypePost) {
        urlEnabled = decodedEnabled = true;
        noData.checked = false;
        SetSetControls(false);
    } else if (newType == kTypeSet) {
        for (std::string& v : values_)
            v.clear();
        urlEnabled = decodedEnabled = false;
        SetSetControls(true);
    }
}

void RequestEditorModel::DecodingDirection(bool fromNoDecode) {
    if (fromNoDecode)
        noEncode.checked = noDecode.checked;
    std::string text = CutToWidth(source, kTextWidth);
    if (!noDecode.checked)
        UrlDecode(text, KeepFlags());
    if (!noConvertIn.checked)
        text = Convert("s", text);
    decoded = CutToWidth(text, kTextWidth);
    EncodingDirection();
}

void RequestEditorModel::EncodingDirection() {
    std::string text = CutToWidth(decoded, kTextWidth);
    if (text.empty()) {
        noEncode.enabled = noConvertOut.enabled = false;
        output.clear();
        return;
    }
    noEncode.enabled = noConvertOut.enabled = true;
    std::string converted = text;
    if (outputCode != kOutNone && !noConvertOut.checked) {
        static const char* kOptions[] = {"", "s", "e", "w", "j"};
        converted = Convert(kOptions[outputCode], text);
    }
    output = noEncode.checked ? converted : UrlEncode(converted, kOutputWidth, KeepFlags());
}

void RequestEditorModel::AddValueEntry() {
    std::string name = CutToWidth(valueNameText, kPathWidth);
    if (name.empty()) {
        Refuse("値セットするコントロールの名前が空欄です");
        return;
    }
    if (entryCount_ >= kMaxEntries) {
        Refuse("値セットは40個までです。これ以上追加できません");
        return;
    }
    if (valueText.size() >= kValueWidth) {
        Refuse("値セットの値は255バイトまでです");
        return;
    }
    valueNames.push_back(name);
    values_[entryCount_] = valueText;
    ++entryCount_;
}

void RequestEditorModel::SelectValueEntry(int index) {
    if (selectedEntry >= 0 && selectedEntry < kMaxEntries) {
        values_[selectedEntry] = CutToWidth(valueText, kValueWidth);
    }
    selectedEntry = (index >= 0 && index < static_cast<int>(valueNames.size())) ? index : -1;
    if (selectedEntry >= 0 && selectedEntry < kMaxEntries) {
        valueText = values_[selectedEntry];
        valueNameText = valueNames[static_cast<std::size_t>(selectedEntry)];
    }
}

void RequestEditorModel::AddPressEntry() {
    std::string name = CutToWidth(pressNameText, kPathWidth);
    if (name.empty()) {
        Refuse("押下するコントロールの名前が空欄です");
        return;
    }
    pressNames.push_back(name);
}

std::string RequestEditorModel::BuildSetText() const {
    std::string data = "input=";
    for (std::size_t i = 0; i < valueNames.size(); ++i) {
        data += valueNames[i] + ":" +
                (i < static_cast<std::size_t>(kMaxEntries) ? values_[i] : "") + ",";
    }
    data += "click=";
    for (const std::string& name : pressNames)
        data += name + ",";
    return data;
}

bool RequestEditorModel::Ok(EditorResult& result) {
    if (type == kTypeSet) {
        if (selectedEntry >= 0 && selectedEntry < kMaxEntries) {
            if (valueText.size() >= kValueWidth) {
                Refuse("値セットの値は255バイトまでです");
                return false;
            }
            values_[selectedEntry] = valueText;
        }
        std::string data = BuildSetText();
        std::string submit = CutToWidth(submitText, kPathWidth);
        if (HasLineBreakOrTab(data) || HasLineBreakOrTab(submit)) {
            Refuse("名前・値・SUBMITに改行やタブは使えません");
            return false;
        }
        if (data.size() >= kTextWidth) {
            Refuse("SETの内容が長すぎます (10239バイトまで)");
            return false;
        }
        result.method = 4;
        result.url = "submit=" + submit;
        result.data = data;
        return true;
    }
    const std::string& body = multipart.checked ? source : output;
    if (!noData.checked && !multipart.checked && output.empty() &&
        !CutToWidth(decoded, kTextWidth).empty()) {
        // The encoding did not fit: storing the empty output would drop the body.
        Refuse("エンコードした内容が長すぎるため、イベントは変更しません（20479バイトまで）");
        return false;
    }
    if (!noData.checked && body.size() >= kTextWidth) {
        Refuse("データが長すぎるため、イベントは変更しません（10239バイトまで）");
        return false;
    }
    std::string data = body;
    if (scriptRow) {
        // Its method and headers stay with it; an empty body is a body (a DELETE's).
        if (!ScriptHeaders(result.headers))
            return false;
        result.method = scriptMethod;
        if (noData.checked)
            data.clear();
    } else if (noData.checked) {
        result.method = 1;
        data.clear();
    } else if (data.empty()) {
        result.method = 1;
    } else if (type == kTypeGet) {
        result.method = 2;
    } else {
        result.method = 3;
    }
    result.data = EscapeLineBreaks(data);
    result.url = EscapeLineBreaks(CutToWidth(url, kUrlWidth));
    return true;
}

}  // namespace quillrun
