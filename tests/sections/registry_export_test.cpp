// The registry exports on the real registry of the test's prefix. Both builds
// run on 64-bit Windows: the i686 build as a WOW64 process, whose natural view
// is the 32-bit branch, and yet both must give the same export: the 64-bit
// branch under the plain path, the 32-bit branch once, under Wow6432Node.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/registry.h"
#include "sections/registry_export.h"
#include "sections/report_lines.h"
#include "tests/support/test_folder.h"

namespace {

using Bytes = std::vector<BYTE>;
using Lines = std::vector<std::wstring>;

const std::wstring Uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring Interfaces = L"SYSTEM\\CurrentControlSet\\services\\Tcpip\\Parameters\\Interfaces";

UniqueKey CreateKey(HKEY root, const std::wstring& path, REGSAM view)
{
    UniqueKey key;
    EXPECT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    return key;
}

void Set(HKEY key, const wchar_t* name, DWORD type, const Bytes& data)
{
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

Bytes Utf16(std::wstring_view text)
{
    Bytes bytes;
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

void SetText(HKEY key, const wchar_t* name, std::wstring_view text, DWORD type = REG_SZ)
{
    Set(key, name, type, Utf16(text));
}

void SetDword(HKEY key, const wchar_t* name, DWORD value)
{
    Set(key, name, REG_DWORD, Bytes{BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)});
}

// The bytes of a report file, encoded here rather than by the program.
std::string ExpectedFile(const Lines& lines)
{
    std::string bytes("\xFF\xFE", 2);
    for (const auto& line : lines)
        for (const wchar_t c : line + L"\r\n") {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
    return bytes;
}

// What the driver writes for a registry step: the header, then the step's lines.
template <typename Step>
std::string ExportFile(Step step)
{
    TReportLines lines{L"Windows Registry Editor Version 5.00"};
    step(lines);
    TTestFolder folder;
    WriteReportFile(folder / L"export.txt", lines);
    return ReadFileBytes(folder / L"export.txt");
}

}  // namespace

TEST(RegistryLines, StringsDoubleBackslashesOnlyOtherValuesAsRendered)
{
    EXPECT_EQ(RegStringLine(L"InstallLocation", L"C:\\Program Files\\App\\"),
              L"\"InstallLocation\"=\"C:\\\\Program Files\\\\App\\\\\"");
    EXPECT_EQ(RegStringLine(L"", L"x"), L"\"\"=\"x\"");
    EXPECT_EQ(RegStringLine(L"Q", L"a \"b\""), L"\"Q\"=\"a \"b\"\"");
    EXPECT_EQ(RegStringLine(L"E", L""), L"\"E\"=\"\"");
    EXPECT_EQ(RegStringLine(L"Two", L"\\\\server"), L"\"Two\"=\"\\\\\\\\server\"");
    EXPECT_EQ(RegOtherLine(L"NoModify", L"dword:00000001"), L"\"NoModify\"=dword:00000001");
    EXPECT_EQ(RegOtherLine(L"Empty", L""), L"\"Empty\"=");
}

// Values are created in name order so that the listing order is the same on
// Windows (creation order) and Wine (name order).
TEST(DoCollectEx, UninstallKeysOfBothBranchesAndTheUserWholeFile)
{
    {
        const auto app = CreateKey(HKEY_LOCAL_MACHINE, Uninstall + L"\\VexloApp", KEY_WOW64_64KEY);
        SetText(app.get(), L"", L"x");
        Set(app.get(), L"Big", REG_QWORD, Bytes{8, 7, 6, 5, 4, 3, 2, 1});
        Set(app.get(), L"Blob", REG_BINARY, Bytes{0x00, 0xFF});
        SetText(app.get(), L"DisplayName", L"App 1.0");
        Set(app.get(), L"Empty", REG_BINARY, Bytes{});
        SetText(app.get(), L"InstallLocation", L"C:\\Program Files\\App\\");
        Set(app.get(), L"Multi", REG_MULTI_SZ, Bytes{'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
        SetDword(app.get(), L"NoModify", 1);
        SetText(app.get(), L"Path", L"%ProgramFiles%\\x", REG_EXPAND_SZ);
        SetText(app.get(), L"Quote", L"say \"hi\"");
        const auto alpha = CreateKey(HKEY_LOCAL_MACHINE, Uninstall + L"\\VexloGroup\\Alpha", KEY_WOW64_64KEY);
        SetDword(alpha.get(), L"v", 0xFFFFFFFF);
        CreateKey(HKEY_LOCAL_MACHINE, Uninstall + L"\\VexloGroup\\Beta", KEY_WOW64_64KEY);
        const auto only32 = CreateKey(HKEY_LOCAL_MACHINE, Uninstall + L"\\Vexlo32Only", KEY_WOW64_32KEY);
        SetText(only32.get(), L"DisplayName", L"Only 32");
        const auto user = CreateKey(HKEY_CURRENT_USER, Uninstall + L"\\VexloUser", 0);
        SetText(user.get(), L"DisplayName", L"User app");
    }

    const std::wstring m = L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const std::wstring m32 = L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const std::wstring u = L"[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const Lines expected{
        L"Windows Registry Editor Version 5.00",
        L"",
        m + L"]",
        L"",
        m + L"\\VexloApp]",
        L"\"\"=\"x\"",
        L"\"Big\"=hex:08,07,06,05,04,03,02,01",
        L"\"Blob\"=hex:00,FF",
        L"\"DisplayName\"=\"App 1.0\"",
        L"\"Empty\"=",
        L"\"InstallLocation\"=\"C:\\\\Program Files\\\\App\\\\\"",
        L"\"Multi\"=hex:61,00,00,00,62,00,00,00,00,00",
        L"\"NoModify\"=dword:00000001",
        L"\"Path\"=\"%ProgramFiles%\\\\x\"",
        L"\"Quote\"=\"say \"hi\"\"",
        L"",
        m + L"\\VexloGroup]",
        L"",
        m + L"\\VexloGroup\\Alpha]",
        L"\"v\"=dword:FFFFFFFF",
        L"",
        m + L"\\VexloGroup\\Beta]",
        L"",
        m32 + L"]",
        L"",
        m32 + L"\\Vexlo32Only]",
        L"\"DisplayName\"=\"Only 32\"",
        L"",
        u + L"]",
        L"",
        u + L"\\VexloUser]",
        L"\"DisplayName\"=\"User app\"",
    };
    EXPECT_EQ(ExportFile(DoCollectEx), ExpectedFile(expected));
}

TEST(DoCollectDNS, InterfaceKeysWholeFile)
{
    {
        const auto first = CreateKey(HKEY_LOCAL_MACHINE, Interfaces + L"\\{0A1B}", KEY_WOW64_64KEY);
        SetText(first.get(), L"DhcpIPAddress", L"10.0.2.15");
        SetDword(first.get(), L"EnableDHCP", 1);
        Set(first.get(), L"IPAddress", REG_MULTI_SZ, Bytes{'1', 0, 0, 0, 0, 0});
        SetText(first.get(), L"NameServer", L"");
        CreateKey(HKEY_LOCAL_MACHINE, Interfaces + L"\\{2C3D}", KEY_WOW64_64KEY);
    }
    const std::wstring key = L"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\Tcpip\\Parameters\\Interfaces";
    const Lines expected{
        L"Windows Registry Editor Version 5.00",
        L"",
        key + L"]",
        L"",
        key + L"\\{0A1B}]",
        L"\"DhcpIPAddress\"=\"10.0.2.15\"",
        L"\"EnableDHCP\"=dword:00000001",
        L"\"IPAddress\"=hex:31,00,00,00,00,00",
        L"\"NameServer\"=\"\"",
        L"",
        key + L"\\{2C3D}]",
    };
    EXPECT_EQ(ExportFile(DoCollectDNS), ExpectedFile(expected));
}

TEST(ExportKey, MissingKeyAddsNothingAndNoWow6432NodeIsFollowed)
{
    TRegistry registry;
    registry.SetRoot(HKEY_LOCAL_MACHINE);
    TReportLines lines{L"before"};
    ExportKey(registry, lines, L"SOFTWARE\\VexloNoSuchKey", L"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(lines, (TReportLines{L"before"}));

    // A key holding a Wow6432Node subkey: the export leaves that subkey out.
    CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VexloNest\\Wow6432Node\\Inner", KEY_WOW64_64KEY);
    CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VexloNest\\Plain", KEY_WOW64_64KEY);
    ExportKey(registry, lines, L"SOFTWARE\\VexloNest", L"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(lines, (TReportLines{L"before", L"", L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\VexloNest]", L"",
                                   L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\VexloNest\\Plain]"}));
}
