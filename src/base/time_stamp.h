// The time stamp of a status line: the date in the user's short format and, unless it is
// exactly midnight, a blank and the time in the user's long format.
#pragma once

#include "base/ansi_string.h"

#include <ctime>

namespace kestrune {

// Windows: the user's default locale (GetDateFormatEx, GetTimeFormatEx). Elsewhere: the C
// library's LC_TIME locale (%x, %X), whose text is taken for UTF-8.
WideString LocalTimeStamp(std::time_t moment);

// The time now, for stamping each line of a run. Not the C library's time(): under Wine its C
// runtime's took microseconds a call, 0.15 s of a 10,000-line restore, where the system clock
// takes a fraction of one.
std::time_t TimeNow();

} // namespace kestrune
