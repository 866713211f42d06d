// The tags of the small XML files this program reads (properties files, dfsutil exports):
// elements with their attributes, nested; text, comments and the XML declaration passed over.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace kestrune {

struct XmlTag {
    std::string name;
    std::map<std::string, std::string> attributes; // unescaped values
    bool empty = false;                            // <name/>
    bool end = false;                              // </name>
    size_t at = 0;                                 // where its "<" is

    // The value of an attribute whose name is wanted without regard to case; null without one.
    const std::string* AttributeIgnoringCase(std::string_view wanted) const;
};

class XmlTagReader {
  public:
    // What an "&" that begins no reference is: an error, or text (dfsutil writes them so).
    enum class BareAmpersand { Refused, Text };

    // offset: how many bytes of the file come before xml, for the positions errors name.
    XmlTagReader(std::string_view xml, BareAmpersand ampersand, uint64_t offset = 0)
        : xml_(xml), ampersand_(ampersand), offset_(offset) {}

    // The next tag; false at the end of the text, or with Failed() set. An attribute given
    // twice, which XML forbids, is an error.
    bool Next(XmlTag& tag);
    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }
    // Where in xml reading has come: after the last tag read.
    size_t Position() const { return at_; }
    // Keeps the first failure, with the byte it was found at; always false.
    bool Fail(const std::string& what);

  private:
    bool ReadTag(XmlTag& tag);
    bool Unescape(std::string_view raw, std::string& out);
    std::string Name();
    void SkipSpace();
    bool At(std::string_view text) const { return xml_.substr(at_).starts_with(text); }

    std::string_view xml_;
    BareAmpersand ampersand_;
    uint64_t offset_;
    size_t at_ = 0;
    std::string error_;
};

} // namespace kestrune
