#include "backup/xml_tags.h"

#include "base/ansi_string.h"
#include "base/ascii.h"

namespace kestrune {
namespace {

// A character reference's code ("#233", "#xE9"), or 0 when ref is none.
uint32_t CharacterCode(std::string_view ref) {
    if (ref.size() < 2 || ref[0] != '#') return 0;
    const bool hex = ref[1] == 'x' || ref[1] == 'X';
    std::string_view digits = ref.substr(hex ? 2 : 1);
    if (digits.empty()) return 0;
    uint32_t code = 0;
    for (char d : digits) {
        const int v = d >= '0' && d <= '9' ? d - '0'
                      : hex && LowerAscii(d) >= 'a' && LowerAscii(d) <= 'f'
                          ? LowerAscii(d) - 'a' + 10
                          : -1;
        if (v < 0 || code > 0x10FFFF) return 0;
        code = code * (hex ? 16 : 10) + static_cast<uint32_t>(v);
    }
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return code;
}

std::string Utf8Of(uint32_t code) {
    std::u16string wide;
    if (code >= 0x10000) {
        wide += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        wide += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
        wide += static_cast<char16_t>(code);
    }
    return WideToUtf8(wide);
}

} // namespace

const std::string* XmlTag::AttributeIgnoringCase(std::string_view wanted) const {
    for (const auto& [name, value] : attributes)
        if (SameTextAscii(name, wanted)) return &value;
    return nullptr;
}

bool XmlTagReader::Fail(const std::string& what) {
    if (error_.empty()) error_ = what + " at byte " + std::to_string(offset_ + at_ + 1);
    return false;
}

bool XmlTagReader::Next(XmlTag& tag) {
    for (;;) {
        const size_t lt = xml_.find('<', at_);
        if (lt == std::string_view::npos) {
            at_ = xml_.size();
            return false;
        }
        at_ = lt;
        if (At("<?") || At("<!--")) {
            const bool comment = At("<!--");
            const size_t close = xml_.find(comment ? "-->" : "?>", at_);
            if (close == std::string_view::npos) return Fail("markup that is not closed");
            at_ = close + (comment ? 3 : 2);
            continue;
        }
        if (At("<!")) return Fail("a document type declaration, which these files never hold");
        return ReadTag(tag);
    }
}

bool XmlTagReader::ReadTag(XmlTag& tag) {
    tag = XmlTag();
    tag.at = at_;
    ++at_;
    if (At("/")) {
        tag.end = true;
        ++at_;
    }
    tag.name = Name();
    if (tag.name.empty()) return Fail("a \"<\" that begins no element");
    for (;;) {
        SkipSpace();
        if (at_ >= xml_.size()) return Fail("the file is cut short");
        if (At(">")) {
            ++at_;
            return true;
        }
        if (At("/>") && !tag.end) {
            at_ += 2;
            tag.empty = true;
            return true;
        }
        std::string name = Name();
        SkipSpace();
        if (name.empty() || !At("=")) return Fail("an attribute without a value");
        ++at_;
        SkipSpace();
        if (!At("\"") && !At("'")) return Fail("an attribute value without quotes");
        const size_t close = xml_.find(xml_[at_], at_ + 1);
        if (close == std::string_view::npos) return Fail("the file is cut short");
        std::string value;
        if (!Unescape(xml_.substr(at_ + 1, close - at_ - 1), value)) return false;
        // XML forbids it, and which of the two counts would be a guess.
        if (tag.attributes.count(name))
            return Fail("<" + tag.name + ">: the attribute " + name + " given twice");
        tag.attributes[name] = std::move(value);
        at_ = close + 1;
    }
}

bool XmlTagReader::Unescape(std::string_view raw, std::string& out) {
    const bool strict = ampersand_ == BareAmpersand::Refused;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '&') {
            if (strict && raw[i] == '<') return Fail("a \"<\" inside an attribute value");
            if (strict && raw[i] == '\0') return Fail("a NUL character");
            out += raw[i];
            continue;
        }
        const size_t semicolon = raw.find(';', i);
        const std::string_view ref = semicolon == std::string_view::npos || semicolon - i > 10
                                         ? std::string_view()
                                         : raw.substr(i + 1, semicolon - i - 1);
        static constexpr std::pair<std::string_view, char> kNamed[] = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        bool read = false;
        for (const auto& [n, c] : kNamed)
            if (!ref.empty() && ref == n) out += c, read = true;
        if (const uint32_t code = read ? 0 : CharacterCode(ref)) {
            out += Utf8Of(code);
            read = true;
        }
        if (read) {
            i = semicolon;
        } else if (!strict) {
            out += '&'; // a bare "&": the tool wrote the text unescaped
        } else if (ref.empty()) {
            return Fail("an \"&\" that begins no reference");
        } else {
            return Fail(ref[0] == '#' ? "a bad character reference" : "an unknown reference");
        }
    }
    return true;
}

std::string XmlTagReader::Name() {
    const size_t start = at_;
    while (at_ < xml_.size() &&
           std::string_view(" \t\r\n/>=<\"'").find(xml_[at_]) == std::string_view::npos)
        ++at_;
    return std::string(xml_.substr(start, at_ - start));
}

void XmlTagReader::SkipSpace() {
    while (at_ < xml_.size() &&
           std::string_view(" \t\r\n").find(xml_[at_]) != std::string_view::npos)
        ++at_;
}

} // namespace kestrune
