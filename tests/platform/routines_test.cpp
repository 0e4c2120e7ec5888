#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/PathUtil.h"
#include "platform/RegistryClassEx.h"
#include "platform/Vexlo_Routine_New.h"
#include "tests/support/TestFolder.h"

namespace {
bool Is32BitBuild()
{
    const char* arch = std::getenv("VEXLO_ARCH");
    return arch && std::string(arch) == "i686";
}

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && _wcsicmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

// The version-resource libraries are built next to the test program.
std::wstring Fixture(const std::wstring& name)
{
    return ParentFolder(GetModuleName()) + L"routines_fx_" + name + L".dll";
}
}  // namespace

// Both builds run on 64-bit Windows here: the 32-bit one as a real WOW64 process.
TEST(Wow64, ThisProcessRunsOnSixtyFourBitWindows)
{
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(wow64 != FALSE, Is32BitBuild());
    EXPECT_TRUE(IsWow64());
    EXPECT_TRUE(IsWow64());  // the cached answer
}

TEST(Wow64, RedirectionCanBeSwitchedOffOnlyInTheThirtyTwoBitBuild)
{
    void* old = nullptr;
    EXPECT_FALSE(DisableFsRedirection(&old));  // nothing looked up yet
    LoadWOW64Funcs();
    const bool off = DisableFsRedirection(&old);
    EXPECT_EQ(off, Is32BitBuild());
    EXPECT_EQ(RevertFsRedirection(old), Is32BitBuild());
}

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

TEST(SpecialFolder, FallbacksWhenTheShellGivesTooLittle)
{
    const std::map<std::wstring, std::wstring> set = {
        {L"APPDATA", L"  E:\\Env\\Roaming \t"},
        {L"LOCALAPPDATA", L"E:\\Env\\Local"},
        {L"ProgramData", L"E:\\Env\\ProgramData"},
        {L"ProgramFiles", L"E:\\Env\\PF"},
        {L"ProgramFiles(x86)", L"E:\\Env\\PF86"},
        {L"CommonProgramFiles", L"E:\\Env\\CPF"},
        {L"CommonProgramFiles(x86)", L"\r\nE:\\Env\\CPF86"},
    };
    const std::map<std::wstring, std::wstring> blank = {{L"APPDATA", L" \t\r\n"}, {L"ProgramFiles(x86)", L"   "}};
    const auto env = [](const std::map<std::wstring, std::wstring>& vars) {
        return [vars](const wchar_t* name) {
            const auto it = vars.find(name);
            return it == vars.end() ? std::wstring() : it->second;
        };
    };
    struct Case {
        int csidl;
        std::wstring shell;
        bool useEnv;  // the set variables, else none (or blank ones)
        DWORD major;
        bool wow64;
        std::wstring expected;
    };
    const Case cases[] = {
        // environment first, trimmed
        {CSIDL_APPDATA, L"", true, 10, false, L"E:\\Env\\Roaming"},
        {CSIDL_LOCAL_APPDATA, L"C:", true, 6, false, L"E:\\Env\\Local"},
        {CSIDL_COMMON_APPDATA, L"", true, 5, false, L"E:\\Env\\ProgramData"},
        {CSIDL_PROGRAM_FILES, L"", true, 6, false, L"E:\\Env\\PF"},
        {CSIDL_PROGRAM_FILES, L"", true, 6, true, L"E:\\Env\\PF86"},
        {CSIDL_PROGRAM_FILES_COMMON, L"", true, 6, false, L"E:\\Env\\CPF"},
        {CSIDL_PROGRAM_FILES_COMMON, L"", true, 6, true, L"E:\\Env\\CPF86"},
        // built paths, new layout
        {CSIDL_APPDATA, L"", false, 6, false, L"D:\\Users\\ann\\AppData\\Roaming"},
        {CSIDL_LOCAL_APPDATA, L"", false, 10, true, L"D:\\Users\\ann\\AppData\\Local"},
        {CSIDL_COMMON_APPDATA, L"", false, 6, false, L"D:\\ProgramData"},
        // built paths, old layout
        {CSIDL_APPDATA, L"D:", false, 5, false, L"D:\\Documents and Settings\\ann\\Application Data"},
        {CSIDL_LOCAL_APPDATA, L"", false, 5, false, L"D:\\Documents and Settings\\ann\\Local Settings\\Application Data"},
        {CSIDL_COMMON_APPDATA, L"", false, 4, false, L"D:\\Documents and Settings\\All Users\\Application Data"},
        // program files: the same for every major version
        {CSIDL_PROGRAM_FILES, L"", false, 5, false, L"D:\\Program Files"},
        {CSIDL_PROGRAM_FILES, L"", false, 10, true, L"D:\\Program Files (x86)"},
        {CSIDL_PROGRAM_FILES_COMMON, L"", false, 5, false, L"D:\\Program Files\\Common Files"},
        {CSIDL_PROGRAM_FILES_COMMON, L"", false, 6, true, L"D:\\Program Files (x86)\\Common Files"},
        // a long enough shell answer is final
        {CSIDL_APPDATA, L"C:\\A", true, 6, false, L"C:\\A"},
        // no fallback for other folders, however short the answer
        {CSIDL_DESKTOPDIRECTORY, L"", true, 6, false, L""},
        {CSIDL_COMMON_STARTUP, L"C:", true, 6, false, L"C:"},
        {CSIDL_PERSONAL, L"", true, 6, false, L""},
    };
    for (const Case& c : cases) {
        TFolderFallbackFacts facts;
        facts.Env = env(c.useEnv ? set : blank);
        facts.Drive = L"D:";
        facts.User = L"ann";
        facts.Major = c.major;
        facts.Wow64 = c.wow64;
        EXPECT_EQ(ResolveSpecialFolder(c.csidl, c.shell, facts), c.expected)
            << "csidl " << c.csidl << " major " << c.major << " wow64 " << c.wow64;
    }
}

TEST(SpecialFolder, AnswersOfTheShell)
{
    const std::wstring desktop = GetSpecialFolder(nullptr, CSIDL_DESKTOPDIRECTORY);
    EXPECT_TRUE(EndsWith(desktop, L"\\Desktop")) << desktop;
    EXPECT_TRUE(DirectoryExists(desktop));
    EXPECT_TRUE(EndsWith(GetSpecialFolder(nullptr, CSIDL_APPDATA), L"\\AppData\\Roaming"));
    EXPECT_TRUE(EndsWith(GetSpecialFolder(nullptr, CSIDL_PROGRAM_FILES),
                         Is32BitBuild() ? L"\\Program Files (x86)" : L"\\Program Files"));
    EXPECT_EQ(GetSpecialFolder(nullptr, 0x7E), L"");  // no such folder, no fallback
}

// ---------------------------------------------------------------------------
// Windows names.

TEST(OSName, NameForEachVersion)
{
    const BYTE workstation = VER_NT_WORKSTATION, server = VER_NT_SERVER;
    const WORD x86 = PROCESSOR_ARCHITECTURE_INTEL, amd64 = PROCESSOR_ARCHITECTURE_AMD64;
    const DWORD nt = VER_PLATFORM_WIN32_NT;
    struct Case {
        DWORD major, minor, platform;
        BYTE product;
        WORD arch;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {3, 51, nt, workstation, x86, L"Windows NT"},
        {4, 0, nt, server, x86, L"Windows NT"},
        {5, 0, nt, workstation, x86, L"Windows 2000"},
        {5, 1, nt, workstation, x86, L"Windows XP"},
        {5, 2, nt, workstation, amd64, L"Windows XP"},
        {5, 2, nt, workstation, x86, L"Windows 2003 Server"},
        {5, 2, nt, server, amd64, L"Windows 2003 Server"},
        {5, 3, nt, workstation, x86, L""},
        {6, 0, nt, workstation, x86, L"Windows Vista"},
        {6, 1, nt, workstation, amd64, L"Windows 7"},
        {6, 1, nt, server, amd64, L"Windows 7"},
        {6, 2, nt, workstation, amd64, L"Windows 8"},
        {6, 3, nt, server, amd64, L"Windows 8"},
        {6, 4, nt, workstation, amd64, L"Windows 10"},
        {6, 5, nt, workstation, amd64, L""},
        {10, 0, nt, workstation, amd64, L"Windows 10"},  // Windows 11 as well
        {10, 0, nt, server, amd64, L"Windows 10"},
        {11, 0, nt, workstation, amd64, L""},
        {2, 0, nt, workstation, x86, L""},
        {4, 10, VER_PLATFORM_WIN32_WINDOWS, 0, x86, L""},
        {10, 0, VER_PLATFORM_WIN32s, 0, x86, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OSNameFor(c.major, c.minor, c.platform, c.product, c.arch), c.expected)
            << c.major << "." << c.minor << " platform " << c.platform;
}

TEST(OSName, ThisWindowsHasAName)
{
    EXPECT_EQ(GetOSName().rfind(L"Windows ", 0), 0u) << GetOSName();
    EXPECT_FALSE(IsWindows2000());
}

// ---------------------------------------------------------------------------
// File time stamps.

namespace {
WORD DosDate(int year, int month, int day)
{
    return static_cast<WORD>(((year - 1980) << 9) | (month << 5) | day);
}
WORD DosTime(int hour, int minute, int second)
{
    return static_cast<WORD>((hour << 11) | (minute << 5) | (second / 2));
}
}  // namespace

TEST(FileDateTime, DosStampsAsDayCounts)
{
    struct Case {
        WORD date, time;
        double expected;
    };
    const Case cases[] = {
        {DosDate(1980, 1, 1), DosTime(0, 0, 0), 29221.0},
        {DosDate(1999, 12, 31), DosTime(18, 0, 0), 36525.75},
        {DosDate(2000, 2, 29), DosTime(12, 0, 0), 36585.5},
        {DosDate(2024, 3, 15), DosTime(6, 30, 10), 45366.0 + 23410.0 / 86400.0},
        {DosDate(2107, 12, 31), DosTime(23, 59, 58), 75971.0 + 86398.0 / 86400.0},
        // dates and times that cannot be
        {DosDate(2001, 2, 29), 0, 0.0},
        {DosDate(1980, 4, 31), 0, 0.0},
        {DosDate(1980, 0, 1), 0, 0.0},
        {DosDate(1980, 13, 1), 0, 0.0},
        {DosDate(1980, 1, 0), 0, 0.0},
        {DosDate(1980, 1, 1), static_cast<WORD>(24 << 11), 0.0},
        {DosDate(1980, 1, 1), static_cast<WORD>(60 << 5), 0.0},
        {DosDate(1980, 1, 1), 30, 0.0},  // 60 seconds
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(DosDateTimeToDays(c.date, c.time), c.expected) << std::hex << c.date << " " << c.time;
}

namespace {
// A FILETIME `seconds` (may have a fraction) after 2021-06-01 10:00:00 UTC.
FILETIME Stamp(double seconds)
{
    const ULONGLONG base = 132670152000000000ULL;  // 2021-06-01 10:00:00 UTC
    const ULONGLONG t = base + static_cast<ULONGLONG>(seconds * 10000000.0);
    return FILETIME{static_cast<DWORD>(t & 0xFFFFFFFF), static_cast<DWORD>(t >> 32)};
}

void Touch(const std::wstring& path, const FILETIME& created, const FILETIME& accessed, const FILETIME& written)
{
    WriteFileBytes(path, "x");
    UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    ASSERT_TRUE(SetFileTime(file.get(), &created, &accessed, &written));
}
}  // namespace

TEST(FileDateTime, TimesOfARealFile)
{
    TestFolder folder;
    const std::wstring a = folder / L"a.stamp", b = folder / L"b.stamp", c = folder / L"c.stamp";
    Touch(a, Stamp(0.1), Stamp(86400.0 + 0.1), Stamp(0.1));
    Touch(b, Stamp(0), Stamp(0), Stamp(1.9));  // same two-second step as a
    Touch(c, Stamp(0), Stamp(0), Stamp(2.0));  // the next one

    const double written = GetFileDateTime(a, 1), accessed = GetFileDateTime(a, 2);
    // 2021-06-01 is day 44348; local time is within 14 hours of UTC.
    EXPECT_NEAR(written, 44348.0 + 10.0 / 24.0, 14.0 / 24.0);
    EXPECT_NEAR(accessed - written, 1.0, 1e-9);
    EXPECT_EQ(GetFileDateTime(a, 7), accessed);  // any other kind is the access time
    EXPECT_EQ(GetFileDateTime(a, -1), accessed);
    // Creation times cannot be set on this Windows's file system; it has one all the same.
    EXPECT_GT(GetFileDateTime(a, 0), 0.0);

    EXPECT_EQ(GetFileDateTime(b, 1), written);
    EXPECT_NEAR(GetFileDateTime(c, 1) - written, 2.0 / 86400.0, 1e-9);

    EXPECT_EQ(GetFileDateTime(folder / L"a.st*", 1), written);  // first match of a pattern
    EXPECT_EQ(GetFileDateTime(folder / L"missing.stamp", 1), 0.0);
    EXPECT_EQ(GetFileDateTime(folder / L"*.none", 0), 0.0);
    EXPECT_EQ(GetFileDateTime(L"", 1), 0.0);
}
