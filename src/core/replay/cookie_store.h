// The socket sender's own cookie store: one INI file per cookie domain and path in the
// "cookies" folder, section "expire_never", one key per cookie. Cookies never expire.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/prompts.h"

namespace quillrun {

constexpr std::size_t kCookieTextWidth = 1024;

// Results of ListFolderFiles besides a count.
constexpr int kListNoFindHandle = 999999;
constexpr int kListBufferTooSmall = 999998;
constexpr int kListNameTooLong = 999997;

// Kinds of ListFolderFiles.
constexpr int kListFilesAndFolders = 0;
constexpr int kListMatchingFiles = 1;
constexpr int kListFolders = 2;
constexpr int kListMatchingFilesThenFolders = 3;

// Finds the first Set-Cookie line of a response (converted to Shift_JIS first) and takes its
// cookie text ("Cookie:" up to the line end or "expires=", at most 997 bytes), and the first
// "domain=" and "path=" values of the response. 1 when the response holds "Set-Cookie:".
int ParseSetCookie(std::string_view response, std::string& cookieText, std::string& domain,
                   std::string& path);

// Writes every "name=value;" pair of the cookie text into the cookie file.
void SaveCookieFile(const std::string& cookieText, const std::string& filePath);

// The cookie file of a domain and path: program folder + "cookies/[domain][path].cookie", with
// "/" and "\" of the path as "@". Server texts are made safe for a file name so that the name
// never leaves the cookies folder.
std::string CookieFilePath(const std::string& domain, const std::string& path);

// "name=value; " for every cookie line of every file whose domain occurs in host and whose path
// occurs in path; at most 1023 bytes (lines that would not fit are left out).
std::string LookupCookies(const std::string& host, const std::string& path);

// Lists a folder: names of files matching pattern ("*.cookie" style: "*" and "?" wildcards)
// and/or folders, at most maxCount names of at most nameSize - 1 bytes. Returns the count or
// one of the error results; messages go to owner when one is given.
int ListFolderFiles(Prompter* owner, const std::string& folder, std::vector<std::string>& names,
                    int maxCount, std::size_t nameSize, const std::string& pattern, int kind,
                    bool bareNames);

}  // namespace quillrun
