#pragma once
// Dates, times and numbers as the user's locale writes them.
#include <windows.h>

#include <string>

// Local date and time as report lines show them: the user's short date, a
// blank and the long time; the time is left out at exactly midnight.
std::wstring DateTimeToStr(const SYSTEMTIME& time);
// The same for a UTC file time, converted to local time first; the zero
// date-time (30 December 1899, midnight) for a time that cannot be converted.
std::wstring FileTimeToStr(const FILETIME& utc);

// The first character of the thread locale's decimal separator, read on the
// first call and kept for the life of the process; ',' when it cannot be read.
wchar_t LocaleDecimalChar();
// The first character of a locale's decimal separator, or ',' when it cannot be read.
wchar_t DecimalCharOf(LCID locale);
