// A small XML writer for the reports other tools read: elements two spaces deeper per level,
// attributes in the order given, text and attribute values escaped, and the bytes XML 1.0
// cannot hold (control bytes other than tab and line breaks) left out.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillrun {

class XmlWriter {
  public:
    using Attributes = std::vector<std::pair<std::string, std::string>>;

    XmlWriter();  // the UTF-8 declaration
    // <name ...> on a line of its own; the elements after it are its children until Close.
    void Open(const std::string& name, const Attributes& attributes);
    // <name .../>
    void Empty(const std::string& name, const Attributes& attributes);
    // <name ...>text</name>
    void Leaf(const std::string& name, const Attributes& attributes, const std::string& text);
    // </name> of the element opened last.
    void Close();
    // The document; every element is closed.
    std::string Take();

    // Text as XML character data.
    static std::string Escape(const std::string& text);

  private:
    void Start(const std::string& name, const Attributes& attributes);
    std::string out_;
    std::vector<std::string> open_;
};

}  // namespace quillrun
