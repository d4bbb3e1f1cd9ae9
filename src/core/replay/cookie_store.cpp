#include "core/replay/cookie_store.h"

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/ini.h"
#include "core/platform/paths.h"
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
        bool first = true;
        while (true) {
            std::size_t semicolon = rest.find(';');
            std::string_view part = Trimmed(rest.substr(0, semicolon));
            std::size_t equals = part.find('=');
            std::string_view key = Trimmed(part.substr(0, equals));
            std::string_view value = equals == std::string_view::npos
                                         ? std::string_view()
                                         : Trimmed(part.substr(equals + 1));
            if (first) {
                cookie.name = std::string(key);
                cookie.value = std::string(value);
                first = false;
            } else if (EqualNoCase(key, "domain")) {
                while (!value.empty() && value.front() == '.')
                    value.remove_prefix(1);
                cookie.domain = std::string(value.substr(0, kDomainMax));
            } else if (EqualNoCase(key, "path")) {
                cookie.path = std::string(value.substr(0, kPathMax));
            } else if (EqualNoCase(key, "secure")) {
                cookie.secure = true;
            }
            if (semicolon == std::string_view::npos)
                break;
            rest = rest.substr(semicolon + 1);
        }
        if (cookie.name.empty() || cookie.name.size() + cookie.value.size() > kCookieCopyMax)
            continue;
        cookies.push_back(std::move(cookie));
    }
    return cookies;
}

void StoreResponseCookies(std::string_view response, const std::string& host,
                          const std::string& requestPath) {
    for (const SetCookie& cookie : ParseSetCookies(response)) {
        std::string domain = cookie.domain.empty() ? host : cookie.domain;
        std::string path = cookie.path.empty() ? requestPath : cookie.path;
        SaveCookieFile(cookie.name + "=" + cookie.value + ";",
                       CookieFilePath(domain, path, cookie.secure));
    }
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

std::string LookupCookies(const std::string& host, const std::string& path, bool secureChannel) {
    std::string out;
    std::string folder = ProgramPath("cookies/");
    std::vector<std::string> names;
    int count = ListFolderFiles(nullptr, folder, names, kCookieFilesMax, kPathWidth, "*.cookie",
                                kListMatchingFiles, true);
    if (count <= 0 || count > kCookieFilesMax)
        return out;

    for (const std::string& name : names) {
        std::string domain, cookiePath;
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
        // A Secure cookie's file names itself after the two groups; over plain HTTP it stays.
        bool secure = name.find("][secure].cookie") != std::string::npos;
        if (!DomainMatches(host, domain) || !PathMatches(path, cookiePath) ||
            (secure && !secureChannel)) {
            continue;
        }
        std::string content;
        if (!ReadWholeFile(folder + name, content))
            continue;
        // Line by line as a text-mode reader with a 260-byte buffer sees the file.
        std::string line;
        auto take = [&out](const std::string& piece) {
            // A control byte in a stored cookie would start a header line of its own; an
            // attribute that an older store kept as a cookie is not one.
            std::size_t equals = piece.find('=');
            if (equals == std::string::npos || HoldsControlByte(piece) ||
                IsCookieAttribute(std::string_view(piece).substr(0, equals)))
                return;
            std::string entry = piece + "; ";
            if (out.size() + entry.size() <= kCookieTextWidth - 1)
                out += entry;
        };
        for (std::size_t i = 0; i < content.size(); ++i) {
            char c = content[i];
            if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
                continue;
            if (c == '\n') {
                take(line);
                line.clear();
                continue;
            }
            line += c;
            if (line.size() >= kCookieLineRead) {
                take(line);
                line.clear();
            }
        }
        if (!line.empty())
            take(line);
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
