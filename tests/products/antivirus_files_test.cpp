// The antivirus version files and the mini dumps: the choice of the newest
// file as a table, DOS time steps, and the copies on real folders.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/paths.h"
#include "products/antivirus_files.h"
#include "tests/products/install_fixture.h"
#include "tests/support/test_folder.h"

using namespace install_fixture;

namespace {

// A DOS date and time (local) as DosTimeOf gives it.
constexpr uint32_t Dos(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second)
{
    return ((year - 1980) << 25) | (month << 21) | (day << 16) | (hour << 11) | (minute << 5) | (second / 2);
}

FILETIME UtcOfLocal(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD milliseconds)
{
    const SYSTEMTIME local{year, month, 0, day, hour, minute, second, milliseconds};
    SYSTEMTIME utc{};
    FILETIME stamp{};
    EXPECT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) && SystemTimeToFileTime(&utc, &stamp));
    return stamp;
}

// The names in the order the folder listing returns them.
std::vector<std::wstring> ListingOrder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data{};
    const UniqueFind find(FindFirstFileW((folder + L"*.*").c_str(), &data));
    if (find) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(data.cFileName);
        } while (FindNextFileW(find.get(), &data));
    }
    return names;
}

}  // namespace

TEST(NewestMatchChoice, Table)
{
    const uint32_t ten = Dos(2021, 5, 6, 10, 0, 0);
    const uint32_t eleven = Dos(2021, 5, 6, 11, 0, 0);
    const uint32_t noon = Dos(2021, 5, 6, 12, 0, 0);
    const struct {
        const wchar_t* Case;
        std::vector<TVersionCandidate> Candidates;
        const wchar_t* Prefix;
        const wchar_t* Chosen;
    } cases[] = {
        {L"a newer backup wins under its own name",
         {{L"versions.dat", false, ten}, {L"versions.dat.bak", false, eleven}}, L"versions.dat", L"versions.dat.bak"},
        {L"the newest wherever it is listed",
         {{L"versions.dat.bak", false, eleven}, {L"versions.dat", false, ten}}, L"versions.dat", L"versions.dat.bak"},
        {L"the same 2-second step keeps the first listed",
         {{L"versions.dat", false, ten}, {L"VERSIONS.DAT.OLD", false, ten}}, L"versions.dat", L"versions.dat"},
        {L"the same step the other way round",
         {{L"VERSIONS.DAT.OLD", false, ten}, {L"versions.dat", false, ten}}, L"versions.dat", L"VERSIONS.DAT.OLD"},
        {L"an update in progress is ignored",
         {{L"versions.dat", false, ten}, {L"versions.dat.upd", false, noon}}, L"versions.dat", L"versions.dat"},
        {L"only the extension as written counts as an update",
         {{L"versions.dat", false, ten}, {L"versions.dat.UPD", false, noon}}, L"versions.dat", L"versions.dat.UPD"},
        {L"versions.id2 competes", {{L"versions.id", false, ten}, {L"versions.id2", false, eleven}}, L"versions.id",
         L"versions.id2"},
        {L"an older versions.id2 loses", {{L"versions.id2", false, ten}, {L"versions.id", false, eleven}},
         L"versions.id", L"versions.id"},
        {L"folders and dot entries are no candidates",
         {{L".", true, noon}, {L"..", true, noon}, {L"versions.dat.d", true, noon}, {L"versions.dat", false, ten}},
         L"versions.dat", L"versions.dat"},
        {L"the prefix ignores letter case", {{L"Versions.DAT", false, ten}}, L"versions.dat", L"Versions.DAT"},
        {L"other names never", {{L"my versions.dat", false, noon}, {L"version.dat", false, noon}}, L"versions.dat",
         L""},
        {L"nothing listed", {}, L"versions.id", L""},
        {L"a time DOS cannot hold is oldest", {{L"versions.dat", false, 0}, {L"versions.dat.old", false, ten}},
         L"versions.dat", L"versions.dat.old"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseNewest(c.Candidates, c.Prefix), c.Chosen) << c.Case;
}

TEST(NewestMatchChoice, DosTimeHasTwoSecondSteps)
{
    EXPECT_EQ(DosTimeOf(UtcOfLocal(2021, 2, 3, 10, 0, 0, 0)), Dos(2021, 2, 3, 10, 0, 0));
    EXPECT_EQ(DosTimeOf(UtcOfLocal(2021, 2, 3, 10, 0, 1, 900)), Dos(2021, 2, 3, 10, 0, 0));
    EXPECT_EQ(DosTimeOf(UtcOfLocal(2021, 2, 3, 10, 0, 2, 0)), Dos(2021, 2, 3, 10, 0, 2));
    EXPECT_EQ(DosTimeOf(UtcOfLocal(2107, 12, 31, 23, 59, 58, 0)), Dos(2107, 12, 31, 23, 59, 58));
    EXPECT_EQ(DosTimeOf(UtcOfLocal(1979, 6, 1, 12, 0, 0, 0)), 0u) << "before DOS time began";
    EXPECT_LT(DosTimeOf(UtcOfLocal(2021, 2, 3, 23, 59, 58, 0)), DosTimeOf(UtcOfLocal(2021, 2, 4, 0, 0, 0, 0)));
}

TEST(VersionFiles, TheNewestOfEachKindUnderItsOwnName)
{
    TTestFolder f;
    const std::wstring source = f / L"Antivirus\\";
    const struct {
        const wchar_t* Name;
        WORD Hour;
    } files[] = {
        {L"versions.dat", 10}, {L"versions.dat.bak", 11}, {L"versions.dat.upd", 12},
        {L"versions.id", 10},  {L"versions.id2", 11},     {L"engine.dll", 13},
    };
    for (const auto& file : files) {
        MakeFile(source + file.Name, std::string("content of ") + std::to_string(file.Hour));
        StampLocal(source + file.Name, 2021, 5, 6, file.Hour, 0);
    }
    ASSERT_TRUE(ForceDirectories(source + L"versions.dat.newer"));  // a folder, however new, is no candidate

    EXPECT_EQ(NewestMatch(source, L"versions.dat"), source + L"versions.dat.bak");
    const std::wstring target = f / L"G\\AppPath\\Antivirus\\";
    MakeFile(target + L"versions.id2", "an older copy");
    CopyVersionFiles(source, target);
    EXPECT_EQ(FilesBelow(target), (std::set<std::wstring>{L"versions.dat.bak", L"versions.id2"}));
    EXPECT_EQ(ReadFileBytes(target + L"versions.dat.bak"), "content of 11");
    EXPECT_EQ(ReadFileBytes(target + L"versions.id2"), "content of 11") << "overwritten";
}

TEST(VersionFiles, TheSameTwoSecondStepKeepsTheFirstListed)
{
    TTestFolder f;
    const std::wstring source = f / L"Antivirus\\";
    MakeFile(source + L"versions.dat", "plain");
    MakeFile(source + L"VERSIONS.DAT.OLD", "old");
    StampLocal(source + L"versions.dat", 2021, 5, 6, 10, 0, 0, 200);
    StampLocal(source + L"VERSIONS.DAT.OLD", 2021, 5, 6, 10, 0, 1, 400);
    const std::vector<std::wstring> order = ListingOrder(source);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(NewestMatch(source, L"versions.dat"), source + order.front());
}

TEST(VersionFiles, TheTargetFolderIsMadeWhenNothingIsFound)
{
    TTestFolder f;
    // A product that is not installed: the driver's source is then "\Antivirus\".
    for (const std::wstring& source : {f / L"missing\\", f.Path(), std::wstring(L"\\Antivirus\\")}) {
        const std::wstring target = f / L"G\\AppPath\\Antivirus\\";
        DeleteFolder(f / L"G");
        CopyVersionFiles(source, target);
        EXPECT_TRUE(DirectoryExists(target)) << source;
        EXPECT_TRUE(FilesBelow(target).empty()) << source;
    }
}

TEST(MiniDump, CopiedIntoItsFolderEvenDeepDown)
{
    TTestFolder f;
    const std::wstring dump = f / L"Tramblex Ultimate\\tbx_Antivirus_mini.dmp";
    MakeFile(dump, std::string(100000, 'd'));
    const std::wstring target = LongFolder(f / L"G\\AppPath", 300);
    CopyDump(dump, target);
    EXPECT_EQ(ReadFileBytes(target + L"tbx_Antivirus_mini.dmp"), std::string(100000, 'd'));

    const std::wstring empty = f / L"G\\GDX\\AppPath\\";
    CopyDump(f / L"Grendax\\gdx_Antivirus_mini.dmp", empty);
    EXPECT_TRUE(DirectoryExists(empty));
    EXPECT_TRUE(FilesBelow(empty).empty());
}
