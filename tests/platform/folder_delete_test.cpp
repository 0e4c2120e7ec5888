#include <gtest/gtest.h>

#include <windows.h>

#include "platform/folder_delete.h"
#include "platform/paths.h"
#include "tests/support/test_folder.h"

TEST(DeleteFolder, RemovesATreeWithHiddenAndReadOnlyFiles)
{
    TTestFolder dir;
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

