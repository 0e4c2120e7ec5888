// The Security Center and firewall blocks: their decoding as plain functions,
// their shape from a real run (Wine has no Security Center namespaces and its
// firewall objects answer false or E_NOTIMPL), and the firewall service set
// to start automatically and started, on a stand-in service of that name.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <stdexcept>
#include <string>

#include "platform/handles.h"
#include "sections/firewall.h"
#include "sections/security_center.h"
#include "tests/sections/standin_programs.h"

namespace {

using Lines = TReportLines;

// A product whose properties are given as texts; a missing one raises, as a
// WMI property that cannot be read or converted does.
class TFakeProduct : public TProductProperties {
public:
    explicit TFakeProduct(std::map<std::wstring, std::wstring> values) : FValues(std::move(values)) {}
    std::wstring Text(const wchar_t* name) const override
    {
        const auto it = FValues.find(name);
        if (it == FValues.end())
            throw std::runtime_error("no such property");
        return it->second;
    }
    bool Flag(const wchar_t* name) const override
    {
        const std::wstring text = Text(name);
        if (text != L"true" && text != L"false")
            throw std::runtime_error("not a boolean");
        return text == L"true";
    }

private:
    std::map<std::wstring, std::wstring> FValues;
};

OSVERSIONINFOEXW Version(DWORD major, DWORD minor)
{
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwMajorVersion = major;
    version.dwMinorVersion = minor;
    return version;
}

}  // namespace

// ---------------------------------------------------------------------------
// Product states and the two schemas

TEST(ProductState, FromText)
{
    const struct {
        const wchar_t* text;
        uint32_t state;
    } cases[] = {
        {L"397568", 0x61100}, {L"266240", 0x41000}, {L"0", 0},       {L"-1", 0xFFFFFFFF},
        {L"4294967295", 0xFFFFFFFF}, {L"4294967296", 0}, {L"", 0}, {L"abc", 0},
        {L"12a", 0},          {L" 12", 0},          {L"-", 0},        {L"+16", 16},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProductStateFromText(c.text), c.state) << std::string(c.text, c.text + wcslen(c.text));
}

TEST(ProductLines, BothSchemasAndAPropertyThatEndsTheProduct)
{
    const struct {
        const char* what;
        bool newSchema;
        std::map<std::wstring, std::wstring> properties;
        Lines lines;
        bool raises;
    } cases[] = {
        {"new schema, on and up to date", true, {{L"displayName", L"Guard AV"}, {L"productState", L"266240"}},
         {L"", L"Name:Guard AV", L"Enabled=True(00041000)", L"UptoDate=True"}, false},
        {"new schema, bit 0x10 set: out of date", true, {{L"displayName", L"Old AV"}, {L"productState", L"397584"}},
         {L"", L"Name:Old AV", L"Enabled=True(00061110)", L"UptoDate=False"}, false},
        {"new schema, bit 0x1000 clear: off", true, {{L"displayName", L"Off AV"}, {L"productState", L"393216"}},
         {L"", L"Name:Off AV", L"Enabled=False(00060000)", L"UptoDate=True"}, false},
        {"new schema, state not a number", true, {{L"displayName", L"X"}, {L"productState", L"n/a"}},
         {L"", L"Name:X", L"Enabled=False(00000000)", L"UptoDate=True"}, false},
        {"new schema, no state: the product ends after its name", true, {{L"displayName", L"X"}},
         {L"", L"Name:X"}, true},
        {"old schema", false,
         {{L"displayName", L"Legacy"}, {L"onAccessScanningEnabled", L"true"}, {L"productUptoDate", L"false"}},
         {L"", L"Name:Legacy", L"Enabled=True", L"UptoDate=False"}, false},
        {"old schema, the up-to-date flag unreadable", false,
         {{L"displayName", L"Legacy"}, {L"onAccessScanningEnabled", L"false"}, {L"productUptoDate", L"7"}},
         {L"", L"Name:Legacy", L"Enabled=False"}, true},
        {"no name: only the empty line", false, {}, {L""}, true},
    };
    for (const auto& c : cases) {
        Lines lines;
        bool raised = false;
        try {
            AppendProductLines(lines, c.newSchema, TFakeProduct(c.properties));
        } catch (const std::exception&) {
            raised = true;
        }
        EXPECT_EQ(lines, c.lines) << c.what;
        EXPECT_EQ(raised, c.raises) << c.what;
    }
}

TEST(Firewall, GenerationServiceNameAndPolicy2FromTheWindowsVersion)
{
    const struct {
        DWORD major, minor;
        int generation;
        const wchar_t* service;
    } versions[] = {
        {5, 0, 0, L"SharedAccess"}, {5, 2, 0, L"SharedAccess"}, {6, 0, 1, L"MpsSvc"},
        {6, 1, 2, L"MpsSvc"},       {6, 3, 3, L"MpsSvc"},       {10, 0, 3, L"MpsSvc"},
    };
    for (const auto& v : versions) {
        EXPECT_EQ(OsGenerationFor(v.major, v.minor), v.generation) << v.major << "." << v.minor;
        EXPECT_EQ(FirewallServiceName(v.generation), v.service) << v.major << "." << v.minor;
        const TFireWallMgr firewall(Version(v.major, v.minor), L"Windows Vista");
        EXPECT_EQ(firewall.OsGeneration(), v.generation);
        EXPECT_EQ(firewall.ServiceName(), v.service);
    }
    for (const wchar_t* name : {L"Windows 7", L"Windows 8", L"Windows 10"})
        EXPECT_TRUE(UsesPolicy2(name));
    for (const wchar_t* name : {L"Windows Vista", L"Windows XP", L"Windows 2008", L"Windows 8.1", L"windows 7", L""})
        EXPECT_FALSE(UsesPolicy2(name));
}

// ---------------------------------------------------------------------------
// A real run

TEST(GetWSCInfo, WithoutSecurityCenterNamespacesHeadersAloneThenTheFirewallLines)
{
    Lines lines{L"before"};
    GetWSCInfo(lines);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 8),
              (Lines{L"before", L"[AntiVirusProduct]", L"", L"[AntiSpywareProduct]", L"", L"[FirewallProduct]", L"",
                     L"[Windows FireWall]"}));
    const std::wregex flag(L"(True|False)");
    const wchar_t* const keys[] = {L"HomeNetFwEnabled=", L"PublicNetFwEnabled=", L"FireWallEnabled="};
    for (size_t i = 0; i < 3; ++i) {
        const std::wstring& line = lines[8 + i];
        ASSERT_EQ(line.rfind(keys[i], 0), 0u) << i;
        EXPECT_TRUE(std::regex_match(line.substr(wcslen(keys[i])), flag)) << i;
    }
}

// A second call in the same process connects afresh (the connection of the
// first went with its COM apartment).
TEST(GetWSCInfo, TwiceInOneProcessGivesTheSameShape)
{
    Lines first, second;
    GetWSCInfo(first);
    GetWSCInfo(second);
    EXPECT_EQ(first.size(), 10u);
    EXPECT_EQ(first, second);
}

// ---------------------------------------------------------------------------
// The firewall service (a stand-in service of that name in the test's prefix)

class FirewallService : public ::testing::Test {
protected:
    void SetUp() override
    {
        FManager.reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ASSERT_TRUE(FManager);
    }

    DWORD StartType(SC_HANDLE service)
    {
        std::vector<BYTE> buffer(8192);
        DWORD needed = 0;
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        EXPECT_TRUE(QueryServiceConfigW(service, config, static_cast<DWORD>(buffer.size()), &needed));
        return config->dwStartType;
    }

    // Waits (bounded) until the service is in `state`.
    bool ReachesState(SC_HANDLE service, DWORD state)
    {
        for (int round = 0; round < 600; ++round) {
            SERVICE_STATUS status{};
            if (QueryServiceStatus(service, &status) && status.dwCurrentState == state)
                return true;
            Sleep(50);
        }
        return false;
    }

    UniqueService FManager;
};

TEST_F(FirewallService, StoppedServiceIsSetToAutomaticStartAndStarted)
{
    TFireWallMgr firewall;  // Wine reports Windows 7: "MpsSvc"
    ASSERT_EQ(firewall.ServiceName(), L"MpsSvc");
    const std::wstring image = L"\"" + ParentFolder(GetModuleName()) + L"service_standin.exe\" MpsSvc";
    const UniqueService service(CreateServiceW(FManager.get(), L"MpsSvc", L"MpsSvc", SERVICE_ALL_ACCESS,
                                               SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                               image.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(service) << GetLastError();
    const auto setStartType = [&](DWORD startType) {
        return ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr) != FALSE;
    };
    for (const DWORD startType : {DWORD(SERVICE_DEMAND_START), DWORD(SERVICE_DISABLED)}) {
        SCOPED_TRACE(startType);
        ASSERT_TRUE(setStartType(startType));
        ASSERT_TRUE(ReachesState(service.get(), SERVICE_STOPPED));

        firewall.EnsureFirewallService();
        EXPECT_EQ(StartType(service.get()), DWORD(SERVICE_AUTO_START));
        EXPECT_TRUE(ReachesState(service.get(), SERVICE_RUNNING));

        // Running: left as it is, start type included.
        ASSERT_TRUE(setStartType(startType));
        firewall.EnsureFirewallService();
        EXPECT_EQ(StartType(service.get()), startType);

        SERVICE_STATUS status{};
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        EXPECT_TRUE(ReachesState(service.get(), SERVICE_STOPPED));
    }
    EXPECT_TRUE(DeleteService(service.get()));
}

// Without the service, "sc start" of the service's name runs, by full path
// from this build's system folder.
TEST_F(FirewallService, WithoutTheServiceScStartRunsByFullPath)
{
    ASSERT_TRUE(InstallSystemProgram(L"sc_standin.exe", L"sc.exe"));
    const TStandinFolder standins;
    TFireWallMgr firewall(Version(5, 1), L"Windows XP");
    ASSERT_EQ(firewall.ServiceName(), L"SharedAccess");
    firewall.EnsureFirewallService();
    EXPECT_EQ(standins.Starts(L"sc"), (std::vector<std::wstring>{OwnKindSystemFolder() + L"sc.exe|start|SharedAccess"}));
}
