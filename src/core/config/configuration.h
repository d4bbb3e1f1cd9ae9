// The configuration file "quillrun.ini": settings and task list, read once at start and
// written once at the end.
#pragma once

#include <string>

#include "core/config/app_state.h"

namespace quillrun {

extern const char kCopyrightLine[];

// The installed help page as a file address: the start page of a first run, which serves
// offline. The program folder's own bytes, those beyond ASCII (and blanks, "%", "#", "?")
// percent-encoded, so that the address is ASCII and names the folder whatever its characters.
std::string DefaultStartPage();

// Sets the run's flags to their start values, works out the paths from programFolder (or from
// the executable when empty), then reads the file, creating it with its defaults when absent.
// False when something of that name exists but cannot be read (another account's file, a
// folder, a pipe): it is left as it is and the program must not go on with an empty list.
bool LoadConfiguration(AppState& app, const std::string& programFolder = std::string());

// What the program says when the configuration cannot be read (CP932).
std::string UnreadableConfigurationMessage(const AppState& app);

// The start-of-run file work that follows the load: trims the activity log and deletes the
// duplicate-post guard file, so the guard counts from the start of this run.
void PrepareRunFiles(const AppState& app);

// Writes CONFIG, Event/Total and one "Event%d" section per task; DEFINE and sections beyond
// the new count stay as they are. One read and one atomic write of the file.
bool SaveConfiguration(const AppState& app);

}  // namespace quillrun
