#include <gtest/gtest.h>

#include <string>

#include "platform/file_times.h"
#include "platform/handles.h"
#include "tests/support/test_folder.h"

// ---------------------------------------------------------------------------
// File time stamps.

namespace {
WORD DosDate(int year, int month, int day)
{
    return static_cast<WORD>(((year - 1980) << 9) | (month << 5) | day);
}
WORD DosTime(int hour, int minute, int second)
{
    return static_cast<WORD>((hour << 11) | (minute << 5) | (second / 2));
}
}  // namespace

TEST(FileDateTime, DosStampsAsDayCounts)
{
    struct Case {
        WORD date, time;
        double expected;
    };
    const Case cases[] = {
        {DosDate(1980, 1, 1), DosTime(0, 0, 0), 29221.0},
        {DosDate(1999, 12, 31), DosTime(18, 0, 0), 36525.75},
        {DosDate(2000, 2, 29), DosTime(12, 0, 0), 36585.5},
        {DosDate(2024, 3, 15), DosTime(6, 30, 10), 45366.0 + 23410.0 / 86400.0},
        {DosDate(2107, 12, 31), DosTime(23, 59, 58), 75971.0 + 86398.0 / 86400.0},
        // dates and times that cannot be
        {DosDate(2001, 2, 29), 0, 0.0},
        {DosDate(1980, 4, 31), 0, 0.0},
        {DosDate(1980, 0, 1), 0, 0.0},
        {DosDate(1980, 13, 1), 0, 0.0},
        {DosDate(1980, 1, 0), 0, 0.0},
        {DosDate(1980, 1, 1), static_cast<WORD>(24 << 11), 0.0},
        {DosDate(1980, 1, 1), static_cast<WORD>(60 << 5), 0.0},
        {DosDate(1980, 1, 1), 30, 0.0},  // 60 seconds
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(DosDateTimeToDays(c.date, c.time), c.expected) << std::hex << c.date << " " << c.time;
}

namespace {
// A FILETIME `seconds` (may have a fraction) after 2021-06-01 10:00:00 UTC.
FILETIME Stamp(double seconds)
{
    const ULONGLONG base = 132670152000000000ULL;  // 2021-06-01 10:00:00 UTC
    const ULONGLONG t = base + static_cast<ULONGLONG>(seconds * 10000000.0);
    return FILETIME{static_cast<DWORD>(t & 0xFFFFFFFF), static_cast<DWORD>(t >> 32)};
}

void Touch(const std::wstring& path, const FILETIME& created, const FILETIME& accessed, const FILETIME& written)
{
    WriteFileBytes(path, "x");
    UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    ASSERT_TRUE(SetFileTime(file.get(), &created, &accessed, &written));
}
}  // namespace

TEST(FileDateTime, TimesOfARealFile)
{
    TTestFolder folder;
    const std::wstring a = folder / L"a.stamp", b = folder / L"b.stamp", c = folder / L"c.stamp";
    Touch(a, Stamp(0.1), Stamp(86400.0 + 0.1), Stamp(0.1));
    Touch(b, Stamp(0), Stamp(0), Stamp(1.9));  // same two-second step as a
    Touch(c, Stamp(0), Stamp(0), Stamp(2.0));  // the next one

    const double written = GetFileDateTime(a, 1), accessed = GetFileDateTime(a, 2);
    // 2021-06-01 is day 44348; local time is within 14 hours of UTC.
    EXPECT_NEAR(written, 44348.0 + 10.0 / 24.0, 14.0 / 24.0);
    EXPECT_NEAR(accessed - written, 1.0, 1e-9);
    EXPECT_EQ(GetFileDateTime(a, 7), accessed);  // any other kind is the access time
    EXPECT_EQ(GetFileDateTime(a, -1), accessed);
    // Creation times cannot be set on this Windows's file system; it has one all the same.
    EXPECT_GT(GetFileDateTime(a, 0), 0.0);

    EXPECT_EQ(GetFileDateTime(b, 1), written);
    EXPECT_NEAR(GetFileDateTime(c, 1) - written, 2.0 / 86400.0, 1e-9);

    EXPECT_EQ(GetFileDateTime(folder / L"a.st*", 1), written);  // first match of a pattern
    EXPECT_EQ(GetFileDateTime(folder / L"missing.stamp", 1), 0.0);
    EXPECT_EQ(GetFileDateTime(folder / L"*.none", 0), 0.0);
    EXPECT_EQ(GetFileDateTime(L"", 1), 0.0);
}
