#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/locale_text.h"

TEST(DateTimeText, LeavesOutMidnight)
{
    SYSTEMTIME t{};
    t.wYear = 2026;
    t.wMonth = 12;
    t.wDay = 10;
    wchar_t date[64];
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, date, 64);
    EXPECT_EQ(DateTimeToStr(t), date);
    t.wMilliseconds = 1;  // one millisecond past midnight is not midnight
    wchar_t clock[64];
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, nullptr, clock, 64);
    EXPECT_EQ(DateTimeToStr(t), std::wstring(date) + L" " + clock);
}

