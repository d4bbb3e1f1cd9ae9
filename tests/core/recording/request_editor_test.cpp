#include "core/recording/request_editor.h"

#include <gtest/gtest.h>

#include "core/platform/cp932.h"
#include "core/web/charset_converter.h"
#include "core/web/url_encoding.h"

namespace quillrun {
namespace {

struct AnsweringPrompter : Prompter {
    std::vector<std::string> shown;
    PromptAnswer Ask(const std::string& text, const std::string& caption, PromptButtons,
                     PromptIcon) override {
        shown.push_back(caption + ":" + text);
        return PromptAnswer::Ok;
    }
};

CurrentRequest Request(int method, const std::string& url, const std::string& data) {
    return CurrentRequest{method, "000003", url, data, ""};
}

std::string In(const char* option, const std::string& text) {
    CharsetConverter c;
    c.SetOption(option);
    return c.Convert(text);
}

}  // namespace

TEST(RequestEditor, UrlEventsAndTheEmptyPair) {
    AnsweringPrompter prompts;
    RequestEditorModel m(prompts);
    m.Open(Request(1, "http://h/a", ""));
    EXPECT_EQ(m.type, kTypeGet);
    EXPECT_TRUE(m.noData.checked);
    EXPECT_FALSE(m.decodedEnabled);
    for (const Check* c : {&m.noDecode, &m.noEncode, &m.noConvertIn, &m.noConvertOut}) {
        EXPECT_TRUE(c->checked);
        EXPECT_FALSE(c->enabled);
    }
    EXPECT_FALSE(m.setControlsEnabled);
    EditorResult r;
    ASSERT_TRUE(m.Ok(r));
    EXPECT_EQ(r.method, 1);
    EXPECT_EQ(r.data, "");

    RequestEditorModel empty(prompts);
    empty.Open(Request(1, "", ""));
    EXPECT_EQ(empty.url, "about:blank");
    ASSERT_TRUE(empty.Ok(r));
    EXPECT_EQ(r.method, 1);
    EXPECT_EQ(r.url, "about:blank");
}

TEST(RequestEditor, KeepFlagsDecodingAndTheCoupledBoxes) {
    AnsweringPrompter prompts;
    RequestEditorModel m(prompts);
    m.Open(Request(2, "http://h/s", "a%3Db&c=d"));
    EXPECT_TRUE(m.keepAmpersand.checked);
    EXPECT_TRUE(m.keepEquals.checked);
    EXPECT_FALSE(m.keepQuestion.checked);
    EXPECT_EQ(m.decoded, "a/=b&c=d");
    EXPECT_EQ(m.output, "a%3Db&c=d");  // the stored text until something changes
    EXPECT_FALSE(m.noDecode.checked);

    m.noDecode.checked = true;
    m.DecodingDirection(true);
    EXPECT_TRUE(m.noEncode.checked);  // 1041 gives 1036 its state
    EXPECT_EQ(m.decoded, "a%3Db&c=d");
    m.noDecode.checked = false;
    m.DecodingDirection(true);
    EXPECT_FALSE(m.noEncode.checked);
    EXPECT_EQ(m.decoded, "a/=b&c=d");
    EXPECT_EQ(m.output, "a%3Db&c=d");

    // Emptying the data of a POST stores a "URL" event.
    m.SelectType(kTypePost);
    m.decoded.clear();
    m.EncodingDirection();
    EXPECT_FALSE(m.noEncode.enabled);
    EditorResult r;
    ASSERT_TRUE(m.Ok(r));
    EXPECT_EQ(r.method, 1);
}

TEST(RequestEditor, CharacterCodesAreDetectedShownAsShiftJisAndEncodedAgain) {
    std::string sjis = J("日本語テキスト");
    struct Case {
        const char* option;
        const char* name;
        int code;
    } cases[] = {{"s", "SJIS", kOutSjis},
                 {"e", "EUC", kOutEuc},
                 {"w", "UTF8", kOutUtf8},
                 {"j", "JIS", kOutJis}};
    for (const Case& c : cases) {
        std::string encoded = In(c.option, sjis);
        AnsweringPrompter prompts;
        RequestEditorModel m(prompts);
        m.noEncode.checked = false;
        std::string stored = "q=" + UrlEncode(encoded, 30720, 0);
        m.Open(Request(2, "http://h/s", stored));
        EXPECT_EQ(m.detected, c.name) << c.name;
        EXPECT_EQ(m.outputCode, c.code);
        EXPECT_EQ(m.decoded, "q=" + sjis) << c.name;
        m.EncodingDirection();
        std::string back = m.output;
        EXPECT_EQ(back, stored) << c.name;  // the same code out as in
        m.outputCode = kOutUtf8;
        m.EncodingDirection();
        EXPECT_EQ(m.output, "q=" + std::string("%E6%97%A5%E6%9C%AC%E8%AA%9E%E3%83%86%E3%82%AD"
                                               "%E3%82%B9%E3%83%88"));
    }
}

TEST(RequestEditor, MultipartBodiesAreStoredUnchanged) {
    AnsweringPrompter prompts;
    RequestEditorModel m(prompts);
    std::string body = "%2D%2DB%0D%0AContent-Disposition%3A%20form-data%3B%20name%3D%22a%22";
    m.Open(Request(3, "http://h/up", body));
    EXPECT_TRUE(m.multipart.checked);
    m.decoded = "edited";
    m.EncodingDirection();
    EditorResult r;
    ASSERT_TRUE(m.Ok(r));
    EXPECT_EQ(r.method, 3);
    EXPECT_EQ(r.data, body);
}

TEST(RequestEditor, SetEventsRoundTripAndRefuseWhatCannotBeStored) {
    AnsweringPrompter prompts;
    SetNoticeShown() = false;
    RequestEditorModel m(prompts);
    m.Open(Request(2, "http://h/s", "x=1"));
    m.SelectType(kTypeSet);
    m.SelectType(kTypeGet);
    m.SelectType(kTypeSet);
    ASSERT_EQ(prompts.shown.size(), 1u);  // the notice once per run
    EXPECT_EQ(prompts.shown[0].substr(0, J("お知らせ").size()), J("お知らせ"));
    EXPECT_TRUE(m.setControlsEnabled);
    EXPECT_FALSE(m.urlEnabled);

    m.AddValueEntry();  // empty name
    EXPECT_EQ(prompts.shown.back(),
              J("処理中断") + ":" + J("値セットするコントロールの名前が空欄です"));
    m.valueNameText = "q";
    m.valueText = "abc";
    m.AddValueEntry();
    m.valueNameText = "lang";
    m.valueText = "ja";
    m.AddValueEntry();
    m.AddPressEntry();
    EXPECT_EQ(prompts.shown.back(),
              J("処理中断") + ":" + J("押下するコントロールの名前が空欄です"));
    m.pressNameText = "go";
    m.AddPressEntry();
    m.submitText = "s";
    EditorResult r;
    ASSERT_TRUE(m.Ok(r));
    EXPECT_EQ(r.method, 4);
    EXPECT_EQ(r.url, "submit=s");
    EXPECT_EQ(r.data, "input=q:abc,lang:ja,click=go,");

    RequestEditorModel again(prompts);
    again.Open(Request(4, r.url, r.data));
    EXPECT_EQ(again.type, kTypeSet);
    EXPECT_EQ(again.valueNames, (std::vector<std::string>{"q", "lang"}));
    EXPECT_EQ(again.valueText, "abc");
    again.SelectValueEntry(1);
    EXPECT_EQ(again.valueText, "ja");
    EXPECT_EQ(again.pressNames, (std::vector<std::string>{"go"}));
    EXPECT_EQ(again.submitText, "s");
    ASSERT_TRUE(again.Ok(r));
    EXPECT_EQ(r.data, "input=q:abc,lang:ja,click=go,");

    // A line break in a value would break the event file's line: refused.
    again.valueText = "a\nb";
    EXPECT_FALSE(again.Ok(r));
    // More than 40 entries are refused with a message.
    for (int i = 0; i < 40; ++i) {
        again.valueNameText = "n" + std::to_string(i);
        again.valueText = "v";
        again.AddValueEntry();
    }
    EXPECT_EQ(again.valueNames.size(), 40u);
    EXPECT_NE(prompts.shown.back().find(J("40個まで")), std::string::npos);

    // A SET event without its keywords is shown as SET with its submit name.
    RequestEditorModel broken(prompts);
    EXPECT_FALSE(broken.Open(Request(4, "submit=x", "nothing")));
    EXPECT_EQ(broken.type, kTypeSet);
    EXPECT_EQ(broken.submitText, "x");
}

TEST(RequestEditor, LineBreaksTypedIntoUnencodedDataAreStoredEscaped) {
    AnsweringPrompter prompts;
    RequestEditorModel m(prompts);
    m.Open(Request(3, "http://h/p", "a=1"));
    m.noEncode.checked = true;
    m.decoded = "a=1\r\nb=2\t";
    m.EncodingDirection();
    EditorResult r;
    ASSERT_TRUE(m.Ok(r));
    EXPECT_EQ(r.data, "a=1%0D%0Ab=2%09");
}

TEST(RequestEditor, ABodyTooLongToEncodeOrStoreIsRefusedNotDropped) {
    AnsweringPrompter prompts;
    RequestEditorModel m(prompts);
    std::string body = "a=";
    for (int i = 0; i < 4000; ++i)
        body += "%82%A0";  // 4000 x "あ": 8002 bytes decoded, 24002 encoded
    m.Open(Request(3, "http://h/p", body));
    EditorResult r;
    EXPECT_FALSE(m.Ok(r));  // before: stored cut (or, when the encoding failed, bodyless)
    m.EncodingDirection();  // a box of the output side pressed: the encoding does not fit
    EXPECT_TRUE(m.output.empty());
    EXPECT_FALSE(m.Ok(r));
    EXPECT_NE(prompts.shown.back().find(J("エンコードした内容が長すぎる")), std::string::npos);
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_NE(prompts.shown[0].find(J("長すぎるため、イベントは変更しません")), std::string::npos);

    // Encoded but longer than a row's data: refused too, never cut.
    RequestEditorModel cut(prompts);
    cut.Open(Request(3, "http://h/p", "a=" + std::string(12000, 'x')));
    EXPECT_FALSE(cut.Ok(r));
    EXPECT_NE(prompts.shown.back().find(J("データが長すぎる")), std::string::npos);
}

}  // namespace quillrun
