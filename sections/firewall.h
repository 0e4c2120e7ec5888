#pragma once
// The state of the Windows Firewall through its COM objects, with the firewall
// service set to start automatically and started when it is not running.
#include <windows.h>
#include <netfw.h>

#include <optional>
#include <string>

#include "platform/com.h"

// 0 for Windows up to 5.x, 1 for 6.0 (Vista), 2 for 6.1 (7), 3 for anything later.
int OsGenerationFor(DWORD major, DWORD minor);
// The firewall service of a generation: "SharedAccess" before Vista, else "MpsSvc".
std::wstring FirewallServiceName(int generation);
// True for the Windows names whose "FireWallEnabled" comes from INetFwPolicy2:
// exactly "Windows 7", "Windows 8" and "Windows 10".
bool UsesPolicy2(const std::wstring& osName);

// How long "sc start" may take before it is ended.
inline constexpr DWORD ServiceCommandTimeoutMs = 60 * 1000;

class TFireWallMgr {
public:
    // For this Windows (the version record and name the program saw at launch).
    TFireWallMgr();
    // For a given Windows version and name.
    TFireWallMgr(const OSVERSIONINFOEXW& version, const std::wstring& osName);
    virtual ~TFireWallMgr();
    TFireWallMgr(const TFireWallMgr&) = delete;
    TFireWallMgr& operator=(const TFireWallMgr&) = delete;

    bool HomeProfileEnabled();
    bool PublicProfileEnabled();
    bool FirewallOn();

    // When the firewall service is not running: sets it to start
    // automatically and starts it ("sc start" where the service manager or
    // the service cannot be opened). Nothing without a service name.
    void EnsureFirewallService();
    // The firewall manager, created and checked on first use; null when a COM
    // call fails. Ensures the service first, every time.
    INetFwMgr* GetFwMgr();
    // A new firewall policy-2 object; raises EComError.
    ComPtr<INetFwPolicy2> GetFwPolicy2();
    // The policy-2 firewall flag of one profile; false on a COM error.
    bool Policy2Enabled(NET_FW_PROFILE_TYPE2 profile);
    int OsGeneration() const noexcept;

    const std::wstring& ServiceName() const noexcept { return FServiceName; }
    bool UsePolicy2() const noexcept { return FUsePolicy2; }

private:
    // The firewall flag of a profile of the local policy: the one of `type`,
    // or the current profile; raises EComError.
    static bool ProfileEnabled(INetFwMgr* manager, std::optional<NET_FW_PROFILE_TYPE> type);

    TComApartment FApartment;  // first in, last out: the COM objects below go before it
    ComPtr<INetFwMgr> FFwMgr;
    OSVERSIONINFOEXW FVersionInfo;
    std::wstring FServiceName;
    bool FUsePolicy2;
};
