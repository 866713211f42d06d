#include "base/time_stamp.h"

#include <chrono>

#ifdef _WIN32
#include "base/windows_sdk.h"
#endif

namespace kestrune {

#ifdef _WIN32

namespace {

WideString FromSystemText(const wchar_t* text) {
    return WideString(reinterpret_cast<const char16_t*>(text));
}

} // namespace

WideString LocalTimeStamp(std::time_t moment) {
    std::tm local{};
    localtime_s(&local, &moment);
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(local.tm_year + 1900);
    time.wMonth = static_cast<WORD>(local.tm_mon + 1);
    time.wDay = static_cast<WORD>(local.tm_mday);
    time.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time.wHour = static_cast<WORD>(local.tm_hour);
    time.wMinute = static_cast<WORD>(local.tm_min);
    time.wSecond = static_cast<WORD>(local.tm_sec);
    wchar_t date[128] = L"";
    GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128, nullptr);
    WideString stamp = FromSystemText(date);
    if (local.tm_hour != 0 || local.tm_min != 0 || local.tm_sec != 0) {
        wchar_t clock[128] = L"";
        GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, clock, 128);
        stamp += u' ';
        stamp += FromSystemText(clock);
    }
    return stamp;
}

#else

WideString LocalTimeStamp(std::time_t moment) {
    std::tm local{};
    localtime_r(&moment, &local);
    char text[128];
    const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
    size_t n = std::strftime(text, sizeof text, midnight ? "%x" : "%x %X", &local);
    return Utf8ToWide(std::string_view(text, n));
}

#endif

std::time_t TimeNow() {
    return std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
}

} // namespace kestrune
