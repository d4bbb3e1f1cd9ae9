// The charset converter: Japanese texts in Shift_JIS (CP932), EUC-JP, UTF-8 or ISO-2022-JP are
// converted into the output code chosen by the last option call. The source code is detected.
// Each converter object keeps its own option, so threads with their own object never meet.
#pragma once

#include <string>
#include <string_view>

namespace quillrun {

enum class JapaneseCode { Ascii, ShiftJis, EucJp, Utf8, Iso2022Jp };

// Which of the four codes the text is in; Ascii when it has no byte above 0x7F and no escape
// sequence.
JapaneseCode DetectJapaneseCode(std::string_view text);
// The iconv name of a code: "CP932", "EUC-JP-MS", "ISO-2022-JP", else "UTF-8".
const char* IconvNameOf(JapaneseCode code);

class CharsetConverter {
  public:
    // "s" Shift_JIS, "e" or "-e" EUC-JP, "w" UTF-8, "j" ISO-2022-JP (a leading "-" is allowed
    // on each). An option naming none of them leaves the output code as it was.
    void SetOption(std::string_view option);

    // The source converted into the output code. A source already in the output code (or pure
    // ASCII) comes back byte for byte.
    std::string Convert(std::string_view source) const;

    JapaneseCode OutputCode() const { return output_; }

  private:
    JapaneseCode output_ = JapaneseCode::ShiftJis;
};

}  // namespace quillrun
