#include "core/platform/ini.h"

#include "core/platform/cp932.h"
#include "core/platform/files.h"

namespace quillrun {
namespace {

bool IsProfileSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0x1A;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsProfileSpace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && IsProfileSpace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string StripQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return std::string(v.substr(1, v.size() - 2));
    }
    return std::string(v);
}

const char kCrLf[] = "\r\n";

}  // namespace

std::string ProfileValueAsRead(std::string_view written) {
    return StripQuotes(Trim(written));
}

std::string ProfileNameKey(std::string_view name) {
    return Lower(Trim(name));
}

int LeadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsProfileSpace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        value &= 0xFFFFFFFFull;  // 32-bit arithmetic, as the system's conversion does
        ++i;
    }
    unsigned int bits = static_cast<unsigned int>(value);
    if (negative)
        bits = 0u - bits;
    return static_cast<int>(bits);
}

IniDocument::IniDocument() {
    sections_.emplace_back();
}

bool IniDocument::Load(const std::string& path) {
    std::string text;
    bool read = ReadWholeFile(path, text);
    Parse(read ? text : std::string());
    return read;
}

void IniDocument::Parse(std::string_view text) {
    sections_.clear();
    sectionIndex_.clear();
    sections_.emplace_back();
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        Item item;
        item.text = std::string(text.substr(pos, end - pos));
        if (end < text.size()) {
            if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
                item.eol = kCrLf;
            } else {
                item.eol = std::string(1, text[end]);
            }
        }
        pos = end + item.eol.size();

        std::string_view line = Trim(item.text);
        if (!line.empty() && line.front() == '[') {
            std::size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                Section section;
                section.named = true;
                section.name = std::string(Trim(line.substr(1, close - 1)));
                section.header = std::move(item);
                sections_.push_back(std::move(section));
                IndexSection(sections_.size() - 1);
                continue;
            }
        }
        if (!line.empty()) {
            item.isEntry = true;
            std::size_t eq = line.find('=');
            if (eq == std::string_view::npos) {
                item.name = std::string(line);
            } else {
                item.name = std::string(Trim(line.substr(0, eq)));
                item.value = std::string(Trim(line.substr(eq + 1)));
            }
        }
        sections_.back().items.push_back(std::move(item));
    }
}

void IniDocument::IndexSection(std::size_t index) {
    sectionIndex_.emplace(Lower(sections_[index].name), index);  // keeps the first of a name
}

IniDocument::Section* IniDocument::FindSection(std::string_view name) {
    auto it = sectionIndex_.find(Lower(Trim(name)));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
    auto it = sectionIndex_.find(Lower(Trim(name)));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

bool IniDocument::Find(std::string_view section, std::string_view key, std::string& value) const {
    const Section* s = FindSection(section);
    if (s == nullptr)
        return false;
    std::string_view wanted = Trim(key);
    for (const Item& item : s->items) {
        if (item.isEntry && EqualNoCase(item.name, wanted)) {
            value = StripQuotes(item.value);
            return true;
        }
    }
    return false;
}

std::string IniDocument::GetString(std::string_view section, std::string_view key,
                                   std::string_view def, std::size_t width) const {
    std::string value;
    if (!Find(section, key, value))
        value = std::string(def);
    return CutToWidth(value, width);
}

int IniDocument::GetInt(std::string_view section, std::string_view key, int def) const {
    std::string value;
    if (!Find(section, key, value) || value.empty())
        return def;
    return LeadingInteger(value);
}

void IniDocument::DeleteKey(std::string_view section, std::string_view key) {
    Section* s = FindSection(section);
    if (s == nullptr)
        return;
    std::string_view keyName = Trim(key);
    for (std::size_t i = 0; i < s->items.size(); ++i) {
        if (s->items[i].isEntry && EqualNoCase(s->items[i].name, keyName)) {
            s->items.erase(s->items.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void IniDocument::SetString(std::string_view section, std::string_view key,
                            std::string_view value) {
    std::string_view keyName = Trim(key);
    Section* s = FindSection(section);
    if (s == nullptr) {
        // A new section goes at the end of the file; a last line without its end gets one.
        Section* last = &sections_.back();
        Item* lastLine = !last->items.empty() ? &last->items.back()
                         : last->named        ? &last->header
                                              : nullptr;
        if (lastLine != nullptr && lastLine->eol.empty())
            lastLine->eol = kCrLf;
        Section added;
        added.named = true;
        added.name = std::string(Trim(section));
        added.header.text = "[" + added.name + "]";
        added.header.eol = kCrLf;
        sections_.push_back(std::move(added));
        IndexSection(sections_.size() - 1);
        s = &sections_.back();
    }
    for (Item& item : s->items) {
        if (item.isEntry && EqualNoCase(item.name, keyName)) {
            item.value = std::string(value);
            item.text = item.name + "=" + item.value;
            return;
        }
    }
    Item added;
    added.isEntry = true;
    added.name = std::string(keyName);
    added.value = std::string(value);
    added.text = added.name + "=" + added.value;
    added.eol = kCrLf;
    // After the last non-blank line of the section, so blank lines stay between sections.
    std::size_t at = s->items.size();
    while (at > 0 && !s->items[at - 1].isEntry)
        --at;
    if (at == 0 && !s->items.empty() && !s->items[0].isEntry && !s->named)
        at = s->items.size();
    if (at > 0 && s->items[at - 1].eol.empty())
        s->items[at - 1].eol = kCrLf;
    if (at == 0 && s->named && s->header.eol.empty())
        s->header.eol = kCrLf;
    s->items.insert(s->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(added));
}

std::vector<std::pair<std::string, std::string>> IniDocument::Entries(
    std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    const Section* s = FindSection(section);
    if (s == nullptr)
        return entries;
    for (const Item& item : s->items) {
        if (item.isEntry)
            entries.emplace_back(item.name, StripQuotes(item.value));
    }
    return entries;
}

std::string IniDocument::Serialize() const {
    std::string out;
    for (const Section& s : sections_) {
        if (s.named)
            out += s.header.text + s.header.eol;
        for (const Item& item : s.items)
            out += item.text + item.eol;
    }
    return out;
}

bool IniDocument::Save(const std::string& path) const {
    return WriteFileAtomically(path, Serialize());
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, std::size_t width,
                                    const std::string& path) {
    IniDocument doc;
    doc.Load(path);
    return doc.GetString(section, key, def, width);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int def,
                         const std::string& path) {
    IniDocument doc;
    doc.Load(path);
    return doc.GetInt(section, key, def);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path) {
    IniDocument doc;
    doc.Load(path);
    doc.SetString(section, key, value);
    return doc.Save(path);
}

}  // namespace quillrun
