#include "core/tasks/task_form.h"

#include <gtest/gtest.h>

#include "core/platform/cp932.h"

namespace quillrun {
namespace {

TaskList Named(std::initializer_list<std::string> names) {
    TaskList tasks;
    for (const std::string& n : names) {
        TaskRecord t;
        t.SetName(n);
        tasks.Append(t);
    }
    return tasks;
}

}  // namespace

TEST(TaskForm, FormAndRecordAndTheCombos) {
    EXPECT_EQ(ComboEntries(0).size(), 101u);
    EXPECT_EQ(ComboEntries(0)[1], "1950");
    EXPECT_EQ(ComboEntries(1).size(), 13u);
    EXPECT_EQ(ComboEntries(2).back(), "31");
    EXPECT_EQ(ComboEntries(3)[1], "00");
    EXPECT_EQ(ComboEntries(4).size(), 61u);

    // Nothing selected and neither button set: every minute, IE.
    TaskForm empty;
    empty.name = "t";
    TaskRecord r;
    ReadTaskForm(empty, r);
    EXPECT_EQ(r.EventTime_Year, -1);
    EXPECT_EQ(r.EventTime_Minute, -1);
    EXPECT_EQ(r.EventExecType, kExecIE);
    EXPECT_EQ(ScheduleDescription(r), J("タスク t を 毎年 毎月 毎日 毎時 毎分 に実行します"));

    r.SetName(J("朝"));
    r.EventTime_Hour = 7;
    r.EventTime_Minute = 5;
    r.EventTime_Year = 2026;
    EXPECT_EQ(ScheduleDescription(r), J("タスク 朝 を 2026年 毎月 毎日 7時 5分 に実行します"));
    r.EventExecType = kExecSocket;
    TaskForm shown = ShowTaskForm(r);
    EXPECT_EQ(shown.year, 77);
    EXPECT_EQ(shown.hour, 8);
    EXPECT_EQ(shown.minute, 6);
    EXPECT_EQ(shown.execType, 0);
    TaskRecord back;
    ReadTaskForm(shown, back);
    EXPECT_EQ(back.EventTime_Year, 2026);
    EXPECT_EQ(back.EventTime_Minute, 5);
    EXPECT_EQ(back.EventExecType, kExecSocket);
    r.EventTime_Year = 2100;  // outside the offered years: no selection, read back as every
    EXPECT_EQ(ShowTaskForm(r).year, -1);
}

TEST(TaskForm, NameRules) {
    TaskList tasks = Named({"a", "b"});
    EXPECT_EQ(CheckTaskName("None", tasks, -1), NameProblem::Reserved);
    EXPECT_EQ(CheckTaskName("none", tasks, -1), NameProblem::None);
    for (char c : std::string("\\/:*?\"<>|")) {
        EXPECT_EQ(CheckTaskName(std::string("x") + c + "y", tasks, -1),
                  NameProblem::ForbiddenCharacter)
            << c;
    }
    // 表 and ソ end in 0x5C, which is no backslash there.
    EXPECT_EQ(CheckTaskName(J("表ソフト"), tasks, -1), NameProblem::None);
    // A lead byte before "/" makes no character: the "/" is seen (the name would otherwise
    // lead out of the event folder).
    EXPECT_EQ(CheckTaskName("\xF2/../../x", tasks, -1), NameProblem::ForbiddenCharacter);
    EXPECT_EQ(CheckTaskName("x\x81", tasks, -1), NameProblem::None);  // a lead byte at the end
    EXPECT_EQ(CheckTaskName("a", tasks, -1), NameProblem::Taken);
    EXPECT_EQ(CheckTaskName("a", tasks, 0), NameProblem::None);  // renaming a to a
    EXPECT_EQ(NameProblemMessage(NameProblem::ForbiddenCharacter),
              J("タスク名の一部に文字 /:*?\"<>| は利用できません"));
}

TEST(TaskForm, CopyNames) {
    EXPECT_EQ(CopyName("X", Named({"X"})), "X(0)");
    EXPECT_EQ(CopyName("X", Named({"X", "X(0)"})), "X(1)");
    std::string longName = std::string(255, 'n') + J("表");
    std::string copy = CopyName(longName, Named({longName}));
    EXPECT_LE(copy.size(), 259u);
    EXPECT_EQ(copy.substr(copy.size() - 3), "(0)");
    EXPECT_EQ(Utf8ToCp932(Cp932ToUtf8(copy)), copy);  // no half character
}

TEST(TaskForm, TakeOverNames) {
    EXPECT_EQ(TakeOverBase("GET", "http://www.example.jp:8080/search"), "www.example.jp_8080");
    EXPECT_EQ(TakeOverBase("SET", "submit=go"), "setrequest");
    EXPECT_EQ(TakeOverBase("URL", "http://host"), "host");
    EXPECT_EQ(TakeOverBase("URL", "http://host?q=1"), "host");
    EXPECT_EQ(TakeOverBase("URL", "about:blank"), "about_blank");
    EXPECT_EQ(TakeOverBase("URL", "http://" + J("表示.jp") + "/"), J("表示.jp"));

    std::string name = J("新規 [h]");
    EXPECT_EQ(TakeOverName("h", Named({})), name);
    EXPECT_EQ(TakeOverName("h", Named({name})), name + " (2)");
    EXPECT_EQ(TakeOverName("h", Named({name, name + " (2)"})), name + " (3)");
    std::string longBase(300, 'b');
    std::string longName = TakeOverName(longBase, Named({}));
    EXPECT_LE(longName.size(), 259u);
    EXPECT_LE(TakeOverName(longBase, Named({longName})).size(), 259u);
}

}  // namespace quillrun
