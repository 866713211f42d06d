#include "gui/win32/log_rtf.h"

#include <algorithm>

namespace kestrune {

namespace {

// Text of RTF: the characters RTF treats specially escaped, the rest beyond ASCII as Unicode.
void AppendRtfText(std::string& rtf, std::u16string_view text) {
    for (char16_t c : text) {
        if (c == u'\\' || c == u'{' || c == u'}') {
            rtf += '\\';
            rtf += static_cast<char>(c);
        } else if (c == u'\t') {
            rtf += "\\tab ";
        } else if (c >= 0x20 && c < 0x80) {
            rtf += static_cast<char>(c);
        } else {
            rtf += "\\u" + std::to_string(static_cast<int16_t>(c)) + '?';
        }
    }
}

} // namespace

std::string LogAsRtf(const std::vector<LogLine>& lines, const RtfLooks& looks) {
    std::vector<uint32_t> colors;
    size_t size = 200;
    for (const LogLine& line : lines) {
        size += line.text.size() + 12;
        if (std::find(colors.begin(), colors.end(), line.color) == colors.end())
            colors.push_back(line.color);
    }
    std::string rtf;
    rtf.reserve(size);
    rtf += "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 ";
    AppendRtfText(rtf, looks.face);
    rtf += ";}}\n{\\colortbl;";
    for (uint32_t color : colors)
        rtf += "\\red" + std::to_string(color & 0xFF) + "\\green" +
               std::to_string((color >> 8) & 0xFF) + "\\blue" +
               std::to_string((color >> 16) & 0xFF) + ';';
    rtf += "}\n\\pard";
    if (looks.tabTwips > 0) rtf += "\\tx" + std::to_string(looks.tabTwips);
    rtf += "\\f0\\fs" + std::to_string(looks.halfPoints) + '\n';
    // Most lines have the colour of the line before: it is named only where it changes.
    size_t current = 0;
    for (const LogLine& line : lines) {
        const size_t color =
            std::find(colors.begin(), colors.end(), line.color) - colors.begin() + 1;
        if (color != current) {
            rtf += "\\cf" + std::to_string(color) + ' ';
            current = color;
        }
        AppendRtfText(rtf, line.text);
        rtf += "\\par\n";
    }
    rtf += "}\n";
    return rtf;
}

} // namespace kestrune
