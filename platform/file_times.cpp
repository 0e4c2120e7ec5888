#include "platform/file_times.h"

#include "platform/handles.h"

namespace {

// Days from 1 January 1970 to a date of the proleptic Gregorian calendar.
long long DaysFromCivil(int year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace

double DosDateTimeToDays(WORD dosDate, WORD dosTime)
{
    static constexpr unsigned monthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = 1980 + (dosDate >> 9);
    const unsigned month = (dosDate >> 5) & 15u;
    const unsigned day = dosDate & 31u;
    const unsigned hour = dosTime >> 11;
    const unsigned minute = (dosTime >> 5) & 63u;
    const unsigned second = (dosTime & 31u) * 2;
    if (month < 1 || month > 12 || day < 1)
        return 0;
    const unsigned lastDay = monthDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    if (day > lastDay || hour > 23 || minute > 59 || second > 59)
        return 0;
    const long long days = DaysFromCivil(year, month, day) - DaysFromCivil(1899, 12, 30);
    const unsigned seconds = hour * 3600 + minute * 60 + second;
    return static_cast<double>(days) + seconds / 86400.0;
}

double GetFileDateTime(const std::wstring& path, int kind)
{
    WIN32_FIND_DATAW found{};
    const UniqueFind search(FindFirstFileW(path.c_str(), &found));
    if (!search)
        return 0;
    const FILETIME& stamp =
        kind == 0 ? found.ftCreationTime : kind == 1 ? found.ftLastWriteTime : found.ftLastAccessTime;
    FILETIME local{};
    WORD date = 0, time = 0;
    if (!FileTimeToLocalFileTime(&stamp, &local) || !FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return DosDateTimeToDays(date, time);
}

