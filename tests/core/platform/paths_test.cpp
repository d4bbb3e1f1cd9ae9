#include "core/platform/paths.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/platform/cp932.h"

namespace quillrun {
namespace {

struct Split {
    int result;
    std::string out;
};

Split Folder(const std::string& path, std::size_t size = 260) {
    char out[512];
    std::memset(out, 0, sizeof(out));
    int r = FolderOfPath(path.c_str(), out, size);
    return {r, out};
}

Split Name(const std::string& path, std::size_t size = 260) {
    char out[512];
    std::memset(out, 0, sizeof(out));
    int r = FileNameOfPath(path.c_str(), out, size);
    return {r, out};
}

}  // namespace

TEST(Paths, FolderAndNameSplitAtTheLastSeparator) {
    Split f = Folder("C:\\tools\\app\\x.exe");
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.out, "C:\\tools\\app\\");
    EXPECT_EQ(Folder("/opt/q/event/a.evf").out, "/opt/q/event/");
    EXPECT_EQ(Name("/opt/q/event/a.evf").out, "a.evf");

    // No separator, or only one at index 0: the whole path, result 0 for the folder.
    f = Folder("a.evf");
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.out, "a.evf");
    f = Folder("/a.evf");
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.out, "/a.evf");
    EXPECT_EQ(Name("/a.evf").out, "/a.evf");
    EXPECT_EQ(Name("a.evf").result, 1);
}

TEST(Paths, SecondByteOfADoubleByteCharacterIsNoSeparator) {
    // 表 is 0x95 0x5C: its second byte is "\" but must not split the path.
    std::string path = "C:\\" + J("表") + "\\" + J("ソフト表");
    Split f = Folder(path);
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.out, "C:\\" + J("表") + "\\");
    EXPECT_EQ(Name(path).out, J("ソフト表"));
    EXPECT_EQ(Folder(J("表") + "x").result, 0);
    EXPECT_EQ(Name(J("表")).out, J("表"));
}

TEST(Paths, TooSmallBufferCopiesNothing) {
    Split f = Folder("/ab/cd", 4);  // "/ab/" needs 5 bytes
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.out, "");
    EXPECT_EQ(Folder("/ab/cd", 5).result, 1);
    Split n = Name("/ab/cdef", 4);
    EXPECT_EQ(n.result, 0);
    EXPECT_EQ(n.out, "");
}

TEST(Paths, ProgramPathsAreBuiltFromTheProgramFolder) {
    std::string saved = ProgramFolder();
    SetProgramFolder("/opt/quillrun");
    EXPECT_EQ(ProgramFolder(), "/opt/quillrun/");
    EXPECT_EQ(ProgramPath("cookies/quillrun.sin"), "/opt/quillrun/cookies/quillrun.sin");
    SetProgramFolder(saved);
}

}  // namespace quillrun
