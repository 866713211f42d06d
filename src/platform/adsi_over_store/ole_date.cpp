#include "platform/adsi_over_store/ole_date.h"

#include <cstdio>

namespace kestrune {
namespace {

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

} // namespace

double OleDateFromGeneralizedTime(const std::string& text) {
    int year, month, day, hour, minute, second;
    if (std::sscanf(text.c_str(), "%4d%2d%2d%2d%2d%2d", &year, &month, &day, &hour, &minute,
                    &second) != 6)
        return 0;
    static const int daysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    if (month < 1 || month > 12) return 0;
    long days = 0;
    for (int y = 1900; y < year; ++y)
        days += IsLeap(y) ? 366 : 365;
    days += daysBefore[month - 1] + (month > 2 && IsLeap(year) ? 1 : 0) + day - 1;
    days += 2; // 30 December 1899 is day 0, 1 January 1900 day 2
    return days + (hour * 3600 + minute * 60 + second) / 86400.0;
}

} // namespace kestrune
