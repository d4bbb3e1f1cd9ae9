// Private-profile (INI) files with the read and write semantics of the system's profile
// functions: section and key names compare case-insensitively (ASCII), names and values are
// trimmed, surrounding quotes of a value are dropped on reading, a missing key gives the
// default. Writing replaces a key's line in place, adds a new key after the last entry of its
// section and a new section at the end of the file; every other line (comments, blank lines,
// text before the first section) stays byte for byte. Lines end in CR LF; CP932 bytes pass
// untouched.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillrun {

// One INI file held in memory: parse once, read and change many keys, write once.
class IniDocument {
  public:
    IniDocument();

    // Reads and parses path. A missing or unreadable file gives an empty document; the result
    // says whether the file was read.
    bool Load(const std::string& path);
    void Parse(std::string_view text);

    // The value of section/key with surrounding quotes removed; false when the section or the
    // key is missing. A key line without "=" has the empty value.
    bool Find(std::string_view section, std::string_view key, std::string& value) const;

    // GetPrivateProfileString: the value, or def when missing; cut to width - 1 bytes.
    std::string GetString(std::string_view section, std::string_view key, std::string_view def,
                          std::size_t width) const;
    // GetPrivateProfileInt: def when missing or empty, else the leading decimal integer.
    int GetInt(std::string_view section, std::string_view key, int def) const;

    // WritePrivateProfileString with a value.
    void SetString(std::string_view section, std::string_view key, std::string_view value);

    // WritePrivateProfileString with no value: removes the key's line from the first section of
    // that name; nothing changes when there is none.
    void DeleteKey(std::string_view section, std::string_view key);

    // The entries of the first section of that name, in file order: (key name, value as read).
    std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

    std::string Serialize() const;
    // Writes the document to path through a temporary file and a rename.
    bool Save(const std::string& path) const;

  private:
    struct Item {
        std::string text;  // the line without its line end
        std::string eol;   // "\r\n", "\n", "\r", or "" for a last line without one
        bool isEntry = false;
        std::string name;   // trimmed key name (entries only)
        std::string value;  // trimmed value (entries only)
    };
    struct Section {
        bool named = false;
        std::string name;
        Item header;
        std::vector<Item> items;
    };

    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;
    void IndexSection(std::size_t index);

    std::vector<Section> sections_;  // sections_[0] holds the lines before the first header
    std::unordered_map<std::string, std::size_t> sectionIndex_;  // lower-case name -> first
};

// The profile functions, one file operation each (read the file, act, write it once).
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, std::size_t width,
                                    const std::string& path);
int GetPrivateProfileInt(std::string_view section, std::string_view key, int def,
                         const std::string& path);
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path);

// What reading gives back for a value written as `written`: trimmed, surrounding quotes dropped.
std::string ProfileValueAsRead(std::string_view written);
// A key or section name as the profile functions compare it (trimmed, ASCII lower case).
std::string ProfileNameKey(std::string_view name);

// The leading decimal integer of text (optional blanks, optional sign, digits); 0 without one.
int LeadingInteger(std::string_view text);

}  // namespace quillrun
