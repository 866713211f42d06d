#include "platform/dfs_target_list.h"

#include "base/ansi_string.h"

namespace kestrune {
namespace {

std::u16string FromUtf16Le(std::string_view bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                       (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
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

std::optional<std::u16string> Unescape(std::u16string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'&') {
            out += text[i];
            continue;
        }
        size_t semi = text.find(u';', i);
        if (semi == std::u16string_view::npos) return std::nullopt;
        std::u16string_view name = text.substr(i + 1, semi - i - 1);
        if (name == u"amp")
            out += u'&';
        else if (name == u"lt")
            out += u'<';
        else if (name == u"gt")
            out += u'>';
        else if (name == u"quot")
            out += u'"';
        else if (name == u"apos")
            out += u'\'';
        else if (!name.empty() && name[0] == u'#') {
            std::string digits = WideToUtf8(name.substr(1));
            bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
            unsigned long code =
                std::strtoul(digits.c_str() + (hex ? 1 : 0), nullptr, hex ? 16 : 10);
            if (code == 0 || code > 0x10FFFF) return std::nullopt;
            if (code >= 0x10000) {
                code -= 0x10000;
                out += static_cast<char16_t>(0xD800 + (code >> 10));
                out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
            } else {
                out += static_cast<char16_t>(code);
            }
        } else {
            return std::nullopt;
        }
        i = semi;
    }
    return out;
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

// Position just after the name of an element start "<target" or "<prefix:target", or npos.
size_t FindTargetStart(std::u16string_view xml, size_t from) {
    for (size_t lt = xml.find(u'<', from); lt != std::u16string_view::npos;
         lt = xml.find(u'<', lt + 1)) {
        size_t nameEnd = lt + 1;
        while (nameEnd < xml.size() && xml[nameEnd] != u' ' && xml[nameEnd] != u'>' &&
               xml[nameEnd] != u'/' && xml[nameEnd] != u'\t' && xml[nameEnd] != u'\r' &&
               xml[nameEnd] != u'\n')
            ++nameEnd;
        std::u16string_view name = xml.substr(lt + 1, nameEnd - lt - 1);
        size_t colon = name.find(u':');
        if (colon != std::u16string_view::npos) name = name.substr(colon + 1);
        if (name == u"target") return nameEnd;
    }
    return std::u16string_view::npos;
}

} // namespace

std::optional<std::vector<std::u16string>> DecodeTargetList(std::string_view bytes) {
    std::u16string xml;
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
        static_cast<uint8_t>(bytes[1]) == 0xFE)
        xml = FromUtf16Le(bytes.substr(2));
    else if (bytes.size() >= 2 && bytes[1] == '\0')
        xml = FromUtf16Le(bytes);
    else
        xml = Utf8ToWide(bytes);
    if (xml.find(u"targets") == std::u16string::npos) return std::nullopt;

    std::vector<std::u16string> targets;
    for (size_t at = FindTargetStart(xml, 0); at != std::u16string::npos;
         at = FindTargetStart(xml, at)) {
        size_t gt = xml.find(u'>', at);
        if (gt == std::u16string::npos) return std::nullopt;
        if (xml[gt - 1] == u'/') { // an empty <target/>
            at = gt;
            continue;
        }
        size_t end = xml.find(u"</", gt);
        if (end == std::u16string::npos) return std::nullopt;
        std::optional<std::u16string> text =
            Unescape(std::u16string_view(xml).substr(gt + 1, end - gt - 1));
        if (!text) return std::nullopt;
        targets.push_back(std::move(*text));
        at = end;
    }
    return targets;
}

std::string EncodeTargetList(const std::vector<std::u16string>& targets) {
    size_t stringBytes = 0;
    for (const auto& t : targets)
        stringBytes += t.size() * 2;
    std::u16string xml =
        u"<?xml version=\"1.0\"?>\r\n<targets xmlns=\"http://schemas.microsoft.com/dfs/2007/03\" "
        u"majorVersion=\"1\" minorVersion=\"0\" targetCount=\"" +
        Utf8ToWide(std::to_string(targets.size())) + u"\" totalStringLengthInBytes=\"" +
        Utf8ToWide(std::to_string(stringBytes)) + u"\">";
    for (const auto& t : targets)
        xml += u"<target state=\"online\" priorityClass=\"SiteCostNormal\" priorityRank=\"0\">" +
               Escape(t) + u"</target>";
    xml += u"</targets>";
    return ToUtf16Le(xml);
}

} // namespace kestrune
