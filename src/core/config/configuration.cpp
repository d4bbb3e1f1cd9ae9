#include "core/config/configuration.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "core/config/activity_log.h"
#include "core/config/status_ranges.h"
#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/ini.h"
#include "core/platform/paths.h"

namespace quillrun {

const char kCopyrightLine[] = "Copyright (C) 2026 quillrun developers";

namespace {

std::string EventSection(int index) {
    return "Event" + std::to_string(index);
}

// Written as the value in force: any non-zero AutoIEClose acts as on, so it is stored as "1".
const char* FlagText(std::int32_t flag) {
    return flag == 1 ? "1" : "0";
}
const char* OnOffText(std::int32_t flag) {
    return flag != 0 ? "1" : "0";
}

std::int32_t ReadTimeField(const IniDocument& ini, const std::string& section, const char* key) {
    return LeadingInteger(ini.GetString(section, key, "", kPathWidth));
}

// A task list longer than this is taken as a damaged count, not as tasks.
constexpr int kTaskCountLimit = 100000;

// The n of every "Event<n>" section header in the file, in increasing order, without repeats.
std::vector<int> EventSectionNumbers(const std::string& fileText) {
    std::vector<int> numbers;
    std::string_view text(fileText);
    std::size_t pos = 0;
    while ((pos = text.find("[Event", pos)) != std::string_view::npos) {
        pos += 6;
        std::size_t end = pos;
        long value = 0;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9' && end - pos < 9) {
            value = value * 10 + (text[end] - '0');
            ++end;
        }
        if (end > pos && end < text.size() && text[end] == ']')
            numbers.push_back(static_cast<int>(value));
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

// An optional limit in seconds: 0 (the default) when absent or not positive, at most a day.
std::int32_t TimeoutSeconds(const IniDocument& ini, const char* key) {
    return std::clamp(ini.GetInt("CONFIG", key, 0), 0, 86400);
}

void CreateConfigurationFile(AppState& app) {
    IniDocument ini;
    app.SetStartPage(DefaultStartPage());
    ini.SetString("DEFINE", "iniver", "100");
    ini.SetString("DEFINE", "copyright", kCopyrightLine);
    ini.SetString("CONFIG", "startpage", app.settings.startpage);
    ini.SetString("CONFIG", "StartUpInTask", "0");
    ini.SetString("CONFIG", "AutoIEClose", "1");
    ini.SetString("CONFIG", "OutputDebugTrace", "0");
    ini.SetString("CONFIG", "CGITestMode", "0");
    ini.SetString("Event", "Total", "0");
    ini.Save(app.configPath);
    app.settings.StartUpInTask = 0;
    app.settings.AutoIEClose = 1;
    app.settings.OutputDebugTrace = 0;
    app.settings.CGITestMode = 0;
}

}  // namespace

std::string DefaultStartPage() {
    std::string address = "file://";
    for (unsigned char c : NativeDataFolder() + "help/index.html") {
        if (c >= 0x80 || c <= 0x20 || c == '%' || c == '#' || c == '?') {
            char escape[4];
            std::snprintf(escape, sizeof(escape), "%%%02X", c);
            address += escape;
        } else {
            address += static_cast<char>(c);
        }
    }
    return address;
}

std::string UnreadableConfigurationMessage(const AppState& app) {
    return J("設定ファイルを読み込めないため、起動を中止します（ファイルはそのままです）: ") +
           app.configPath;
}

namespace {

void ReadSettings(const IniDocument& ini, AppState& app) {
    app.SetStartPage(ini.GetString("CONFIG", "startpage", DefaultStartPage(), kPathWidth));
    app.settings.StartUpInTask = ini.GetInt("CONFIG", "StartUpInTask", 0) == 1 ? 1 : 0;
    app.settings.AutoIEClose = ini.GetInt("CONFIG", "AutoIEClose", 1);
    app.settings.OutputDebugTrace = ini.GetInt("CONFIG", "OutputDebugTrace", 0) == 1 ? 1 : 0;
    app.settings.CGITestMode = ini.GetInt("CONFIG", "CGITestMode", 0) == 1 ? 1 : 0;
    app.settings.SocketConnectTimeout = TimeoutSeconds(ini, "SocketConnectTimeout");
    app.settings.SocketReceiveTimeout = TimeoutSeconds(ini, "SocketReceiveTimeout");
    app.settings.SocketRowTimeout = TimeoutSeconds(ini, "SocketRowTimeout");
    app.settings.SocketHostHeader = ini.GetInt("CONFIG", "SocketHostHeader", 0) == 1 ? 1 : 0;
    app.settings.NotifyCommand = ini.GetString("CONFIG", "NotifyCommand", "", kLongPathWidth);
    app.settings.RecordScriptRequests =
        ini.GetInt("CONFIG", "RecordScriptRequests", 0) == 1 ? 1 : 0;
}

// The numbers of the "Event%d" sections the task list is read from. They are "Event0" to
// "Event<Total - 1>"; a missing section gives an empty task that never runs. A damaged Total
// far beyond the sections of the file would only add such empty tasks, without end: the list is
// then made of the sections present below Total, in their order, so that memory and time
// follow the file and no task is lost.
std::vector<int> TaskSections(const std::string& text, int count) {
    std::vector<int> sections;
    std::vector<int> present = EventSectionNumbers(text);
    int highest = present.empty() ? -1 : present.back();
    if (count > 1000 && count > highest + 1)
        count = highest + 1;
    if (count > kTaskCountLimit || count > static_cast<int>(present.size()) + 1000) {
        for (int n : present) {
            if (n < count && static_cast<int>(sections.size()) < kTaskCountLimit)
                sections.push_back(n);
        }
    } else {
        for (int n = 0; n < count; ++n)
            sections.push_back(n);
    }
    return sections;
}

void ReadTask(const IniDocument& ini, const std::string& section, TaskRecord& task) {
    task.SetName(ini.GetString(section, "EventName", "", kPathWidth));
    task.SetDataFile(ini.GetString(section, "EventDataFile", "", kLongPathWidth));
    task.EventTime_Year = ReadTimeField(ini, section, "EventTime_Year");
    task.EventTime_Month = ReadTimeField(ini, section, "EventTime_Month");
    task.EventTime_Day = ReadTimeField(ini, section, "EventTime_Day");
    task.EventTime_Hour = ReadTimeField(ini, section, "EventTime_Hour");
    task.EventTime_Minute = ReadTimeField(ini, section, "EventTime_Minute");
    task.EventExecType = ReadTimeField(ini, section, "EventExecType");
    task.EventOffsetMs =
        std::clamp(ReadTimeField(ini, section, "EventOffsetMs"), -kOffsetLimitMs, kOffsetLimitMs);
    task.EventExpectText = ini.GetString(section, "EventExpectText", "", kPathWidth);
    task.EventRejectText = ini.GetString(section, "EventRejectText", "", kPathWidth);
    task.EventExpectStatus = ini.GetString(section, "EventExpectStatus", "", kPathWidth);
    if (!ValidStatusRanges(task.EventExpectStatus))
        task.EventExpectStatus.clear();
    task.EventRetryMs = std::clamp(ReadTimeField(ini, section, "EventRetryMs"), 0, 3600000);
    if (task.EventRetryMs > 0)
        task.EventRetryMs = std::max(task.EventRetryMs, kShortestRetryEveryMs);
    task.EventRetrySeconds = std::clamp(ReadTimeField(ini, section, "EventRetrySeconds"), 0, 3600);
    std::string notify = ini.GetString(section, "EventNotify", "", kPathWidth);
    task.EventNotify = notify.empty() ? 1 : std::clamp(LeadingInteger(notify), 0, 2);
    task.EventFreshHidden = ReadTimeField(ini, section, "EventFreshHidden") == 1 ? 1 : 0;
    task.EventMomentRow = std::clamp(ReadTimeField(ini, section, "EventMomentRow"), 0, 99999);
    if (task.EventMomentRow < 1)
        task.EventMomentRow = 1;
    std::string lead = ini.GetString(section, "EventLeadSeconds", "", kPathWidth);
    task.EventLeadSeconds = lead.empty() ? kDefaultLeadSeconds
                                         : std::clamp(LeadingInteger(lead), 1, kLongestLeadSeconds);
}

}  // namespace

bool LoadConfiguration(AppState& app, const std::string& programFolder) {
    app.settings = Settings();
    app.tasks.Clear();
    app.currentTab = 0;
    app.recording = 0;
    app.playing = 0;
    app.modalDialog = 0;

    if (!programFolder.empty())
        SetProgramFolder(programFolder);
    // Paths are never cut: a long folder would make the settings and the log one file.
    app.programFolder = ProgramFolder();
    app.configPath = ProgramPath("quillrun.ini");
    app.logPath = ProgramPath("quillrun.log");
    SetActivityLog(app.logPath, &app.settings.OutputDebugTrace);

    std::string text;
    if (!PathExists(app.configPath)) {
        CreateConfigurationFile(app);
        return true;
    }
    // A file that exists is never replaced by the defaults: its tasks would be lost.
    if (!ReadWholeFile(app.configPath, text))
        return false;
    IniDocument ini;
    ini.Parse(text);
    ReadSettings(ini, app);
    int count = ini.GetInt("Event", "Total", 0);
    if (count < 1)
        return true;
    std::vector<int> sections = TaskSections(text, count);
    count = static_cast<int>(sections.size());
    if (count < 1 || !app.tasks.Reset(count))
        return true;
    for (int i = 0; i < count; ++i)
        ReadTask(ini, EventSection(sections[static_cast<std::size_t>(i)]), app.tasks.At(i));
    return true;
}

void PrepareRunFiles(const AppState& app) {
    // Saves cut short by a kill leave their temporary copies behind.
    for (const char* folder : {"", "event/", "cookies/"})
        RemoveStaleTemporaryFiles(app.programFolder + folder);
    TrimLogAtStartup(app.logPath);
    RemoveFile(app.programFolder + "cookies/quillrun.sin");
}

bool SaveConfiguration(const AppState& app) {
    IniDocument ini;
    ini.Load(app.configPath);
    ini.SetString("CONFIG", "startpage", app.settings.startpage);
    ini.SetString("CONFIG", "StartUpInTask", FlagText(app.settings.StartUpInTask));
    ini.SetString("CONFIG", "AutoIEClose", OnOffText(app.settings.AutoIEClose));
    ini.SetString("CONFIG", "OutputDebugTrace", FlagText(app.settings.OutputDebugTrace));
    ini.SetString("CONFIG", "CGITestMode", FlagText(app.settings.CGITestMode));
    if (!app.settings.NotifyCommand.empty())
        ini.SetString("CONFIG", "NotifyCommand", app.settings.NotifyCommand);
    else
        ini.DeleteKey("CONFIG", "NotifyCommand");
    if (app.settings.RecordScriptRequests == 1)
        ini.SetString("CONFIG", "RecordScriptRequests", "1");
    else
        ini.DeleteKey("CONFIG", "RecordScriptRequests");
    ini.SetString("Event", "Total", std::to_string(app.tasks.Count()));
    for (int i = 0; i < app.tasks.Count(); ++i) {
        const TaskRecord& task = app.tasks.At(i);
        std::string section = EventSection(i);
        ini.SetString(section, "EventName", task.EventName);
        ini.SetString(section, "EventDataFile", task.EventDataFile);
        ini.SetString(section, "EventTime_Year", std::to_string(task.EventTime_Year));
        ini.SetString(section, "EventTime_Month", std::to_string(task.EventTime_Month));
        ini.SetString(section, "EventTime_Day", std::to_string(task.EventTime_Day));
        ini.SetString(section, "EventTime_Hour", std::to_string(task.EventTime_Hour));
        ini.SetString(section, "EventTime_Minute", std::to_string(task.EventTime_Minute));
        ini.SetString(section, "EventExecType", std::to_string(task.EventExecType));
        // A task without an offset is written as it always was; a section that held one
        // (an offset taken away, or tasks moved down a section) loses it.
        if (task.EventOffsetMs != 0)
            ini.SetString(section, "EventOffsetMs", std::to_string(task.EventOffsetMs));
        else
            ini.DeleteKey(section, "EventOffsetMs");
        auto optional = [&](const char* key, const std::string& value, bool set) {
            if (set)
                ini.SetString(section, key, value);
            else
                ini.DeleteKey(section, key);
        };
        optional("EventExpectText", task.EventExpectText, !task.EventExpectText.empty());
        optional("EventRejectText", task.EventRejectText, !task.EventRejectText.empty());
        optional("EventExpectStatus", task.EventExpectStatus, !task.EventExpectStatus.empty());
        optional("EventRetryMs", std::to_string(task.EventRetryMs), task.EventRetryMs != 0);
        optional("EventRetrySeconds", std::to_string(task.EventRetrySeconds),
                 task.EventRetrySeconds != 0);
        optional("EventNotify", std::to_string(task.EventNotify), task.EventNotify != 1);
        optional("EventFreshHidden", "1", task.EventFreshHidden == 1);
        optional("EventMomentRow", std::to_string(task.EventMomentRow), task.EventMomentRow > 1);
        optional("EventLeadSeconds", std::to_string(task.EventLeadSeconds),
                 task.EventLeadSeconds != kDefaultLeadSeconds);
    }
    return ini.Save(app.configPath);
}

}  // namespace quillrun
