// The folder walk: which entries it takes, the paths it reports, its options.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/folder_walk.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "tests/support/test_folder.h"

namespace {

struct TSelectCase {
    DWORD Attributes;
    bool Default;     // with the default options
    bool Everything;  // with hidden and system included
};

TEST(WalkSelectsTest, Attributes)
{
    const TSelectCase cases[] = {
        {FILE_ATTRIBUTE_NORMAL, true, true},
        {FILE_ATTRIBUTE_ARCHIVE, true, true},
        {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, true, true},
        {FILE_ATTRIBUTE_DIRECTORY, true, true},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, false, true},
        {FILE_ATTRIBUTE_SYSTEM, false, true},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY, false, true},
        {FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY, false, true},
        {FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY, false, false},
        {FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE, false, false},
    };
    TWalkOptions everything;
    everything.IncludeHidden = true;
    everything.IncludeSystem = true;
    for (const TSelectCase& c : cases) {
        EXPECT_EQ(WalkSelects(c.Attributes, TWalkOptions{}), c.Default) << std::hex << c.Attributes;
        EXPECT_EQ(WalkSelects(c.Attributes, everything), c.Everything) << std::hex << c.Attributes;
    }
}

class WalkFilesTest : public testing::Test {
protected:
    void SetUp() override
    {
        Make(L"top.txt", "1");
        Make(L"a\\one.txt", "22");
        Make(L"a\\b\\two.txt", "333");
        Make(L"a\\b\\c\\three.txt", "4444");
        Make(L"a\\after.txt", "x");
        Make(L"noext", "y");
        Make(L"hidden.txt", "h");
        ASSERT_TRUE(SetFileAttributesW((F / L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
        Make(L"sys\\inner.txt", "s");
        ASSERT_TRUE(SetFileAttributesW((F / L"sys").c_str(), FILE_ATTRIBUTE_SYSTEM));
        CreateDirectoryW((F / L"empty").c_str(), nullptr);
    }

    void Make(const std::wstring& relative, const std::string& bytes)
    {
        ForceDirectories(ParentFolder(F / relative));
        WriteFileBytes(F / relative, bytes);
    }

    std::vector<TWalkItem> Walk(const std::wstring& root, const TWalkOptions& options = {})
    {
        std::vector<TWalkItem> items;
        WalkFiles(root, options, [&](const TWalkItem& item) { items.push_back(item); });
        return items;
    }

    static std::vector<std::wstring> Sorted(const std::vector<TWalkItem>& items)
    {
        std::vector<std::wstring> names;
        for (const auto& item : items)
            names.push_back(item.RelativePath);
        std::sort(names.begin(), names.end());
        return names;
    }

    TTestFolder F;
};

TEST_F(WalkFilesTest, TakesVisibleFilesAtEveryDepth)
{
    const auto items = Walk(F.Path());
    EXPECT_EQ(Sorted(items), (std::vector<std::wstring>{L"a\\after.txt", L"a\\b\\c\\three.txt", L"a\\b\\two.txt",
                                                        L"a\\one.txt", L"noext", L"top.txt"}));
    for (const auto& item : items) {
        SCOPED_TRACE(item.RelativePath);
        EXPECT_EQ(item.Path, F.Path() + item.RelativePath);
        EXPECT_EQ(item.Attributes, GetFileAttributesW(item.Path.c_str()));
        EXPECT_EQ(item.Size, ReadFileBytes(item.Path).size());
    }
}

TEST_F(WalkFilesTest, RootWithOrWithoutBackslashAlike)
{
    std::wstring bare = F.Path();
    bare.pop_back();
    EXPECT_EQ(Sorted(Walk(bare)), Sorted(Walk(F.Path())));
    EXPECT_EQ(Walk(bare).front().Path.substr(0, F.Path().size()), F.Path());
}

// The plain recursive listing the walk must match entry for entry: a
// sub-folder's files come where the folder is met, before its later siblings.
void ListRecursively(const std::wstring& folder, const std::wstring& relative, std::vector<std::wstring>& out)
{
    WIN32_FIND_DATAW data{};
    UniqueFind find(FindFirstFileW((folder + L"*.*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L".." || (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListRecursively(folder + name + L"\\", relative + name + L"\\", out);
        else
            out.push_back(relative + name);
    } while (FindNextFileW(find.get(), &data));
}

TEST_F(WalkFilesTest, OrderIsThatOfARecursiveListing)
{
    std::vector<std::wstring> expected, got;
    ListRecursively(F.Path(), L"", expected);
    for (const auto& item : Walk(F.Path()))
        got.push_back(item.RelativePath);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(got.size(), 6u);
}

TEST_F(WalkFilesTest, OptionsIncludeHiddenSystemAndStopRecursion)
{
    TWalkOptions all;
    all.IncludeHidden = true;
    all.IncludeSystem = true;
    const auto names = Sorted(Walk(F.Path(), all));
    EXPECT_NE(std::find(names.begin(), names.end(), L"hidden.txt"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), L"sys\\inner.txt"), names.end());
    EXPECT_EQ(names.size(), 8u);

    TWalkOptions flat;
    flat.Recurse = false;
    EXPECT_EQ(Sorted(Walk(F.Path(), flat)), (std::vector<std::wstring>{L"noext", L"top.txt"}));
}

TEST_F(WalkFilesTest, OnFolderSeesEachFolderFirstAndMayPassItOver)
{
    std::vector<std::wstring> met, files;
    TWalkVisitor visitor;
    visitor.OnFolder = [&](const TWalkItem& item) {
        met.push_back(item.RelativePath);
        return item.RelativePath != L"a\\b";
    };
    visitor.OnFile = [&](const TWalkItem& item) {
        // A folder is met before anything below it.
        const size_t slash = item.RelativePath.rfind(L'\\');
        if (slash != std::wstring::npos) {
            EXPECT_NE(std::find(met.begin(), met.end(), item.RelativePath.substr(0, slash)), met.end())
                << "file before its folder";
        }
        files.push_back(item.RelativePath);
    };
    WalkTree(F.Path(), TWalkOptions{}, visitor);
    std::sort(met.begin(), met.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(met, (std::vector<std::wstring>{L"a", L"a\\b", L"empty"}));
    EXPECT_EQ(files, (std::vector<std::wstring>{L"a\\after.txt", L"a\\one.txt", L"noext", L"top.txt"}));

    // Without recursion the folders are still met, just not entered.
    TWalkOptions flat;
    flat.Recurse = false;
    met.clear();
    files.clear();
    WalkTree(F.Path(), flat, visitor);
    std::sort(met.begin(), met.end());
    EXPECT_EQ(met, (std::vector<std::wstring>{L"a", L"empty"}));
    EXPECT_EQ(files.size(), 2u);
}

TEST(WalkFilesMissingTest, MissingRootGivesNothing)
{
    TTestFolder folder;
    int calls = 0;
    WalkFiles(folder / L"not-there", TWalkOptions{}, [&](const TWalkItem&) { ++calls; });
    EXPECT_EQ(calls, 0);
}

}  // namespace
