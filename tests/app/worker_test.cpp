#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/diagnostic_log.h"
#include "app/gathering_driver.h"
#include "app/log_words.h"
#include "app/worker.h"
#include "app/zip_verify.h"
#include "platform/folder_delete.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "tests/support/test_folder.h"

namespace lw = log_words;

namespace {

bool Contains(const std::vector<std::wstring>& lines, const std::wstring& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool StartsAny(const std::vector<std::wstring>& lines, const std::wstring& start)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::wstring& l) { return l.rfind(start, 0) == 0; });
}

}  // namespace

// The worker's body on this thread: the final message reaches a window that records it.
class Worker : public ::testing::Test {
protected:
    static LRESULT CALLBACK Record(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_GENINFO && wParam == 2)
            ++Finished;
        return DefWindowProcW(wnd, msg, wParam, lParam);
    }
    void SetUp() override
    {
        FLog = FDir / L"worker.log";
        SetLogFileName(FLog);
        FWnd = CreateMessageWindow();
        ASSERT_NE(FWnd, nullptr);
        SetWindowLongPtrW(FWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Record));
        Finished = 0;
        SaveFolder.clear();
        ASSERT_TRUE(ForceDirectories(FDir / L"desk"));
        FSave = FDir / L"desk\\Vexlo_Debug_Info.zip";
        SaveFile = FSave;
    }
    void TearDown() override
    {
        DestroyWindow(FWnd);
        RemoveDirectoryW((UserTempFolder() + L"Vexlo_Debug_Info.zip").c_str());
    }

    // No archive can be made: a folder stands where the temporary archive belongs.
    static void BlockTheArchive()
    {
        const std::wstring archive = UserTempFolder() + L"Vexlo_Debug_Info.zip";
        DeleteFileW(archive.c_str());
        ASSERT_TRUE(ForceDirectories(archive));
    }

    static inline int Finished = 0;
    TTestFolder FDir;
    std::wstring FLog;
    std::wstring FSave;
    HWND FWnd = nullptr;
};

TEST_F(Worker, PlacesThisRunsArchiveAtTheSavePath)
{
    WriteFileBytes(FSave, "an archive from an earlier run");
    GenInfoThreadBody(FWnd);
    EXPECT_EQ(Finished, 1);
    EXPECT_EQ(SaveFile, FSave);
    EXPECT_EQ(ReadFileBytes(SaveFile), ReadFileBytes(UserTempFolder() + L"Vexlo_Debug_Info.zip"));
    EXPECT_FALSE(FileExists(FSave + L".partial"));
    EXPECT_TRUE(SaveFolder.empty());
}

// An old archive at the save path that cannot be removed (held open by a
// viewer, say) is never reported as this run's: the user is told where this
// run's archive, read back and complete, is. (A read-only one is the same case
// on Windows; Wine, run as root here, deletes read-only files.)
TEST_F(Worker, AnOldArchiveAtTheSavePathIsNeverReportedAsThisRuns)
{
    {
        WriteFileBytes(FSave, "held by an archive viewer");
        const UniqueFile held(CreateFileW(FSave.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        GenInfoThreadBody(FWnd);
        EXPECT_EQ(SaveFile, UserTempFolder() + L"Vexlo_Debug_Info.zip");
        EXPECT_FALSE(FileExists(FSave + L".partial"));
        const auto words = LogWords(FLog);
        EXPECT_TRUE(StartsAny(words, lw::SaveFileNotDeleted + FSave));
        EXPECT_TRUE(Contains(words, lw::ArchiveNotPlaced + FSave));
    }
    EXPECT_EQ(ReadFileBytes(FSave), "held by an archive viewer");

    EXPECT_EQ(Finished, 1);
}

TEST_F(Worker, PlacingRefusesACopyThatDoesNotReadBackAndLeavesNothing)
{
    const TGatherResult made = DoGatherInfo(nullptr, 0);
    ASSERT_FALSE(made.ArchivePath.empty());
    std::vector<TZipEntry> other = made.Entries;
    ASSERT_FALSE(other.empty());
    other[0].Crc ^= 1;  // not what this archive holds
    EXPECT_FALSE(PlaceArchive(made.ArchivePath, FSave, other));
    EXPECT_FALSE(FileExists(FSave));
    EXPECT_FALSE(FileExists(FSave + L".partial"));
    EXPECT_TRUE(PlaceArchive(made.ArchivePath, FSave, made.Entries));
    EXPECT_NO_THROW(VerifyArchive(FSave, made.Entries));
}

TEST_F(Worker, WithoutAnArchiveTheGatherFolderGoesBesideTheSavePath)
{
    BlockTheArchive();
    // What an earlier failed run left there is not mixed into this run's folder.
    ASSERT_TRUE(ForceDirectories(FDir / L"desk\\Vexlo_Debug_Info"));
    WriteFileBytes(FDir / L"desk\\Vexlo_Debug_Info\\from_before.txt", "old");
    GenInfoThreadBody(FWnd);

    EXPECT_EQ(Finished, 1);
    EXPECT_TRUE(SaveFile.empty());
    EXPECT_FALSE(FileExists(FSave));
    EXPECT_EQ(SaveFolder, FDir / L"desk\\Vexlo_Debug_Info\\");
    EXPECT_TRUE(FileExists(SaveFolder + L"Vexlo_Debug_Info.txt"));
    EXPECT_TRUE(FileExists(SaveFolder + L"uninstall.txt"));
    EXPECT_FALSE(FileExists(SaveFolder + L"from_before.txt"));
    EXPECT_FALSE(DirectoryExists(UserTempFolder() + L"GetInfoDir"));
}

TEST_F(Worker, AnEarlierFolderThatCannotBeEmptiedGivesAFreshName)
{
    BlockTheArchive();
    ASSERT_TRUE(ForceDirectories(FDir / L"desk\\Vexlo_Debug_Info"));
    const UniqueFile held(CreateFileW((FDir / L"desk\\Vexlo_Debug_Info\\held.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(held);
    GenInfoThreadBody(FWnd);
    EXPECT_EQ(SaveFolder, FDir / L"desk\\Vexlo_Debug_Info_2\\");
    EXPECT_TRUE(FileExists(SaveFolder + L"Vexlo_Debug_Info.txt"));
    EXPECT_FALSE(FileExists(SaveFolder + L"held.txt"));
}

TEST(FreshCopyFolder, TheFirstNameThatIsFreeOrCanBeFreed)
{
    TTestFolder dir;
    EXPECT_EQ(FreshCopyFolder(dir.Path()), dir / L"Vexlo_Debug_Info\\");
    WriteFileBytes(dir / L"Vexlo_Debug_Info", "a file of that name is not ours");
    EXPECT_EQ(FreshCopyFolder(dir.Path()), dir / L"Vexlo_Debug_Info_2\\");
    EXPECT_EQ(ReadFileBytes(dir / L"Vexlo_Debug_Info"), "a file of that name is not ours");
}
