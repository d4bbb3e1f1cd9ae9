// The body a browser sends for a submitted form, encoded as Blink encodes it: the form's
// charset, then application/x-www-form-urlencoded, text/plain or multipart/form-data. A
// text/plain body is given with its tabs and line breaks percent-encoded, as an event's data
// holds it.
#pragma once

#include <string>
#include <vector>

namespace quillrun {

struct FormEntry {
    std::string name;   // UTF-8
    std::string value;  // UTF-8 text, or for a file its bytes
    bool isFile = false;
    std::string fileName;     // UTF-8
    std::string contentType;  // of a file; empty gives application/octet-stream
    // Name and value in the form's charset as the browser engine encoded them (characters the
    // charset lacks as "&#N;"), line breaks as typed; used instead of encoding them here.
    bool engineEncoded = false;
    std::string encodedName;
    std::string encodedValue;
};

struct FormSubmission {
    std::string enctype;          // "application/x-www-form-urlencoded", "text/plain", ...
    std::string acceptCharset;    // the form's accept-charset attribute
    std::string documentCharset;  // document.characterSet
    std::vector<FormEntry> entries;
};

// The iconv name of the encoding a form is sent in: the first label of accept-charset that
// names a known encoding, else the document's; UTF-16 becomes UTF-8.
std::string FormEncodingName(const std::string& acceptCharset, const std::string& documentCharset);

// Text in the form's encoding; characters it cannot hold become "&#N;".
std::string EncodeFormText(const std::string& utf8, const std::string& encodingName);

// Bytes as application/x-www-form-urlencoded writes them (space as "+", the rest but letters,
// digits and *-._ as %XX).
void AppendUrlEncoded(std::string& out, const std::string& bytes);

// The name=value pairs of an urlencoded body or query as they stand, split at every "&". Empty
// pairs are kept, so that the pairs joined with "&" give the text back.
std::vector<std::string> UrlencodedPairs(const std::string& text);
std::string JoinUrlencodedPairs(const std::vector<std::string>& pairs);

// "----WebKitFormBoundary" followed by 16 letters and digits.
std::string MakeFormBoundary();

// The request body; for multipart, with the given boundary.
std::string EncodeFormBody(const FormSubmission& form, const std::string& boundary);

}  // namespace quillrun
