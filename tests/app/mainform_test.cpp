#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/MainForm.h"
#include "app/uInfoMain.h"
#include "app/uLog.h"
#include "platform/PathUtil.h"
#include "tests/support/TestFolder.h"

TEST(SavePath, TheProcessUsersFolderBecomesTheLoggedOnUsers)
{
    const struct {
        const wchar_t* path;
        const wchar_t* logUser;
        const wchar_t* procUser;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\Users\\admin\\Desktop", L"anna", L"admin", L"C:\\Users\\anna\\Desktop"},
        {L"C:\\Users\\ADMIN\\Desktop", L"anna", L"Admin", L"C:\\Users\\anna\\Desktop"},
        {L"C:\\Users\\administrator\\Desktop", L"anna", L"admin", L"C:\\Users\\administrator\\Desktop"},
        {L"C:\\Users\\admin.PC\\Desktop", L"anna", L"admin", L"C:\\Users\\admin.PC\\Desktop"},
        {L"C:\\x\\admin\\admin\\y", L"anna", L"admin", L"C:\\x\\anna\\admin\\y"},  // matches do not overlap
        {L"C:\\Users\\admin\\Desktop", L"", L"admin", L"C:\\Users\\admin\\Desktop"},
        {L"C:\\Users\\admin\\Desktop", L"anna", L"", L"C:\\Users\\admin\\Desktop"},
        {L"C:\\Users\\Anna\\Desktop", L"anna", L"ANNA", L"C:\\Users\\Anna\\Desktop"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceUserInPath(c.path, c.logUser, c.procUser), c.expected);
}

TEST(GetFiles, ListsEveryFileBreadthFirstHiddenOnesIncluded)
{
    TestFolder dir;
    ASSERT_TRUE(ForceDirectories(dir / L"a\\b"));
    WriteFileBytes(dir / L"a\\b\\deep.txt", "3");
    WriteFileBytes(dir / L"a\\mid.txt", "2");
    WriteFileBytes(dir / L"top.txt", "1");
    WriteFileBytes(dir / L"hidden.txt", "h");
    SetFileAttributesW((dir / L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    std::vector<std::wstring> files;
    GetFiles(dir.Path(), files);
    ASSERT_EQ(files.size(), 4u);
    auto position = [&](const std::wstring& name) {
        return std::find(files.begin(), files.end(), dir / name) - files.begin();
    };
    EXPECT_LT(position(L"top.txt"), position(L"a\\mid.txt"));
    EXPECT_LT(position(L"a\\mid.txt"), position(L"a\\b\\deep.txt"));
    EXPECT_LT(position(L"hidden.txt"), 4);
}

TEST(CopyFolder, CopiesTheTreeAndLogsEachFile)
{
    TestFolder dir;
    SetLogFileName(dir / L"copy.log");
    ASSERT_TRUE(ForceDirectories(dir / L"src\\sub"));
    WriteFileBytes(dir / L"src\\one.txt", "one");
    WriteFileBytes(dir / L"src\\sub\\two.bin", std::string("\0\1\2", 3));
    CopyFolder(dir / L"dst\\", dir / L"src\\");
    EXPECT_EQ(ReadFileBytes(dir / L"dst\\one.txt"), "one");
    EXPECT_EQ(ReadFileBytes(dir / L"dst\\sub\\two.bin"), std::string("\0\1\2", 3));
    const std::wstring log = FromUtf16Le(ReadFileBytes(dir / L"copy.log"), 2);
    EXPECT_NE(log.find(L"CopyFolder (" + dir / L"src\\) to (" + dir / L"dst\\)"), std::wstring::npos);
    EXPECT_NE(log.find(L"CopyFile(" + dir / L"src\\sub\\two.bin," + dir / L"dst\\sub\\two.bin) succ"),
              std::wstring::npos);
}

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
        SetLogFileName(FDir / L"worker.log");
        FWnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(FWnd, nullptr);
        SetWindowLongPtrW(FWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Record));
        Finished = 0;
        SaveFolder.clear();
        ASSERT_TRUE(ForceDirectories(FDir / L"desk"));
        SaveFile = FDir / L"desk\\Vexlo_Debug_Info.zip";
    }
    void TearDown() override { DestroyWindow(FWnd); }

    static std::wstring Temp()
    {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, temp);
        return temp;
    }

    static inline int Finished = 0;
    TestFolder FDir;
    HWND FWnd = nullptr;
};

TEST_F(Worker, CopiesTheArchiveToTheSavePath)
{
    WriteFileBytes(SaveFile, "an archive from an earlier run");
    GenInfoThreadBody(FWnd);
    EXPECT_EQ(Finished, 1);
    EXPECT_EQ(SaveFile, FDir / L"desk\\Vexlo_Debug_Info.zip");
    EXPECT_EQ(ReadFileBytes(SaveFile), ReadFileBytes(Temp() + L"Vexlo_Debug_Info.zip"));
    EXPECT_TRUE(SaveFolder.empty());
}

TEST_F(Worker, WithoutAnArchiveTheGatherFolderGoesBesideTheSavePath)
{
    // A folder where the temporary archive belongs: no archive can be made.
    DeleteFileW((Temp() + L"Vexlo_Debug_Info.zip").c_str());
    ASSERT_TRUE(ForceDirectories(Temp() + L"Vexlo_Debug_Info.zip"));
    GenInfoThreadBody(FWnd);
    RemoveDirectoryW((Temp() + L"Vexlo_Debug_Info.zip").c_str());

    EXPECT_EQ(Finished, 1);
    EXPECT_FALSE(FileExists(SaveFile));
    EXPECT_EQ(SaveFolder, FDir / L"desk\\Vexlo_Debug_Info\\");
    EXPECT_TRUE(FileExists(SaveFolder + L"Vexlo_Debug_Info.txt"));
    EXPECT_TRUE(FileExists(SaveFolder + L"uninstall.txt"));
    EXPECT_FALSE(DirectoryExists(Temp() + L"GetInfoDir"));
}
