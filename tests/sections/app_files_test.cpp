// The application files of the main product's folder, on a real folder of the
// test's prefix: versions from a library built with a version resource, digests,
// time stamps in the user's locale, the ".svn" rule, a link loop and long paths.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/locale_text.h"
#include "platform/md5.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "products/product_detection.h"
#include "sections/app_files.h"
#include "sections/collect_files.h"
#include "tests/products/install_fixture.h"
#include "tests/support/test_folder.h"

namespace {

using install_fixture::MakeFile;
using install_fixture::StampLocal;

const std::wstring Product = L"C:\\vexlo-links\\product\\";  // holds the loop of app_files.cmake

std::wstring Md5Of(const std::string& bytes)
{
    TMd5Context context;
    Md5Begin(context);
    Md5Add(context, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return DigestToHex(Md5End(context));
}

TEST(AppFileLine, FieldsAfterThreeBlanksEach)
{
    const struct {
        const wchar_t *Relative, *Version, *Digest, *DateTime, *Line;
    } cases[] = {
        {L"Antivirus\\engine.dll", L"9.0.12.345", L"0123456789abcdef0123456789abcdef", L"2/3/2021 4:05:06 PM",
         L"Antivirus\\engine.dll   Ver:9.0.12.345   MD5:0123456789abcdef0123456789abcdef   DT:2/3/2021 4:05:06 PM"},
        {L"b.exe", L"", L"d41d8cd98f00b204e9800998ecf8427e", L"1/1/2020",
         L"b.exe   Ver:   MD5:d41d8cd98f00b204e9800998ecf8427e   DT:1/1/2020"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AppFileLine(c.Relative, c.Version, c.Digest, c.DateTime), c.Line);
}

TEST(GetAppFileInfoTest, EveryFileWithVersionDigestAndTime)
{
    const DWORD loop = GetFileAttributesW((Product + L"loop").c_str());
    ASSERT_TRUE(loop != INVALID_FILE_ATTRIBUTES && (loop & FILE_ATTRIBUTE_REPARSE_POINT)) << "run through with_links.py";

    // The library with a version resource, once near the top and once below MAX_PATH.
    const std::string library = ReadFileBytes(ParentFolder(GetModuleName()) + L"app_files_fx_library.dll");
    std::wstring deep = L"deep\\";
    while (Product.size() + deep.size() < 280)
        deep += L"a-long-folder-name-below-the-product\\";
    const std::string plain = "a plain file without any version";
    struct TExpected {
        std::string Bytes;
        std::wstring Version;
        std::wstring DateTime;
    };
    std::map<std::wstring, TExpected> expected;
    const auto plant = [&](const std::wstring& relative, const std::string& bytes, const std::wstring& version, WORD hour,
                           WORD minute) {
        MakeFile(Product + relative, bytes);
        expected[relative] = {bytes, version, StampLocal(Product + relative, 2021, 2, 3, hour, minute)};
    };
    plant(L"sub\\a.dll", library, L"9.0.12.345", 16, 5);
    plant(L"b.exe", plain, L"", 0, 0);  // exactly midnight: the date alone
    plant(L"sub\\.SVN\\entered.txt", "entered", L"", 9, 30);
    plant(deep + L"deep.dll", library, L"9.0.12.345", 23, 59);
    MakeFile(Product + L".svn\\skipped.dll", library);  // the working copy's folder is no part of the product
    ASSERT_TRUE(CreateDirectoryW((Product + L"empty").c_str(), nullptr));

    ProductAppPath = Product;
    TReportLines lines{L"before"};
    GetAppFileInfo(lines);

    // In the order the listing gives (its order is CollectFiles' own, tested there).
    std::vector<std::wstring> order;
    CollectFiles(Product, order, cmFiles, true, L"");
    ASSERT_EQ(order.size(), expected.size());
    TReportLines want{L"before", AsteriskRow};
    for (const std::wstring& path : order) {
        const std::wstring relative = path.substr(Product.size());
        ASSERT_EQ(expected.count(relative), 1u) << "unexpected file listed";
        const TExpected& e = expected[relative];
        want.push_back(relative + L"   Ver:" + e.Version + L"   MD5:" + Md5Of(e.Bytes) + L"   DT:" + e.DateTime);
    }
    EXPECT_EQ(lines, want);
    EXPECT_EQ(expected[L"b.exe"].DateTime.find(L' '), std::wstring::npos) << "midnight shows the date alone";
}

TEST(GetAppFileInfoTest, NothingWithoutAProductFolderOrFiles)
{
    TTestFolder f;
    ASSERT_TRUE(ForceDirectories(f / L"only\\folders"));
    for (const std::wstring& folder : {std::wstring(), f / L"missing\\", f / L"only\\"}) {
        ProductAppPath = folder;
        TReportLines lines{L"before"};
        GetAppFileInfo(lines);
        EXPECT_EQ(lines, TReportLines{L"before"});
    }
}

}  // namespace
