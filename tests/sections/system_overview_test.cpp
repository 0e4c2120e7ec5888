#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/handles.h"
#include "platform/locale_text.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/process_identity.h"
#include "platform/windows_version.h"
#include "sections/os_description.h"
#include "sections/system_overview.h"
#include "tests/support/suspended_child.h"
#include "tests/support/test_folder.h"

namespace {

bool Is32BitBuild()
{
    const char* arch = std::getenv("VEXLO_ARCH");
    return arch && std::string(arch) == "i686";
}

TOSDescriptionFacts Facts(DWORD platform, DWORD major, DWORD minor, DWORD build, BYTE product)
{
    TOSDescriptionFacts facts;
    facts.PlatformId = platform;
    facts.Major = major;
    facts.Minor = minor;
    facts.Build = build;
    facts.ProductType = product;
    return facts;
}

constexpr DWORD NT = VER_PLATFORM_WIN32_NT, NineX = VER_PLATFORM_WIN32_WINDOWS;
constexpr BYTE Workstation = VER_NT_WORKSTATION, Server = VER_NT_SERVER, Controller = VER_NT_DOMAIN_CONTROLLER;

// A scratch value under the current user's WindowMetrics key, removed afterwards.
class TAppliedDpiValue {
public:
    TAppliedDpiValue()
    {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop\\WindowMetrics", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, FKey.put(), nullptr);
    }
    ~TAppliedDpiValue() { RegDeleteValueW(FKey.get(), L"AppliedDPI"); }
    void Set(DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(RegSetValueExW(FKey.get(), L"AppliedDPI", 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }

private:
    UniqueKey FKey;
};

}  // namespace

TEST(OSDescription, BaseNameForEveryRowOfTheTable)
{
    struct Case {
        DWORD platform, major, minor, build;
        BYTE product;
        int index;
        const wchar_t* name;
    };
    const Case cases[] = {
        {VER_PLATFORM_WIN32s, 3, 10, 0, 0, 0, L"None"},
        {NineX, 3, 95, 0, 0, 0, L"None"},
        {NineX, 4, 0, 950, 0, 1, L"Windows 95"},
        {NineX, 4, 0, 1000, 0, 1, L"Windows 95"},
        {NineX, 4, 0, 1111, 0, 2, L"Windows 95 OSR-2"},
        {NineX, 4, 9, 0x04000400 | 1001, 0, 2, L"Windows 95 OSR-2"},  // only the low 16 bits count
        {NineX, 4, 3, 0x0403FFFF & 0xFFFF0000, 0, 1, L"Windows 95"},
        {NineX, 4, 10, 1998, 0, 3, L"Windows 98"},
        {NineX, 4, 10, 2000, 0, 3, L"Windows 98"},
        {NineX, 4, 10, 2001, 0, 4, L"Windows 98 SE"},
        {NineX, 4, 10, 2222, 0, 4, L"Windows 98 SE"},
        {NineX, 4, 10, 2700, 0, 4, L"Windows 98 SE"},
        {NineX, 4, 10, 2701, 0, 5, L"Windows ME"},
        {NineX, 4, 11, 0, 0, 5, L"Windows ME"},
        {NineX, 4, 90, 3000, 0, 5, L"Windows ME"},
        {NineX, 4, 91, 0, 0, 6, L"Windows 9x New"},
        {NineX, 5, 0, 0, 0, 6, L"Windows 9x New"},
        {NT, 3, 51, 1057, Workstation, 7, L"Windows NT 3"},
        {NT, 4, 0, 1381, Server, 8, L"Windows NT 4"},
        {NT, 5, 0, 2195, Workstation, 9, L"Windows 2000"},
        {NT, 5, 0, 2195, Server, 9, L"Windows 2000"},
        {NT, 5, 1, 2600, Workstation, 10, L"Windows XP"},
        {NT, 5, 2, 3790, Workstation, 10, L"Windows XP"},  // XP x64
        {NT, 5, 2, 3790, Server, 11, L"Windows 2003"},
        {NT, 5, 3, 0, Controller, 11, L"Windows 2003"},
        {NT, 6, 0, 6002, Workstation, 12, L"Windows Vista"},
        {NT, 6, 0, 6002, Server, 13, L"Windows 2008"},
        {NT, 6, 1, 7601, Workstation, 14, L"Windows 7"},
        {NT, 6, 1, 7601, Controller, 15, L"Windows 2008 R2"},
        {NT, 6, 2, 9200, Workstation, 16, L"Windows NT New"},
        {NT, 6, 3, 9600, Server, 16, L"Windows NT New"},
        {NT, 10, 0, 19045, Workstation, 16, L"Windows NT New"},
        {NT, 10, 0, 22631, Workstation, 16, L"Windows NT New"},  // Windows 11
    };
    for (const Case& c : cases) {
        const TOSDescriptionFacts facts = Facts(c.platform, c.major, c.minor, c.build, c.product);
        EXPECT_EQ(OSBaseIndex(facts), c.index) << c.major << "." << c.minor << "." << c.build;
        EXPECT_EQ(OSBaseName(c.index), c.name);
        // Without suffixes, the description is the base name.
        EXPECT_EQ(OSDescriptionFor(facts), c.name) << c.major << "." << c.minor << "." << c.build;
    }
    EXPECT_EQ(OSBaseName(17), L"None");
    EXPECT_EQ(OSBaseName(-1), L"None");
}

TEST(OSDescription, SuffixesInTheirOrder)
{
    TOSDescriptionFacts seven = Facts(NT, 6, 1, 7601, Workstation);
    seven.Architecture = PROCESSOR_ARCHITECTURE_AMD64;
    seven.ServicePack = L"Service Pack 1";
    EXPECT_EQ(OSDescriptionFor(seven), L"Windows 7 x64 Service Pack 1");

    TOSDescriptionFacts ten = Facts(NT, 10, 0, 19045, Workstation);
    ten.Architecture = PROCESSOR_ARCHITECTURE_AMD64;
    EXPECT_EQ(OSDescriptionFor(ten), L"Windows NT New x64");

    TOSDescriptionFacts all = Facts(NT, 5, 2, 3790, Server);
    all.ServerR2 = all.TabletPc = all.Starter = all.MediaCenter = true;
    all.Architecture = PROCESSOR_ARCHITECTURE_AMD64;
    all.ServicePack = L"Service Pack 2";
    EXPECT_EQ(OSDescriptionFor(all), L"Windows 2003 R2 Tablet PC Starter Media Center x64 Service Pack 2");

    // Media Center only below Windows Vista; other architectures add nothing.
    TOSDescriptionFacts vista = Facts(NT, 6, 0, 6002, Workstation);
    vista.MediaCenter = true;
    vista.Architecture = PROCESSOR_ARCHITECTURE_IA64;
    EXPECT_EQ(OSDescriptionFor(vista), L"Windows Vista");
    TOSDescriptionFacts xp = Facts(NT, 5, 1, 2600, Workstation);
    xp.MediaCenter = true;
    xp.ServicePack = L"Service Pack 3";
    EXPECT_EQ(OSDescriptionFor(xp), L"Windows XP Media Center Service Pack 3");

    // The service-pack text narrowed to the low byte of each unit.
    TOSDescriptionFacts narrowed = Facts(NT, 6, 1, 7601, Workstation);
    narrowed.ServicePack = L"SP\x0131\x00e9";
    EXPECT_EQ(OSDescriptionFor(narrowed), L"Windows 7 SP1\x00e9");

    // 9x takes no suffix at all.
    TOSDescriptionFacts me = Facts(NineX, 4, 90, 3000, 0);
    me.MediaCenter = me.TabletPc = true;
    me.Architecture = PROCESSOR_ARCHITECTURE_AMD64;
    me.ServicePack = L" A ";
    EXPECT_EQ(OSDescriptionFor(me), L"Windows ME");
}

TEST(OSDescription, ThisWindowsOnce)
{
    const std::wstring description = GetOSDescription();
    EXPECT_EQ(GetOSDescription(), description);
    // Both builds run on 64-bit Windows; the 32-bit one learns it through
    // the native system information.
    EXPECT_NE(description.find(L" x64"), std::wstring::npos) << description;
    const OSVERSIONINFOEXW& version = WindowsVersion();
    const std::wstring servicePack = version.szCSDVersion;
    if (!servicePack.empty()) {
        EXPECT_EQ(description.substr(description.size() - servicePack.size() - 1), L" " + servicePack);
    }
}

TEST(OverviewNumbers, MegabytesAndGigabytes)
{
    EXPECT_EQ(BytesToMB(0), 0u);
    EXPECT_EQ(BytesToMB(1048575), 0u);
    EXPECT_EQ(BytesToMB(1048576), 1u);
    EXPECT_EQ(BytesToMB(0xFFFFFFFFFFFFFFFFULL), 17592186044415ULL);

    struct Case {
        uint64_t bytes;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {500107862016ULL, L"465.76"},
        {1ULL << 30, L"1.00"},             // exactly 1 GiB
        {128ULL << 20, L"0.13"},           // 0.125 GB: half rounds away from zero
        {(128ULL << 20) - 1, L"0.12"},     // 127 MB: 0.124...
        {0, L"0.00"},
        {1048575, L"0.00"},
        {5ULL << 20, L"0.00"},             // 0.0048...
        {6ULL << 20, L"0.01"},             // 0.0058...
        {(1ULL << 40) + (1023ULL << 20), L"1025.00"},  // 1024.999 GB rounds up
        {0xFFFFFFFFFFFFFFFFULL, L"17179869184.00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatGigabytes(c.bytes, L'.'), c.expected) << c.bytes;
    EXPECT_EQ(FormatGigabytes(500107862016ULL, L','), L"465,76");
}

TEST(OverviewLines, EveryLineInOrder)
{
    TOverviewFacts facts;
    facts.Description = L"Windows 7 x64 Service Pack 1";
    facts.Major = 6;
    facts.Minor = 1;
    facts.Build = 7601;
    facts.ServicePack = L"Service Pack 1";
    facts.Language = L"German";
    facts.ComputerName = L"DESKTOP-42";
    facts.Wow64 = true;
    facts.TotalPhys = 8ULL << 30;
    facts.AvailPhys = (3ULL << 30) + 1048575;  // truncated
    facts.TotalVirtual = (2ULL << 30) - (128ULL << 10);
    facts.AvailVirtual = 1ULL << 30;
    facts.AvailExtendedVirtual = 0;
    facts.TotalPageFile = 16ULL << 30;
    facts.AvailPageFile = 10ULL << 30;
    facts.SystemDrive = L"C:";
    facts.DriveTotalBytes = 500107862016ULL;
    facts.DriveFreeBytes = 128ULL << 20;
    facts.LogonUser = L"anna";
    facts.ProcessUser = L"admin";
    facts.IntegrityLevel = 0x3000;
    facts.DpiAware = false;
    facts.ScreenWidth = 1920;
    facts.ScreenHeight = 1080;
    facts.AppliedDpi = 120;
    facts.LogPixelsY = 96;
    const TReportLines expected = {
        AsteriskRow,
        L"OS Name:\tWindows 7 x64 Service Pack 1",
        L"OS Version:\t6.1.7601",
        L"SP Version:\tService Pack 1",
        L"system lan:\tGerman",
        L"ComputerName:\tDESKTOP-42",
        L"OS Type:\t64bit",
        L"Memory Size:\t8192 MB",
        L"Free Size:\t3072 MB",
        L"VMemory Size:\t2047 MB",
        L"VFree Size:\t1024 MB",
        L"VFreeExt Size:\t0 MB",
        L"PF Size:\t16384 MB",
        L"PF Free:\t10240 MB",
        L"System Drive:\tC:",
        L"Total Space:\t465,76 GB",
        L"Free Space:\t0,13 GB",
        L"Cur Users:\tanna[admin]",
        L"User Level:\t3000",
        L"IsProcessDPIAware:\tFalse",
        L"SM_CXSCREEN:\t1920",
        L"SM_CYSCREEN:\t1080",
        L"System DPI:\t120",
        L"LOGPIXELSY:\t96",
        L"Screen param:\t1920*1080",
        L"",
    };
    EXPECT_EQ(OverviewLines(facts, L','), expected);
}

TEST(OverviewLines, LinesThatDropOrFallBack)
{
    TOverviewFacts facts;
    facts.Description = L"Windows NT New x64";
    facts.Major = 10;
    facts.Build = 19045;
    facts.SystemDrive = L"C:";
    facts.DpiAware = true;
    // No computer name, no drive figures, no users, no integrity level, 32-bit.
    const TReportLines lines = OverviewLines(facts, L'.');
    ASSERT_EQ(lines.size(), 23u);
    EXPECT_EQ(lines[3], L"SP Version:\t");
    EXPECT_EQ(lines[4], L"system lan:\t");
    EXPECT_EQ(lines[5], L"OS Type:\t32bit");
    EXPECT_EQ(lines[6], L"Memory Size:\t0 MB");
    EXPECT_EQ(lines[13], L"System Drive:\tC:");
    EXPECT_EQ(lines[14], L"Cur Users:\t[]");
    EXPECT_EQ(lines[15], L"User Level:\t0000");
    EXPECT_EQ(lines[16], L"IsProcessDPIAware:\tTrue");
    EXPECT_EQ(lines[19], L"System DPI:\t96");
    EXPECT_EQ(lines.back(), L"");

    // Without a system directory the drive line goes too, figures or not.
    facts.SystemDrive.clear();
    facts.DriveTotalBytes = facts.DriveFreeBytes = 1ULL << 30;
    const TReportLines noDrive = OverviewLines(facts, L'.');
    ASSERT_EQ(noDrive.size(), 22u);
    EXPECT_EQ(noDrive[13], L"Cur Users:\t[]");

    facts.IntegrityLevel = 0x2000;
    EXPECT_EQ(OverviewLines(facts, L'.')[14], L"User Level:\t2000");
    facts.IntegrityLevel = 0x12345;
    EXPECT_EQ(OverviewLines(facts, L'.')[14], L"User Level:\t12345");
}

TEST(AppliedDpi, TheUsersSettingElseNinetySix)
{
    TAppliedDpiValue value;
    EXPECT_EQ(GetAppliedDPI(), 96u);  // missing
    const DWORD dpi = 120;
    value.Set(REG_DWORD, &dpi, sizeof(dpi));
    EXPECT_EQ(GetAppliedDPI(), 120u);
    const wchar_t text[] = L"144";
    value.Set(REG_SZ, text, sizeof(text));
    EXPECT_EQ(GetAppliedDPI(), 96u);  // not a 32-bit integer
    const ULONGLONG wide = 144;
    value.Set(REG_QWORD, &wide, sizeof(wide));
    EXPECT_EQ(GetAppliedDPI(), 96u);
}

TEST(SystemOverview, ThisMachine)
{
    TAppliedDpiValue value;
    const DWORD dpi = 144;
    value.Set(REG_DWORD, &dpi, sizeof(dpi));

    TReportLines lines = {L"Version:x"};
    GetOSInfoEx(lines);
    ASSERT_GE(lines.size(), 27u);
    EXPECT_EQ(lines[0], L"Version:x");  // appended, nothing around it
    const TReportLines own(lines.begin() + 1, lines.end());
    ASSERT_EQ(own.size(), 26u);  // this machine has a name and a system drive
    EXPECT_EQ(own[0], AsteriskRow);
    EXPECT_EQ(own[1], L"OS Name:\t" + GetOSDescription());
    const OSVERSIONINFOEXW& version = WindowsVersion();
    EXPECT_EQ(own[2], L"OS Version:\t" + std::to_wstring(version.dwMajorVersion) + L"." +
                          std::to_wstring(version.dwMinorVersion) + L"." + std::to_wstring(version.dwBuildNumber));
    EXPECT_EQ(own[3], std::wstring(L"SP Version:\t") + version.szCSDVersion);
    EXPECT_EQ(own[4].rfind(L"system lan:\t", 0), 0u);
    EXPECT_GT(own[4].size(), 12u);
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(name, &size));
    EXPECT_EQ(own[5], std::wstring(L"ComputerName:\t") + name);
    // 64-bit Windows on both builds; the 32-bit one really is a WOW64 process.
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(wow64 != FALSE, Is32BitBuild());
    EXPECT_EQ(own[6], L"OS Type:\t64bit");

    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof(memory);
    ASSERT_TRUE(GlobalMemoryStatusEx(&memory));
    EXPECT_EQ(own[7], L"Memory Size:\t" + std::to_wstring(BytesToMB(memory.ullTotalPhys)) + L" MB");
    EXPECT_EQ(own[9], L"VMemory Size:\t" + std::to_wstring(BytesToMB(memory.ullTotalVirtual)) + L" MB");
    EXPECT_EQ(own[9], Is32BitBuild() ? L"VMemory Size:\t2047 MB" : own[9]);
    const char* const memoryNames[] = {"Free Size:", "VFree Size:", "VFreeExt Size:", "PF Size:", "PF Free:"};
    const size_t memoryLines[] = {8, 10, 11, 12, 13};
    for (size_t i = 0; i < 5; ++i) {
        const std::wstring& line = own[memoryLines[i]];
        const std::string prefix = std::string(memoryNames[i]) + "\t";
        EXPECT_EQ(line.rfind(std::wstring(prefix.begin(), prefix.end()), 0), 0u) << line;
        EXPECT_EQ(line.substr(line.size() - 3), L" MB") << line;
    }

    EXPECT_EQ(own[14], L"System Drive:\t" + GetSystemDir().substr(0, 2));
    ULARGE_INTEGER available{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW((GetSystemDir().substr(0, 2) + L"\\").c_str(), &available, &total, &free));
    EXPECT_EQ(own[15], L"Total Space:\t" + FormatGigabytes(total.QuadPart, LocaleDecimalChar()) + L" GB");
    EXPECT_EQ(own[16].rfind(L"Free Space:\t", 0), 0u);
    EXPECT_EQ(own[17], L"Cur Users:\t" + GetCurrentUserName() + L"[" + GetCurrentUserName() + L"]");
    EXPECT_EQ(own[18].rfind(L"User Level:\t", 0), 0u);
    EXPECT_GE(own[18].size(), 16u);
    EXPECT_TRUE(own[19] == L"IsProcessDPIAware:\tTrue" || own[19] == L"IsProcessDPIAware:\tFalse") << own[19];
    const std::wstring width = std::to_wstring(GetSystemMetrics(SM_CXSCREEN));
    const std::wstring height = std::to_wstring(GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(own[20], L"SM_CXSCREEN:\t" + width);
    EXPECT_EQ(own[21], L"SM_CYSCREEN:\t" + height);
    EXPECT_EQ(own[22], L"System DPI:\t144");
    EXPECT_EQ(own[23], L"LOGPIXELSY:\t" + std::to_wstring(GetLogPixelsY()));
    EXPECT_GT(GetLogPixelsY(), 0);
    EXPECT_EQ(own[24], L"Screen param:\t" + width + L"*" + height);
    EXPECT_EQ(own[25], L"");
}

TEST(SystemOverview, IntegrityLevelOfTheUsersExplorer)
{
    // An explorer.exe of this user runs (a stand-in, besides any of Wine's
    // own, which runs with the same token): the line shows its level.
    TTestFolder folder;
    const TSuspendedChild explorer(ParentFolder(GetModuleName()) + L"probe_image.exe", folder / L"explorer.exe");
    ASSERT_TRUE(explorer.Started());
    UniqueHandle own;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.put()));
    const DWORD level = GetTokenIntegrityLevel(own.get());
    ASSERT_NE(level, 0u);
    wchar_t expected[16];
    swprintf(expected, 16, L"%.4X", static_cast<unsigned>(level));
    const TReportLines lines = GetOSInfo();
    ASSERT_EQ(lines.size(), 26u);
    EXPECT_EQ(lines[18], std::wstring(L"User Level:\t") + expected);
}
