// CollectFiles on real trees of the test's prefix: modes, recursion, the
// extension filter, the ".svn" rule, links that are never followed, long paths;
// and FileTimeLocal.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/paths.h"
#include "sections/collect_files.h"
#include "tests/support/test_folder.h"

namespace {

using Paths = std::vector<std::wstring>;

Paths Sorted(Paths paths)
{
    std::sort(paths.begin(), paths.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    return paths;
}

void MakeFile(const std::wstring& path, const std::string& bytes = "x")
{
    ASSERT_TRUE(ForceDirectories(ParentFolder(path)));
    UniqueFile file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file) << "cannot create the fixture file";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

TEST(ExtensionFilter, ItemsOfAFilterText)
{
    const struct {
        const wchar_t* Filter;
        Paths Items;
    } cases[] = {
        {L"", {}},
        {L"*.exe|*.dll", {L".exe", L".dll"}},
        {L"*.EXE", {L".exe"}},
        {L"**.Log", {L".log"}},
        {L".txt", {L".txt"}},
        {L"*", {}},
        {L"*.exe||*.dll|", {L".exe", L".dll"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtensionFilterItems(c.Filter), c.Items) << c.Filter;
}

TEST(ExtensionFilter, ExtensionsAndWhoPasses)
{
    const struct {
        const wchar_t* Name;
        const wchar_t* Extension;
    } extensions[] = {
        {L"a.B.Txt", L".txt"}, {L"noext", L""}, {L"C:\\dir.d\\file", L""}, {L".gitignore", L".gitignore"},
        {L"C:\\x\\UP.EXE", L".exe"}, {L"trailing.", L"."},
    };
    for (const auto& c : extensions)
        EXPECT_EQ(LowerExtension(c.Name), c.Extension) << c.Name;

    const Paths exeAndDll = ExtensionFilterItems(L"*.exe|*.dll");
    EXPECT_TRUE(PassesExtensionFilter(L"C:\\a\\B.DLL", exeAndDll));
    EXPECT_TRUE(PassesExtensionFilter(L"x.exe", exeAndDll));
    EXPECT_FALSE(PassesExtensionFilter(L"x.exe.txt", exeAndDll));
    EXPECT_FALSE(PassesExtensionFilter(L"exe", exeAndDll));
    EXPECT_TRUE(PassesExtensionFilter(L"anything", {}));
}

// A product-like tree: files at two depths, hidden and system entries, an
// empty folder, ".svn" at the top and ".SVN" below (Windows cannot hold both
// spellings in one folder).
class CollectFilesTree : public testing::Test {
protected:
    void SetUp() override
    {
        Root = F / L"tree\\";
        for (const wchar_t* name : {L"top.exe", L"UP.EXE", L"a.dll", L"hidden.txt", L"sys\\inner.txt",
                                    L"sub\\deep.exe", L"sub\\note.txt", L".svn\\entries.exe", L"sub\\.SVN\\kept.exe"})
            MakeFile(Root + name);
        ASSERT_TRUE(CreateDirectoryW((Root + L"empty").c_str(), nullptr));
        ASSERT_TRUE(SetFileAttributesW((Root + L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
        ASSERT_TRUE(SetFileAttributesW((Root + L"sys").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY));
    }

    Paths Collect(TCollectMode mode, bool recurse = true, const std::wstring& filter = L"",
                  const std::wstring& folder = L"")
    {
        Paths list;
        CollectFiles(folder.empty() ? Root : folder, list, mode, recurse, filter);
        return list;
    }

    Paths Under(std::initializer_list<const wchar_t*> names) const
    {
        Paths paths;
        for (const wchar_t* name : names)
            paths.push_back(Root + name);
        return Sorted(paths);
    }

    TTestFolder F;
    std::wstring Root;
};

TEST_F(CollectFilesTree, EachModeListsWhatItNames)
{
    const Paths files = Under({L"a.dll", L"hidden.txt", L"sub\\.SVN\\kept.exe", L"sub\\deep.exe", L"sub\\note.txt",
                               L"sys\\inner.txt", L"top.exe", L"UP.EXE"});
    const Paths folders = Under({L"empty", L"sub", L"sub\\.SVN", L"sys"});
    EXPECT_EQ(Sorted(Collect(cmFiles)), files);
    EXPECT_EQ(Sorted(Collect(cmFolders)), folders);
    EXPECT_EQ(Collect(cmNothing), Paths{});
    Paths both = files;
    for (const auto& folder : folders)
        both.push_back(folder + L"\\");
    EXPECT_EQ(Sorted(Collect(cmFilesAndFolders)), Sorted(both));
}

TEST_F(CollectFilesTree, FilterRecursionAndTheTargetList)
{
    EXPECT_EQ(Sorted(Collect(cmFiles, true, L"*.EXE")),
              Under({L"sub\\.SVN\\kept.exe", L"sub\\deep.exe", L"top.exe", L"UP.EXE"}));
    EXPECT_EQ(Sorted(Collect(cmFiles, true, L"*.txt|*.dll")),
              Under({L"a.dll", L"hidden.txt", L"sub\\note.txt", L"sys\\inner.txt"}));
    // Without recursion: the top level only, ".svn" still left out.
    EXPECT_EQ(Sorted(Collect(cmFilesAndFolders, false)),
              Under({L"a.dll", L"empty\\", L"hidden.txt", L"sub\\", L"sys\\", L"top.exe", L"UP.EXE"}));

    // A folder given without its backslash gives the same paths; the list is appended to.
    Paths list{L"kept"};
    CollectFiles(ExcludeTrailingBackslash(Root), list, cmFiles, true, L"*.dll");
    EXPECT_EQ(list, (Paths{L"kept", Root + L"a.dll"}));
    CollectFiles(L"", list, cmFiles, true, L"");
    CollectFiles(F / L"missing", list, cmFilesAndFolders, true, L"");
    EXPECT_EQ(list.size(), 2u);
}

TEST_F(CollectFilesTree, SubFolderEntriesComeWhereTheFolderIsMet)
{
    const Paths all = Collect(cmFilesAndFolders);
    ASSERT_EQ(all.size(), 12u);
    // Every folder's entries follow it directly, as one run.
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].back() != L'\\')
            continue;
        size_t end = i + 1;
        while (end < all.size() && all[end].rfind(all[i], 0) == 0)
            ++end;
        const auto inside = std::count_if(all.begin(), all.end(), [&](const std::wstring& p) {
            return p != all[i] && p.rfind(all[i], 0) == 0;
        });
        EXPECT_EQ(static_cast<long>(end - i - 1), static_cast<long>(inside)) << "entries of folder " << i;
    }
    // The top level comes in the order the file system lists it.
    Paths top, listed;
    WIN32_FIND_DATAW data{};
    UniqueFind find(FindFirstFileW((Root + L"*.*").c_str(), &data));
    ASSERT_TRUE(find);
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L".." && name != L".svn")
            listed.push_back(Root + name + ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? L"\\" : L""));
    } while (FindNextFileW(find.get(), &data));
    for (const auto& path : all)
        if (path.find(L'\\', Root.size()) == std::wstring::npos || path.find(L'\\', Root.size()) == path.size() - 1)
            top.push_back(path);
    EXPECT_EQ(top, listed);
}

TEST(CollectFilesLongPaths, FilesBelowMaxPathAreListedAndDated)
{
    TTestFolder f;
    std::wstring deep = f.Path();
    while (deep.size() < 300)
        deep += L"a-rather-long-folder-name-for-the-test\\";
    MakeFile(deep + L"deep.bin", "deep");
    Paths list;
    CollectFiles(f.Path(), list, cmFiles, true, L"");
    EXPECT_EQ(list, Paths{deep + L"deep.bin"});
    EXPECT_GT(FileTimeLocal(deep + L"deep.bin", ftLastWrite).wYear, 2000);
    // Clean up through the long form (the scratch folder's own delete may not reach that deep).
    DeleteFileW(ExtendedLengthPath(deep + L"deep.bin").c_str());
}

// The links below come from tests/support/with_links.py (see collect_files.cmake):
//   C:\vexlo-links\product\loop        -> C:\vexlo-links\product      (a loop)
//   C:\vexlo-links\product\outside     -> C:\vexlo-links\outside      (a folder elsewhere)
// (Wine shows a Linux link to a file as a plain file, so a file link cannot be shown here.)
TEST(CollectFilesLinks, JunctionsAndSymbolicLinksAreNeverFollowed)
{
    const std::wstring product = L"C:\\vexlo-links\\product\\";
    const DWORD loop = GetFileAttributesW((product + L"loop").c_str());
    ASSERT_NE(loop, INVALID_FILE_ATTRIBUTES) << "run through with_links.py";
    ASSERT_TRUE(loop & FILE_ATTRIBUTE_REPARSE_POINT);
    MakeFile(L"C:\\vexlo-links\\outside\\secret.txt");
    MakeFile(L"C:\\vexlo-links\\outside\\deeper\\more.txt");
    MakeFile(product + L"real\\inside.txt");
    MakeFile(product + L"top.txt");
    ASSERT_TRUE(FileExists(product + L"loop\\top.txt"));  // the loop is real: Windows would follow it

    for (const TCollectMode mode : {cmFiles, cmFolders, cmFilesAndFolders}) {
        Paths list;
        CollectFiles(product, list, mode, true, L"");
        const Paths expected = mode == cmFiles     ? Paths{product + L"real\\inside.txt", product + L"top.txt"}
                               : mode == cmFolders ? Paths{product + L"real"}
                                                   : Paths{product + L"real\\", product + L"real\\inside.txt",
                                                           product + L"top.txt"};
        EXPECT_EQ(Sorted(list), Sorted(expected)) << "mode " << mode;
    }
}

TEST(FileTimeLocalTest, EachTimeStampInLocalTime)
{
    TTestFolder f;
    const std::wstring path = f / L"stamped.txt";
    MakeFile(path);
    const auto fileTime = [](WORD year, WORD month, WORD day, WORD hour) {
        SYSTEMTIME st{};
        st.wYear = year;
        st.wMonth = month;
        st.wDay = day;
        st.wHour = hour;
        st.wMinute = 7;
        st.wSecond = 9;
        FILETIME ft{};
        SystemTimeToFileTime(&st, &ft);
        return ft;
    };
    const FILETIME created = fileTime(2011, 1, 2, 3);
    const FILETIME written = fileTime(2012, 4, 5, 6), accessed = fileTime(2013, 7, 8, 9);
    {
        UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        ASSERT_TRUE(SetFileTime(file.get(), &created, &accessed, &written));
    }
    const auto local = [](const FILETIME& utc) {
        SYSTEMTIME universal{}, result{};
        FileTimeToSystemTime(&utc, &universal);
        SystemTimeToTzSpecificLocalTime(nullptr, &universal, &result);
        return result;
    };
    const auto same = [](const SYSTEMTIME& a, const SYSTEMTIME& b) {
        return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
               a.wMinute == b.wMinute && a.wSecond == b.wSecond;
    };
    // Linux keeps no settable creation time; Wine reports one of its own.
    EXPECT_GT(FileTimeLocal(path, ftCreation).wYear, 1899);
    EXPECT_TRUE(same(FileTimeLocal(path, ftLastWrite), local(written)));
    EXPECT_TRUE(same(FileTimeLocal(path, ftLastAccess), local(accessed)));

    const SYSTEMTIME none = FileTimeLocal(f / L"missing.txt", ftLastWrite);
    EXPECT_EQ(none.wYear, 1899);
    EXPECT_EQ(none.wMonth, 12);
    EXPECT_EQ(none.wDay, 30);
    EXPECT_EQ(none.wHour + none.wMinute + none.wSecond + none.wMilliseconds, 0);
}

}  // namespace
