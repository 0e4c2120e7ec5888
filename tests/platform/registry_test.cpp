// TRegistry on the real registry of the test's own prefix. Both builds run on
// 64-bit Windows: the i686 build as a real WOW64 process, whose natural view
// is the 32-bit branch, the x86_64 build alongside.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/fs_redirection.h"
#include "platform/registry.h"

namespace {

using Bytes = std::vector<BYTE>;

bool Is32BitBuild()
{
    const char* arch = std::getenv("VEXLO_ARCH");
    return arch && std::string(arch) == "i686";
}

// Explicit views for writing the fixtures, whichever build writes them.
constexpr REGSAM Native = KEY_WOW64_64KEY;
constexpr REGSAM Branch32 = KEY_WOW64_32KEY;
const std::wstring Base = L"SOFTWARE\\VexloRegTest";

UniqueKey CreateKey(HKEY root, const std::wstring& path, REGSAM view)
{
    UniqueKey key;
    const LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(),
                                    nullptr);
    EXPECT_EQ(rc, ERROR_SUCCESS) << "creating " << std::string(path.begin(), path.end());
    return key;
}

// Stores exactly these bytes. RegSetValueExW adds a string's missing terminator
// when the character after the data is NUL (as NT does), so the data is passed
// with non-NUL bytes behind it.
void SetRaw(HKEY key, const std::wstring& name, DWORD type, const Bytes& data)
{
    Bytes padded(data);
    padded.insert(padded.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_EQ(RegSetValueExW(key, name.c_str(), 0, type, padded.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    ASSERT_EQ(size, data.size());
}

Bytes Utf16(std::wstring_view text, bool terminated = true)
{
    Bytes bytes;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    if (terminated)
        bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

void SetText(HKEY key, const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ)
{
    SetRaw(key, name, type, Utf16(text));
}

void SetDword(HKEY key, const std::wstring& name, DWORD value)
{
    SetRaw(key, name, REG_DWORD, Bytes{BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)});
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view)
{
    UniqueKey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

// Replaces the key's DACL by one entry: Everyone may do `rights`.
void GrantOnly(HKEY key, DWORD rights)
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(sid);
    ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, sid, &sidSize));
    alignas(DWORD) BYTE aclBuffer[256];
    const auto acl = reinterpret_cast<PACL>(aclBuffer);
    ASSERT_TRUE(InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION));
    ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, rights, sid));
    SECURITY_DESCRIPTOR sd;
    ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE));
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> list)
{
    std::sort(list.begin(), list.end());
    return list;
}

}  // namespace

// ---------------------------------------------------------------------------
// Data as text: type and bytes in, one line out

struct DataCase {
    const char* what;
    DWORD type;
    Bytes data;
    const wchar_t* reg;    // .reg notation
    const wchar_t* plain;  // without
};

const DataCase DataCases[] = {
    {"string", REG_SZ, Utf16(L"abc"), L"abc", L"abc"},
    {"string without terminator", REG_SZ, Utf16(L"abc", false), L"abc", L"abc"},
    {"string of odd size", REG_SZ, Bytes{'a', 0, 'b', 0, 'c'}, L"ab", L"ab"},
    {"string of one byte", REG_SZ, Bytes{'a'}, L"", L""},
    {"string up to the first NUL", REG_SZ, Utf16(std::wstring(L"a\0b", 3)), L"a", L"a"},
    {"string of a lone NUL", REG_SZ, Bytes{0, 0}, L"", L""},
    {"string with no data", REG_SZ, Bytes{}, L"", L""},
    {"string with quotes and backslashes as they are", REG_SZ, Utf16(L"\"C:\\a b\\x.exe\" /s"),
     L"\"C:\\a b\\x.exe\" /s", L"\"C:\\a b\\x.exe\" /s"},
    {"string beyond the Basic Multilingual Plane", REG_SZ, Utf16(L"\xD83D\xDE00"), L"\xD83D\xDE00", L"\xD83D\xDE00"},
    {"expand string unexpanded", REG_EXPAND_SZ, Utf16(L"%SystemRoot%\\x"), L"%SystemRoot%\\x", L"%SystemRoot%\\x"},
    {"dword 26", REG_DWORD, Bytes{26, 0, 0, 0}, L"dword:0000001A", L"26"},
    {"dword 4294967295", REG_DWORD, Bytes{0xFF, 0xFF, 0xFF, 0xFF}, L"dword:FFFFFFFF", L"-1"},
    {"dword 0", REG_DWORD, Bytes{0, 0, 0, 0}, L"dword:00000000", L"0"},
    {"dword 0x80000000", REG_DWORD, Bytes{0, 0, 0, 0x80}, L"dword:80000000", L"-2147483648"},
    {"dword of two bytes", REG_DWORD, Bytes{0x34, 0x12}, L"dword:00001234", L"4660"},
    {"dword of six bytes", REG_DWORD, Bytes{1, 0, 0, 0, 0xEE, 0xEE}, L"dword:00000001", L"1"},
    {"dword with no data", REG_DWORD, Bytes{}, L"", L""},
    {"binary", REG_BINARY, Bytes{0x0A, 0xFF, 0x00}, L"hex:0A,FF,00", L"0A,FF,00"},
    {"binary 01 AB", REG_BINARY, Bytes{0x01, 0xAB}, L"hex:01,AB", L"01,AB"},
    {"binary of one byte", REG_BINARY, Bytes{0x7F}, L"hex:7F", L"7F"},
    {"empty binary", REG_BINARY, Bytes{}, L"", L""},
    {"multi-string a, b", REG_MULTI_SZ, Bytes{'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}, L"hex:61,00,00,00,62,00,00,00,00,00",
     L"61,00,00,00,62,00,00,00,00,00"},
    {"multi-string without its final NUL", REG_MULTI_SZ, Bytes{'a', 0, 0, 0, 'b', 0}, L"hex:61,00,00,00,62,00",
     L"61,00,00,00,62,00"},
    {"qword", REG_QWORD, Bytes{0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}, L"hex:EF,CD,AB,89,67,45,23,01",
     L"EF,CD,AB,89,67,45,23,01"},
    {"none type", REG_NONE, Bytes{0x00, 0x10}, L"hex:00,10", L"00,10"},
    {"none type without data", REG_NONE, Bytes{}, L"", L""},
    {"big-endian dword", REG_DWORD_BIG_ENDIAN, Bytes{0, 0, 0, 26}, L"hex:00,00,00,1A", L"00,00,00,1A"},
    {"resource list", REG_RESOURCE_LIST, Bytes{1, 2, 3}, L"hex:01,02,03", L"01,02,03"},
    {"type unknown to Windows", 0x1234, Bytes{0xC3}, L"hex:C3", L"C3"},
};

TEST(RegistryData, EveryTypeInBothNotations)
{
    for (const DataCase& c : DataCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(regdata::AsText(c.type, c.data, true), c.reg);
        EXPECT_EQ(regdata::AsText(c.type, c.data, false), c.plain);
    }
}

TEST(RegistryData, ByteListsAreThreeCharactersPerByteLessOne)
{
    for (size_t n = 1; n <= 300; n += 37) {
        const Bytes data(n, 0x5A);
        EXPECT_EQ(regdata::Hex(data).size(), 3 * n - 1);
        EXPECT_EQ(regdata::AsText(REG_BINARY, data, true).size(), 3 * n - 1 + 4);
    }
}

TEST(RegistryData, KindsOfTheWindowsTypes)
{
    const struct {
        DWORD type;
        TValueKind kind;
    } cases[] = {
        {REG_SZ, vkText},          {REG_EXPAND_SZ, vkExpandText},   {REG_DWORD, vkDword},
        {REG_BINARY, vkBinary},    {REG_NONE, vkUnknown},           {REG_MULTI_SZ, vkUnknown},
        {REG_QWORD, vkUnknown},    {REG_DWORD_BIG_ENDIAN, vkUnknown}, {REG_LINK, vkUnknown},
        {REG_RESOURCE_LIST, vkUnknown}, {0xFFFF, vkUnknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(regdata::KindOfType(c.type), c.kind) << "type " << c.type;
}

TEST(RegistryData, PathsThatNameTheThirtyTwoBitBranch)
{
    const struct {
        const wchar_t* path;
        bool names;
    } cases[] = {
        {L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", true},
        {L"\\software\\WOW6432NODE\\x", true},
        {L"\\SOFTWARE\\Classes\\wow6432node", true},
        {L"Wow6432NodeX", true},  // "anywhere" in the path
        {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", false},
        {L"SOFTWARE\\Wow643Node", false},
        {L"", false},
        {L"\\", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathNamesWow6432Node(c.path), c.names) << std::string(c.path, c.path + wcslen(c.path));
}

// ---------------------------------------------------------------------------
// Construction and views

TEST(Registry, StartsAtTheCurrentUserWithAllAccess)
{
    TRegistry reg;
    EXPECT_EQ(reg.RootHandle(), HKEY_CURRENT_USER);
    EXPECT_EQ(reg.KeyHandle(), nullptr);
    EXPECT_EQ(reg.KeyPath(), L"");
    EXPECT_EQ(reg.AccessMask(), REGSAM(0xF003F));
    EXPECT_TRUE(reg.AutoView());
    EXPECT_TRUE(reg.OnWow64());  // both builds run on 64-bit Windows

    TRegistry reader(KEY_READ);
    EXPECT_EQ(reader.AccessMask(), REGSAM(KEY_READ));
}

TEST(Registry, EachPathIsReadInItsOwnView)
{
    {
        UniqueKey only32 = CreateKey(HKEY_LOCAL_MACHINE, Base + L"\\Views", Branch32);
        SetText(only32.get(), L"Only32", L"thirty-two");
        SetText(only32.get(), L"Both", L"32");
        UniqueKey only64 = CreateKey(HKEY_LOCAL_MACHINE, Base + L"\\Views", Native);
        SetText(only64.get(), L"Only64", L"sixty-four");
        SetText(only64.get(), L"Both", L"64");
    }
    TRegistry reg;
    reg.SetRoot(HKEY_LOCAL_MACHINE);

    ASSERT_TRUE(reg.OpenPath(L"\\SOFTWARE\\VexloRegTest\\Views"));
    EXPECT_EQ(reg.AccessMask() & KEY_WOW64_64KEY, REGSAM(KEY_WOW64_64KEY));
    EXPECT_TRUE(reg.ValuePresent(L"Only64"));
    EXPECT_FALSE(reg.ValuePresent(L"Only32"));
    EXPECT_EQ(reg.ReadText(L"Both"), L"64");

    ASSERT_TRUE(reg.OpenPath(L"\\SOFTWARE\\Wow6432Node\\VexloRegTest\\Views"));
    EXPECT_EQ(reg.AccessMask() & KEY_WOW64_64KEY, REGSAM(0));
    EXPECT_EQ(reg.AccessMask() & KEY_WOW64_32KEY, REGSAM(0));  // never touched
    EXPECT_TRUE(reg.ValuePresent(L"Only32"));
    EXPECT_FALSE(reg.ValuePresent(L"Only64"));
    EXPECT_EQ(reg.ValueAsText(L"Only32", true), L"thirty-two");

    // Any letter case names the branch.
    ASSERT_TRUE(reg.OpenPath(L"\\software\\WOW6432NODE\\VexloRegTest\\Views"));
    EXPECT_EQ(reg.ReadText(L"Both"), L"32");

    // And back again: the view follows every open.
    ASSERT_TRUE(reg.OpenPath(L"\\SOFTWARE\\VexloRegTest\\Views"));
    EXPECT_EQ(reg.ReadText(L"Both"), L"64");
}

TEST(Registry, RelativeOpensBelowTheThirtyTwoBitBranchStayThere)
{
    {
        UniqueKey key32 = CreateKey(HKEY_LOCAL_MACHINE, Base + L"\\Rel\\Child", Branch32);
        SetText(key32.get(), L"Where", L"32");
        UniqueKey key64 = CreateKey(HKEY_LOCAL_MACHINE, Base + L"\\Rel\\Child", Native);
        SetText(key64.get(), L"Where", L"64");
    }
    TRegistry reg;
    reg.SetRoot(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath(L"\\SOFTWARE\\Wow6432Node\\VexloRegTest\\Rel"));
    ASSERT_TRUE(reg.OpenPath(L"Child"));
    EXPECT_EQ(reg.KeyPath(), L"SOFTWARE\\Wow6432Node\\VexloRegTest\\Rel\\Child");
    EXPECT_EQ(reg.AccessMask() & KEY_WOW64_64KEY, REGSAM(0));
    EXPECT_EQ(reg.ReadText(L"Where"), L"32");

    ASSERT_TRUE(reg.OpenPath(L"\\SOFTWARE\\VexloRegTest\\Rel"));
    ASSERT_TRUE(reg.OpenPath(L"Child"));
    EXPECT_EQ(reg.KeyPath(), L"SOFTWARE\\VexloRegTest\\Rel\\Child");
    EXPECT_EQ(reg.ReadText(L"Where"), L"64");
}

TEST(Registry, WithoutAutoViewTheProcessSeesItsNaturalView)
{
    {
        UniqueKey key32 = CreateKey(HKEY_LOCAL_MACHINE, Base + L"\\Natural", Branch32);
        SetText(key32.get(), L"Where", L"32");
        UniqueKey key64 = CreateKey(HKEY_LOCAL_MACHINE, Base + L"\\Natural", Native);
        SetText(key64.get(), L"Where", L"64");
    }
    TRegistry reg(KEY_READ);
    reg.SetAutoView(false);
    reg.SetRoot(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath(L"\\SOFTWARE\\VexloRegTest\\Natural"));
    EXPECT_EQ(reg.AccessMask(), REGSAM(KEY_READ));
    EXPECT_EQ(reg.ReadText(L"Where"), Is32BitBuild() ? L"32" : L"64");
}

// On 32-bit Windows IsWow64 is false: one registry, no view bit ever.
TEST(Registry, OnThirtyTwoBitWindowsNoViewIsChosen)
{
    {
        UniqueKey key32 = CreateKey(HKEY_LOCAL_MACHINE, Base + L"\\Plain", Branch32);
        SetText(key32.get(), L"Where", L"32");
        UniqueKey key64 = CreateKey(HKEY_LOCAL_MACHINE, Base + L"\\Plain", Native);
        SetText(key64.get(), L"Where", L"64");
    }
    TRegistry reg(KEY_ALL_ACCESS, false);
    EXPECT_FALSE(reg.OnWow64());
    reg.SetRoot(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath(L"\\SOFTWARE\\VexloRegTest\\Plain"));
    EXPECT_EQ(reg.AccessMask(), REGSAM(KEY_ALL_ACCESS));
    EXPECT_EQ(reg.ReadText(L"Where"), Is32BitBuild() ? L"32" : L"64");
    reg.OpenPath(L"\\SOFTWARE\\Wow6432Node");
    EXPECT_EQ(reg.AccessMask(), REGSAM(KEY_ALL_ACCESS));
    ASSERT_TRUE(reg.OpenPathForReading(L"\\SOFTWARE\\VexloRegTest\\Plain"));
    EXPECT_EQ(reg.AccessMask(), REGSAM(KEY_READ));
}

// ---------------------------------------------------------------------------
// Opening

TEST(Registry, OpenPathJoinsRelativePathsAndNeverCreates)
{
    CreateKey(HKEY_CURRENT_USER, L"Software\\VexloRegTest\\A\\B\\C", 0);
    TRegistry reg;  // HKEY_CURRENT_USER
    ASSERT_TRUE(reg.OpenPath(L"Software\\VexloRegTest"));  // relative, nothing open: below the root
    EXPECT_EQ(reg.KeyPath(), L"Software\\VexloRegTest");
    ASSERT_TRUE(reg.OpenPath(L"A"));
    EXPECT_EQ(reg.KeyPath(), L"Software\\VexloRegTest\\A");
    ASSERT_TRUE(reg.OpenPath(L"B\\C"));
    EXPECT_EQ(reg.KeyPath(), L"Software\\VexloRegTest\\A\\B\\C");
    ASSERT_TRUE(reg.OpenPath(L"\\Software\\VexloRegTest\\A"));
    EXPECT_EQ(reg.KeyPath(), L"Software\\VexloRegTest\\A");

    const HKEY before = reg.KeyHandle();
    EXPECT_FALSE(reg.OpenPath(L"Missing"));
    EXPECT_FALSE(reg.OpenPath(L"\\Software\\VexloRegTest\\Missing"));
    EXPECT_FALSE(reg.OpenPathForReading(L"Missing"));
    EXPECT_EQ(reg.KeyHandle(), before);
    EXPECT_EQ(reg.KeyPath(), L"Software\\VexloRegTest\\A");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\VexloRegTest\\A\\Missing", 0));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\VexloRegTest\\Missing", 0));
}

TEST(Registry, ChangingTheRootClosesTheOpenKey)
{
    CreateKey(HKEY_CURRENT_USER, L"Software\\VexloRegTest\\Root", 0);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenPath(L"\\Software\\VexloRegTest\\Root"));
    reg.SetRoot(HKEY_CURRENT_USER);  // the same root: nothing changes
    EXPECT_NE(reg.KeyHandle(), nullptr);
    EXPECT_EQ(reg.KeyPath(), L"Software\\VexloRegTest\\Root");
    reg.SetRoot(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(reg.RootHandle(), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(reg.KeyHandle(), nullptr);
    EXPECT_EQ(reg.KeyPath(), L"");
    ASSERT_TRUE(reg.OpenPath(L"SOFTWARE"));  // nothing open: relative to the new root
    EXPECT_EQ(reg.KeyPath(), L"SOFTWARE");
    reg.CloseCurrent();
    EXPECT_EQ(reg.KeyHandle(), nullptr);
    EXPECT_EQ(reg.KeyPath(), L"");
}

struct ReadAccessCase {
    const char* what;
    DWORD granted;   // the DACL's only entry
    REGSAM expected;  // the mask OpenPathForReading settles on (without the view bit)
};

TEST(Registry, OpenForReadingFallsBackToFewerRights)
{
    const ReadAccessCase cases[] = {
        {"all access", KEY_ALL_ACCESS, KEY_READ},
        {"read without notify", STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS,
         STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS},
        {"query value only", KEY_QUERY_VALUE, KEY_QUERY_VALUE},
    };
    int n = 0;
    for (const ReadAccessCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring path = Base + L"\\Access" + std::to_wstring(++n);
        {
            UniqueKey key = CreateKey(HKEY_LOCAL_MACHINE, path, Native);
            SetText(key.get(), L"Name", L"value");
            UniqueKey child = CreateKey(key.get(), L"Child", 0);
            SetText(child.get(), L"Name", L"child");
            GrantOnly(key.get(), c.granted);
        }
        // The key really refuses what it does not grant.
        UniqueKey probe;
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | Native, probe.put()) == ERROR_SUCCESS,
                  c.expected == KEY_READ);
        probe.reset();

        TRegistry reg;
        reg.SetRoot(HKEY_LOCAL_MACHINE);
        if (c.expected != KEY_READ) {
            EXPECT_FALSE(reg.OpenPath(L"\\" + path));  // all access is refused
        }
        ASSERT_TRUE(reg.OpenPathForReading(L"\\" + path));
        EXPECT_EQ(reg.AccessMask(), c.expected | KEY_WOW64_64KEY);
        EXPECT_EQ(reg.ReadText(L"Name"), L"value");
        // The mask stays in force: the child (which allows everything) is opened with it too.
        ASSERT_TRUE(reg.OpenPath(L"Child"));
        EXPECT_EQ(reg.AccessMask(), c.expected | KEY_WOW64_64KEY);
        EXPECT_EQ(reg.ReadText(L"Name"), L"child");
        EXPECT_EQ(RegSetValueExW(reg.KeyHandle(), L"New", 0, REG_SZ, nullptr, 0), ERROR_ACCESS_DENIED);
    }
}

TEST(Registry, AFailedOpenForReadingChangesOnlyTheViewBit)
{
    CreateKey(HKEY_LOCAL_MACHINE, Base + L"\\Stay", Native);
    TRegistry reg;
    reg.SetRoot(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath(L"\\SOFTWARE\\VexloRegTest\\Stay"));
    EXPECT_FALSE(reg.OpenPathForReading(L"\\SOFTWARE\\Wow6432Node\\VexloRegTest\\NoSuchKey"));
    EXPECT_EQ(reg.AccessMask(), REGSAM(KEY_ALL_ACCESS));
    EXPECT_EQ(reg.KeyPath(), L"SOFTWARE\\VexloRegTest\\Stay");
}

// ---------------------------------------------------------------------------
// Listing

TEST(Registry, SubKeysOfTheRealSoftwareKeyLeaveOutWow6432Node)
{
    // The native view of HKLM\SOFTWARE holds the 32-bit branch as a subkey.
    std::vector<std::wstring> raw;
    {
        UniqueKey software;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ | Native, software.put()), ERROR_SUCCESS);
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            if (RegEnumKeyExW(software.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            raw.emplace_back(name, length);
        }
    }
    const auto isNode = [](const std::wstring& name) { return _wcsicmp(name.c_str(), L"Wow6432Node") == 0; };
    ASSERT_TRUE(std::any_of(raw.begin(), raw.end(), isNode));

    TRegistry reg(KEY_READ);
    reg.SetRoot(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenPath(L"\\SOFTWARE"));
    std::vector<std::wstring> listed{L"stale entry"};
    reg.ListSubKeyNames(listed);
    EXPECT_FALSE(std::any_of(listed.begin(), listed.end(), isNode));
    EXPECT_EQ(listed.size(), raw.size() - 1);
    EXPECT_TRUE(std::find(listed.begin(), listed.end(), L"Microsoft") != listed.end());
    EXPECT_TRUE(reg.ChildKeysExist());
}

TEST(Registry, SubKeysNamedWow6432NodeWithBlanksOrAnyCaseAreLeftOut)
{
    const std::wstring path = L"Software\\VexloRegTest\\Names";
    {
        UniqueKey key = CreateKey(HKEY_CURRENT_USER, path, 0);
        for (const wchar_t* name : {L"Alpha", L" WOW6432NODE ", L"wow6432node", L"\tWow6432Node", L"Wow6432NodeX",
                                    L"My Wow6432Node", L" Beta "})
            CreateKey(key.get(), name, 0);
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenPath(L"\\" + path));
    std::vector<std::wstring> listed;
    reg.ListSubKeyNames(listed);
    // Names come back as they are, blanks included.
    EXPECT_EQ(Sorted(listed), Sorted({L"Alpha", L"Wow6432NodeX", L"My Wow6432Node", L" Beta "}));
}

TEST(Registry, ValueNamesIncludeTheDefaultValueAsEmpty)
{
    const std::wstring path = L"Software\\VexloRegTest\\Values";
    {
        UniqueKey key = CreateKey(HKEY_CURRENT_USER, path, 0);
        SetText(key.get(), L"", L"default");
        SetText(key.get(), L"One", L"1");
        SetDword(key.get(), L"Two", 2);
        SetText(key.get(), std::wstring(300, L'v'), L"long name");
    }
    TRegistry reg;
    std::vector<std::wstring> listed{L"stale entry"};
    reg.ListValueNames(listed);  // nothing open
    EXPECT_TRUE(listed.empty());
    reg.ListSubKeyNames(listed);
    EXPECT_TRUE(listed.empty());
    EXPECT_FALSE(reg.ChildKeysExist());

    ASSERT_TRUE(reg.OpenPath(L"\\" + path));
    reg.ListValueNames(listed);
    EXPECT_EQ(Sorted(listed), Sorted({L"", L"One", L"Two", std::wstring(300, L'v')}));
    EXPECT_FALSE(reg.ChildKeysExist());
    reg.ListSubKeyNames(listed);
    EXPECT_TRUE(listed.empty());
}

// ---------------------------------------------------------------------------
// Reading values

class RegistryValues : public ::testing::Test {
protected:
    void SetUp() override
    {
        FKey = CreateKey(HKEY_CURRENT_USER, L"Software\\VexloRegTest\\Read", 0);
        ASSERT_TRUE(FReg.OpenPath(L"\\Software\\VexloRegTest\\Read"));
    }
    UniqueKey FKey;
    TRegistry FReg;
};

TEST_F(RegistryValues, InformationWithoutReadingTheData)
{
    SetText(FKey.get(), L"Text", L"abc");
    SetText(FKey.get(), L"Expand", L"%TEMP%", REG_EXPAND_SZ);
    SetDword(FKey.get(), L"Number", 7);
    SetRaw(FKey.get(), L"Blob", REG_BINARY, Bytes{1, 2, 3});
    SetRaw(FKey.get(), L"Multi", REG_MULTI_SZ, Bytes{'a', 0, 0, 0, 0, 0});
    SetRaw(FKey.get(), L"Empty", REG_SZ, Bytes{});

    const struct {
        const wchar_t* name;
        TValueKind kind;
        int32_t size;
    } cases[] = {
        {L"Text", vkText, 8},   {L"Expand", vkExpandText, 14}, {L"Number", vkDword, 4},
        {L"Blob", vkBinary, 3}, {L"Multi", vkUnknown, 6},      {L"Empty", vkText, 0},
    };
    for (const auto& c : cases) {
        const auto info = FReg.QueryValueInfo(c.name);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->Kind, c.kind);
        EXPECT_EQ(info->DataSize, c.size);
        EXPECT_EQ(FReg.ValueKind(c.name), c.kind);
        EXPECT_EQ(FReg.ValueSize(c.name), c.size);
        EXPECT_TRUE(FReg.ValuePresent(c.name));
    }
    EXPECT_FALSE(FReg.QueryValueInfo(L"Missing").has_value());
    EXPECT_EQ(FReg.ValueSize(L"Missing"), -1);
    EXPECT_EQ(FReg.ValueKind(L"Missing"), vkUnknown);
    EXPECT_FALSE(FReg.ValuePresent(L"Missing"));
}

TEST_F(RegistryValues, ReadTextGivesStringsAndRaisesForOtherKinds)
{
    SetText(FKey.get(), L"Text", L"abc");
    SetText(FKey.get(), L"Expand", L"%SystemRoot%\\x", REG_EXPAND_SZ);
    SetRaw(FKey.get(), L"Empty", REG_SZ, Bytes{});
    SetRaw(FKey.get(), L"Unterminated", REG_SZ, Utf16(L"xyz", false));
    SetDword(FKey.get(), L"Number", 26);
    SetRaw(FKey.get(), L"Blob", REG_BINARY, Bytes{1});

    EXPECT_EQ(FReg.ReadText(L"Text"), L"abc");
    EXPECT_EQ(FReg.ReadText(L"Expand"), L"%SystemRoot%\\x");
    EXPECT_EQ(FReg.ReadText(L"Empty"), L"");
    EXPECT_EQ(FReg.ReadText(L"Missing"), L"");
    EXPECT_EQ(FReg.ReadText(L"Unterminated"), L"xyz");
    try {
        FReg.ReadText(L"Number");
        ADD_FAILURE() << "no exception for a DWORD";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.Message(), L"Invalid data type for 'Number'");
        EXPECT_STREQ(e.what(), "Invalid data type for 'Number'");
    }
    EXPECT_THROW(FReg.ReadText(L"Blob"), ERegistryException);
}

TEST_F(RegistryValues, LongStringsAreReadWhole)
{
    for (const size_t length : {size_t(1023), size_t(1024), size_t(1500), size_t(70000)}) {
        SCOPED_TRACE(length);
        std::wstring text(length, L'x');
        for (size_t i = 0; i < length; i += 97)
            text[i] = static_cast<wchar_t>(L'a' + i % 26);
        SetText(FKey.get(), L"Long", text);
        SetText(FKey.get(), L"LongExpand", text, REG_EXPAND_SZ);
        EXPECT_EQ(FReg.ReadText(L"Long"), text);
        EXPECT_EQ(FReg.ValueAsText(L"Long", true), text);
        EXPECT_EQ(FReg.ValueAsText(L"LongExpand", false), text);
    }
}

TEST_F(RegistryValues, ReadDwordTakesOnlyDwords)
{
    SetDword(FKey.get(), L"Number", 0xFFFFFFFF);
    SetDword(FKey.get(), L"Small", 26);
    SetRaw(FKey.get(), L"Short", REG_DWORD, Bytes{0x34, 0x12});
    SetText(FKey.get(), L"Text", L"26");
    EXPECT_EQ(FReg.ReadDword(L"Number"), -1);
    EXPECT_EQ(FReg.ReadDword(L"Small"), 26);
    EXPECT_EQ(FReg.ReadDword(L"Short"), 0x1234);
    EXPECT_EQ(FReg.ReadDword(L"Text"), 0);
    EXPECT_EQ(FReg.ReadDword(L"Missing"), 0);
}

TEST_F(RegistryValues, ReadBytesChecksKindAndRoom)
{
    SetRaw(FKey.get(), L"Blob", REG_BINARY, Bytes{0xDE, 0xAD, 0xBE});
    SetRaw(FKey.get(), L"Qword", REG_QWORD, Bytes{1, 2, 3, 4, 5, 6, 7, 8});
    SetText(FKey.get(), L"Text", L"abc");
    SetDword(FKey.get(), L"Number", 1);

    Bytes buffer(8, 0x55);
    EXPECT_EQ(FReg.ReadBytes(L"Blob", buffer), 3);
    EXPECT_EQ(buffer, (Bytes{0xDE, 0xAD, 0xBE, 0x55, 0x55, 0x55, 0x55, 0x55}));
    EXPECT_EQ(FReg.ReadBytes(L"Qword", buffer), 8);
    EXPECT_EQ(buffer, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));

    Bytes untouched(8, 0x55);
    EXPECT_EQ(FReg.ReadBytes(L"Missing", untouched), 0);
    EXPECT_EQ(untouched, Bytes(8, 0x55));

    const auto message = [&](const wchar_t* name, size_t room) {
        Bytes small(room);
        try {
            FReg.ReadBytes(name, small);
        } catch (const ERegistryException& e) {
            return e.Message();
        }
        return std::wstring(L"no exception");
    };
    EXPECT_EQ(message(L"Blob", 2), L"Invalid data type for 'Blob'");
    EXPECT_EQ(message(L"Text", 64), L"Invalid data type for 'Text'");
    EXPECT_EQ(message(L"Number", 64), L"Invalid data type for 'Number'");
}

TEST_F(RegistryValues, EveryTypeAsTextInBothNotations)
{
    for (const DataCase& c : DataCases) {
        SCOPED_TRACE(c.what);
        const std::wstring name(c.what, c.what + strlen(c.what));
        SetRaw(FKey.get(), name, c.type, c.data);
        EXPECT_EQ(FReg.ValueAsText(name, true), c.reg);
        EXPECT_EQ(FReg.ValueAsText(name, false), c.plain);
    }
    EXPECT_EQ(FReg.ValueAsText(L"Missing", true), L"");
    EXPECT_EQ(FReg.ValueAsText(L"Missing", false), L"");
}

TEST(Registry, WithNoKeyOpenNothingIsRead)
{
    TRegistry reg;
    EXPECT_FALSE(reg.ValuePresent(L""));
    EXPECT_EQ(reg.ReadText(L"x"), L"");
    EXPECT_EQ(reg.ValueAsText(L"x", true), L"");
    Bytes buffer(4, 0x55);
    EXPECT_EQ(reg.ReadBytes(L"x", buffer), 0);
}

// ---------------------------------------------------------------------------
// File-system redirection on 32-bit Windows. Looked-up functions stay for the
// life of the process, so this is the only test here that looks them up.

TEST(Redirection, OnThirtyTwoBitWindowsThePairDoesNothing)
{
    void* const untouched = reinterpret_cast<void*>(0x1234);
    void* old = untouched;
    LoadWOW64Funcs(false);
    EXPECT_FALSE(DisableFsRedirection(&old));
    EXPECT_EQ(old, untouched);
    EXPECT_FALSE(RevertFsRedirection(old));

    // This machine is 64-bit Windows: told so, the 32-bit build can switch.
    LoadWOW64Funcs(true);
    old = nullptr;
    EXPECT_EQ(DisableFsRedirection(&old), Is32BitBuild());
    EXPECT_EQ(RevertFsRedirection(old), Is32BitBuild());
}
