#include "platform/windows_version.h"

#include <atomic>

#include "platform/modules.h"

namespace {

// The version the process saw at launch, read while the program starts.
struct TLaunchVersion {
    OSVERSIONINFOEXW Record{};
    TLaunchVersion()
    {
        Record.dwOSVersionInfoSize = sizeof(Record);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&Record)))
            Record = OSVERSIONINFOEXW{};
#pragma GCC diagnostic pop
    }
};

const TLaunchVersion& LaunchVersion()
{
    static const TLaunchVersion version;
    return version;
}

[[maybe_unused]] const bool launchVersionRead = (LaunchVersion(), true);

}  // namespace

const OSVERSIONINFOEXW& WindowsVersion()
{
    return LaunchVersion().Record;
}

bool IsWindows2000()
{
    const OSVERSIONINFOEXW& version = WindowsVersion();
    return version.dwMajorVersion == 5 && version.dwMinorVersion == 0;
}

WORD NativeProcessorArchitecture()
{
    SYSTEM_INFO system{};
    using NativeFn = void(WINAPI*)(LPSYSTEM_INFO);
    if (const auto native = ProcAddress<NativeFn>(Kernel32(), "GetNativeSystemInfo"))
        native(&system);
    else
        GetSystemInfo(&system);
    return system.wProcessorArchitecture;
}

bool IsWow64()
{
#ifdef _WIN64
    return true;
#else
    static std::atomic<int> cache{-1};  // -1 not yet asked, 0 false, 1 true
    const int known = cache.load();
    if (known >= 0)
        return known == 1;
    using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto fn = ProcAddress<Fn>(Kernel32(), "IsWow64Process");
    if (!fn)
        return false;  // not exported: ask again next time
    BOOL wow64 = FALSE;
    if (!fn(GetCurrentProcess(), &wow64))
        wow64 = FALSE;
    cache.store(wow64 ? 1 : 0);
    return wow64 != FALSE;
#endif
}


std::wstring OSNameFor(DWORD major, DWORD minor, DWORD platformId, BYTE productType, WORD architecture)
{
    if (platformId != VER_PLATFORM_WIN32_NT)
        return {};
    if (major == 3 || major == 4)
        return L"Windows NT";
    if (major == 5) {
        switch (minor) {
        case 0: return L"Windows 2000";
        case 1: return L"Windows XP";
        case 2:
            return productType == VER_NT_WORKSTATION && architecture == PROCESSOR_ARCHITECTURE_AMD64
                       ? L"Windows XP"
                       : L"Windows 2003 Server";
        default: return {};
        }
    }
    if (major == 6) {
        switch (minor) {
        case 0: return L"Windows Vista";
        case 1: return L"Windows 7";
        case 2:
        case 3: return L"Windows 8";
        case 4: return L"Windows 10";
        default: return {};
        }
    }
    if (major == 10)
        return L"Windows 10";
    return {};
}

std::wstring GetOSName()
{
    const OSVERSIONINFOEXW& version = WindowsVersion();
    return OSNameFor(version.dwMajorVersion, version.dwMinorVersion, version.dwPlatformId, version.wProductType,
                     NativeProcessorArchitecture());
}
