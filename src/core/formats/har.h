// HAR 1.2, the request logs browsers and proxies save: the rows' requests written as one, and an
// event file made of a browser's HAR (its page navigations and form posts, in order).
#pragma once

#include <string>
#include <vector>

#include "core/web/http_request.h"

namespace quillrun {

// A HAR 1.2 document (UTF-8 JSON) of the requests, in order; `startedAt` an ISO 8601 time.
std::string HarDocument(const std::vector<WireRequest>& requests, const std::string& startedAt);

struct HarImport {
    bool readable = false;             // JSON with a "log" object
    std::string eventFile;             // the event lines, the list's end included
    int events = 0;                    // rows written
    std::vector<std::string> leftOut;  // "entry N (METHOD URL) left out: why", in order
};

// The event file of a HAR's entries: GET documents as URL or GET rows, form posts as POST rows,
// script requests (and bodies no form sends) as script rows with their headers; only entries
// to the hosts named when some are. Every entry left out is said with its reason.
HarImport ImportHar(const std::string& json, const std::vector<std::string>& hosts);

}  // namespace quillrun
