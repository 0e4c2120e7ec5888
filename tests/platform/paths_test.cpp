#include <gtest/gtest.h>

#include <string>

#include "platform/paths.h"
#include "tests/support/test_folder.h"

TEST(Paths, TrailingBackslashAndParent)
{
    EXPECT_EQ(IncludeTrailingBackslash(L""), L"\\");
    EXPECT_EQ(IncludeTrailingBackslash(L"C:\\a"), L"C:\\a\\");
    EXPECT_EQ(IncludeTrailingBackslash(L"C:\\a\\"), L"C:\\a\\");
    EXPECT_EQ(ExcludeTrailingBackslash(L"C:\\a\\"), L"C:\\a");
    EXPECT_EQ(ExcludeTrailingBackslash(L"C:\\a\\\\"), L"C:\\a");
    EXPECT_EQ(ParentFolder(L"C:\\Temp\\GetInfoDir\\"), L"C:\\Temp\\");
    EXPECT_EQ(ParentFolder(L"C:\\Temp\\x.log"), L"C:\\Temp\\");
    EXPECT_EQ(ParentFolder(L"C:\\x.log"), L"C:\\");
    EXPECT_EQ(ParentFolder(L"x.log"), L"");
}

// A drive root stays a root: "C:\" never turns into "C:", which names the
// working folder of drive C.
TEST(Paths, RootsStayRoots)
{
    const struct {
        const wchar_t* path;
        const wchar_t* excluded;
        bool absolute;
        bool root;
    } cases[] = {
        {L"C:\\", L"C:\\", true, true},
        {L"C:", L"C:", false, true},
        {L"c:\\\\", L"c:\\", true, true},
        {L"\\\\server\\share\\", L"\\\\server\\share\\", true, true},
        {L"\\\\server\\share\\dir\\", L"\\\\server\\share\\dir", true, false},
        {L"\\\\?\\C:\\", L"\\\\?\\C:\\", true, true},
        {L"\\\\?\\C:\\dir\\", L"\\\\?\\C:\\dir", true, false},
        {L"\\\\?\\UNC\\server\\share\\dir", L"\\\\?\\UNC\\server\\share\\dir", true, false},
        {L"C:\\dir", L"C:\\dir", true, false},
        {L"C:dir", L"C:dir", false, false},
        {L"\\dir\\", L"\\dir", false, false},
        {L"dir\\", L"dir", false, false},
        {L"", L"", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExcludeTrailingBackslash(c.path), c.excluded) << std::wstring(c.path).size();
        EXPECT_EQ(IsAbsolutePath(c.path), c.absolute);
        EXPECT_EQ(IsDriveRoot(c.path), c.root);
    }
    EXPECT_EQ(ParentFolder(L"C:\\"), L"");
}

TEST(Paths, ExtendedAndLiteralForms)
{
    const std::wstring shortPath = L"C:\\a\\b.txt";
    EXPECT_EQ(ExtendedLengthPath(shortPath), shortPath);
    EXPECT_EQ(LiteralPath(shortPath), L"\\\\?\\C:\\a\\b.txt");
    EXPECT_EQ(LiteralPath(L"\\\\server\\share\\x"), L"\\\\?\\UNC\\server\\share\\x");
    EXPECT_EQ(LiteralPath(L"relative\\x"), L"relative\\x");
    EXPECT_EQ(LiteralPath(L"\\\\?\\C:\\x"), L"\\\\?\\C:\\x");
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'a') + L"\\..\\b";
    EXPECT_EQ(ExtendedLengthPath(longPath), L"\\\\?\\C:\\b") << "the long form is normalised first";
    EXPECT_EQ(ExtendedLengthPath(L"\\\\server\\share\\" + std::wstring(300, L'a')),
              L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'a'));
    EXPECT_EQ(ExtendedLengthPath(std::wstring(300, L'a')), std::wstring(300, L'a'));  // relative: as it is
}

// A tree deeper than MAX_PATH is made and seen by the shared helpers.
TEST(Paths, FoldersBeyondMaxPath)
{
    TTestFolder dir;
    std::wstring deep = dir.Path();
    while (deep.size() < 320)
        deep += L"a_rather_long_folder_name\\";
    ASSERT_TRUE(ForceDirectories(deep));
    EXPECT_TRUE(DirectoryExists(deep));
    WriteFileBytes(ExtendedLengthPath(deep + L"file.txt"), "deep");
    EXPECT_TRUE(FileExists(deep + L"file.txt"));
    EXPECT_FALSE(FileExists(deep));
}
