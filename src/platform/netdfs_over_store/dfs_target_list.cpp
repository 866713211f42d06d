#include "platform/netdfs_over_store/dfs_target_list.h"

#include "base/ansi_string.h"
#include "base/ascii.h"

#include <iterator>

namespace kestrune {
namespace {

std::u16string FromUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i) {
        auto low = static_cast<uint8_t>(bytes[2 * i + (bigEndian ? 1 : 0)]);
        auto high = static_cast<uint8_t>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        out[i] = static_cast<char16_t>(low | (high << 8));
    }
    return out;
}

std::string ToUtf16Le(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 2 + 2);
    out += '\xFF';
    out += '\xFE';
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

// The value's text. Windows writes UTF-16LE with a byte-order mark; without a mark the first
// character, which is "<" or white space, tells UTF-16 of either order from UTF-8. An XML
// declaration's encoding is not consulted: the bytes say more than it can.
Expected<std::u16string> DecodeText(std::string_view bytes) {
    auto byte = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
    if (bytes.empty()) return Error{0, "the value is empty"};
    bool utf16 = false, bigEndian = false;
    if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        bytes.remove_prefix(2);
        utf16 = true;
    } else if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        bytes.remove_prefix(2);
        utf16 = bigEndian = true;
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    } else if (bytes.size() >= 2 && byte(0) != 0 && byte(1) == 0) {
        utf16 = true;
    } else if (bytes.size() >= 2 && byte(0) == 0 && byte(1) != 0) {
        utf16 = bigEndian = true;
    }
    if (!utf16) return Utf8ToWide(bytes);
    if (bytes.size() % 2 != 0) return Error{0, "the value is cut short (an odd number of bytes)"};
    return FromUtf16(bytes, bigEndian);
}

std::u16string Escape(std::u16string_view text) {
    std::u16string out;
    for (char16_t c : text) {
        if (c == u'&')
            out += u"&amp;";
        else if (c == u'<')
            out += u"&lt;";
        else if (c == u'>')
            out += u"&gt;";
        else
            out += c;
    }
    return out;
}

bool IsXmlSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::u16string_view TrimXmlSpace(std::u16string_view text) {
    while (!text.empty() && IsXmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsXmlSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// The part of a qualified name after its prefix: "d:target" -> "target".
std::u16string_view LocalName(std::u16string_view name) {
    size_t colon = name.find(u':');
    return colon == std::u16string_view::npos ? name : name.substr(colon + 1);
}

struct Attribute {
    std::u16string_view name; // as written, prefix included
    std::u16string_view value;
};

struct Tag {
    std::u16string_view name; // as written, prefix included
    bool empty = false;       // <name ... />
    std::vector<Attribute> attributes;
};

constexpr std::u16string_view kPriorityClasses[] = {u"siteCostNormal", u"globalHigh",
                                                    u"siteCostHigh", u"siteCostLow", u"globalLow"};

// A target's state and priority from its attributes; what is missing keeps its default.
bool ApplyTargetAttributes(const Tag& tag, StoredTarget& target, std::string& why) {
    for (const Attribute& a : tag.attributes) {
        std::u16string_view name = LocalName(a.name);
        std::u16string_view value = TrimXmlSpace(a.value);
        if (name == u"state") {
            if (SameTextAscii(value, u"online"))
                target.online = true;
            else if (SameTextAscii(value, u"offline"))
                target.online = false;
            else
                return why = "a target state that is neither online nor offline", false;
        } else if (name == u"priorityClass") {
            if (!PriorityClassFromName(value, target.priorityClass))
                return why = "an unknown priority class", false;
        } else if (name == u"priorityRank") {
            unsigned rank = 0;
            if (value.empty() || value.size() > 2)
                return why = "a priority rank not 0 to 31", false;
            for (char16_t d : value) {
                if (d < u'0' || d > u'9') return why = "a priority rank not 0 to 31", false;
                rank = rank * 10 + (d - u'0');
            }
            if (rank > 31) return why = "a priority rank not 0 to 31", false;
            target.priorityRank = static_cast<uint16_t>(rank);
        }
    }
    return true;
}

// Reads a target list's XML from the front. Every step either moves on or records the first
// thing that is wrong, with where it is.
class TargetListReader {
  public:
    explicit TargetListReader(std::u16string_view xml) : xml_(xml) {}

    Expected<std::vector<StoredTarget>> Read() {
        std::vector<StoredTarget> targets;
        if (ReadDocument(targets)) return targets;
        return Error{0, error_};
    }

  private:
    bool ReadDocument(std::vector<StoredTarget>& targets) {
        if (At(u"\uFEFF")) ++at_; // a byte-order mark inside UTF-8
        if (!SkipMisc()) return false;
        if (At(u"<!")) return Fail("a document type declaration");
        if (!At(u"<")) return Fail(at_ == xml_.size() ? "no <targets> element" : "text before it");
        Tag root;
        if (!ReadTag(root)) return false;
        if (LocalName(root.name) != u"targets")
            return Fail("a <" + Utf8(root.name) + "> element instead of <targets>");
        if (!root.empty && !ReadTargets(root, targets)) return false;
        if (!SkipMisc()) return false;
        if (at_ != xml_.size()) return Fail("more after the </targets> element");
        return true;
    }

    bool ReadTargets(const Tag& root, std::vector<StoredTarget>& targets) {
        for (;;) {
            SkipSpace();
            if (at_ == xml_.size()) return Fail("the list is cut short");
            if (At(u"</")) return ReadEndTag(root);
            if (At(u"<!--") || At(u"<?")) {
                if (!SkipMarkup()) return false;
                continue;
            }
            if (!At(u"<") || At(u"<!")) return Fail("text outside a <target> element");
            Tag tag;
            if (!ReadTag(tag)) return false;
            if (LocalName(tag.name) != u"target") {
                // Something a later version may add: not a target, and read over whole.
                if (!tag.empty && !SkipContent(tag)) return false;
                continue;
            }
            if (tag.empty) continue;
            StoredTarget target;
            std::string why;
            if (!ApplyTargetAttributes(tag, target, why)) return Fail(why);
            std::u16string text;
            if (!ReadText(tag, text)) return false;
            target.path = TrimXmlSpace(text);
            if (!target.path.empty()) targets.push_back(std::move(target));
        }
    }

    // The text of a <target> up to its end tag, references replaced.
    bool ReadText(const Tag& tag, std::u16string& text) {
        for (;;) {
            if (at_ == xml_.size()) return Fail("the list is cut short");
            if (At(u"</")) return ReadEndTag(tag);
            if (At(u"<![CDATA[")) {
                size_t end = xml_.find(u"]]>", at_ + 9);
                if (end == std::u16string_view::npos) return Fail("a CDATA section is not closed");
                std::u16string_view data = xml_.substr(at_ + 9, end - at_ - 9);
                if (data.find(u'\0') != std::u16string_view::npos) return Fail("a NUL character");
                text.append(data);
                at_ = end + 3;
            } else if (At(u"<!--") || At(u"<?")) {
                if (!SkipMarkup()) return false;
            } else if (At(u"<")) {
                return Fail("an element inside a <target> element");
            } else if (At(u"&")) {
                if (!ReadReference(text)) return false;
            } else if (xml_[at_] == u'\0') {
                return Fail("a NUL character");
            } else {
                text += xml_[at_++];
            }
        }
    }

    // Over the content of an element that is not read, nested elements included.
    bool SkipContent(const Tag& outer) {
        std::vector<Tag> open{outer};
        while (!open.empty()) {
            size_t lt = xml_.find(u'<', at_);
            if (lt == std::u16string_view::npos) {
                at_ = xml_.size();
                return Fail("the list is cut short");
            }
            at_ = lt;
            if (At(u"</")) {
                if (!ReadEndTag(open.back())) return false;
                open.pop_back();
            } else if (At(u"<!--") || At(u"<?")) {
                if (!SkipMarkup()) return false;
            } else if (At(u"<![CDATA[")) {
                size_t end = xml_.find(u"]]>", at_ + 9);
                if (end == std::u16string_view::npos) return Fail("a CDATA section is not closed");
                at_ = end + 3;
            } else {
                Tag tag;
                if (!ReadTag(tag)) return false;
                if (!tag.empty) open.push_back(tag);
            }
        }
        return true;
    }

    // <name attribute="value" attribute='value' ...> or .../>
    bool ReadTag(Tag& tag) {
        ++at_; // "<"
        tag.name = ReadName();
        if (tag.name.empty()) return Fail("a \"<\" that begins no element");
        for (;;) {
            bool spaced = SkipSpace();
            if (at_ == xml_.size()) return Fail("the list is cut short");
            if (At(u">")) {
                ++at_;
                return true;
            }
            if (At(u"/>")) {
                at_ += 2;
                tag.empty = true;
                return true;
            }
            if (!spaced) return Fail("no space before an attribute");
            Attribute attribute;
            attribute.name = ReadName();
            if (attribute.name.empty()) return Fail("an attribute without a name");
            SkipSpace();
            if (!At(u"=")) return Fail("an attribute without a value");
            ++at_;
            SkipSpace();
            if (!At(u"\"") && !At(u"'")) return Fail("an attribute value without quotes");
            size_t close = xml_.find(xml_[at_], at_ + 1);
            if (close == std::u16string_view::npos) return Fail("the list is cut short");
            attribute.value = xml_.substr(at_ + 1, close - at_ - 1);
            tag.attributes.push_back(attribute);
            at_ = close + 1;
        }
    }

    bool ReadEndTag(const Tag& open) {
        at_ += 2; // "</"
        std::u16string_view name = ReadName();
        SkipSpace();
        if (!At(u">"))
            return Fail(at_ == xml_.size() ? "the list is cut short" : "an end tag is not closed");
        if (name != open.name)
            return Fail("</" + Utf8(name) + "> where </" + Utf8(open.name) + "> belongs");
        ++at_;
        return true;
    }

    // &amp; &lt; &gt; &quot; &apos; &#decimal; &#xhex;
    bool ReadReference(std::u16string& text) {
        size_t semicolon = xml_.find(u';', at_);
        if (semicolon == std::u16string_view::npos || semicolon - at_ > 12)
            return Fail("an \"&\" that begins no reference");
        std::u16string_view name = xml_.substr(at_ + 1, semicolon - at_ - 1);
        static constexpr std::pair<std::u16string_view, char16_t> kNamed[] = {
            {u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'}, {u"apos", u'\''}};
        for (const auto& [known, c] : kNamed)
            if (name == known) {
                text += c;
                at_ = semicolon + 1;
                return true;
            }
        char32_t code = 0;
        if (!ParseCharacterNumber(name, code))
            return Fail("an unknown reference &" + Utf8(name) + ";");
        if (code >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(code);
        }
        at_ = semicolon + 1;
        return true;
    }

    // "#65" or "#x41", a character XML allows in text.
    static bool ParseCharacterNumber(std::u16string_view name, char32_t& code) {
        if (name.size() < 2 || name[0] != u'#') return false;
        bool hex = name[1] == u'x';
        std::u16string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty()) return false;
        code = 0;
        for (char16_t d : digits) {
            int value = d >= u'0' && d <= u'9'          ? d - u'0'
                        : hex && d >= u'a' && d <= u'f' ? d - u'a' + 10
                        : hex && d >= u'A' && d <= u'F' ? d - u'A' + 10
                                                        : -1;
            if (value < 0) return false;
            code = code * (hex ? 16 : 10) + static_cast<char32_t>(value);
            if (code > 0x10FFFF) return false;
        }
        return code != 0 && (code < 0xD800 || code > 0xDFFF) && code != 0xFFFE && code != 0xFFFF;
    }

    // White space, comments and processing instructions (the XML declaration among them).
    bool SkipMisc() {
        for (;;) {
            SkipSpace();
            if (!At(u"<!--") && !At(u"<?")) return true;
            if (!SkipMarkup()) return false;
        }
    }

    // A comment or a processing instruction.
    bool SkipMarkup() {
        bool comment = At(u"<!--");
        size_t end = xml_.find(comment ? u"-->" : u"?>", at_ + (comment ? 4 : 2));
        if (end == std::u16string_view::npos)
            return Fail(comment ? "a comment is not closed" : "a declaration is not closed");
        at_ = end + (comment ? 3 : 2);
        return true;
    }

    std::u16string_view ReadName() {
        size_t start = at_;
        while (at_ < xml_.size() && !IsXmlSpace(xml_[at_]) && xml_[at_] != u'>' &&
               xml_[at_] != u'/' && xml_[at_] != u'=' && xml_[at_] != u'<' && xml_[at_] != u'"' &&
               xml_[at_] != u'\'')
            ++at_;
        return xml_.substr(start, at_ - start);
    }

    // Whether there was any.
    bool SkipSpace() {
        size_t start = at_;
        while (at_ < xml_.size() && IsXmlSpace(xml_[at_]))
            ++at_;
        return at_ != start;
    }

    bool At(std::u16string_view text) const { return xml_.substr(at_, text.size()) == text; }

    bool Fail(const std::string& what) {
        error_ = what + " at character " + std::to_string(at_ + 1);
        return false;
    }

    static std::string Utf8(std::u16string_view text) { return WideToUtf8(text.substr(0, 40)); }

    std::u16string_view xml_;
    size_t at_ = 0;
    std::string error_;
};

} // namespace

std::u16string_view PriorityClassName(uint32_t priorityClass) {
    return priorityClass < std::size(kPriorityClasses) ? kPriorityClasses[priorityClass]
                                                       : std::u16string_view();
}

bool PriorityClassFromName(std::u16string_view name, uint32_t& priorityClass) {
    for (uint32_t i = 0; i < std::size(kPriorityClasses); ++i)
        if (SameTextAscii(name, kPriorityClasses[i])) {
            priorityClass = i;
            return true;
        }
    return false;
}

Expected<std::vector<StoredTarget>> DecodeTargetEntries(std::string_view bytes) {
    Expected<std::u16string> xml = DecodeText(bytes);
    if (!xml) return xml.error();
    return TargetListReader(*xml).Read();
}

Expected<std::vector<std::u16string>> DecodeTargetList(std::string_view bytes) {
    Expected<std::vector<StoredTarget>> entries = DecodeTargetEntries(bytes);
    if (!entries) return entries.error();
    std::vector<std::u16string> paths;
    paths.reserve(entries->size());
    for (StoredTarget& t : *entries)
        paths.push_back(std::move(t.path));
    return paths;
}

std::string EncodeTargetEntries(const std::vector<StoredTarget>& targets) {
    // Windows counts each path's terminating NUL in this total (\\fs1\office is 26 bytes); a
    // reader takes any total, older lists of ours having left the NULs out.
    size_t stringBytes = 0;
    for (const auto& t : targets)
        stringBytes += (t.path.size() + 1) * 2;
    std::u16string xml =
        u"<?xml version=\"1.0\"?>\r\n<targets xmlns=\"http://schemas.microsoft.com/dfs/2007/03\" "
        u"majorVersion=\"2\" minorVersion=\"0\" targetCount=\"" +
        Utf8ToWide(std::to_string(targets.size())) + u"\" totalStringLengthInBytes=\"" +
        Utf8ToWide(std::to_string(stringBytes)) + u"\">";
    for (const auto& t : targets) {
        xml += t.online ? u"<target state=\"online\"" : u"<target state=\"offline\"";
        if (t.priorityClass != 0 && !PriorityClassName(t.priorityClass).empty())
            xml +=
                u" priorityClass=\"" + std::u16string(PriorityClassName(t.priorityClass)) + u"\"";
        if (t.priorityRank != 0)
            xml += u" priorityRank=\"" + Utf8ToWide(std::to_string(t.priorityRank)) + u"\"";
        xml += u">" + Escape(t.path) + u"</target>";
    }
    xml += u"</targets>";
    return ToUtf16Le(xml);
}

std::string EncodeTargetList(const std::vector<std::u16string>& targets) {
    std::vector<StoredTarget> entries(targets.size());
    for (size_t i = 0; i < targets.size(); ++i)
        entries[i].path = targets[i];
    return EncodeTargetEntries(entries);
}

} // namespace kestrune
