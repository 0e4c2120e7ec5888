#include "sections/firewall.h"

#include <vector>

#include "platform/child_process.h"
#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/query_buffer.h"
#include "platform/windows_version.h"

namespace {

// {304CE942-6E39-40D8-943A-B913C40C9CD4}
constexpr CLSID FirewallManagerClass = {0x304CE942, 0x6E39, 0x40D8, {0x94, 0x3A, 0xB9, 0x13, 0xC4, 0x0C, 0x9C, 0xD4}};
// {E2B3C97F-6AE1-41AC-817A-F6F92166D7DD}
constexpr CLSID FirewallPolicy2Class = {0xE2B3C97F, 0x6AE1, 0x41AC, {0x81, 0x7A, 0xF6, 0xF9, 0x21, 0x66, 0xD7, 0xDD}};

// Query config, change config, query status, start (0x17).
constexpr DWORD ServiceRights = SERVICE_QUERY_CONFIG | SERVICE_CHANGE_CONFIG | SERVICE_QUERY_STATUS | SERVICE_START;

// A COM call that hands out an interface into `slot`: a failure, or success
// without an interface, raises EComError.
template <typename T>
void Require(HRESULT result, const ComPtr<T>& slot, const wchar_t* what)
{
    CheckCom(result, what);
    if (!slot)
        throw EComError(what, E_POINTER);
}

template <typename T>
ComPtr<T> CreateObject(const CLSID& cls, const wchar_t* what)
{
    ComPtr<T> object;
    Require(CoCreateInstance(cls, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, __uuidof(T),
                             reinterpret_cast<void**>(object.put())),
            object, what);
    return object;
}

std::optional<DWORD> StartType(SC_HANDLE service)
{
    std::vector<BYTE> buffer(sizeof(QUERY_SERVICE_CONFIGW) + 512);
    if (!QueryGrowRetry(buffer, [&](BYTE* data, DWORD& size) {
            return QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(data), size, &size) != 0;
        }))
        return std::nullopt;
    return reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(buffer.data())->dwStartType;
}

}  // namespace

int OsGenerationFor(DWORD major, DWORD minor)
{
    if (major <= 5)
        return 0;
    if (major == 6 && minor == 0)
        return 1;
    if (major == 6 && minor == 1)
        return 2;
    return 3;
}

std::wstring FirewallServiceName(int generation)
{
    return generation != 0 ? L"MpsSvc" : L"SharedAccess";
}

bool UsesPolicy2(const std::wstring& osName)
{
    return osName == L"Windows 7" || osName == L"Windows 8" || osName == L"Windows 10";
}

TFireWallMgr::TFireWallMgr() : TFireWallMgr(WindowsVersion(), GetOSName()) {}

TFireWallMgr::TFireWallMgr(const OSVERSIONINFOEXW& version, const std::wstring& osName)
    : FVersionInfo(version), FUsePolicy2(UsesPolicy2(osName))
{
    FServiceName = FirewallServiceName(OsGeneration());
}

TFireWallMgr::~TFireWallMgr() = default;

int TFireWallMgr::OsGeneration() const noexcept
{
    return OsGenerationFor(FVersionInfo.dwMajorVersion, FVersionInfo.dwMinorVersion);
}

void TFireWallMgr::EnsureFirewallService()
{
    if (FServiceName.empty())
        return;
    const auto startByCommand = [&] {
        RunHidden(SystemProgramPath(L"sc.exe"), L"start " + FServiceName, ServiceCommandTimeoutMs);
    };
    const UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        startByCommand();
        return;
    }
    const UniqueService service(OpenServiceW(manager.get(), FServiceName.c_str(), ServiceRights));
    if (!service) {
        startByCommand();
        return;
    }
    SERVICE_STATUS status{};
    if (QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_RUNNING)
        return;
    if (StartType(service.get()) != DWORD(SERVICE_AUTO_START))
        ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!StartServiceW(service.get(), 0, nullptr))
        startByCommand();
    Sleep(100);
}

bool TFireWallMgr::ProfileEnabled(INetFwMgr* manager, std::optional<NET_FW_PROFILE_TYPE> type)
{
    ComPtr<INetFwPolicy> policy;
    Require(manager->get_LocalPolicy(policy.put()), policy, L"INetFwMgr.LocalPolicy");
    ComPtr<INetFwProfile> profile;
    if (type)
        Require(policy.get()->GetProfileByType(*type, profile.put()), profile, L"INetFwPolicy.GetProfileByType");
    else
        Require(policy.get()->get_CurrentProfile(profile.put()), profile, L"INetFwPolicy.CurrentProfile");
    VARIANT_BOOL enabled = VARIANT_FALSE;
    CheckCom(profile.get()->get_FirewallEnabled(&enabled), L"INetFwProfile.FirewallEnabled");
    return enabled != VARIANT_FALSE;
}

INetFwMgr* TFireWallMgr::GetFwMgr()
{
    EnsureFirewallService();
    if (FFwMgr)
        return FFwMgr.get();
    try {
        FFwMgr = CreateObject<INetFwMgr>(FirewallManagerClass, L"firewall manager");
        ProfileEnabled(FFwMgr.get(), std::nullopt);  // the object works
    } catch (const EComError&) {
        FFwMgr.reset();
    }
    return FFwMgr.get();
}

ComPtr<INetFwPolicy2> TFireWallMgr::GetFwPolicy2()
{
    return CreateObject<INetFwPolicy2>(FirewallPolicy2Class, L"firewall policy 2");
}

bool TFireWallMgr::Policy2Enabled(NET_FW_PROFILE_TYPE2 profile)
{
    try {
        const ComPtr<INetFwPolicy2> policy = GetFwPolicy2();
        VARIANT_BOOL enabled = VARIANT_FALSE;
        CheckCom(policy.get()->get_FirewallEnabled(profile, &enabled), L"INetFwPolicy2.FirewallEnabled");
        return enabled != VARIANT_FALSE;
    } catch (const EComError&) {
        return false;
    }
}

bool TFireWallMgr::HomeProfileEnabled()
{
    try {
        INetFwMgr* manager = GetFwMgr();
        if (!manager)
            return false;
        return ProfileEnabled(manager, OsGeneration() != 0 ? std::optional(NET_FW_PROFILE_STANDARD) : std::nullopt);
    } catch (const EComError&) {
        return false;
    }
}

bool TFireWallMgr::PublicProfileEnabled()
{
    try {
        INetFwMgr* manager = GetFwMgr();
        if (!manager)
            return false;
        return ProfileEnabled(manager, OsGeneration() != 0 ? std::optional(NET_FW_PROFILE_CURRENT) : std::nullopt);
    } catch (const EComError&) {
        return false;
    }
}

bool TFireWallMgr::FirewallOn()
{
    if (FUsePolicy2) {
        EnsureFirewallService();
        return Policy2Enabled(NET_FW_PROFILE2_PRIVATE) && Policy2Enabled(NET_FW_PROFILE2_PUBLIC);
    }
    try {
        INetFwMgr* manager = GetFwMgr();
        if (!manager)
            return false;
        return ProfileEnabled(manager, std::nullopt);
    } catch (const EComError&) {
        return false;
    }
}
