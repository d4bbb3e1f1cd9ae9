// The one pair of conversions between the program's CP932 texts and Qt's strings.
#pragma once

#include <QString>
#include <string>

namespace quillrun {

QString FromCp932(const std::string& cp932);
std::string ToCp932(const QString& text);

}  // namespace quillrun
