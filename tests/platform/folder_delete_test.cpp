#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

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


// What a wrong path must never delete: the check alone, over a table.
TEST(DeleteFolder, RefusesRelativePathsRootsAndProtectedFolders)
{
    const std::vector<std::wstring> kept = {L"C:\\windows", L"C:\\users\\anna", L"C:\\users", L"C:\\ProgramData"};
    const struct {
        const wchar_t* folder;
        bool allowed;
    } cases[] = {
        {L"", false},
        {L"GetInfoDir\\", false},
        {L"\\GetInfoDir", false},
        {L"C:GetInfoDir", false},
        {L"C:\\", false},
        {L"C:", false},
        {L"C:\\Windows", false},
        {L"c:\\windows\\", false},
        {L"C:\\users", false},
        {L"C:\\Users\\Anna\\", false},
        {L"C:\\users\\anna\\..", false},  // the profiles folder, written another way
        {L"C:\\users\\anna\\Temp\\GetInfoDir\\", true},
        {L"C:\\windows\\temp\\GetInfoDir", true},
        {L"C:\\tool\\GetInfoDir\\", true},
        {L"D:\\", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MayDeleteFolder(c.folder, kept), c.allowed) << std::wstring(c.folder).size();
}

TEST(DeleteFolder, TheRealProtectedFoldersAreRefused)
{
    const std::vector<std::wstring> kept = ProtectedFolders();
    ASSERT_FALSE(kept.empty());
    EXPECT_FALSE(DeleteFolder(kept.front()));  // the Windows folder
    EXPECT_TRUE(DirectoryExists(kept.front()));
    wchar_t profile[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH), 0u);
    EXPECT_FALSE(MayDeleteFolder(profile, kept));
    EXPECT_FALSE(MayDeleteFolder(ParentFolder(profile), kept));
}

TEST(DeleteFolder, ATreeDeeperThanMaxPathGoesWhole)
{
    TTestFolder dir;
    std::wstring deep = dir / L"tree\\";
    while (deep.size() < 320)
        deep += L"a_rather_long_folder_name\\";
    ASSERT_TRUE(ForceDirectories(deep));
    WriteFileBytes(ExtendedLengthPath(deep + L"file.txt"), "deep");
    EXPECT_TRUE(DeleteFolder(dir / L"tree"));
    EXPECT_FALSE(DirectoryExists(dir / L"tree"));
}
