#include "core/replay/cookie_store.h"

#include <algorithm>

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/ini.h"
#include "core/platform/paths.h"
#include "core/replay/cookie_rules.h"
#include "core/web/charset_converter.h"

namespace quillrun {
namespace {

constexpr std::size_t kConvertedWidth = 20480;
constexpr std::size_t kCookieCopyMax = 997;
constexpr std::size_t kDomainMax = 194;
constexpr std::size_t kPathMax = 196;
constexpr std::size_t kPairPartMax = 1024;
constexpr std::size_t kCookieLineRead = 259;  // a 260-byte line buffer
constexpr int kCookieFilesMax = 100;

// A text from a server as part of a file name: no separators, no brackets (they delimit domain
// and path in the name, and the lookup counts them byte by byte), no control characters.
std::string SafeNamePart(const std::string& text, char separatorReplacement) {
    std::string out = text;
    for (char& ch : out) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '/' || c == '\\') {
            ch = separatorReplacement;
        } else if (IsControlByte(c) || c == '[' || c == ']') {
            ch = '_';
        }
    }
    return out;
}

bool MatchesPattern(const std::string& name, const std::string& pattern) {
    if (pattern == "*.*" || pattern == "*")
        return true;
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    // Iterative glob with "*" and "?", ASCII case-insensitive as on the original's file system.
    std::size_t n = 0, p = 0, star = std::string::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

int Fail(Prompter* owner, const char* utf8Message, int result) {
    if (owner != nullptr) {
        owner->Ask(J(utf8Message), "ERROR", PromptButtons::Ok, PromptIcon::Exclamation);
    }
    return result;
}

}  // namespace

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Whether a request path lies at or under a cookie path, segment by segment.
bool PathMatches(std::string requestPath, std::string cookiePath) {
    if (requestPath.empty() || requestPath[0] != '/')
        requestPath.insert(0, 1, '/');
    if (cookiePath.empty() || cookiePath[0] != '/')
        cookiePath.insert(0, 1, '/');
    if (cookiePath == "/" || requestPath == cookiePath)
        return true;
    return requestPath.compare(0, cookiePath.size(), cookiePath) == 0 &&
           (cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/' ||
            requestPath[cookiePath.size()] == '?');
}

bool IsCookieAttribute(std::string_view name) {
    for (const char* attribute :
         {"path", "domain", "expires", "max-age", "secure", "httponly", "samesite"}) {
        if (EqualNoCase(Trimmed(name), attribute))
            return true;
    }
    return false;
}

// Whether a host is the cookie's domain or inside it.
bool DomainMatches(const std::string& host, const std::string& domain) {
    if (domain.empty())
        return false;
    if (EqualNoCase(host, domain))
        return true;
    return host.size() > domain.size() + 1 && host[host.size() - domain.size() - 1] == '.' &&
           EqualNoCase(std::string_view(host).substr(host.size() - domain.size()), domain);
}

// One Set-Cookie header's value: its cookie and the attributes the store keeps; false when it
// sets no cookie (no "=" in its first pair). Max-Age decides over Expires whether the cookie is
// already expired; a Path that does not start with "/" and an empty Domain count as absent.
bool ReadSetCookie(std::string_view rest, SetCookie& cookie) {
    bool first = true, maxAge = false;
    std::time_t now = std::time(nullptr);
    while (true) {
        std::size_t semicolon = rest.find(';');
        std::string_view part = Trimmed(rest.substr(0, semicolon));
        std::size_t equals = part.find('=');
        std::string_view key = Trimmed(part.substr(0, equals));
        std::string_view value = equals == std::string_view::npos
                                     ? std::string_view()
                                     : Trimmed(part.substr(equals + 1));
        if (first) {
            if (equals == std::string_view::npos)
                return false;
            cookie.name = std::string(key);
            cookie.value = std::string(value);
            first = false;
        } else if (EqualNoCase(key, "domain")) {
            while (!value.empty() && value.front() == '.')
                value.remove_prefix(1);
            if (!value.empty())
                cookie.domain = std::string(value.substr(0, kDomainMax));
        } else if (EqualNoCase(key, "path")) {
            cookie.path = value.empty() || value[0] != '/' ? std::string()
                                                           : std::string(value.substr(0, kPathMax));
        } else if (EqualNoCase(key, "secure")) {
            cookie.secure = true;
        } else if (EqualNoCase(key, "max-age")) {
            std::string_view digits = !value.empty() && value[0] == '-' ? value.substr(1) : value;
            if (!digits.empty() &&
                digits.find_first_not_of("0123456789") == std::string_view::npos) {
                maxAge = true;
                cookie.expired =
                    value[0] == '-' || digits.find_first_not_of('0') == std::string_view::npos;
            }
        } else if (EqualNoCase(key, "expires") && !maxAge) {
            std::time_t when = 0;
            if (ParseCookieDate(value, when))
                cookie.expired = when < now;
        }
        if (semicolon == std::string_view::npos)
            break;
        rest = rest.substr(semicolon + 1);
    }
    return true;
}

}  // namespace

std::vector<SetCookie> ParseSetCookies(std::string_view response) {
    std::vector<SetCookie> cookies;
    std::size_t zero = response.find('\0');
    if (zero != std::string_view::npos)
        response = response.substr(0, zero);
    // The header section only: a "domain=" in the page is no cookie's.
    std::size_t end = response.find("\r\n\r\n");
    std::size_t bare = response.find("\n\n");
    if (bare != std::string_view::npos && (end == std::string_view::npos || bare < end))
        end = bare;
    if (end != std::string_view::npos)
        response = response.substr(0, end);
    CharsetConverter converter;
    converter.SetOption("s");
    std::string text = CutToWidth(converter.Convert(response), kConvertedWidth);

    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t lineEnd = text.find('\n', at);
        std::string_view line(text.data() + at,
                              (lineEnd == std::string::npos ? text.size() : lineEnd) - at);
        at = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos ||
            !EqualNoCase(Trimmed(line.substr(0, colon)), "Set-Cookie"))
            continue;
        std::string_view rest = line.substr(colon + 1);
        SetCookie cookie;
        if (!ReadSetCookie(rest, cookie))
            continue;
        if (cookie.name.empty() || cookie.name.size() + cookie.value.size() > kCookieCopyMax)
            continue;
        // A cookie with a control byte (a bare CR inside the header line, say) is ignored, as
        // browsers ignore it: it could go out with nothing, nor be deleted by its name.
        if (HoldsControlByte(cookie.name) || HoldsControlByte(cookie.value))
            continue;
        cookies.push_back(std::move(cookie));
    }
    return cookies;
}

void StoreResponseCookies(std::string_view response, const std::string& host,
                          const std::string& requestPath) {
    for (const SetCookie& cookie : ParseSetCookies(response)) {
        // A Domain is taken only from a host inside it: a site sets no cookie for another.
        if (!cookie.domain.empty() && !HostInCookieDomain(host, cookie.domain))
            continue;
        std::string domain = cookie.domain.empty() ? host : cookie.domain;
        std::string path = cookie.path.empty()
                               ? DefaultCookiePath(requestPath.substr(0, requestPath.find('?')))
                               : cookie.path;
        if (cookie.expired) {
            // How sites log out and clear state: the cookie goes, Secure or not.
            DeleteCookie(cookie.name, CookieFilePath(domain, path, false));
            DeleteCookie(cookie.name, CookieFilePath(domain, path, true));
            continue;
        }
        SaveCookieFile(cookie.name + "=" + cookie.value + ";",
                       CookieFilePath(domain, path, cookie.secure));
    }
}

void DeleteCookie(const std::string& name, const std::string& filePath) {
    if (!FileExists(filePath))
        return;
    IniDocument file;
    if (!file.Load(filePath) ||
        file.GetString("expire_never", name, "\x01", kPairPartMax) == "\x01")
        return;
    file.DeleteKey("expire_never", name);
    file.Save(filePath);
}

void SaveCookieFile(const std::string& cookieText, const std::string& filePath) {
    std::size_t start = cookieText.find("Cookie:");
    start = start == std::string::npos ? 0 : start + 7;
    std::string name, value;
    bool inValue = false;
    IniDocument file;
    bool loaded = false;
    bool changed = false;
    for (std::size_t i = start; i < cookieText.size(); ++i) {
        char c = cookieText[i];
        if (c == '=' && !inValue) {
            inValue = true;
        } else if (c == ';') {
            // A pair with a control byte (a server's bare CR, say) is not kept: it would go
            // back out inside the Cookie header of every later request.
            if (!HoldsControlByte(name) && !HoldsControlByte(value)) {
                if (!loaded) {
                    file.Load(filePath);
                    loaded = true;
                }
                file.SetString("expire_never", name, value);
                changed = true;
            }
            name.clear();
            value.clear();
            inValue = false;
        } else {
            std::string& part = inValue ? value : name;
            if (part.size() >= kPairPartMax)
                break;
            part += c;
        }
    }
    if (changed)
        file.Save(filePath);
}

std::string CookieFilePath(const std::string& domain, const std::string& path, bool secure) {
    return ProgramPath("cookies/[" + SafeNamePart(domain, '_') + "][" + SafeNamePart(path, '@') +
                       (secure ? "][secure].cookie" : "].cookie"));
}

namespace {

// The cookie lines of a cookie file, as a text-mode reader with a 260-byte buffer sees them.
std::vector<std::string> CookieLines(const std::string& content) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < content.size(); ++i) {
        char c = content[i];
        if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
            continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
            continue;
        }
        line += c;
        if (line.size() >= kCookieLineRead) {
            lines.push_back(line);
            line.clear();
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// The domain and path groups of a cookie file's name ("[domain][path]...").
void NameGroups(const std::string& name, std::string& domain, std::string& cookiePath) {
    int brackets = 0;
    for (char c : name) {
        if (c == '[' || c == ']') {
            if (++brackets == 4)
                break;
            continue;
        }
        if (brackets == 1)
            domain += c;
        if (brackets == 3)
            cookiePath += (c == '@' ? '/' : c);
    }
}

}  // namespace

std::string LookupCookies(const std::string& host, const std::string& path, bool secureChannel) {
    std::string out;
    std::string folder = ProgramPath("cookies/");
    std::vector<std::string> names;
    int count = ListFolderFiles(nullptr, folder, names, kCookieFilesMax, kPathWidth, "*.cookie",
                                kListMatchingFiles, true);
    if (count <= 0 || count > kCookieFilesMax)
        return out;
    // Cookies of longer paths go first; among equal paths, a file's in the order they were
    // made (its lines), files in the order of their names.
    std::sort(names.begin(), names.end());
    std::vector<std::pair<std::size_t, std::string>> found;  // path length, "name=value"
    for (const std::string& name : names) {
        std::string domain, cookiePath;
        NameGroups(name, domain, cookiePath);
        // A Secure cookie's file names itself after the two groups; over plain HTTP it stays.
        bool secure = name.find("][secure].cookie") != std::string::npos;
        if (!DomainMatches(host, domain) || !PathMatches(path, cookiePath) ||
            (secure && !secureChannel)) {
            continue;
        }
        std::string content;
        if (!ReadWholeFile(folder + name, content))
            continue;
        for (const std::string& piece : CookieLines(content)) {
            // A control byte in a stored cookie would start a header line of its own; an
            // attribute that an older store kept as a cookie is not one.
            std::size_t equals = piece.find('=');
            if (equals == std::string::npos || HoldsControlByte(piece) ||
                IsCookieAttribute(std::string_view(piece).substr(0, equals)))
                continue;
            found.emplace_back(cookiePath.empty() ? 1 : cookiePath.size(), piece);
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [length, piece] : found) {
        std::string entry = piece + "; ";
        if (out.size() + entry.size() <= kCookieTextWidth - 1)
            out += entry;
    }
    return out;
}

int ListFolderFiles(Prompter* owner, const std::string& folder, std::vector<std::string>& names,
                    int maxCount, std::size_t nameSize, const std::string& pattern, int kind,
                    bool bareNames) {
    names.clear();
    std::string base = folder;
    if (base.empty() || (base.back() != '/' && base.back() != '\\'))
        base += '/';
    if (!IsFolder(base))
        return Fail(owner, "FindHandleが取得出来ません", kListNoFindHandle);

    struct Entry {
        std::string name;
        bool folder;
    };
    std::vector<Entry> entries;
    const std::size_t capacity = (nameSize + 3) * static_cast<std::size_t>(maxCount);
    std::size_t used = 0;
    auto collect = [&](bool wantFiles, bool wantFolders, const std::string& match) -> bool {
        for (const std::string& name : ListFolder(base)) {
            bool isFolder = IsFolder(base + name);
            if (isFolder ? !wantFolders : !wantFiles)
                continue;
            if (!MatchesPattern(name, match))
                continue;
            if (used + name.size() + 2 > capacity)
                return false;
            used += name.size() + 2;
            entries.push_back({name, isFolder});
        }
        return true;
    };
    bool fits = true;
    switch (kind) {
        case kListFilesAndFolders:
            fits = collect(true, true, "*.*");
            break;
        case kListMatchingFiles:
            fits = collect(true, false, pattern);
            break;
        case kListFolders:
            fits = collect(false, true, "*.*");
            break;
        default:
            fits = collect(true, false, pattern) && collect(false, true, "*.*");
            break;
    }
    if (!fits)
        return Fail(owner, "メモリ確保が足りません", kListBufferTooSmall);

    for (const Entry& entry : entries) {
        std::string name = bareNames ? entry.name : base + entry.name;
        if (name.size() + 1 > nameSize) {
            names.clear();
            return Fail(owner, "確保メモリが足りません。-パス名が確保したメモリより長い。-",
                        kListNameTooLong);
        }
        if (static_cast<int>(names.size()) >= maxCount) {
            Fail(owner, "確保メモリ不足により、途中まで出力。", 0);
            break;
        }
        names.push_back(name);
    }
    return static_cast<int>(names.size());
}

}  // namespace quillrun
