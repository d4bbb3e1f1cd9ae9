#include "core/platform/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <set>

#include "core/platform/cp932.h"
#include "tests/support/temp_folder.h"

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

namespace quillrun {

TEST(ProgramFolderChoice, PortableFoldersStayAndInstalledProgramsUseTheUsersDataFolder) {
    std::set<std::string> there, writable;
    FolderFacts facts;
    facts.exists = [&](const std::string& p) { return there.count(p) != 0; };
    facts.writable = [&](const std::string& p) { return writable.count(p) != 0; };
    facts.home = "/home/u";
    // A writable build folder or copied folder: as ever.
    writable = {"/home/u/quillrun/"};
    EXPECT_EQ(ChooseProgramFolder("/home/u/quillrun/", facts), "/home/u/quillrun/");
    // A portable folder with its ini, even where it could not be written.
    writable.clear();
    there = {"/media/stick/quillrun/quillrun.ini"};
    EXPECT_EQ(ChooseProgramFolder("/media/stick/quillrun/", facts), "/media/stick/quillrun/");
    // An unwritable folder without an ini: the user's own.
    EXPECT_EQ(ChooseProgramFolder("/srv/tools/", facts), "/home/u/.local/share/quillrun/");
    // Installed under /usr or /opt, even when root could write there.
    writable = {"/usr/bin/", "/opt/quillrun/bin/"};
    EXPECT_EQ(ChooseProgramFolder("/usr/bin/", facts), "/home/u/.local/share/quillrun/");
    facts.xdgDataHome = "/data/u";
    EXPECT_EQ(ChooseProgramFolder("/opt/quillrun/bin/", facts), "/data/u/quillrun/");
    facts.xdgDataHome = "relative/ignored";  // only an absolute XDG_DATA_HOME counts
    EXPECT_EQ(ChooseProgramFolder("/usr/bin/", facts), "/home/u/.local/share/quillrun/");
    // Installed under another prefix: its data folder beside it tells, writable or not.
    facts.xdgDataHome.clear();
    writable = {"/home/u/.local/bin/"};
    there = {"/home/u/.local/bin/../share/quillrun/object"};
    EXPECT_EQ(ChooseProgramFolder("/home/u/.local/bin/", facts), "/home/u/.local/share/quillrun/");
    // ... unless a portable ini was put beside the executable on purpose.
    there.insert("/home/u/.local/bin/quillrun.ini");
    EXPECT_EQ(ChooseProgramFolder("/home/u/.local/bin/", facts), "/home/u/.local/bin/");
}

TEST(ProgramFolderChoice, TheImagesAndHelpComeFromWhereverTheyAre) {
    std::set<std::string> there;
    auto exists = [&](const std::string& p) { return there.count(p) != 0; };
    // A portable folder (the build's dist/): its own.
    there = {"/home/u/q/object"};
    EXPECT_EQ(ChooseDataFolder("/home/u/q/", "/home/u/q/", exists), "/home/u/q/");
    // The same build started with --folder elsewhere: still the executable's.
    EXPECT_EQ(ChooseDataFolder("/tmp/setup/", "/home/u/q/", exists), "/home/u/q/");
    // Installed: the data folder beside the executable's.
    there = {"/usr/bin/../share/quillrun/object"};
    EXPECT_EQ(ChooseDataFolder("/home/u/.local/share/quillrun/", "/usr/bin/", exists),
              "/usr/bin/../share/quillrun/");
    // A program folder of its own with object/ wins over both.
    there.insert("/srv/skin/object");
    EXPECT_EQ(ChooseDataFolder("/srv/skin/", "/usr/bin/", exists), "/srv/skin/");
}

TEST(ProgramFolderChoice, AFirstStartLaysOutTheUsersFolderAndASecondFindsIt) {
    test::TempFolder dir;
    std::string folder = dir / "home/.local/share/quillrun/";
    ASSERT_TRUE(LayOutProgramFolder(folder));
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    for (const char* sub : {"event", "cookies", "response", "report"}) {
        ASSERT_EQ(::stat((folder + sub).c_str(), &info), 0) << sub;
        EXPECT_TRUE(S_ISDIR(info.st_mode));
    }
    test::WriteFile(folder + "event/keep.evf", "1\t\t\t\t\r\n");
    ASSERT_TRUE(LayOutProgramFolder(folder));  // the second start changes nothing
    EXPECT_EQ(test::ReadFile(folder + "event/keep.evf"), "1\t\t\t\t\r\n");
}

}  // namespace quillrun
