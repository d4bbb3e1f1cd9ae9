// --help, --version, and the answer to arguments that are refused.
#include <cstdio>

#include "gui/cli/verb.h"

namespace quillrun {

std::string UsageText() {
    return "Usage: quillrun                           start the desktop program\n"
           "       quillrun --run FILE.evf [--browser] replay an event file now\n"
           "       quillrun --run FILE.evf [--browser] --at TIME\n"
           "                                          replay it at a moment (HH:MM[:SS[.mmm]], "
           "the\n"
           "                                          next such time, or "
           "YYYY-MM-DDTHH:MM[:SS[.mmm]]\n"
           "                                          within 24 hours): connected ahead, the "
           "first\n"
           "                                          request written at that moment\n"
           "                                          (--no-preconnect: connect at the moment)\n"
           "                                          a time passed less than 10 minutes ago is\n"
           "                                          refused; --late-ok sends at once instead\n"
           "         --moment-row N [--lead S]        row N is written at the moment; the rows\n"
           "                                          before it start S seconds ahead (30)\n"
           "         --expect TEXT  --reject TEXT     the last answer must (not) contain TEXT\n"
           "         --status 200-299,302             the statuses that count (default 2xx, 3xx)\n"
           "         --retry-every MS --retry-for S   try again every MS ms (at least 100) until\n"
           "                                          it succeeds or S seconds have passed\n"
           "         --junit OUT.xml                  write the tries as a JUnit XML report\n"
           "         --fresh-hidden                   hidden fields and tokens take the values of\n"
           "                                          the page before each row\n"
           "       quillrun --export-curl FILE.evf    a curl command per row (the same bytes)\n"
           "       quillrun --export-har FILE.evf -o OUT.har\n"
           "                                          the rows' requests as a HAR 1.2 file\n"
           "       quillrun --import-har FILE.har [--host HOST]... -o OUT.evf\n"
           "                                          an event file of a HAR's navigations and\n"
           "                                          form posts\n"
           "       quillrun --headless                run the scheduled tasks without a window\n"
           "       quillrun --clock                   is this machine's clock synchronised?\n"
           "       quillrun --server-clock URL        how far a web server's clock is from ours\n"
           "       quillrun [...] --folder DIR        use DIR as the program folder for this "
           "start\n"
           "       quillrun [--headless] --instance-dir DIR\n"
           "                                          keep the per-user lock in DIR (tests, a\n"
           "                                          deliberate second setup on another folder)\n"
           "       quillrun --help | --version\n"
           "\n"
           "--run uses the settings, cookies and response files of the program folder:\n"
           "--folder DIR, else ~/.local/share/quillrun for the installed program\n"
           "($XDG_DATA_HOME/quillrun when that is set), else the executable's own folder\n"
           "(a portable setup: writable, or with quillrun.ini beside it); and the socket\n"
           "sender, or with --browser the browser engine offscreen; it prints one line per\n"
           "row (time, method, URL, status line or error, bytes received, milliseconds) and\n"
           "exits 0 when every row got a 2xx or 3xx status (a status --status names) and the\n"
           "last answer passed --expect and --reject, 1 when a row failed or was not sent or\n"
           "the rule failed on every try, 2 on bad arguments or a file that cannot be read or\n"
           "is no event file. A running desktop program does not stop it; the duplicate-post\n"
           "guard applies as for tasks.\n"
           "--headless runs the scheduler and both replay engines with no display; it and the\n"
           "desktop program refuse to run together. SIGTERM ends it normally.\n";
}

int HelpVerb(const CommandLine&, ProgramStart&) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
}

int VersionVerb(const CommandLine&, ProgramStart&) {
    std::printf("quillrun %s\n", QUILLRUN_VERSION);
    return 0;
}

int MistakeVerb(const CommandLine& line, ProgramStart&) {
    std::fprintf(stderr, "quillrun: %s\n", line.error.c_str());
    return 2;
}

}  // namespace quillrun
