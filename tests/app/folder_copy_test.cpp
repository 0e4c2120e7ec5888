#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/diagnostic_log.h"
#include "app/folder_copy.h"
#include "platform/paths.h"
#include "tests/support/test_folder.h"

TEST(GetFiles, ListsEveryFileBreadthFirstHiddenOnesIncluded)
{
    TTestFolder dir;
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
    TTestFolder dir;
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

