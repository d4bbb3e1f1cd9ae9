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

// One Set-Cookie header: its cookie (the header's first pair) and the attributes the store
// keeps. Texts are CP932 (the response as the charset converter reads it).
struct SetCookie {
    std::string name, value;
    std::string domain;  // without a leading "."; empty when not given
    std::string path;    // empty when not given
    bool secure = false;
    // Max-Age of 0 or less, or an Expires in the past: the cookie is to go (how sites log out).
    // A later expiry is not kept: cookies never expire here.
    bool expired = false;
};

// Every Set-Cookie header of the response's header section (never its body), header and
// attribute names compared without regard to case; attributes (Path, Domain, Expires, Max-Age,
// Secure, HttpOnly, SameSite, ...) are never cookies themselves. The cookie's name and value
// are at most 997 bytes together.
std::vector<SetCookie> ParseSetCookies(std::string_view response);

// Stores every cookie the response sets: under its domain (else the request's host) and path
// (else the directory of the request's path), a Secure one in a file of its own
// ("...[secure].cookie"). A Domain the host is not in is refused; an expired cookie is deleted.
void StoreResponseCookies(std::string_view response, const std::string& host,
                          const std::string& requestPath);

// Deletes the cookie of that name from the cookie file, when it holds one.
void DeleteCookie(const std::string& name, const std::string& filePath);

// Writes every "name=value;" pair of the cookie text into the cookie file.
void SaveCookieFile(const std::string& cookieText, const std::string& filePath);

// The cookie file of a domain and path: program folder + "cookies/[domain][path].cookie", with
// "/" and "\" of the path as "@", and "[secure]" before ".cookie" for cookies set with Secure
// (the lookup's bracket scan reads the first two groups as before). Server texts are made safe
// for a file name so that the name never leaves the cookies folder.
std::string CookieFilePath(const std::string& domain, const std::string& path, bool secure = false);

// "name=value; " for every cookie line of every file whose domain is the host or a domain the
// host is in (after a "."), and whose path is the request path or one of its leading segments;
// Secure cookies only over TLS. At most 1023 bytes (lines that would not fit are left out).
std::string LookupCookies(const std::string& host, const std::string& path,
                          bool secureChannel = false);

// Lists a folder: names of files matching pattern ("*.cookie" style: "*" and "?" wildcards)
// and/or folders, at most maxCount names of at most nameSize - 1 bytes. Returns the count or
// one of the error results; messages go to owner when one is given.
int ListFolderFiles(Prompter* owner, const std::string& folder, std::vector<std::string>& names,
                    int maxCount, std::size_t nameSize, const std::string& pattern, int kind,
                    bool bareNames);

}  // namespace quillrun
