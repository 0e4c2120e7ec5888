#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/fs_redirection.h"
#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/version_resource.h"
#include "sections/services_report.h"
#include "tests/support/test_folder.h"

namespace {

bool Is32BitBuild()
{
    const char* arch = std::getenv("VEXLO_ARCH");
    return arch && std::string(arch) == "i686";
}

std::wstring BuiltProgram(const wchar_t* name)
{
    return ParentFolder(GetModuleName()) + name;
}

std::wstring Wow64SystemDir()
{
    wchar_t folder[MAX_PATH] = {};
    const UINT n = GetSystemWow64DirectoryW(folder, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(folder, n) : std::wstring();
}

// The probe in the native System32 (7.3.2.1) and a decoy of the same name
// in SysWOW64 (6.6.6.6), where a redirected 32-bit look would land.
class TSystemProbe {
public:
    explicit TSystemProbe(const std::wstring& name) : FName(name)
    {
        LoadWOW64Funcs();
        {
            const TFsRedirectionOff off;
            ForceDirectories(ParentFolder(NativePath()));
            FNative = CopyFileW(BuiltProgram(L"probe_image.exe").c_str(), NativePath().c_str(), FALSE) != FALSE;
        }
        ForceDirectories(ParentFolder(DecoyPath()));  // Wine has no SysWOW64\drivers
        FDecoy = CopyFileW(BuiltProgram(L"probe_decoy.exe").c_str(), DecoyPath().c_str(), FALSE) != FALSE;
    }
    ~TSystemProbe()
    {
        {
            const TFsRedirectionOff off;
            DeleteFileW(NativePath().c_str());
        }
        DeleteFileW(DecoyPath().c_str());
    }
    TSystemProbe(const TSystemProbe&) = delete;
    TSystemProbe& operator=(const TSystemProbe&) = delete;
    bool Ready() const { return FNative && FDecoy; }
    std::wstring NativePath() const { return GetSystemDir() + L"\\" + FName; }
    std::wstring DecoyPath() const { return Wow64SystemDir() + L"\\" + FName; }

private:
    std::wstring FName;
    bool FNative = false, FDecoy = false;
};

// A service the test creates and deletes again.
class TTestService {
public:
    TTestService(const std::wstring& name, const std::wstring& display, DWORD type, DWORD start,
                 const std::wstring& image)
        : FName(name)
    {
        const UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager)
            return;
        FService.reset(CreateServiceW(manager.get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS, type, start,
                                      SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr, nullptr, nullptr,
                                      nullptr));
    }
    ~TTestService()
    {
        if (FService)
            DeleteService(FService.get());
    }
    TTestService(const TTestService&) = delete;
    TTestService& operator=(const TTestService&) = delete;
    bool Created() const { return static_cast<bool>(FService); }
    SERVICE_STATUS Status() const
    {
        SERVICE_STATUS status{};
        QueryServiceStatus(FService.get(), &status);
        return status;
    }

private:
    std::wstring FName;
    UniqueService FService;
};

std::wstring Padded(const std::wstring& name)
{
    return name.size() < 30 ? name + std::wstring(30 - name.size(), L' ') : name;
}

}  // namespace

TEST(ServiceLine, FieldsAndPadding)
{
    struct Case {
        TServiceLine line;
        const wchar_t* expected;
    };
    const std::wstring forty = L"A display name of exactly forty letters.";
    ASSERT_EQ(forty.size(), 40u);
    const Case cases[] = {
        {{L"Spool", 0x10, 4, 0, 2, L"C:\\Windows\\spoolsv.exe", L"Ver:10.0.19041.1"},
         L"Spool                          10  4  0 2 C:\\Windows\\spoolsv.exe Ver:10.0.19041.1"},
        {{forty, 0x20, 1, 1077, 3, L"C:\\Windows\\system32\\svchost.exe -k netsvcs", L""},
         L"A display name of exactly forty letters. 20  1  1077 3 C:\\Windows\\system32\\svchost.exe -k netsvcs "},
        {{L"Disk", 0x1, 4, 0, 0, L"\\SystemRoot\\System32\\drivers\\disk.sys", L"Ver:"},
         L"Disk                           1  4  0 0 \\SystemRoot\\System32\\drivers\\disk.sys Ver:"},
        {{L"Ntfs", 0x2, 4, 0, 3, L"", L""}, L"Ntfs                           2  4  0 3  "},
        {{L"Interactive", 0x110, 7, 0xFFFFFFFF, 4, L"x.exe", L""},
         L"Interactive                    110  7  -1 4 x.exe "},
        // The configuration could not be read.
        {{L"Gone", 0x10, 1, 0, -1, L"", L""}, L"Gone                           10  1  0 -1  "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatServiceLine(c.line), c.expected);
}

TEST(ServiceImageVersion, PathForms)
{
    TTestFolder folder;
    const std::wstring probe = folder / L"probe service.exe";
    const std::wstring bare = folder / L"no version.exe";
    ASSERT_TRUE(CopyFileW(BuiltProgram(L"probe_image.exe").c_str(), probe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(GetModuleName().c_str(), bare.c_str(), FALSE));  // test programs have no version
    LoadWOW64Funcs();
    const TSystemProbe system(L"vexlo-svc-probe.exe");
    ASSERT_TRUE(system.Ready());
    const std::wstring systemRoot = GetWindowsDir();

    struct Case {
        std::wstring path;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {probe, L"Ver:7.3.2.1"},
        {L"\\??\\" + probe, L"Ver:7.3.2.1"},
        {bare, L"Ver:"},                      // an image without a version resource
        {L"\"" + probe + L"\"", L""},         // quotes are not removed
        {probe + L" -k netsvcs", L""},        // nor arguments cut off
        {folder / L"missing.exe", L""},
        {L"", L""},
        // System32 means the native one on both builds.
        {L"\\SystemRoot\\System32\\vexlo-svc-probe.exe", L"Ver:7.3.2.1"},
        {L"\\systemroot\\system32\\vexlo-svc-probe.exe", L"Ver:7.3.2.1"},
        {L"System32\\vexlo-svc-probe.exe", L"Ver:7.3.2.1"},
        {L"system32\\vexlo-svc-probe.exe", L"Ver:7.3.2.1"},
        {L"%SystemRoot%\\System32\\vexlo-svc-probe.exe", L"Ver:7.3.2.1"},
        {systemRoot + L"\\System32\\vexlo-svc-probe.exe", L"Ver:7.3.2.1"},
        {L"\\??\\" + systemRoot + L"\\system32\\vexlo-svc-probe.exe", L"Ver:7.3.2.1"},
        {L"SysWOW64\\vexlo-svc-probe.exe", L"Ver:6.6.6.6"},
        {L"\\SystemRoot\\SysWOW64\\vexlo-svc-probe.exe", L"Ver:6.6.6.6"},
        {L"\\SystemRoot\\System32\\vexlo-svc-missing.exe", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ServiceFileVersion(c.path), c.expected) << c.path;

    // Without redirection switched off the 32-bit build would have read the decoy.
    EXPECT_EQ(FixedFileVersion(system.NativePath()), Is32BitBuild() ? L"6.6.6.6" : L"7.3.2.1");
    // And the switch is back on afterwards.
    EXPECT_EQ(ServiceFileVersion(system.NativePath()), L"Ver:7.3.2.1");
    EXPECT_EQ(FixedFileVersion(system.NativePath()), Is32BitBuild() ? L"6.6.6.6" : L"7.3.2.1");
}

TEST(ServicesReport, ServicesTheTestCreated)
{
    TTestFolder folder;
    const std::wstring probe = folder / L"probe.exe";
    ASSERT_TRUE(CopyFileW(BuiltProgram(L"probe_image.exe").c_str(), probe.c_str(), FALSE));
    const TSystemProbe system(L"drivers\\vexlo-drv-probe.sys");
    ASSERT_TRUE(system.Ready());

    struct Case {
        const wchar_t* name;
        std::wstring display;
        DWORD type, start;
        std::wstring image;
        const wchar_t* typeText;
        const wchar_t* version;
    };
    const Case cases[] = {
        {L"VxPlain", L"Vexlo Probe Plain", SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, probe, L"10",
         L"Ver:7.3.2.1"},
        {L"VxDevicePath", L"Vexlo Probe Device Path", SERVICE_WIN32_OWN_PROCESS, SERVICE_DISABLED, L"\\??\\" + probe,
         L"10", L"Ver:7.3.2.1"},
        {L"VxDriver", L"Vexlo Probe Driver With A Display Name Longer Than 30", SERVICE_KERNEL_DRIVER,
         SERVICE_DEMAND_START, L"\\SystemRoot\\System32\\drivers\\vexlo-drv-probe.sys", L"1", L"Ver:7.3.2.1"},
        {L"VxRelative", L"Vexlo Probe Relative", SERVICE_FILE_SYSTEM_DRIVER, SERVICE_DEMAND_START,
         L"System32\\drivers\\vexlo-drv-probe.sys", L"2", L"Ver:7.3.2.1"},
        {L"VxQuoted", L"Vexlo Probe Quoted", SERVICE_WIN32_SHARE_PROCESS, SERVICE_AUTO_START,
         L"\"" + probe + L"\" -k probes", L"20", L""},
        {L"VxInteractive", L"Vexlo Probe Interactive", SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS,
         SERVICE_DEMAND_START, probe + L" /arg", L"110", L""},
    };
    std::vector<std::unique_ptr<TTestService>> services;
    for (const Case& c : cases) {
        services.push_back(std::make_unique<TTestService>(c.name, c.display, c.type, c.start, c.image));
        ASSERT_TRUE(services.back()->Created()) << c.name << " " << GetLastError();
        const TServiceSettings settings = ReadServiceConfig(c.name);
        EXPECT_EQ(settings.StartType, static_cast<int>(c.start)) << c.name;
        EXPECT_EQ(settings.ImagePath, c.image) << c.name;
    }

    TReportLines lines = {L"before"};
    EnumServices(lines);
    ASSERT_GE(lines.size(), 2 + std::size(cases));
    EXPECT_EQ(lines[0], L"before");
    EXPECT_EQ(lines[1], AsteriskRow);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const SERVICE_STATUS status = services[i]->Status();
        const std::wstring expected = Padded(c.display) + L" " + c.typeText + L"  " +
                                      std::to_wstring(status.dwCurrentState) + L"  " +
                                      std::to_wstring(static_cast<int>(status.dwWin32ExitCode)) + L" " +
                                      std::to_wstring(c.start) + L" " + c.image + L" " + c.version;
        size_t found = 0;
        for (const std::wstring& line : lines)
            if (line.rfind(Padded(c.display) + L" ", 0) == 0) {
                ++found;
                EXPECT_EQ(line, expected);
            }
        EXPECT_EQ(found, 1u) << c.name;
    }
}

TEST(ServicesReport, ConfigurationOfAServiceThatDoesNotExist)
{
    const TServiceSettings settings = ReadServiceConfig(L"VxNoSuchService");
    EXPECT_EQ(settings.StartType, -1);
    EXPECT_EQ(settings.ImagePath, L"");
}
