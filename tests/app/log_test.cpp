#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "app/diagnostic_log.h"
#include "platform/handles.h"
#include "platform/modules.h"
#include "tests/support/test_folder.h"

namespace {

std::wstring TimeSeparator()
{
    wchar_t sep[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, sep, 8);
    return sep;
}

// One line as the log writes it: time stamp, two blanks, text, CR LF.
std::wregex LinePattern(const std::wstring& text)
{
    const std::wstring s = TimeSeparator();
    return std::wregex(L"\\d{4}-\\d{2}-\\d{2} \\d{2}" + s + L"\\d{2}" + s + L"\\d{2}\\.\\d{3}  " + text + L"\r\n");
}

}  // namespace

TEST(LogTimeStamp, Format)
{
    SYSTEMTIME t{};
    t.wYear = 2015;
    t.wMonth = 3;
    t.wDay = 2;
    t.wHour = 14;
    t.wMinute = 5;
    t.wSecond = 9;
    t.wMilliseconds = 7;
    EXPECT_EQ(FormatLogTimeStamp(t, L":"), L"2015-03-02 14:05:09.007  ");
    EXPECT_EQ(FormatLogTimeStamp(t, L"."), L"2015-03-02 14.05.09.007  ");
}

TEST(Log, FirstLineOfANewFileHasTheByteOrderMarkAndLaterLinesDoNot)
{
    TTestFolder dir;
    TLogManage log;
    log.SetFileName(dir / L"sub\\Vexlo_Debug_VireRuri.log");  // the folder is created too
    log.Add(L"DoGatherInfo strart", false);
    log.Add(L"first\r\nsecond", false);

    const std::string bytes = ReadFileBytes(dir / L"sub\\Vexlo_Debug_VireRuri.log");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
    const std::wstring text = FromUtf16Le(bytes, 2);
    EXPECT_EQ(text.find(L'\xFEFF'), std::wstring::npos);
    // The continuation line of an embedded CR LF carries no time stamp.
    const std::wstring s = TimeSeparator();
    const std::wstring stamp = L"\\d{4}-\\d{2}-\\d{2} \\d{2}" + s + L"\\d{2}" + s + L"\\d{2}\\.\\d{3}  ";
    EXPECT_TRUE(std::regex_match(text, std::wregex(stamp + L"DoGatherInfo strart\r\n" + stamp + L"first\r\nsecond\r\n")))
        << std::string(text.begin(), text.end());
}

TEST(Log, AnOversizedFileIsCutToItsLastFiveMegabytesBeforeTheNextLine)
{
    TTestFolder dir;
    const std::wstring path = dir / L"big.log";
    std::string old(LogMaxSize + 1000, '\0');
    for (size_t i = 0; i < old.size(); ++i)
        old[i] = static_cast<char>(i * 7 + (i >> 11));
    WriteFileBytes(path, old);

    TLogManage log;
    log.SetFileName(path);
    log.Add(L"after", false);

    const std::string bytes = ReadFileBytes(path);
    const std::string kept = old.substr(old.size() - LogMaxSize);
    ASSERT_GT(bytes.size(), kept.size());
    EXPECT_EQ(bytes.substr(0, kept.size()), kept);
    const std::wstring added = FromUtf16Le(bytes, kept.size());
    EXPECT_TRUE(std::regex_match(added, LinePattern(L"after")));  // no byte order mark again
}

TEST(Log, TrimLeavesSmallFilesAloneAndSwallowsFailures)
{
    TTestFolder dir;
    WriteFileBytes(dir / L"small.log", std::string(100, 'x'));
    TrimLogFile(dir / L"small.log", 100);
    EXPECT_EQ(ReadFileBytes(dir / L"small.log").size(), 100u);
    TrimLogFile(dir / L"small.log", 10);
    EXPECT_EQ(ReadFileBytes(dir / L"small.log"), std::string(10, 'x'));
    TrimLogFile(dir / L"missing.log", 10);  // must not throw
}

TEST(Log, AFileHeldWithoutWriteSharingSendsLinesToNumberedFiles)
{
    TTestFolder dir;
    const std::wstring base = dir / L"Vexlo_Debug_VireRuri.log";
    TLogManage log;
    log.SetFileName(base);
    log.Add(L"one", false);
    {
        UniqueFile held(CreateFileW(base.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        log.Add(L"two", false);
        UniqueFile held1(CreateFileW((dir / L"Vexlo_Debug_VireRuri_1.log").c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held1);
        log.Add(L"three", false);
    }
    log.Add(L"four", false);  // the base name is tried first again

    EXPECT_TRUE(std::regex_match(FromUtf16Le(ReadFileBytes(base), 2), std::wregex(L"(.*one\r\n)(.*four\r\n)")));
    EXPECT_TRUE(std::regex_match(FromUtf16Le(ReadFileBytes(dir / L"Vexlo_Debug_VireRuri_1.log"), 2), LinePattern(L"two")));
    EXPECT_TRUE(std::regex_match(FromUtf16Le(ReadFileBytes(dir / L"Vexlo_Debug_VireRuri_2.log"), 2), LinePattern(L"three")));
}

TEST(Log, AnUncreatableFileLosesTheLineSilently)
{
    TTestFolder dir;
    WriteFileBytes(dir / L"blocker", "x");  // a file where the log's folder should be
    TLogManage log;
    log.SetFileName(dir / L"blocker\\x.log");
    EXPECT_NO_THROW(log.Add(L"lost", false));
    EXPECT_EQ(GetFileAttributesW((dir / L"blocker\\x.log").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Log, AWriterThatWroteNothingRemovesItsFile)
{
    TTestFolder dir;
    { TLogObj unused(dir / L"empty.log"); }
    EXPECT_EQ(GetFileAttributesW((dir / L"empty.log").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Log, DetailLinesNeedTheMarkerFile)
{
    TTestFolder dir;
    const std::wstring module = GetModuleName();
    const std::wstring marker = module.substr(0, module.find_last_of(L'\\') + 1) + L"detaillog.ldt";
    DeleteFileW(marker.c_str());
    {
        TLogObj log(dir / L"detail.log");
        log.Add(L"normal", false);
        log.Add(L"dropped", true);
        WriteFileBytes(marker, "");
        log.Add(L"kept", true);
        DeleteFileW(marker.c_str());
    }
    const std::wstring text = FromUtf16Le(ReadFileBytes(dir / L"detail.log"), 2);
    EXPECT_NE(text.find(L"normal"), std::wstring::npos);
    EXPECT_EQ(text.find(L"dropped"), std::wstring::npos);
    EXPECT_NE(text.find(L"kept"), std::wstring::npos);
}

TEST(Log, TwoThreadsNeverInterleaveTheirLines)
{
    TTestFolder dir;
    SetLogFileName(dir / L"threads.log");
    const int perThread = 300;
    const std::wstring a(200, L'a');
    const std::wstring b(200, L'b');
    std::thread first([&] { for (int i = 0; i < perThread; ++i) WriteLog(a); });
    std::thread second([&] { for (int i = 0; i < perThread; ++i) WriteLog(b); });
    first.join();
    second.join();

    const std::wstring text = FromUtf16Le(ReadFileBytes(dir / L"threads.log"), 2);
    const std::wregex line(L"[^\r\n]*\r\n");
    int as = 0, bs = 0;
    for (auto it = std::wsregex_iterator(text.begin(), text.end(), line); it != std::wsregex_iterator(); ++it) {
        const std::wstring one = it->str();
        if (std::regex_match(one, LinePattern(a)))
            ++as;
        else if (std::regex_match(one, LinePattern(b)))
            ++bs;
        else
            ADD_FAILURE() << "mixed line";
    }
    EXPECT_EQ(as, perThread);
    EXPECT_EQ(bs, perThread);
}

// A file that an earlier writer left at an odd length: one byte completes its
// last character, and the new line reads as text after it.
TEST(Log, AFileOfOddLengthIsPaddedBeforeTheNextLine)
{
    TTestFolder dir;
    const std::wstring path = dir / L"odd.log";
    WriteFileBytes(path, std::string("\xFF\xFE" "A\0B", 5));
    TLogManage log;
    log.SetFileName(path);
    log.Add(L"after", false);
    const std::string bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size() % 2, 0u);
    EXPECT_EQ(bytes.substr(0, 6), std::string("\xFF\xFE" "A\0B\0", 6));
    EXPECT_TRUE(std::regex_match(FromUtf16Le(bytes, 6), LinePattern(L"after")));
}
