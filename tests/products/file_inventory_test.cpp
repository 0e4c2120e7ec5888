// The inventory of the products' install folders: its texts and walk as plain
// functions, and FilesInfo.txt on real installations in the test's prefix
// (uninstall keys in both registry views, a library with a version resource
// built here, a link loop planted from the Linux side, long paths).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/locale_text.h"
#include "platform/md5.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "products/file_inventory.h"
#include "products/product_detection.h"
#include "products/product_mode.h"
#include "sections/report_lines.h"
#include "tests/products/install_fixture.h"
#include "tests/support/test_folder.h"

using namespace install_fixture;

namespace {

const std::wstring EmptyDigest = L"d41d8cd98f00b204e9800998ecf8427e";

std::wstring Md5Of(const std::string& bytes)
{
    TMd5Context context;
    Md5Begin(context);
    Md5Add(context, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return DigestToHex(Md5End(context));
}

std::string Library()
{
    return ReadFileBytes(ParentFolder(GetModuleName()) + L"inventory_fx_library.dll");
}

TReportLines Header(const std::wstring& name)
{
    return {L"", L"===== " + name + L" =====", L""};
}

TReportLines Joined(std::initializer_list<TReportLines> parts)
{
    TReportLines all;
    for (const TReportLines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// FilesInfo.txt of a run in `mode`, as bytes.
std::string FilesInfoIn(TProductMode mode)
{
    TTestFolder gather;
    ProductMode = mode;
    MakeFilesInfo(gather.Path());
    ProductMode = pmAll;
    return ReadFileBytes(gather / L"FilesInfo.txt");
}

}  // namespace

TEST(InventoryText, EntriesSplitAtTheirLastEqualsSign)
{
    const struct {
        std::wstring Path;
        uint64_t Size;
        std::wstring Entry;
    } cases[] = {
        {L"C:\\P\\a.dll", 1024, L"C:\\P\\a.dll=1024"},
        {L"C:\\P\\a=b.txt", 3, L"C:\\P\\a=b.txt=3"},
        {L"C:\\P=Q\\x==y=.ini", 0, L"C:\\P=Q\\x==y=.ini=0"},
        {L"C:\\P\\big.bin", 5000000000ull, L"C:\\P\\big.bin=5000000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InventoryEntry(c.Path, c.Size), c.Entry);
        const TInventoryItem item = SplitInventoryEntry(c.Entry);
        EXPECT_EQ(item.Path, c.Path) << c.Entry;
        EXPECT_EQ(item.Size, std::to_wstring(c.Size)) << c.Entry;
    }
    EXPECT_EQ(SplitInventoryEntry(L"no sign").Path, L"no sign");
    EXPECT_EQ(SplitInventoryEntry(L"no sign").Size, L"");
}

TEST(InventoryText, LineShapes)
{
    EXPECT_EQ(SectionHeader(L"Tramblex 8"), (TReportLines{L"", L"===== Tramblex 8 =====", L""}));
    EXPECT_EQ(ProductFileLine(L"C:\\P\\a.dll", L"9.1.2.3", L"1024", EmptyDigest),
              L"C:\\P\\a.dll, 9.1.2.3, 1024, " + EmptyDigest);
    EXPECT_EQ(ProductFileLine(L"C:\\P\\plain.bin", L"", L"0", EmptyDigest), L"C:\\P\\plain.bin, , 0, " + EmptyDigest);
    EXPECT_EQ(AntiMalwareFileLine(L"C:\\G\\g.txt", L"", L"5", EmptyDigest, L"12/30/1899"),
              L"C:\\G\\g.txt, , 5, " + EmptyDigest + L", DT:12/30/1899");
}

// The walk over a lister that the test controls: breadth first, links never
// entered, and a folder that cannot be opened ends the walk.
TEST(InventoryWalk, BreadthFirstWithItsStopRule)
{
    // root: a, S1\, b, S2\, link\ (a junction), flink (a file link)
    // S1: c, S1x\      S2: d      S1x: e
    std::map<std::wstring, std::vector<TTreeEntry>> tree{
        {L"R\\", {{L"a", false, false, 1}, {L"S1", true, false, 0}, {L"b", false, false, 2}, {L"S2", true, false, 0},
                  {L"link", true, true, 0}, {L"flink", false, true, 9}}},
        {L"R\\S1\\", {{L"c", false, false, 3}, {L"S1x", true, false, 0}}},
        {L"R\\S2\\", {{L"d", false, false, 4}}},
        {L"R\\S1\\S1x\\", {{L"e", false, false, 5}}},
        {L"R\\link\\", {{L"never", false, false, 6}}},
    };
    std::vector<std::wstring> visited;
    std::wstring unlistable;
    const TFolderLister lister = [&](const std::wstring& folder, std::vector<TTreeEntry>& entries) {
        visited.push_back(folder);
        if (folder == unlistable)
            return false;
        entries = tree[folder];
        return true;
    };

    EXPECT_EQ(ListInstallTreeWith(L"R", lister),
              (std::vector<std::wstring>{L"R\\a=1", L"R\\b=2", L"R\\S1\\c=3", L"R\\S2\\d=4", L"R\\S1\\S1x\\e=5"}));
    EXPECT_EQ(visited, (std::vector<std::wstring>{L"R\\", L"R\\S1\\", L"R\\S2\\", L"R\\S1\\S1x\\"}));

    // S1 cannot be listed: S2 and S1x, which come after it, are not listed either.
    unlistable = L"R\\S1\\";
    visited.clear();
    EXPECT_EQ(ListInstallTreeWith(L"R\\", lister), (std::vector<std::wstring>{L"R\\a=1", L"R\\b=2"}));
    EXPECT_EQ(visited, (std::vector<std::wstring>{L"R\\", L"R\\S1\\"}));

    // A root that cannot be listed gives nothing.
    unlistable = L"R\\";
    EXPECT_TRUE(ListInstallTreeWith(L"R\\", lister).empty());
}

// A release installation of the current main product and the anti-malware
// product: FilesInfo.txt byte for byte, the sections in their order.
TEST(FilesInfo, SmallInstallationByteForByte)
{
    const std::wstring product = L"C:\\VexloTest\\Tramblex\\";
    const std::string library = Library();
    MakeFile(product + L"Tramblex.dll", library);
    const std::string plain(1024, 'p');
    MakeFile(product + L"Data\\plain.bin", plain);
    MakeFile(product + L"Data\\Level2\\zero.dat", "");
    MakeFile(product + L"Data\\Level2\\Level3\\a=b.txt", "odd");
    InstallKey(L"Tramblex_is1", L"C:\\VexloTest\\Tramblex");  // without its trailing backslash
    // The same key in the 64-bit view names another folder: not the product's.
    MakeFile(L"C:\\VexloTest\\Decoy\\decoy.txt", "not the product");
    InstallKey(L"Tramblex_is1", L"C:\\VexloTest\\Decoy\\", Native64);

    const std::wstring antiMalware = L"C:\\VexloTest\\Grendax\\";
    MakeFile(antiMalware + L"gdx.txt", "grendax");
    StampLocal(antiMalware + L"gdx.txt", 2021, 2, 3, 16, 5, 6);
    MakeFile(antiMalware + L"sub\\midnight.txt", "at midnight");
    StampLocal(antiMalware + L"sub\\midnight.txt", 2020, 1, 1, 0, 0);
    InstallKey(L"Grendax_is1", antiMalware);

    SYSTEMTIME afternoon{2021, 2, 0, 3, 16, 5, 6, 0};
    SYSTEMTIME midnight{2020, 1, 0, 1, 0, 0, 0, 0};
    const std::wstring midnightText = DateTimeToStr(midnight);
    EXPECT_EQ(midnightText.find(L' '), std::wstring::npos) << "midnight shows the date alone";

    const TReportLines main{
        product + L"Tramblex.dll, 9.1.2.3, " + std::to_wstring(library.size()) + L", " + Md5Of(library),
        product + L"Data\\plain.bin, , 1024, " + Md5Of(plain),
        product + L"Data\\Level2\\zero.dat, , 0, " + EmptyDigest,
        product + L"Data\\Level2\\Level3\\a=b.txt, , 3, " + Md5Of("odd"),
    };
    const TReportLines grendax{
        antiMalware + L"gdx.txt, , 7, " + Md5Of("grendax") + L", DT:" + DateTimeToStr(afternoon),
        antiMalware + L"sub\\midnight.txt, , 11, " + Md5Of("at midnight") + L", DT:" + midnightText,
    };
    const TReportLines all = Joined({Header(L"Tramblex 8"), Header(L"Tramblex"), main, Header(L"Tramblex Ultimate"),
                                     Header(L"Grendax"), grendax});
    EXPECT_EQ(FilesInfoIn(pmAll), ReportFileBytes(all));

    // The product modes choose the sections.
    EXPECT_EQ(FilesInfoIn(pmMainProduct),
              ReportFileBytes(
                  Joined({Header(L"Tramblex 8"), Header(L"Tramblex"), main, Header(L"Tramblex Ultimate")})));
    EXPECT_EQ(FilesInfoIn(pmAntiMalware), ReportFileBytes(Joined({Header(L"Grendax"), grendax})));
    EXPECT_EQ(FilesInfoIn(pmUninstaller), "\xff\xfe");
    EXPECT_EQ(FilesInfoIn(pmDefrag), "\xff\xfe");

    // After a version switch the two older editions head the file.
    CurMajor = L"8";
    PrevMajor = L"7";
    const std::string switched = FilesInfoIn(pmMainProduct);
    CurMajor = L"9";
    PrevMajor = L"8";
    EXPECT_EQ(switched,
              ReportFileBytes(Joined({Header(L"Tramblex 7"), Header(L"Tramblex 8"), Header(L"Tramblex Ultimate")})));
}

// A key that opens but names no usable folder contributes nothing at all; a
// value of an unexpected kind counts as missing and costs nothing else.
TEST(FilesInfo, KeysWithoutAFolderOfFiles)
{
    const struct {
        const wchar_t* Case;
        std::function<void()> Install;
    } cases[] = {
        {L"no InstallLocation",
         [] { SetText(HKEY_LOCAL_MACHINE, UninstallKeys + L"Grendax_is1", L"DisplayName", L"Grendax"); }},
        {L"a number as InstallLocation", [] { SetDword(UninstallKeys + L"Grendax_is1", L"InstallLocation", 7); }},
        {L"a folder that is missing", [] { InstallKey(L"Grendax_is1", L"C:\\VexloTest\\Missing\\"); }},
        {L"a folder with folders only", [] {
             ASSERT_TRUE(ForceDirectories(L"C:\\VexloTest\\Hollow\\a\\b"));
             InstallKey(L"Grendax_is1", L"C:\\VexloTest\\Hollow\\");
         }},
    };
    for (const auto& c : cases) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (UninstallKeys + L"Grendax_is1").c_str(), Installer32, 0);
        c.Install();
        EXPECT_TRUE(BuildAntiMalwareSection().empty()) << c.Case;
        EXPECT_TRUE(BuildProductSection(L"Grendax as main", L"Grendax_is1").empty()) << c.Case;
    }
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (UninstallKeys + L"Grendax_is1").c_str(), Installer32, 0);
    EXPECT_EQ(BuildAntiMalwareSection(), Header(L"Grendax")) << "no key: the header lines alone";
}

// The walk on a real folder: a link back to the folder itself and one to a
// folder outside (both planted by file_inventory.cmake) are not entered; a
// file more than MAX_PATH deep is listed, read and digested.
TEST(FilesInfo, LinksAreNotFollowedAndLongPathsAreListed)
{
    const std::wstring root = L"C:\\vexlo-links\\inventory\\";
    const DWORD loop = GetFileAttributesW((root + L"loop").c_str());
    ASSERT_TRUE(loop != INVALID_FILE_ATTRIBUTES && (loop & FILE_ATTRIBUTE_REPARSE_POINT))
        << "run through with_links.py";
    MakeFile(L"C:\\vexlo-links\\outside\\outside.txt", "behind a link");
    MakeFile(root + L"top.txt", "top");
    MakeFile(root + L"sub\\s.txt", "sub!");
    const std::wstring deep = LongFolder(root + L"deep", 300);
    const std::string library = Library();
    MakeFile(deep + L"deep.dll", library);

    const std::vector<std::wstring> entries = ListInstallTree(root);
    std::map<std::wstring, std::wstring> sizes;
    size_t lastDepth = 0;
    for (const std::wstring& entry : entries) {
        const TInventoryItem item = SplitInventoryEntry(entry);
        sizes[item.Path] = item.Size;
        const size_t depth = static_cast<size_t>(std::count(item.Path.begin(), item.Path.end(), L'\\'));
        EXPECT_GE(depth, lastDepth) << "breadth first: " << item.Path;
        lastDepth = depth;
    }
    EXPECT_EQ(sizes, (std::map<std::wstring, std::wstring>{{root + L"top.txt", L"3"},
                                                           {root + L"sub\\s.txt", L"4"},
                                                           {deep + L"deep.dll", std::to_wstring(library.size())}}));

    InstallKey(L"Tramblex Ultimate_is1", root);
    const TReportLines section = BuildProductSection(L"Tramblex Ultimate", L"Tramblex Ultimate_is1");
    ASSERT_EQ(section.size(), 6u);
    EXPECT_EQ(section.back(), deep + L"deep.dll, 9.1.2.3, " + std::to_wstring(library.size()) + L", " + Md5Of(library));
}
