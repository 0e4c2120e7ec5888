#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/version_resource.h"
#include "tests/support/test_folder.h"

namespace {
// The version-resource libraries are built next to the test program.
std::wstring Fixture(const std::wstring& name)
{
    return ParentFolder(GetModuleName()) + L"version_fx_" + name + L".dll";
}
}  // namespace

// ---------------------------------------------------------------------------
// Version resources of the fixture libraries.

TEST(FileVersion, AFileWithoutVersionDataIsUnknown)
{
    // Test programs carry no version resource.
    EXPECT_EQ(GetFileVersion(GetModuleName(), fvFileVersion), L"Unknown");
    EXPECT_EQ(GetFileVersion(L"C:\\no\\such\\file.dll", fvFileVersion), L"Unknown");
    ASSERT_TRUE(FileExists(Fixture(L"noversion")));
    for (int kind : {0, 3, 10, 11, -1})
        EXPECT_EQ(GetFileVersion(Fixture(L"noversion"), kind), L"Unknown") << kind;
}

TEST(FileVersion, EachKindSelectsItsField)
{
    const std::wstring file = Fixture(L"verstrings");
    ASSERT_TRUE(FileExists(file));
    const std::map<int, std::wstring> expected = {
        {0, L"Fixture comments"},
        {1, L"Vexlo Fixture Company"},
        {2, L"Fixture description"},
        {3, L"9.8.7.6 (text build)"},  // the text, not the fixed block's 1.2.3.4
        {4, L"fixture-internal"},
        {5, L"Copyright fixture"},
        {6, L"Fixture trademarks"},
        {7, L"fixture-original.dll"},
        {8, L"Fixture Product"},
        {9, L"5.6 product text"},
        {10, L"6.1.7601"},  // "WOW Version"
        {11, L""},
        {-1, L""},
        {1000, L""},
    };
    for (const auto& [kind, text] : expected)
        EXPECT_EQ(GetFileVersion(file, kind), text) << "kind " << kind;
}

TEST(FileVersion, StringsComeFromTheDeclaredTableElseTheFirstOne)
{
    struct Case {
        const wchar_t* fixture;
        int kind;
        const wchar_t* expected;
    };
    const Case cases[] = {
        // the translation names the second table; its key is in lower case
        {L"vermatch", fvCompanyName, L"Declared table company"},
        {L"vermatch", fvFileVersion, L"2.0 declared table"},
        // the translation names a table that is not there
        {L"vermissing", fvCompanyName, L"First table company"},
        {L"vermissing", fvFileVersion, L"3.0 first table"},
        {L"vermissing", fvWowVersion, L"3.0 wow"},
        {L"vermissing", fvProductName, L""},
        // no translation list at all
        {L"vernotrans", fvProductName, L"No translation product"},
        {L"vernotrans", fvFileVersion, L"4.0 only table"},
        {L"vernotrans", fvCompanyName, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetFileVersion(Fixture(c.fixture), c.kind), c.expected) << c.fixture << " kind " << c.kind;
}

TEST(FileVersion, FileInfoCopiesTheFixedBlockAndTheExtraName)
{
    TFileInfo info;
    ASSERT_TRUE(GetFileInfo(Fixture(L"verstrings"), info, L"wow version"));  // names ignore case
    EXPECT_EQ(info.FixedInfo[0], 0xFEEF04BDu);                              // signature
    EXPECT_EQ(info.FixedInfo[2], 0x00010002u);                              // file version 1.2
    EXPECT_EQ(info.FixedInfo[3], 0x00030004u);                              // .3.4
    EXPECT_EQ(info.FixedInfo[4], 0x00050006u);                              // product version 5.6
    EXPECT_EQ(info.FixedInfo[5], 0x00070008u);                              // .7.8
    EXPECT_EQ(info.FixedInfo[8], 0x00040004u);                              // OS
    EXPECT_EQ(info.FixedInfo[9], 2u);                                       // a library
    EXPECT_EQ(info.Extra, L"6.1.7601");
    EXPECT_EQ(info.OriginalFileName, L"fixture-original.dll");

    TFileInfo none;
    none.Comments = L"kept";
    EXPECT_FALSE(GetFileInfo(Fixture(L"noversion"), none, L"WOW Version"));
    EXPECT_EQ(none.Comments, L"kept");
    EXPECT_FALSE(GetFileInfo(L"C:\\no\\such\\file.dll", none, L""));
    EXPECT_EQ(none.Comments, L"kept");
}

TEST(FileVersion, SummaryOfFixedBlockAndDeclaredTranslation)
{
    struct Case {
        const wchar_t* fixture;
        DWORD ms, ls;
        bool translation;
        const wchar_t* text;
    };
    const Case cases[] = {
        {L"verstrings", 0x00010002, 0x00030004, true, L"9.8.7.6 (text build)"},
        {L"vermatch", 0x00020000, 0, true, L"2.0 declared table"},  // key in lower case
        {L"vermissing", 0x00030000, 0, true, L""},                  // the declared table is missing
        {L"vernotrans", 0x00040000, 0, false, L""},
    };
    for (const Case& c : cases) {
        TVersionSummary summary;
        ASSERT_TRUE(ReadVersionSummary(Fixture(c.fixture), summary)) << c.fixture;
        EXPECT_EQ(summary.FileVersionMS, c.ms) << c.fixture;
        EXPECT_EQ(summary.FileVersionLS, c.ls) << c.fixture;
        EXPECT_EQ(summary.HasTranslation, c.translation) << c.fixture;
        EXPECT_EQ(summary.TranslatedFileVersion, c.text) << c.fixture;
    }
    TVersionSummary none;
    none.TranslatedFileVersion = L"kept";
    EXPECT_FALSE(ReadVersionSummary(Fixture(L"noversion"), none));
    EXPECT_FALSE(ReadVersionSummary(L"C:\\no\\such\\file.dll", none));
    EXPECT_EQ(none.TranslatedFileVersion, L"kept");
}

// ---------------------------------------------------------------------------
// The string-table parser over hand-made resources, damaged ones included.

namespace {
using Bytes = std::vector<BYTE>;

void Pad4(Bytes& b)
{
    while (b.size() % 4)
        b.push_back(0);
}

void PutWord(Bytes& b, size_t at, WORD w)
{
    b[at] = static_cast<BYTE>(w & 0xFF);
    b[at + 1] = static_cast<BYTE>(w >> 8);
}

// One block: header, key, value and children, with the lengths filled in.
Bytes Block(const std::wstring& key, WORD type, const Bytes& value, WORD valueLength, const std::vector<Bytes>& children = {})
{
    Bytes b(6, 0);
    for (wchar_t c : key + L'\0') {
        b.push_back(static_cast<BYTE>(c & 0xFF));
        b.push_back(static_cast<BYTE>(c >> 8));
    }
    Pad4(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        Pad4(b);
        b.insert(b.end(), child.begin(), child.end());
    }
    PutWord(b, 0, static_cast<WORD>(b.size()));
    PutWord(b, 2, valueLength);
    PutWord(b, 4, type);
    return b;
}

Bytes Root(const std::vector<Bytes>& children)
{
    return Block(L"VS_VERSION_INFO", 0, Bytes(52, 0xAB), 52, children);
}

Bytes Table(const std::wstring& key)
{
    const std::wstring text = L"1.0";
    Bytes value;
    for (wchar_t c : text + L'\0') {
        value.push_back(static_cast<BYTE>(c));
        value.push_back(0);
    }
    return Block(key, 1, {}, 0, {Block(L"FileVersion", 1, value, static_cast<WORD>(text.size() + 1))});
}

Bytes VarInfo()
{
    return Block(L"VarFileInfo", 1, {}, 0, {Block(L"Translation", 0, {0x09, 0x04, 0xB0, 0x04}, 4)});
}
}  // namespace

TEST(FirstStringTableKey, FindsTheFirstTableAndSurvivesDamage)
{
    const Bytes stringsFirst = Root({Block(L"StringFileInfo", 1, {}, 0, {Table(L"040904B0"), Table(L"041104B0")}), VarInfo()});
    const Bytes varFirst = Root({VarInfo(), Block(L"stringfileinfo", 1, {}, 0, {Table(L"041104B0")})});
    const Bytes noStrings = Root({VarInfo()});
    const Bytes shortKey = Root({Block(L"StringFileInfo", 1, {}, 0, {Table(L"0409")})});
    Bytes overrun = varFirst;
    PutWord(overrun, Root({}).size(), 0x7FFF);  // VarFileInfo claims more than the root holds
    Bytes unterminated = Root({});
    unterminated.resize(6 + 8);  // header and part of a key, no NUL
    PutWord(unterminated, 0, static_cast<WORD>(unterminated.size()));

    struct Case {
        const char* name;
        Bytes data;
        size_t size;
        std::wstring expected;
    };
    const Case cases[] = {
        {"string tables first", stringsFirst, stringsFirst.size(), L"040904B0"},
        {"translation list first", varFirst, varFirst.size(), L"041104B0"},
        {"no string tables", noStrings, noStrings.size(), L""},
        {"table key not 8 characters", shortKey, shortKey.size(), L""},
        {"cut before the string tables", varFirst, varFirst.size() - 8, L""},
        {"child longer than its parent", overrun, overrun.size(), L""},
        {"key without its NUL", unterminated, unterminated.size(), L""},
        {"header only", stringsFirst, 6, L""},
        {"nothing", stringsFirst, 0, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FirstStringTableKey(c.data.data(), c.size), c.expected) << c.name;
    EXPECT_EQ(FirstStringTableKey(nullptr, 100), L"");
}

// ---------------------------------------------------------------------------
// Special folders.

