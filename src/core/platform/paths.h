// Program folder and program paths. The program folder is the folder of the executable (a
// portable setup) or the user's own data folder (an installed program), with its trailing
// separator; every file and folder the program writes is relative to it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace quillrun {

// Width of names, paths and URLs, terminating zero included.
constexpr std::size_t kPathWidth = 260;
// Paths the program builds under its folder are never cut to that width; what is read back
// from a file is taken up to this.
constexpr std::size_t kLongPathWidth = 32768;

// 1 when path holds a separator ("\" or "/", not at index 0): out gets the text up to and
// including the last one. 0 with the whole path copied when there is none. 0 with nothing
// copied when the result does not fit into size bytes. The scan skips the second byte of a
// Shift_JIS double-byte character.
int FolderOfPath(const char* path, char* out, std::size_t size);

// 1 with the text after the last separator (the whole path when there is none or only one at
// index 0); 0 with nothing copied when it does not fit into size bytes.
int FileNameOfPath(const char* path, char* out, std::size_t size);

// The program folder (CP932 text, trailing "/"). Taken from the executable's path on first use
// unless set before; tests set it to a folder of their own. A character of the folder's name
// that CP932 lacks shows as "?" in this text; NativePath turns the text back into the folder's
// own bytes, which are what the file system is handed.
const std::string& ProgramFolder();
// The same folder as the file system names it (its own bytes, trailing "/").
const std::string& NativeProgramFolder();
void SetProgramFolder(const std::string& folder);        // CP932 text
void SetNativeProgramFolder(const std::string& folder);  // the file system's bytes

// The one builder of program paths: program folder + relative, where relative uses "/".
std::string ProgramPath(const std::string& relative);

// What the choice of the program folder looks at (the real file system, or a test's own).
struct FolderFacts {
    std::function<bool(const std::string&)> exists;    // a file or folder is there
    std::function<bool(const std::string&)> writable;  // a folder this user may write into
    std::string home;                                  // $HOME
    std::string xdgDataHome;                           // $XDG_DATA_HOME (may be empty)
};
// The program folder for an executable in `executableFolder` (trailing "/"): that folder when
// it holds a quillrun.ini, or when it is writable and neither a system folder (/usr, /opt,
// /bin, /sbin) nor an installed program's (../share/quillrun/ beside it); else the user's own
// data folder, $XDG_DATA_HOME/quillrun/ (by default ~/.local/share/quillrun/).
std::string ChooseProgramFolder(const std::string& executableFolder, const FolderFacts& facts);
FolderFacts RealFolderFacts();
// Makes the program folder (mode 0700) and its event/, cookies/, response/ and report/ when
// they are missing; false when the folder is not there and cannot be made.
bool LayOutProgramFolder(const std::string& nativeFolder);

// The folder of the read-only parts (object/ bitmaps and icons, help/): the program folder when
// it holds object/, else the executable's folder when it does (a portable build given another
// program folder), else the installed data folder beside the executable (../share/quillrun/).
// The file system's bytes, trailing "/".
const std::string& NativeDataFolder();
std::string ChooseDataFolder(const std::string& programFolder, const std::string& executableFolder,
                             const std::function<bool(const std::string&)>& exists);
void SetNativeDataFolder(const std::string& folder);

}  // namespace quillrun
