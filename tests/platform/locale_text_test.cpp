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


TEST(DecimalChar, OfTheThreadLocaleReadOnce)
{
    EXPECT_EQ(DecimalCharOf(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT)), L'.');
    EXPECT_EQ(DecimalCharOf(MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT)), L',');
    EXPECT_EQ(DecimalCharOf(0x7FFFFFFF), L',');  // no such locale
    const LCID locale = GetThreadLocale();
    const wchar_t first = LocaleDecimalChar();
    EXPECT_EQ(first, DecimalCharOf(locale));
    // Kept once read: a later change of the thread locale does not show.
    const LCID other = MAKELCID(MAKELANGID(DecimalCharOf(locale) == L',' ? LANG_ENGLISH : LANG_GERMAN, SUBLANG_DEFAULT),
                                SORT_DEFAULT);
    ASSERT_TRUE(SetThreadLocale(other));
    EXPECT_NE(DecimalCharOf(GetThreadLocale()), first);
    EXPECT_EQ(LocaleDecimalChar(), first);
    SetThreadLocale(locale);
}
