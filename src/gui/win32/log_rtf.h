// The Status window's log as RTF, the restore log's rich format on Windows.
#pragma once

#include "gui/forms/log_lines.h"

#include <string>

namespace kestrune {

struct RtfLooks {
    WideString face = u"Tahoma";
    int halfPoints = 16;
    int tabTwips = 0; // 0: the reader's default stops
};

// A document of one paragraph a line, each in its colour; the text is never taken for markup.
std::string LogAsRtf(const std::vector<LogLine>& lines, const RtfLooks& looks);

} // namespace kestrune
