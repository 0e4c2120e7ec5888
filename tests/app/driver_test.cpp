#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/diagnostic_log.h"
#include "app/gathering_driver.h"
#include "app/log_words.h"
#include "app/zip_verify.h"
#include "platform/folder_delete.h"
#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/win32_error.h"
#include "products/product_mode.h"
#include "sections/report_lines.h"
#include "tests/support/test_folder.h"

namespace lw = log_words;

namespace {

std::wstring TempFolder()
{
    return UserTempFolder();
}

std::wstring ExeFolder()
{
    return ParentFolder(GetModuleName());
}

bool Contains(const std::vector<std::wstring>& lines, const std::wstring& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A file held open without any sharing for the owner's lifetime.
UniqueFile HoldOpen(const std::wstring& path)
{
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
}

// Sets an environment variable of this process for the owner's lifetime.
class TEnvironment {
public:
    TEnvironment(const wchar_t* name, const std::wstring& value) : FName(name)
    {
        wchar_t old[4096];
        const DWORD n = GetEnvironmentVariableW(name, old, 4096);
        FHad = n > 0 && n < 4096;
        if (FHad)
            FOld = old;
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~TEnvironment() { SetEnvironmentVariableW(FName, FHad ? FOld.c_str() : nullptr); }

private:
    const wchar_t* FName;
    bool FHad = false;
    std::wstring FOld;
};

}  // namespace

// A whole run in this process, with a window that records the progress messages.
class GatherRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        FLog = FLogDir / L"run.log";
        SetLogFileName(FLog);
        FWnd = CreateMessageWindow();
        ASSERT_NE(FWnd, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(FWnd);
        DeleteFolder(ExeFolder() + L"GetInfoDir");
        DeleteFileW((ExeFolder() + L"Vexlo_Debug_Info.zip").c_str());
    }

    TGatherResult Run(std::vector<std::pair<WPARAM, LPARAM>>* messages = nullptr)
    {
        TGatherResult result = DoGatherInfo(FWnd, 0);
        MSG msg;
        while (PeekMessageW(&msg, FWnd, WM_GENINFO, WM_GENINFO, PM_REMOVE))
            if (messages)
                messages->emplace_back(msg.wParam, msg.lParam);
        return result;
    }

    TTestFolder FLogDir;
    std::wstring FLog;
    HWND FWnd = nullptr;
};

TEST_F(GatherRun, PostsTwentyAsMaximumThenSeventeenStepsAndHandsBackItsArchive)
{
    std::vector<std::pair<WPARAM, LPARAM>> messages;
    const TGatherResult result = Run(&messages);
    EXPECT_EQ(result.ArchivePath, TempFolder() + L"Vexlo_Debug_Info.zip");
    EXPECT_EQ(result.GatherFolder, TempFolder() + L"GetInfoDir\\");
    ASSERT_TRUE(FileExists(result.ArchivePath));
    EXPECT_NO_THROW(VerifyArchive(result.ArchivePath, result.Entries));
    ASSERT_EQ(messages.size(), 18u);
    EXPECT_EQ(messages[0], std::make_pair(WPARAM(0), LPARAM(20)));
    for (size_t i = 1; i < messages.size(); ++i)
        EXPECT_EQ(messages[i], std::make_pair(WPARAM(1), LPARAM(i)));
    EXPECT_EQ(ProductMode, pmAll);

    // The prefix's uninstall keys of both branches exist and are empty.
    EXPECT_EQ(ReadFileBytes(result.GatherFolder + L"uninstall.txt"),
              ReportFileBytes({L"Windows Registry Editor Version 5.00", L"",
                               L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]", L"",
                               L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall]"}));
    EXPECT_EQ(ReadFileBytes(result.GatherFolder + L"dnsGetinfo.txt"),
              ReportFileBytes({L"Windows Registry Editor Version 5.00"}));
    const std::wstring report = FromUtf16Le(ReadFileBytes(result.GatherFolder + L"Vexlo_Debug_Info.txt"), 2);
    EXPECT_EQ(report.rfind(L"Version:", 0), 0u);
    EXPECT_NE(report.find(L"\r\nDate:"), std::wstring::npos);
    EXPECT_TRUE(Contains(LogWords(FLog), lw::GatherEnd + result.ArchivePath));
}

TEST_F(GatherRun, ASecondRunClearsTheOldGatherFolderAndArchive)
{
    const TGatherResult first = Run();
    ASSERT_TRUE(ForceDirectories(first.GatherFolder + L"old\\deeper"));
    WriteFileBytes(first.GatherFolder + L"old\\deeper\\left.txt", "from before");
    DeleteFileW(FLog.c_str());

    const TGatherResult second = Run();
    EXPECT_FALSE(DirectoryExists(second.GatherFolder + L"old"));
    EXPECT_TRUE(Contains(LogWords(FLog), second.ArchivePath + lw::ArchiveDeleted));
    EXPECT_EQ(second.ArchivePath, first.ArchivePath);
    for (const TZipEntry& entry : second.Entries)
        EXPECT_EQ(entry.Name.find("old/"), std::string::npos) << entry.Name;
}

TEST_F(GatherRun, FallsBackToTheExecutableFolderWhenTheTemporaryOneIsUnusable)
{
    const std::wstring blocked = TempFolder() + L"GetInfoDir";
    DeleteFolder(blocked);
    WriteFileBytes(blocked, "a file where the gather folder belongs");
    const TGatherResult result = Run();
    DeleteFileW(blocked.c_str());

    EXPECT_EQ(result.ArchivePath, ExeFolder() + L"Vexlo_Debug_Info.zip");
    EXPECT_EQ(result.GatherFolder, ExeFolder() + L"GetInfoDir\\");
    EXPECT_TRUE(FileExists(ExeFolder() + L"GetInfoDir\\Vexlo_Debug_Info.txt"));
    EXPECT_TRUE(Contains(LogWords(FLog), lw::TempPathPrefix + ExeFolder() + L"GetInfoDir\\" + lw::TempZipDirPart +
                                             ExeFolder() + lw::TempResultPart + ExeFolder() + L"Vexlo_Debug_Info.zip"));
}

// An earlier run's folder that cannot be emptied is never reused: its old
// files would end up in this run's archive.
TEST_F(GatherRun, AGatherFolderThatCannotBeEmptiedIsNotUsed)
{
    const std::wstring stale = TempFolder() + L"GetInfoDir\\";
    DeleteFolder(stale);
    ASSERT_TRUE(ForceDirectories(stale));
    const UniqueFile held = HoldOpen(stale + L"held.txt");
    ASSERT_TRUE(held);
    const TGatherResult result = Run();

    EXPECT_EQ(result.GatherFolder, ExeFolder() + L"GetInfoDir\\");
    EXPECT_FALSE(result.ArchivePath.empty());
    for (const TZipEntry& entry : result.Entries)
        EXPECT_NE(entry.Name, "held.txt");
    EXPECT_TRUE(Contains(LogWords(FLog), lw::GatherFolderNotEmptied + stale));
}

TEST_F(GatherRun, WithNoFolderThatCanBeEmptiedThereIsNoArchive)
{
    const std::wstring stale = TempFolder() + L"GetInfoDir\\";
    const std::wstring fallback = ExeFolder() + L"GetInfoDir\\";
    for (const std::wstring& folder : {stale, fallback}) {
        DeleteFolder(folder);
        ASSERT_TRUE(ForceDirectories(folder));
    }
    const UniqueFile held1 = HoldOpen(stale + L"held.txt");
    const UniqueFile held2 = HoldOpen(fallback + L"held.txt");
    ASSERT_TRUE(held1 && held2);
    const TGatherResult result = Run();

    EXPECT_TRUE(result.ArchivePath.empty());
    EXPECT_TRUE(result.GatherFolder.empty());
    const auto words = LogWords(FLog);
    EXPECT_TRUE(Contains(words, lw::NoGatherFolder));
    EXPECT_TRUE(Contains(words, lw::GatherEnd));
}

// A temporary path Windows cannot give (TEMP longer than the old buffer) never
// becomes a relative folder: a GetInfoDir in the working folder is left alone.
TEST_F(GatherRun, ATemporaryPathWindowsCannotGiveNeverBecomesARelativeFolder)
{
    TTestFolder work;
    ASSERT_TRUE(ForceDirectories(work / L"GetInfoDir"));
    WriteFileBytes(work / L"GetInfoDir\\keep.txt", "must survive");
    const std::wstring longTemp = L"C:\\" + std::wstring(300, L'x');
    wchar_t oldDirectory[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, oldDirectory);
    ASSERT_TRUE(SetCurrentDirectoryW(work.Path().c_str()));
    TGatherResult result;
    {
        const TEnvironment tmp(L"TMP", longTemp);
        const TEnvironment temp(L"TEMP", longTemp);
        result = Run();
    }
    SetCurrentDirectoryW(oldDirectory);

    EXPECT_EQ(ReadFileBytes(work / L"GetInfoDir\\keep.txt"), "must survive");
    EXPECT_TRUE(IsAbsolutePath(result.GatherFolder)) << result.GatherFolder;
    EXPECT_NE(result.GatherFolder, work / L"GetInfoDir\\");
    ASSERT_FALSE(result.ArchivePath.empty());
    EXPECT_TRUE(IsAbsolutePath(result.ArchivePath));
    EXPECT_NO_THROW(VerifyArchive(result.ArchivePath, result.Entries));
}

TEST(SettleGatherFolder, OnlyFullPathsAndTheFallbackForAnEmptyOne)
{
    TTestFolder dir;
    const std::wstring exe = dir / L"exe\\";
    ASSERT_TRUE(ForceDirectories(exe));
    EXPECT_EQ(SettleGatherFolder(L"", exe), exe + L"GetInfoDir\\");
    EXPECT_EQ(SettleGatherFolder(L"relative\\temp\\", exe), exe + L"GetInfoDir\\");
    EXPECT_EQ(SettleGatherFolder(dir / L"temp\\", exe), dir / L"temp\\GetInfoDir\\");
    EXPECT_TRUE(DirectoryExists(dir / L"temp\\GetInfoDir"));
    EXPECT_EQ(SettleGatherFolder(L"", L"relative\\"), L"");
}

// An old archive held open is neither deleted nor taken for this run's.
TEST_F(GatherRun, AnOldArchiveThatCannotBeDeletedIsNeverHandedBack)
{
    const std::wstring old = TempFolder() + L"Vexlo_Debug_Info.zip";
    DeleteFileW(old.c_str());
    {
        const UniqueFile held = HoldOpen(old);
        ASSERT_TRUE(held);
        const TGatherResult result = Run();
        EXPECT_EQ(result.ArchivePath, TempFolder() + L"Vexlo_Debug_Info_1.zip");
        EXPECT_NO_THROW(VerifyArchive(result.ArchivePath, result.Entries));
        EXPECT_TRUE(Contains(LogWords(FLog), std::wstring(lw::ArchiveNotDeleted) + old + L": " +
                                                 SystemErrorText(ERROR_SHARING_VIOLATION)));
        DeleteFileW(result.ArchivePath.c_str());

        // And when this run's packing fails as well, no archive path comes back.
        ASSERT_TRUE(ForceDirectories(TempFolder() + L"Vexlo_Debug_Info_1.zip"));
        const TGatherResult failed = Run();
        RemoveDirectoryW((TempFolder() + L"Vexlo_Debug_Info_1.zip").c_str());
        EXPECT_TRUE(failed.ArchivePath.empty());
        EXPECT_TRUE(Contains(LogWords(FLog), lw::ZipFileExcept));
    }
    DeleteFileW(old.c_str());
}

// A processor fault inside a step costs that step only: its words, the reason
// on the line after, and the run goes on.
TEST(GuardedStep, AFaultBecomesTheStepsExceptLineWithItsReason)
{
    TTestFolder dir;
    SetLogFileName(dir / L"guard.log");
    int* volatile nowhere = nullptr;
    bool after = false;
    GuardedStep(L"Probe Except", L"Probe Succ", [&] { after = *nowhere == 42; });
    GuardedStep(L"Next Except", L"Next Succ", [&] { after = true; });
    GuardedStep(L"Raise Except", L"Raise Succ",
                [] { throw EWin32Error(L"cannot open C:\\caf\u00e9\\\u65e5\u5fd7.txt", ERROR_ACCESS_DENIED); });
    EXPECT_TRUE(after);
    const auto words = LogWords(dir / L"guard.log");
    ASSERT_EQ(words.size(), 7u);
    EXPECT_EQ(words[0], L"Probe Except");
    EXPECT_EQ(words[1].rfind(lw::ReasonIndent, 0), 0u) << "the reason follows on its own line";
    EXPECT_NE(words[1].find(L" at 0x"), std::wstring::npos) << "where the fault happened";
    EXPECT_EQ(words[2], L"Probe Succ");
    EXPECT_EQ(words[3], L"Next Succ");
    EXPECT_EQ(words[4], L"Raise Except");
    // A path beyond ASCII reaches the log as it is.
    EXPECT_EQ(words[5], lw::ReasonIndent + (L"cannot open C:\\caf\u00e9\\\u65e5\u5fd7.txt: " +
                                            SystemErrorText(ERROR_ACCESS_DENIED)));
    EXPECT_EQ(words[6], L"Raise Succ");
}
