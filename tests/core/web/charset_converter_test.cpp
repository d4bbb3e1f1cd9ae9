#include "core/web/charset_converter.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/platform/cp932.h"

namespace quillrun {
namespace {

const char kUtf8[] = "検索キーワード＝日本語のテスト、ひらがなカタカナ漢字～";

std::string In(const char* option, const std::string& text) {
    CharsetConverter c;
    c.SetOption(option);
    return c.Convert(text);
}

}  // namespace

TEST(CharsetConverter, DetectsTheFourCodes) {
    std::string sjis = Utf8ToCp932(kUtf8);
    std::string euc = In("e", sjis);
    std::string jis = In("j", sjis);
    EXPECT_EQ(DetectJapaneseCode(sjis), JapaneseCode::ShiftJis);
    EXPECT_EQ(DetectJapaneseCode(euc), JapaneseCode::EucJp);
    EXPECT_EQ(DetectJapaneseCode(kUtf8), JapaneseCode::Utf8);
    EXPECT_EQ(DetectJapaneseCode(jis), JapaneseCode::Iso2022Jp);
    EXPECT_EQ(DetectJapaneseCode("plain ascii"), JapaneseCode::Ascii);
    EXPECT_EQ(DetectJapaneseCode(J("あ")), JapaneseCode::ShiftJis);
    EXPECT_EQ(DetectJapaneseCode(In("e", J("あ"))), JapaneseCode::EucJp);
    EXPECT_EQ(DetectJapaneseCode("\xA4\xA2\xA4\xA4"), JapaneseCode::EucJp);  // あい
    EXPECT_EQ(DetectJapaneseCode(J("ｱｲｳ")), JapaneseCode::ShiftJis);
}

TEST(CharsetConverter, DetectionWeighsTheEvidence) {
    std::string utf8Long;
    while (utf8Long.size() < 10240)
        utf8Long += "SID=\xE5\x80\xA4; ";  // 値 in UTF-8
    std::string sjisSentence = J("本日は晴天なり。ﾃｽﾄ ABC 123 表示");
    struct Case {
        const char* what;
        std::string text;
        JapaneseCode code;
    } cases[] = {
        {"plain ASCII", "a=b&c=d", JapaneseCode::Ascii},
        {"JIS with escapes", In("j", J("日本語")), JapaneseCode::Iso2022Jp},
        {"UTF-8 cut inside a character at the receive limit", utf8Long.substr(0, 10240),
         JapaneseCode::Utf8},
        {"UTF-8 cut after one byte of a character", std::string(kUtf8) + "\xE6",
         JapaneseCode::Utf8},
        {"half-width katakana in Shift_JIS", J("ﾃﾞｰﾀﾍﾞｰｽ"), JapaneseCode::ShiftJis},
        {"half-width katakana word among ASCII", J("ID=ｼｮｳﾋﾝ&x=1"), JapaneseCode::ShiftJis},
        {"UTF-8 arrow, ellipsis and roman numeral", "a \xE2\x86\x92 b\xE2\x80\xA6 \xE2\x85\xB2",
         JapaneseCode::Utf8},
        {"UTF-8 of one arrow", "\xE2\x86\x92", JapaneseCode::Utf8},
        {"UTF-8 without Japanese", "caf\xC3\xA9", JapaneseCode::Utf8},
        {"Shift_JIS mixed with ASCII and half-width kana", sjisSentence, JapaneseCode::ShiftJis},
        {"EUC-JP of the same", In("e", sjisSentence), JapaneseCode::EucJp},
        {"EUC-JP kanji only", In("e", J("漢字")), JapaneseCode::EucJp},
        {"UTF-8 of the same", Cp932ToUtf8(sjisSentence), JapaneseCode::Utf8},
        {"Shift_JIS whose second byte is a backslash", J("表ソ"), JapaneseCode::ShiftJis},
        {"Shift_JIS cut after a lead byte", J("あいう").substr(0, 5), JapaneseCode::ShiftJis},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DetectJapaneseCode(c.text), c.code) << c.what;
    // Short EUC-JP texts of kanji only, as cookies and form values hold them.
    for (const char* word : {"日本", "会社", "価格", "名前", "電話", "表示", "期間"})
        EXPECT_EQ(DetectJapaneseCode(In("e", J(word))), JapaneseCode::EucJp) << word;
    // What is detected converts back to the same characters.
    CharsetConverter toSjis;
    toSjis.SetOption("s");
    EXPECT_EQ(toSjis.Convert(utf8Long.substr(0, 10240)).substr(0, 6), "SID=" + J("値"));
}

TEST(CharsetConverter, JisKanaWindowsEucAndCutCharactersAreReadRight) {
    // Half-width katakana of JIS X 0201 in ISO-2022-JP.
    EXPECT_EQ(In("w", "\x1B$B$\"\x1B(B \x1B(I123\x1B(B!"), "あ ｱｲｳ!");
    // EUC-JP as Windows and nkf write it: IBM kanji in rows 89-92, NEC's row 13.
    std::string euc = "\xFC\xE2\xB6\xB6\xA4\xB5\xA4\xF3\xA4\xCE\xAD\xA1";  // 髙橋さんの①
    EXPECT_EQ(DetectJapaneseCode(euc), JapaneseCode::EucJp);
    EXPECT_EQ(In("w", euc), "髙橋さんの①");
    EXPECT_EQ(In("s", euc), J("髙橋さんの①"));
    // A character cut at the very end is dropped, not read as "?".
    EXPECT_EQ(In("w", J("あいうえお") + "\x82"), "あいうえお");
    EXPECT_EQ(In("s", "\xE3\x81\x82\xE3\x81\x84\xE3\x81"), J("あい"));
    EXPECT_EQ(In("w", In("e", J("かきくけこ")) + "\xA4"), "かきくけこ");
}

TEST(CharsetConverter, RoundTripsThroughEveryCode) {
    std::string sjis = Utf8ToCp932(kUtf8);
    for (const char* option : {"e", "-e", "w", "j", "s"}) {
        std::string there = In(option, sjis);
        EXPECT_EQ(In("s", there), sjis) << option;
    }
    EXPECT_EQ(In("w", sjis), kUtf8);
    EXPECT_EQ(In("s", std::string(kUtf8)), sjis);
    std::string jis = In("j", sjis);
    EXPECT_EQ(jis.back(), 'B');  // ends back in ASCII: ESC ( B
    EXPECT_EQ(In("e", jis), In("e", sjis));
    EXPECT_EQ(In("w", In("e", sjis)), kUtf8);
}

TEST(CharsetConverter, TextAlreadyInTheOutputCodeComesBackUnchanged) {
    // This is how the request editor detects a text's code: the first option whose result
    // equals the text.
    std::string sjis = J("ソフト表示");
    EXPECT_EQ(In("s", sjis), sjis);
    std::string euc = In("e", sjis);
    EXPECT_NE(In("s", euc), euc);
    EXPECT_EQ(In("-e", euc), euc);
    EXPECT_EQ(In("j", "a=b&c=%41"), "a=b&c=%41");
    // Half-width katakana have no ISO-2022-JP code: they become full-width ones.
    EXPECT_EQ(In("s", In("j", J("カナｶﾀｶﾅ"))), J("カナカタカナ"));
    // A character outside JIS X 0208 becomes "?" in ASCII, between closed shift states.
    EXPECT_EQ(In("j", J("あ①い")), "\x1B$B$\"\x1B(B?\x1B$B$$\x1B(B");
}

TEST(CharsetConverter, OptionIsPerObjectAndThreadsDoNotMeet) {
    std::string sjis = Utf8ToCp932(kUtf8);
    std::string euc = In("e", sjis);
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            CharsetConverter c;
            for (int i = 0; i < 200; ++i) {
                c.SetOption(t % 2 ? "s" : "w");
                std::string out = c.Convert(euc);
                if (out != (t % 2 ? sjis : std::string(kUtf8)))
                    ++failures[static_cast<size_t>(t)];
            }
        });
    }
    for (auto& th : threads)
        th.join();
    for (int f : failures)
        EXPECT_EQ(f, 0);

    CharsetConverter c;
    c.SetOption("w");
    c.SetOption("x");  // unknown: the output code stays
    EXPECT_EQ(c.OutputCode(), JapaneseCode::Utf8);
}

}  // namespace quillrun
