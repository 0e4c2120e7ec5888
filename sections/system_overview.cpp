#include "sections/system_overview.h"

#include <cstdio>

#include "platform/handles.h"
#include "platform/locale_text.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/process_identity.h"
#include "platform/sessions.h"
#include "platform/text.h"
#include "platform/windows_version.h"
#include "sections/os_description.h"

namespace {

std::wstring Decimal(uint64_t value)
{
    return std::to_wstring(value);
}

std::wstring MBLine(const wchar_t* name, uint64_t bytes)
{
    return std::wstring(name) + L"\t" + Decimal(BytesToMB(bytes)) + L" MB";
}

std::wstring Hex4(DWORD value)
{
    wchar_t text[16];
    swprintf(text, 16, L"%.4X", static_cast<unsigned>(value));
    return text;
}

std::wstring SystemLanguage()
{
    char name[260] = {};
    if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, name, 260) <= 0)
        return {};
    return FromCodePage(name, CP_ACP);
}

std::optional<std::wstring> ComputerName()
{
    wchar_t name[16] = {};
    DWORD size = 16;
    if (!GetComputerNameW(name, &size))
        return std::nullopt;
    return std::wstring(name, size < 16 ? size : 15);
}

bool ProcessDpiAware()
{
    if (WindowsVersion().dwMajorVersion < 6)
        return false;
    using Fn = BOOL(WINAPI*)();
    const auto fn = ProcAddress<Fn>(GetModuleHandleW(L"user32.dll"), "IsProcessDPIAware");
    return fn && fn() != FALSE;
}

TOverviewFacts ReadOverviewFacts()
{
    TOverviewFacts facts;
    const OSVERSIONINFOEXW& version = WindowsVersion();
    facts.Major = version.dwMajorVersion;
    facts.Minor = version.dwMinorVersion;
    facts.Build = version.dwBuildNumber;
    facts.ServicePack = version.szCSDVersion;
    facts.Description = GetOSDescription();
    facts.Language = SystemLanguage();
    facts.ComputerName = ComputerName();
    facts.Wow64 = IsWow64();

    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof(memory);
    if (GlobalMemoryStatusEx(&memory)) {
        facts.TotalPhys = memory.ullTotalPhys;
        facts.AvailPhys = memory.ullAvailPhys;
        facts.TotalPageFile = memory.ullTotalPageFile;
        facts.AvailPageFile = memory.ullAvailPageFile;
        facts.TotalVirtual = memory.ullTotalVirtual;
        facts.AvailVirtual = memory.ullAvailVirtual;
        facts.AvailExtendedVirtual = memory.ullAvailExtendedVirtual;
    }

    const std::wstring systemDir = GetSystemDir();
    if (!systemDir.empty()) {
        facts.SystemDrive = DrivePart(systemDir);
        ULARGE_INTEGER available{}, total{}, free{};
        if (!facts.SystemDrive.empty() &&
            GetDiskFreeSpaceExW(IncludeTrailingBackslash(facts.SystemDrive).c_str(), &available, &total, &free)) {
            facts.DriveTotalBytes = total.QuadPart;
            facts.DriveFreeBytes = available.QuadPart;
        }
    }

    facts.LogonUser = GetLogonUserName();
    facts.ProcessUser = GetProcessUserName(GetCurrentProcessId());
    {
        const UniqueHandle token = GetTokenByName(L"explorer.exe", facts.LogonUser);
        facts.IntegrityLevel = GetTokenIntegrityLevel(token.get());
    }
    facts.DpiAware = ProcessDpiAware();
    facts.ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
    facts.ScreenHeight = GetSystemMetrics(SM_CYSCREEN);
    facts.AppliedDpi = GetAppliedDPI();
    facts.LogPixelsY = GetLogPixelsY();
    return facts;
}

}  // namespace

uint64_t BytesToMB(uint64_t bytes)
{
    return bytes / 1024 / 1024;
}

std::wstring FormatGigabytes(uint64_t bytes, wchar_t decimalChar)
{
    // MB / 1024 in hundredths, the half rounded up: exact, with no binary
    // fraction in between (0.125 GB is 0.13).
    const uint64_t hundredths = (BytesToMB(bytes) * 100 + 512) / 1024;
    const uint64_t fraction = hundredths % 100;
    return Decimal(hundredths / 100) + decimalChar + (fraction < 10 ? L"0" : L"") + Decimal(fraction);
}

TReportLines OverviewLines(const TOverviewFacts& facts, wchar_t decimalChar)
{
    TReportLines lines;
    lines.push_back(AsteriskRow);
    lines.push_back(L"OS Name:\t" + facts.Description);
    lines.push_back(L"OS Version:\t" + Decimal(facts.Major) + L"." + Decimal(facts.Minor) + L"." +
                    Decimal(facts.Build));
    lines.push_back(L"SP Version:\t" + facts.ServicePack);
    lines.push_back(L"system lan:\t" + facts.Language);
    if (facts.ComputerName)
        lines.push_back(L"ComputerName:\t" + *facts.ComputerName);
    lines.push_back(std::wstring(L"OS Type:\t") + (facts.Wow64 ? L"64bit" : L"32bit"));
    lines.push_back(MBLine(L"Memory Size:", facts.TotalPhys));
    lines.push_back(MBLine(L"Free Size:", facts.AvailPhys));
    lines.push_back(MBLine(L"VMemory Size:", facts.TotalVirtual));
    lines.push_back(MBLine(L"VFree Size:", facts.AvailVirtual));
    lines.push_back(MBLine(L"VFreeExt Size:", facts.AvailExtendedVirtual));
    lines.push_back(MBLine(L"PF Size:", facts.TotalPageFile));
    lines.push_back(MBLine(L"PF Free:", facts.AvailPageFile));
    if (!facts.SystemDrive.empty()) {
        lines.push_back(L"System Drive:\t" + facts.SystemDrive);
        if (facts.DriveTotalBytes && facts.DriveFreeBytes) {
            lines.push_back(L"Total Space:\t" + FormatGigabytes(*facts.DriveTotalBytes, decimalChar) + L" GB");
            lines.push_back(L"Free Space:\t" + FormatGigabytes(*facts.DriveFreeBytes, decimalChar) + L" GB");
        }
    }
    lines.push_back(L"Cur Users:\t" + facts.LogonUser + L"[" + facts.ProcessUser + L"]");
    lines.push_back(L"User Level:\t" + Hex4(facts.IntegrityLevel));
    lines.push_back(std::wstring(L"IsProcessDPIAware:\t") + (facts.DpiAware ? L"True" : L"False"));
    lines.push_back(L"SM_CXSCREEN:\t" + std::to_wstring(facts.ScreenWidth));
    lines.push_back(L"SM_CYSCREEN:\t" + std::to_wstring(facts.ScreenHeight));
    lines.push_back(L"System DPI:\t" + std::to_wstring(static_cast<int32_t>(facts.AppliedDpi)));
    lines.push_back(L"LOGPIXELSY:\t" + std::to_wstring(facts.LogPixelsY));
    lines.push_back(L"Screen param:\t" + std::to_wstring(facts.ScreenWidth) + L"*" +
                    std::to_wstring(facts.ScreenHeight));
    lines.push_back(L"");
    return lines;
}

DWORD GetAppliedDPI()
{
    try {
        UniqueKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop\\WindowMetrics", 0, KEY_READ, key.put()) !=
            ERROR_SUCCESS)
            return 96;
        DWORD type = 0, value = 0, size = sizeof(value);
        if (RegQueryValueExW(key.get(), L"AppliedDPI", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof(value))
            return 96;
        return value;
    } catch (...) {
        return 96;
    }
}

int GetLogPixelsY()
{
    const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    return dc ? GetDeviceCaps(dc.get(), LOGPIXELSY) : 0;
}

TReportLines GetOSInfo()
{
    return OverviewLines(ReadOverviewFacts(), LocaleDecimalChar());
}

void GetOSInfoEx(TReportLines& lines)
{
    const TReportLines overview = GetOSInfo();
    lines.insert(lines.end(), overview.begin(), overview.end());
}
