#include "core/replay/cookie_store.h"

#include "core/platform/cp932.h"
#include "core/platform/files.h"
#include "core/platform/ini.h"
#include "core/platform/paths.h"
#include "core/replay/charset_converter.h"

namespace quillrun {
namespace {

constexpr std::size_t kConvertedWidth = 20480;
constexpr std::size_t kCookieCopyMax = 997;
constexpr std::size_t kDomainMax = 194;
constexpr std::size_t kPathMax = 196;
constexpr std::size_t kPairPartMax = 1024;
constexpr std::size_t kCookieLineRead = 259;  // a 260-byte line buffer
constexpr int kCookieFilesMax = 100;

std::string CopyAttribute(const std::string& text, std::size_t from, std::size_t max) {
    std::string out;
    for (std::size_t i = from; i < text.size() && out.size() < max; ++i) {
        char c = text[i];
        if (c == ';' || c == '\r' || c == '\n')
            break;
        out += c;
    }
    return out;
}

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

int ParseSetCookie(std::string_view response, std::string& cookieText, std::string& domain,
                   std::string& path) {
    std::size_t zero = response.find('\0');
    if (zero != std::string_view::npos)
        response = response.substr(0, zero);
    CharsetConverter converter;
    converter.SetOption("s");
    std::string text = CutToWidth(converter.Convert(response), kConvertedWidth);

    std::size_t setCookie = text.find("Set-Cookie:");
    std::size_t expires = text.find("expires=");
    std::size_t pathAt = text.find("path=");
    std::size_t domainAt = text.find("domain=");
    if (setCookie == std::string::npos)
        return 0;

    for (std::size_t i = setCookie + 4; i < text.size() && cookieText.size() < kCookieCopyMax;
         ++i) {
        if (text[i] == '\n' || i == expires)
            break;
        cookieText += text[i];
    }
    if (domainAt != std::string::npos)
        domain = CopyAttribute(text, domainAt + 7, kDomainMax);
    if (pathAt != std::string::npos)
        path = CopyAttribute(text, pathAt + 5, kPathMax);
    return 1;
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

std::string CookieFilePath(const std::string& domain, const std::string& path) {
    return ProgramPath("cookies/[" + SafeNamePart(domain, '_') + "][" + SafeNamePart(path, '@') +
                       "].cookie");
}

std::string LookupCookies(const std::string& host, const std::string& path) {
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
        if (host.find(domain) == std::string::npos || path.find(cookiePath) == std::string::npos) {
            continue;
        }
        std::string content;
        if (!ReadWholeFile(folder + name, content))
            continue;
        // Line by line as a text-mode reader with a 260-byte buffer sees the file.
        std::string line;
        auto take = [&out](const std::string& piece) {
            // A control byte in a stored cookie would start a header line of its own.
            if (piece.find('=') == std::string::npos || HoldsControlByte(piece))
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
