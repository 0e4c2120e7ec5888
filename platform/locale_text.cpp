#include "platform/locale_text.h"

std::wstring DateTimeToStr(const SYSTEMTIME& time)
{
    wchar_t date[128] = {};
    if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128))
        date[0] = 0;
    std::wstring text = date;
    if (time.wHour == 0 && time.wMinute == 0 && time.wSecond == 0 && time.wMilliseconds == 0)
        return text;
    wchar_t clock[128] = {};
    if (!GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, 128))
        clock[0] = 0;
    return text + L" " + clock;
}

std::wstring FileTimeToStr(const FILETIME& utc)
{
    SYSTEMTIME universal{}, local{};
    if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
        local = SYSTEMTIME{};
        local.wYear = 1899;
        local.wMonth = 12;
        local.wDay = 30;
    }
    return DateTimeToStr(local);
}

wchar_t DecimalCharOf(LCID locale)
{
    wchar_t separator[8] = {};
    if (GetLocaleInfoW(locale, LOCALE_SDECIMAL, separator, 8) < 2 || separator[0] == 0)
        return L',';
    return separator[0];
}

wchar_t LocaleDecimalChar()
{
    // Every caller would read the same value; the first one stores it.
    static const wchar_t decimalChar = DecimalCharOf(GetThreadLocale());
    return decimalChar;
}
