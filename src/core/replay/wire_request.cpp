#include "core/replay/wire_request.h"

#include "core/config/app_state.h"
#include "core/platform/cp932.h"
#include "core/replay/cookie_store.h"
#include "core/web/url_encoding.h"
#include "core/web/url_endpoint.h"
#include "core/web/url_split.h"

namespace quillrun {

bool WireRequestOf(const EventLine& row, WireRequest& request) {
    if (!RefusedRowHeaders(row.headers).empty())
        return false;  // as the replays refuse it
    const std::string& method = row.method;
    const std::string& url = row.url;
    const std::string& data = row.data;
    bool script = IsScriptRow(row);
    if (script ? method != "POST" && !IsScriptMethod(EventMethodCode(method))
               : method != "URL" && method != "GET" && method != "POST")
        return false;
    std::string wireUrl = url.substr(0, url.find('#'));
    UrlParts parts;
    if (!SplitUrl(wireUrl, parts))
        return false;
    Endpoint target = EndpointOf(wireUrl, parts.host);
    request = WireRequest();
    request.method = method == "POST" ? "POST" : "GET";
    request.headers.emplace_back("User-Agent", "Tindrel/2.0");
    if (target.tls || App().settings.SocketHostHeader == 1)
        request.headers.emplace_back("Host", HostHeaderValue(target));
    // User information goes as the sender sends it: Authorization, not in the address.
    wireUrl = WithoutUserinfo(wireUrl);
    if (!parts.userinfo.empty() && RowHeaderValue(row.headers, "authorization").empty())
        request.headers.emplace_back("Authorization", BasicAuthorization(parts.userinfo));
    std::string cookie = LookupCookies(target.host, parts.path, target.tls);
    if (script) {
        // In the sender's order: its own, the row's Content-Type, the cookies, the row's others.
        request.method = method;
        request.url = wireUrl;
        request.body = ScriptRowBody(row);
        HeaderEntries others;
        for (auto& [name, value] : SplitRowHeaders(row.headers)) {
            if (AsciiLower(name) == "content-type")
                request.headers.emplace_back(name, value);
            else
                others.emplace_back(name, value);
        }
        if (!cookie.empty())
            request.headers.emplace_back("Cookie", cookie);
        request.headers.insert(request.headers.end(), others.begin(), others.end());
        return true;
    }
    if (method == "POST") {
        request.url = wireUrl;
        request.body = data;
        std::string type = "application/x-www-form-urlencoded";
        if (data.find(kMultipartMarker) != std::string::npos) {
            UrlDecode(request.body, 0, true);
            type = "multipart/form-data";
            std::string boundary = MultipartBoundary(request.body);
            if (!boundary.empty())
                type += "; boundary=" + boundary;
        }
        request.headers.emplace_back("Content-Type", type);
        request.bareContentType = true;
    } else {
        // The sender always writes the "?", with or without a query.
        request.url = wireUrl + "?" + data;
    }
    if (!cookie.empty())
        request.headers.emplace_back("Cookie", cookie);
    return true;
}

}  // namespace quillrun
