#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/diagnostic_log.h"
#include "app/gathering_driver.h"
#include "platform/folder_delete.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "products/product_mode.h"
#include "sections/report_lines.h"
#include "tests/support/test_folder.h"

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

    TTestFolder FLogDir;
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
    // The prefix's uninstall keys of both branches exist and are empty.
    EXPECT_EQ(ReadFileBytes(gather + L"uninstall.txt"),
              ReportFileBytes({L"Windows Registry Editor Version 5.00", L"",
                               L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]", L"",
                               L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall]"}));
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
