// A loopback site as today's frameworks make them: a session cookie, a token per session checked
// on every change (a hidden input, a <meta> token in a header and a JSON body, an XSRF-TOKEN
// cookie echoed in a header), a login that answers 303 to a booking form, and an Origin that,
// when sent, must be the site's own. Refusals answer 419 (token) or 403 (origin).
#pragma once

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "tests/support/loopback_http_server.h"

namespace quillrun::test {

class TokenSite {
  public:
    Reply Serve(const ReceivedRequest& r) {
        std::lock_guard<std::mutex> lock(lock_);
        // As Django does: an Origin that is sent must be the site's own (the host it names; a
        // request without Host, as the socket sender's plain rows are, names none).
        std::string origin = r.Header("origin");
        std::string host = r.Header("host");
        if (r.method != "GET" && !origin.empty() && !host.empty() && origin != "http://" + host)
            return Refused("Origin checking failed - " + origin + " does not match");
        std::string cookie = r.Header("cookie");
        std::size_t at = cookie.find("sid=");
        int session = at == std::string::npos ? 0 : std::atoi(cookie.c_str() + at + 4);
        std::string path = r.target.substr(0, r.target.find('?'));
        std::string set;
        if (session == 0) {
            session = ++sessions_;
            set = "Set-Cookie: sid=" + std::to_string(session) + "; Path=/\r\n";
        }
        std::string token = "t" + std::to_string(session) + "-" + std::to_string(++issued_);
        if (r.method == "GET" && path == "/login") {
            tokens_[session] = token;
            return Reply::Ok("<form method=post action=/login><input type=hidden name=csrf value=" +
                                 token + "><input name=user></form>",
                             "text/html", set);
        }
        if (r.method == "POST" && path == "/login") {
            if (r.body != "csrf=" + tokens_[session] + "&user=me")
                return Refused();
            Reply see;
            see.raw = "HTTP/1.0 303 See Other\r\nLocation: /book\r\nContent-Length: 0\r\n\r\n";
            return see;
        }
        if (r.method == "GET" && path == "/book") {
            tokens_[session] = token;
            return Reply::Ok("<form method=post action=/book><input type=hidden name=csrf value=" +
                                 token + "><input name=seat></form>",
                             "text/html", set);
        }
        if (r.method == "POST" && path == "/book")
            return r.body == "csrf=" + tokens_[session] + "&seat=1" ? Ok("booked") : Refused();
        if (r.method == "GET" && path == "/app") {
            tokens_[session] = token;
            return Reply::Ok(
                "<html><head><meta name=csrf-param content=authenticity_token>"
                "<meta name=csrf-token content=\"" +
                    token + "\"></head></html>",
                "text/html", set + "Set-Cookie: XSRF-TOKEN=x" + token + "%3D; Path=/\r\n");
        }
        if (r.method == "POST" && path == "/api/order") {
            bool ok = r.Header("x-csrf-token") == tokens_[session] &&
                      r.body == "{\"authenticity_token\":\"" + tokens_[session] + "\",\"n\":2}";
            return ok ? Ok("{\"ok\":true}") : Refused();
        }
        if (r.method == "PUT" && path == "/api/seat")
            return r.Header("x-xsrf-token") == "x" + tokens_[session] + "=" ? Ok("{}") : Refused();
        if (r.method != "GET") {
            Reply missing;
            missing.raw = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n";
            return missing;
        }
        return Ok("page");
    }

  private:
    static Reply Ok(const std::string& body) { return Reply::Ok(body); }
    static Reply Refused(const std::string& why = "CSRF token mismatch") {
        Reply reply;
        reply.raw =
            "HTTP/1.0 " +
            std::string(why.rfind("Origin", 0) == 0 ? "403 Forbidden" : "419 Page Expired") +
            "\r\nContent-Length: " + std::to_string(why.size()) + "\r\n\r\n" + why;
        return reply;
    }
    std::mutex lock_;
    int sessions_ = 0;
    int issued_ = 0;
    std::map<int, std::string> tokens_;
};

}  // namespace quillrun::test
