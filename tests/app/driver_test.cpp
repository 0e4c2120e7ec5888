#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/ReportLines.h"
#include "app/uInfoMain.h"
#include "app/uLog.h"
#include "platform/PathUtil.h"
#include "platform/Vexlo_Routine_New.h"
#include "tests/support/TestFolder.h"

namespace {

std::wstring TempFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return temp;
}


bool Contains(const std::vector<std::wstring>& lines, const std::wstring& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

TEST(ProductSwitch, ReadsTheNameAfterTheFirstProductParameter)
{
    struct Case {
        std::vector<std::wstring> args;
        bool ultimate;
        int expected;
    };
    const Case cases[] = {
        {{}, true, 0},
        {{L"/Product", L"Grendax"}, false, 3},
        {{L"/product", L"CLARVIX"}, false, 4},
        {{L"x", L"/PRODUCT", L"mervalo", L"/Product", L"Grendax"}, false, 5},
        {{L"/Product", L"Tramblex"}, false, 1},
        {{L"/Product", L"Tramblex"}, true, 2},
        {{L"/Product"}, true, 2},  // no name after the switch
        {{L"Grendax"}, false, 1},  // a name without the switch counts for nothing
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProductSwitchFromArgs(c.args, [&] { return c.ultimate; }), c.expected)
            << std::string(c.args.empty() ? "" : "args[0]=") << (c.args.empty() ? "" : std::string(c.args[0].begin(), c.args[0].end()));
}

TEST(ProductMode, OnlyALibraryReadsTheSwitch)
{
    const std::pair<int, TProductMode> map[] = {{0, pmAll}, {1, pmMainProduct}, {2, pmMainProduct},
                                                {3, pmAntiMalware}, {4, pmUninstaller}, {5, pmDefrag}, {6, pmAll}};
    for (const auto& [value, mode] : map) {
        EXPECT_EQ(ProductModeFor(L"C:\\x\\Helper.DLL", [&] { return value; }), mode) << value;
        EXPECT_EQ(ProductModeFor(L"C:\\x\\VexloHelper.exe", [&] { return value; }), pmAll) << value;
    }
    EXPECT_EQ(ProductModeFor(L"C:\\x.dll\\Helper", [] { return 4; }), pmAll);
}

TEST(ReportFile, EveryLineEndsInCrLfAfterTheByteOrderMark)
{
    EXPECT_EQ(ReportFileBytes({}), std::string("\xFF\xFE", 2));
    EXPECT_EQ(ReportFileBytes({L"A", L"b\r\nc", L"", L"\x20AC"}),
              std::string("\xFF\xFE" "A\0\r\0\n\0" "b\0\r\0\n\0c\0\r\0\n\0" "\r\0\n\0" "\xAC\x20\r\0\n\0", 30));
}

TEST(ReportFile, DateTimeLeavesOutMidnight)
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

TEST(Paths, TrailingBackslashAndParent)
{
    EXPECT_EQ(IncludeTrailingBackslash(L""), L"\\");
    EXPECT_EQ(IncludeTrailingBackslash(L"C:\\a"), L"C:\\a\\");
    EXPECT_EQ(IncludeTrailingBackslash(L"C:\\a\\"), L"C:\\a\\");
    EXPECT_EQ(ExcludeTrailingBackslash(L"C:\\a\\"), L"C:\\a");
    EXPECT_EQ(ParentFolder(L"C:\\Temp\\GetInfoDir\\"), L"C:\\Temp\\");
    EXPECT_EQ(ParentFolder(L"C:\\Temp\\x.log"), L"C:\\Temp\\");
    EXPECT_EQ(ParentFolder(L"x.log"), L"");
}

TEST(DeleteFolder, RemovesATreeWithHiddenAndReadOnlyFiles)
{
    TestFolder dir;
    const std::wstring tree = dir / L"tree\\";
    ASSERT_TRUE(ForceDirectories(tree + L"a\\b"));
    WriteFileBytes(tree + L"a\\b\\deep.txt", "x");
    WriteFileBytes(tree + L"ro.txt", "x");
    WriteFileBytes(tree + L"a\\hidden.txt", "x");
    SetFileAttributesW((tree + L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((tree + L"a\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(DeleteFolder(tree));
    EXPECT_FALSE(DirectoryExists(tree));
    EXPECT_TRUE(DirectoryExists(dir.Path()));
    EXPECT_FALSE(DeleteFolder(dir / L"missing"));
}

// A whole run in this process, with a window that records the progress messages.
class GatherRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        FLog = FLogDir / L"run.log";
        SetLogFileName(FLog);
        FWnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(FWnd, nullptr);
    }
    void TearDown() override { DestroyWindow(FWnd); }

    std::vector<std::pair<WPARAM, LPARAM>> Run(std::wstring& archive)
    {
        DoGatherInfo(FWnd, 0, archive);
        std::vector<std::pair<WPARAM, LPARAM>> messages;
        MSG msg;
        while (PeekMessageW(&msg, FWnd, WM_GENINFO, WM_GENINFO, PM_REMOVE))
            messages.emplace_back(msg.wParam, msg.lParam);
        return messages;
    }

    TestFolder FLogDir;
    std::wstring FLog;
    HWND FWnd = nullptr;
};

TEST_F(GatherRun, PostsTwentyAsMaximumThenSeventeenSteps)
{
    std::wstring archive = L"stale";
    const auto messages = Run(archive);
    EXPECT_EQ(archive, TempFolder() + L"Vexlo_Debug_Info.zip");
    EXPECT_TRUE(FileExists(archive));
    ASSERT_EQ(messages.size(), 18u);
    EXPECT_EQ(messages[0], std::make_pair(WPARAM(0), LPARAM(20)));
    for (size_t i = 1; i < messages.size(); ++i)
        EXPECT_EQ(messages[i], std::make_pair(WPARAM(1), LPARAM(i)));
    EXPECT_EQ(ProductMode, pmAll);

    const std::wstring gather = TempFolder() + L"GetInfoDir\\";
    EXPECT_EQ(ReadFileBytes(gather + L"uninstall.txt"),
              ReportFileBytes({L"Windows Registry Editor Version 5.00"}));
    EXPECT_EQ(ReadFileBytes(gather + L"dnsGetinfo.txt"),
              ReportFileBytes({L"Windows Registry Editor Version 5.00"}));
    const std::wstring report = FromUtf16Le(ReadFileBytes(gather + L"Vexlo_Debug_Info.txt"), 2);
    EXPECT_EQ(report.rfind(L"Version:", 0), 0u);
    EXPECT_NE(report.find(L"\r\nDate:"), std::wstring::npos);
}

TEST_F(GatherRun, ASecondRunClearsTheOldGatherFolderAndArchive)
{
    std::wstring archive;
    Run(archive);
    const std::wstring gather = TempFolder() + L"GetInfoDir\\";
    ASSERT_TRUE(ForceDirectories(gather + L"old\\deeper"));
    WriteFileBytes(gather + L"old\\deeper\\left.txt", "from before");
    DeleteFileW(FLog.c_str());

    Run(archive);
    EXPECT_FALSE(DirectoryExists(gather + L"old"));
    const auto words = LogWords(FLog);
    EXPECT_TRUE(Contains(words, archive + L" Exist and del"));
    EXPECT_TRUE(FileExists(archive));
}

TEST_F(GatherRun, FallsBackToTheExecutableFolderWhenTheTemporaryOneIsUnusable)
{
    const std::wstring blocked = TempFolder() + L"GetInfoDir";
    DeleteFolder(blocked);
    WriteFileBytes(blocked, "a file where the gather folder belongs");
    std::wstring archive;
    Run(archive);
    DeleteFileW(blocked.c_str());

    const std::wstring module = GetModuleName();
    const std::wstring exeFolder = module.substr(0, module.find_last_of(L'\\') + 1);
    EXPECT_EQ(archive, exeFolder + L"Vexlo_Debug_Info.zip");
    EXPECT_TRUE(FileExists(archive));
    EXPECT_TRUE(FileExists(exeFolder + L"GetInfoDir\\Vexlo_Debug_Info.txt"));
    const auto words = LogWords(FLog);
    EXPECT_TRUE(Contains(words, L"TempPath:" + exeFolder + L"GetInfoDir\\, tmpZipDir:" + exeFolder +
                                    L", Result:" + exeFolder + L"Vexlo_Debug_Info.zip"));
    DeleteFolder(exeFolder + L"GetInfoDir");
    DeleteFileW(archive.c_str());
}
