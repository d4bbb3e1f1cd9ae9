#include "core/formats/xml_writer.h"

namespace quillrun {

XmlWriter::XmlWriter() : out_("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") {}

std::string XmlWriter::Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                if (u >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                    out += c;
                break;
        }
    }
    return out;
}

void XmlWriter::Start(const std::string& name, const Attributes& attributes) {
    out_.append(open_.size() * 2, ' ');
    out_ += "<" + name;
    for (const auto& [key, value] : attributes)
        out_ += " " + key + "=\"" + Escape(value) + "\"";
}

void XmlWriter::Open(const std::string& name, const Attributes& attributes) {
    Start(name, attributes);
    out_ += ">\n";
    open_.push_back(name);
}

void XmlWriter::Empty(const std::string& name, const Attributes& attributes) {
    Start(name, attributes);
    out_ += "/>\n";
}

void XmlWriter::Leaf(const std::string& name, const Attributes& attributes,
                     const std::string& text) {
    Start(name, attributes);
    out_ += ">" + Escape(text) + "</" + name + ">\n";
}

void XmlWriter::Close() {
    if (open_.empty())
        return;
    std::string name = open_.back();
    open_.pop_back();
    out_.append(open_.size() * 2, ' ');
    out_ += "</" + name + ">\n";
}

std::string XmlWriter::Take() {
    while (!open_.empty())
        Close();
    return std::move(out_);
}

}  // namespace quillrun
