#include "sections/os_description.h"

#include "platform/windows_version.h"

namespace {

const wchar_t* const BaseNames[] = {
    L"None",          L"Windows 95",      L"Windows 95 OSR-2", L"Windows 98",    L"Windows 98 SE",
    L"Windows ME",    L"Windows 9x New",  L"Windows NT 3",     L"Windows NT 4",  L"Windows 2000",
    L"Windows XP",    L"Windows 2003",    L"Windows Vista",    L"Windows 2008",  L"Windows 7",
    L"Windows 2008 R2", L"Windows NT New",
};
constexpr int BaseNameCount = int(sizeof(BaseNames) / sizeof(BaseNames[0]));

int WindowsNineXIndex(DWORD major, DWORD minor, DWORD build)
{
    build &= 0xFFFF;
    if (major < 4)
        return 0;
    if (major > 4 || minor >= 91)
        return 6;
    if (minor < 10)
        return build <= 1000 ? 1 : 2;
    if (minor == 10)
        return build <= 2000 ? 3 : build <= 2700 ? 4 : 5;
    return 5;  // 4.11 to 4.90
}

int WindowsNtIndex(DWORD major, DWORD minor, BYTE productType)
{
    const bool workstation = productType == VER_NT_WORKSTATION;
    if (major < 4)
        return 7;
    if (major == 4)
        return 8;
    if (major == 5) {
        if (minor == 0)
            return 9;
        if (minor == 1)
            return 10;
        return workstation ? 10 : 11;
    }
    if (major == 6) {
        if (minor == 0)
            return workstation ? 12 : 13;
        if (minor == 1)
            return workstation ? 14 : 15;
    }
    return 16;
}

TOSDescriptionFacts ThisWindows()
{
    const OSVERSIONINFOEXW& version = WindowsVersion();
    TOSDescriptionFacts facts;
    facts.PlatformId = version.dwPlatformId;
    facts.Major = version.dwMajorVersion;
    facts.Minor = version.dwMinorVersion;
    facts.Build = version.dwBuildNumber;
    facts.ProductType = version.wProductType;
    facts.ServicePack = version.szCSDVersion;
    if (facts.PlatformId == VER_PLATFORM_WIN32_NT) {
        facts.ServerR2 = GetSystemMetrics(SM_SERVERR2) != 0;
        facts.TabletPc = GetSystemMetrics(SM_TABLETPC) != 0;
        facts.Starter = GetSystemMetrics(SM_STARTER) != 0;
        facts.MediaCenter = GetSystemMetrics(SM_MEDIACENTER) != 0;
        facts.Architecture = NativeProcessorArchitecture();
    }
    return facts;
}

}  // namespace

int OSBaseIndex(const TOSDescriptionFacts& facts)
{
    if (facts.PlatformId == VER_PLATFORM_WIN32_WINDOWS)
        return WindowsNineXIndex(facts.Major, facts.Minor, facts.Build);
    if (facts.PlatformId == VER_PLATFORM_WIN32_NT)
        return WindowsNtIndex(facts.Major, facts.Minor, facts.ProductType);
    return 0;
}

std::wstring OSBaseName(int index)
{
    return index >= 0 && index < BaseNameCount ? BaseNames[index] : BaseNames[0];
}

std::wstring OSDescriptionFor(const TOSDescriptionFacts& facts)
{
    const int index = OSBaseIndex(facts);
    std::wstring text = OSBaseName(index);
    if (facts.PlatformId != VER_PLATFORM_WIN32_NT)
        return text;
    if (facts.ServerR2)
        text += L" R2";
    if (facts.TabletPc)
        text += L" Tablet PC";
    if (facts.Starter)
        text += L" Starter";
    if (index < 12 && facts.MediaCenter)
        text += L" Media Center";
    if (facts.Architecture == PROCESSOR_ARCHITECTURE_AMD64)
        text += L" x64";
    // The service-pack text as the overview has always shown it: each UTF-16
    // unit narrowed to its low byte.
    std::wstring servicePack;
    for (const wchar_t c : facts.ServicePack) {
        if (c == 0)
            break;
        servicePack.push_back(static_cast<wchar_t>(c & 0xFF));
    }
    if (!servicePack.empty())
        text += L" " + servicePack;
    return text;
}

std::wstring GetOSDescription()
{
    static const std::wstring description = OSDescriptionFor(ThisWindows());
    return description;
}
