#include <gtest/gtest.h>

#include <string>

#include "app/diagnostic_log.h"
#include "app/gathering_driver.h"
#include "app/worker.h"
#include "platform/paths.h"
#include "tests/support/test_folder.h"

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
    TTestFolder FDir;
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
