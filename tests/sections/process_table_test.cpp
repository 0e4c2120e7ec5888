#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sections/process_table.h"

TEST(NumberText, PadAndDecimal)
{
    struct Case {
        std::wstring text;
        int width;
        wchar_t fill;
        std::wstring expected;
    };
    const Case pads[] = {
        {L"7", -4, L' ', L"7   "},
        {L"52", 2, L' ', L"52"},
        {L"3", 2, L' ', L" 3"},
        {L"1893", -4, L' ', L"1893"},
        {L"12345", 3, L' ', L"12345"},   // never cut
        {L"12345", -3, L' ', L"12345"},
        {L"abc", 0, L'x', L"abc"},
        {L"", 2, L'0', L"00"},
        {L"-5", 4, L'0', L"-005"},       // a digit fill goes after the sign
        {L"-5", -4, L'0', L"-005"},
        {L"-5", 4, L' ', L"  -5"},       // any other fill does not
        {L"-5", -4, L' ', L"-5  "},
    };
    for (const Case& c : pads)
        EXPECT_EQ(PadText(c.text, c.width, c.fill), c.expected) << c.text << " " << c.width;

    EXPECT_EQ(FormatDecimal(-12, 5, L'0'), L"-0012");
    EXPECT_EQ(FormatDecimal(-12, -5, L' '), L"-12  ");
    EXPECT_EQ(FormatDecimal(4294967295LL, 2, L' '), L"4294967295");
    EXPECT_EQ(FormatDecimal(0, -3, L' '), L"0  ");
}

TEST(NumberText, Hex)
{
    EXPECT_EQ(FormatHex(0, 1), L"$0");
    EXPECT_EQ(FormatHex(4, 4), L"$0004");
    EXPECT_EQ(FormatHex(0xa3c, 1), L"$a3c");
    EXPECT_EQ(FormatHex(0xCBF43926, 8), L"$cbf43926");
    EXPECT_EQ(FormatHex(0xFFFFFFFE, 1), L"$fffffffe");
    EXPECT_EQ(FormatHex(0x123456789abcULL, 8), L"$123456789abc");  // more digits than asked: all of them
}

TEST(NumberText, DurationAtEachUnit)
{
    struct Case {
        uint64_t ms;
        const wchar_t* point;  // with a full stop
        const wchar_t* comma;  // with a comma
    };
    const Case cases[] = {
        {0, L"0 ms", L"0 ms"},
        {999, L"999 ms", L"999 ms"},
        {1000, L"1.00 s", L"1,00 s"},
        {1500, L"1.50 s", L"1,50 s"},
        {1009, L"1.00 s", L"1,00 s"},
        {59999, L"59.99 s", L"59,99 s"},
        {60000, L"1:00 min", L"1:00 min"},
        {125000, L"2:05 min", L"2:05 min"},
        {3599999, L"59:59 min", L"59:59 min"},
        {3600000, L"1:00 h", L"1:00 h"},
        {3723000, L"1:02 h", L"1:02 h"},
        {15120000, L"4:12 h", L"4:12 h"},
        // 2^32 ms and beyond (49.7 days): not wrapped.
        {4294967295ULL, L"1193:02 h", L"1193:02 h"},
        {4294967296ULL, L"1193:02 h", L"1193:02 h"},
        {100ULL * 24 * 3600000 + 5 * 60000, L"2400:05 h", L"2400:05 h"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatDuration(c.ms, L'.'), c.point) << c.ms;
        EXPECT_EQ(FormatDuration(c.ms, L','), c.comma) << c.ms;
    }
}

TEST(NumberText, ByteSizeAtEachUnit)
{
    struct Case {
        uint64_t bytes;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {0, L"0 Bytes"},
        {1023, L"1023 Bytes"},
        {1024, L"1.00 KB"},
        {1536, L"1.50 KB"},
        {1048575, L"1023.99 KB"},
        {1048576, L"1.00 MB"},
        {1073741823, L"1023.99 MB"},
        {1073741824, L"1.00 GB"},
        {500107862016ULL, L"465.76 GB"},
        {129332412416ULL, L"120.45 GB"},
        {129332371456ULL, L"120.44 GB"},  // truncated, not rounded
        {4398046511104ULL, L"4096.00 GB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatByteSize(c.bytes, L'.'), c.expected) << c.bytes;
    EXPECT_EQ(FormatByteSize(500107862016ULL, L','), L"465,76 GB");
}

TEST(NumberText, PriorityClassNames)
{
    struct Case {
        int32_t priority;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {0, L""},           {-1, L""},        {0x20, L"normal"},   {0x40, L"idle"},
        {0x80, L"high"},    {0x100, L"realtime"}, {0x4000, L"normal-"}, {0x8000, L"normal+"},
        {0x10, L"$10"},     {0x12345, L"$12345"}, {-2, L"$fffffffe"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PriorityClassName(c.priority), c.expected) << c.priority;
}

TEST(CpuLoad, RoundedPercentOfTheElapsedTicks)
{
    struct Case {
        uint64_t before, now;
        uint32_t ticks;
        int32_t load;
    };
    const Case cases[] = {
        {1000, 1020, 1000, 2},
        {0, 0, 1000, 0},
        {0, 4, 1000, 0},      // 0.4 rounds to 0: no text
        {0, 5, 1000, 0},      // 0.5: ties to even
        {0, 15, 1000, 2},     // 1.5: ties to even
        {0, 25, 1000, 2},     // 2.5: ties to even
        {0, 6, 1000, 1},
        {500, 4500, 1000, 400},  // four busy threads: more than 100%
        {0, 1000, 0, 0},      // no ticks elapsed: no load
    };
    for (const Case& c : cases)
        EXPECT_EQ(CpuLoadPercent(c.before, c.now, c.ticks), c.load) << c.before << " " << c.now << " " << c.ticks;
    EXPECT_EQ(CpuLoadText(0), L"");
    EXPECT_EQ(CpuLoadText(2), L",2%");
    EXPECT_EQ(CpuLoadText(400), L",400%");
}

namespace {
TProcessRow Row(const std::wstring& name, const std::wstring& folder, DWORD pid, DWORD session)
{
    TProcessRow row;
    row.Name = name;
    row.Folder = folder;
    row.Pid = pid;
    row.SessionId = session;
    return row;
}
}  // namespace

TEST(ProcessRow, RestTextOfTheWorkedExamples)
{
    TProcessRow row;
    row.Handles = 1893;
    row.Threads = 52;
    row.WorkingSetMB = 95;
    row.PagefileMB = 61;
    row.PriorityClass = NORMAL_PRIORITY_CLASS;
    row.RunTimeMs = 4 * 3600000 + 12 * 60000;
    row.CpuText = CpuLoadText(2);
    const std::wstring rest = ProcessRestText(row, L'.');
    EXPECT_EQ(rest, L"1893,52|  95M, 61M| normal,4:12 h,2%");
    EXPECT_EQ(rest.size(), 36u);

    TProcessRow small;
    small.Handles = 7;
    small.Threads = 3;
    small.WorkingSetMB = 1;
    small.PagefileMB = 0;
    small.PriorityClass = HIGH_PRIORITY_CLASS;
    small.RunTimeMs = 59999;
    EXPECT_EQ(ProcessRestText(small, L','), L"7   , 3|   1M,  0M| high,59,99 s");

    // A process that could not be opened: no priority, 0 ms, no load.
    EXPECT_EQ(ProcessRestText(Row(L"x.exe", L"", 8, 0), L'.'), L"0   , 0|   0M,  0M| ,0 ms");
}

TEST(ProcessTable, ExplorerRowWithEveryColumn)
{
    TProcessRow explorer = Row(L"explorer.exe", L"C:\\Windows", 0xa3c, 1);
    explorer.GdiObjects = 612;
    explorer.UserObjects = 487;
    explorer.Handles = 1893;
    explorer.Threads = 52;
    explorer.WorkingSetMB = 95;
    explorer.PagefileMB = 61;
    explorer.PriorityClass = NORMAL_PRIORITY_CLASS;
    explorer.RunTimeMs = 4 * 3600000 + 12 * 60000;
    explorer.CpuText = L",2%";
    // Others that set the widths: Wpid 5 (pid 0x1f00), Wrest 40.
    TProcessRow wide = Row(L"a.exe", L"C:\\A", 0x1f00, 0);
    wide.Handles = 1234;
    wide.Threads = 10;
    wide.WorkingSetMB = 1234;
    wide.PagefileMB = 5678;
    wide.PriorityClass = NORMAL_PRIORITY_CLASS;
    wide.RunTimeMs = 10 * 3600000ULL;
    wide.CpuText = L",12%";
    ASSERT_EQ(ProcessRestText(wide, L'.').size(), 40u) << ProcessRestText(wide, L'.');
    const std::vector<std::wstring> lines = ProcessTableLines({explorer, wide}, L'.');
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"pid, name       sid gdi,uobj,hnd,thd|mem,  vmem| runtime, cpu");
    EXPECT_EQ(lines[1], L"0a3c explorer.exe 1 612 487 1893,52|  95M, 61M| normal,4:12 h,2%     C:\\Windows");
    EXPECT_EQ(lines[2], L"1f00 a.exe        0 0   0   1234,10| 1234M,5678M| normal,10:00 h,12% C:\\A");
}

TEST(ProcessTable, PidDigitsFollowTheLargestPid)
{
    // Wpid 5: every pid in four digits, 4 as 0004.
    const std::vector<std::wstring> four = ProcessTableLines({Row(L"System", L"", 4, 0), Row(L"b", L"", 0x1a3c, 0)}, L'.');
    ASSERT_EQ(four.size(), 3u);
    EXPECT_EQ(four[1].substr(0, 5), L"0004 ");
    EXPECT_EQ(four[2].substr(0, 5), L"1a3c ");
    // The idle process: pid 0, no priority.
    const std::vector<std::wstring> idle = ProcessTableLines({Row(L"Idle", L"", 0, 0), Row(L"c", L"", 0x1c, 0)}, L'.');
    ASSERT_EQ(idle.size(), 3u);
    EXPECT_EQ(idle[1], L"00 Idle 0 0 0   , 0|   0M,  0M| ,0 ms ");
}

TEST(ProcessTable, ColumnsThatAreAbsent)
{
    // Every process in session 0: no "sid " column; the GUI columns stay.
    const std::vector<std::wstring> sessionZero =
        ProcessTableLines({Row(L"a.exe", L"C:\\x", 0x10, 0), Row(L"bb.exe", L"C:\\y", 0x20, 0)}, L'.');
    ASSERT_EQ(sessionZero.size(), 3u);
    EXPECT_EQ(sessionZero[0], L"pid, name gdi,uobj,hnd,thd|mem,  vmem| runtime, cpu");
    EXPECT_EQ(sessionZero[0].find(L"sid "), std::wstring::npos);
    EXPECT_EQ(sessionZero[1], L"10 a.exe  0 0 0   , 0|   0M,  0M| ,0 ms C:\\x");
    EXPECT_EQ(sessionZero[2], L"20 bb.exe 0 0 0   , 0|   0M,  0M| ,0 ms C:\\y");
    // One process outside session 0 gives every row the column.
    const std::vector<std::wstring> mixed =
        ProcessTableLines({Row(L"a.exe", L"", 0x10, 0), Row(L"b.exe", L"", 0x20, 12)}, L'.');
    ASSERT_EQ(mixed.size(), 3u);
    EXPECT_EQ(mixed[0], L"pid, namesid gdi,uobj,hnd,thd|mem,  vmem| runtime, cpu");
    EXPECT_EQ(mixed[1], L"10 a.exe 0  0 0 0   , 0|   0M,  0M| ,0 ms ");
    EXPECT_EQ(mixed[2], L"20 b.exe 12 0 0 0   , 0|   0M,  0M| ,0 ms ");
    // No process at all (the system information could not be read): the
    // header alone, with nothing between its parts.
    const std::vector<std::wstring> none = ProcessTableLines({}, L'.');
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0], L"pid, namehnd,thd|mem,  vmem| runtime, cpu");
}

TEST(ProcessTable, ImagePathSplitsAtTheLastBackslash)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* folder;
        const wchar_t* name;
    };
    const Case cases[] = {
        {L"C:\\Windows\\explorer.exe", L"C:\\Windows", L"explorer.exe"},
        {L"explorer.exe", L"", L"explorer.exe"},
        {L"C:\\a\\b\\", L"C:\\a\\b", L""},
        {L"\\smss.exe", L"", L"smss.exe"},
    };
    for (const Case& c : cases) {
        std::wstring folder = L"old", name = L"old";
        SplitImagePath(c.path, folder, name);
        EXPECT_EQ(folder, c.folder) << c.path;
        EXPECT_EQ(name, c.name) << c.path;
    }
}
