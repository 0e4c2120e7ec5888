// Product detection on the real registry, services and files of the test's
// prefix, one installation per case. The detection keeps its findings for the
// process (the Beta state, the product name, the version switch), so every
// case runs in a process and prefix of its own (product_detection.cmake
// starts this program once per case).
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/csidl_folders.h"
#include "products/product_detection.h"
#include "tests/support/test_folder.h"

namespace {

const std::wstring Uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring Maker = L"SOFTWARE\\Vexlo\\";

// Where a 32-bit installer writes (the products' own view), and the other one.
constexpr REGSAM Installer32 = KEY_WOW64_32KEY;
constexpr REGSAM Native64 = KEY_WOW64_64KEY;

UniqueKey CreateKey(const std::wstring& path, REGSAM view = Installer32)
{
    UniqueKey key;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                              key.put(), nullptr),
              ERROR_SUCCESS);
    return key;
}

void SetValue(const std::wstring& path, const std::wstring& name, const std::wstring& text, REGSAM view = Installer32)
{
    const UniqueKey key = CreateKey(path, view);
    ASSERT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

void SetRawValue(const std::wstring& path, const std::wstring& name, DWORD type, const std::vector<BYTE>& data)
{
    const UniqueKey key = CreateKey(path);
    ASSERT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

// A folder of the prefix, created; with its trailing backslash.
std::wstring MakeFolder(const std::wstring& path)
{
    EXPECT_TRUE(ForceDirectories(path));
    return IncludeTrailingBackslash(path);
}

void WriteText(const std::wstring& path, const std::string& text)
{
    ASSERT_TRUE(ForceDirectories(ParentFolder(path)));
    WriteFileBytes(path, text);
}

void CreateProductService(const std::wstring& name, const std::wstring& imagePath)
{
    const UniqueService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager);
    const UniqueService service(CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                               SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                               imagePath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(service) << "CreateServiceW failed: " << GetLastError();
}

std::wstring AntivirusConfigPath()
{
    wchar_t common[MAX_PATH] = {};
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, common, CSIDL_COMMON_APPDATA, FALSE));
    return std::wstring(common) + L"\\Vexlo\\" + ProductFolderName() + L"\\AntivirusConfig.ini";
}

// The names of the release before any switch, and after the switch to the previous major version.
const std::vector<std::wstring> ReleaseNames{L"Tramblex", L"Tramblex_is1", L"TramblexService9", L"TBX9AppPath"};
const std::vector<std::wstring> PreviousNames{L"Tramblex V8", L"Tramblex 8_is1", L"TramblexService8", L"TBX8AppPath"};
std::vector<std::wstring> NamesNow()
{
    return {ProductFolderName(), UninstallKeyName(), ProductServiceName(), AppPathFolderName()};
}

}  // namespace

TEST(ProductDetection, Release)
{
    const std::wstring release = MakeFolder(L"C:\\VexloTest\\Program Files\\Vexlo\\Tramblex");
    SetValue(Uninstall + L"Tramblex_is1", L"InstallLocation", release);
    // The same key of the 64-bit view is not the product's: it must not be read.
    SetValue(Uninstall + L"Tramblex_is1", L"InstallLocation", MakeFolder(L"C:\\VexloTest\\Decoy64"), Native64);
    SetValue(Maker + L"Tramblex", L"apppath", MakeFolder(L"C:\\VexloTest\\Later") + L"Tramblex.exe");

    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, release);
    EXPECT_EQ(GetInstallLocation(L"Tramblex_is1"), release);
    EXPECT_EQ(ProbeInstallDir(), release);
    EXPECT_FALSE(IsBetaBuild());
    EXPECT_EQ(MainProductName(), L"Tramblex");
    EXPECT_EQ(NamesNow(), ReleaseNames);
    EXPECT_EQ(CurMajor, L"9");
    EXPECT_EQ(PrevMajor, L"8");
}

TEST(ProductDetection, BetaValueOne)
{
    const std::wstring beta = MakeFolder(L"C:\\VexloTest\\Tramblex Beta");
    SetValue(Uninstall + L"Tramblex Beta_is1", L"InstallLocation", beta);
    WriteText(beta + L"Update\\Update.ini", "[Beta]\r\nValue=1\r\n");

    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, beta);
    EXPECT_EQ(ProbeInstallDir(), beta);
    EXPECT_TRUE(IsBetaBuild());
    EXPECT_EQ(MainProductName(), L"Tramblex Beta");
    EXPECT_EQ(ProductFolderName(), L"Tramblex Beta");
    EXPECT_EQ(UninstallKeyName(), L"Tramblex Beta_is1");
    EXPECT_EQ(RegistryProductName(), L"Tramblex Beta");
    EXPECT_EQ(PrevUninstallKeyName(), L"Tramblex 8_is1");
}

TEST(ProductDetection, BetaValueTwoIsReleaseAndStays)
{
    const std::wstring beta = MakeFolder(L"C:\\VexloTest\\Tramblex Beta");
    SetValue(Uninstall + L"Tramblex Beta_is1", L"InstallLocation", beta);
    WriteText(beta + L"Update\\Update.ini", "[Beta]\r\nValue=2\r\n");

    EXPECT_FALSE(IsBetaBuild());
    EXPECT_EQ(MainProductName(), L"Tramblex");
    // The settings were read: they are not read again.
    WriteText(beta + L"Update\\Update.ini", "[Beta]\r\nValue=1\r\n");
    EXPECT_FALSE(IsBetaBuild());
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, beta);
    EXPECT_EQ(ProductFolderName(), L"Tramblex");
}

TEST(ProductDetection, BetaSettingsMissingAreLookedForAgain)
{
    const std::wstring beta = MakeFolder(L"C:\\VexloTest\\Tramblex Beta");
    SetValue(Uninstall + L"Tramblex Beta_is1", L"InstallLocation", beta);
    EXPECT_FALSE(IsBetaBuild());
    WriteText(beta + L"Update\\Update.ini", "[Beta]\r\nValue=0x1\r\n");
    EXPECT_TRUE(IsBetaBuild());
    EXPECT_EQ(MainProductName(), L"Tramblex Beta");
}

TEST(ProductDetection, UltimateOnly)
{
    const std::wstring ultimate = MakeFolder(L"C:\\VexloTest\\Tramblex Ultimate");
    SetValue(Uninstall + L"Tramblex Ultimate_is1", L"InstallLocation", ultimate);
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, ultimate);
    EXPECT_EQ(GetInstallLocation(UltimateUninstallKeyName()), ultimate);
    EXPECT_EQ(NamesNow(), ReleaseNames);
}

TEST(ProductDetection, AnUninstallKeyWithoutLocationEndsThatSource)
{
    // The release key opens, so the Beta key is not looked at; the chain goes on.
    CreateKey(Uninstall + L"Tramblex_is1");
    SetValue(Uninstall + L"Tramblex Beta_is1", L"InstallLocation", MakeFolder(L"C:\\VexloTest\\Tramblex Beta"));
    const std::wstring maker = MakeFolder(L"C:\\VexloTest\\From Maker Key");
    SetValue(Maker + L"Tramblex", L"apppath", maker + L"Tramblex.exe");
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, maker);
}

TEST(ProductDetection, UninstallPathOfTheCurrentVersion)
{
    const std::wstring current = MakeFolder(L"C:\\VexloTest\\Tramblex 9");
    SetValue(Maker + L"Tramblex Ultimate", L"tbxuv9uninstallpath", current + L"unins000.exe");
    SetValue(Maker + L"Tramblex Ultimate", L"tbxuv8uninstallpath", MakeFolder(L"C:\\VexloTest\\Tramblex 8") + L"unins000.exe");
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, current);
    EXPECT_EQ(NamesNow(), ReleaseNames);
}

TEST(ProductDetection, UninstallPathOfThePreviousVersionSwitchesTheNames)
{
    const std::wstring previous = MakeFolder(L"C:\\VexloTest\\Tramblex 8");
    SetValue(Maker + L"Tramblex Ultimate", L"tbxuv8uninstallpath", previous + L"unins000.exe");
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, previous);
    EXPECT_EQ(CurMajor, L"8");
    EXPECT_EQ(PrevMajor, L"7");
    EXPECT_EQ(NamesNow(), PreviousNames);
    EXPECT_EQ(UninstallPathValueName(), L"tbxuv8uninstallpath");
}

TEST(ProductDetection, AppPathOfTheCurrentVersion)
{
    const std::wstring current = MakeFolder(L"C:\\VexloTest\\Current");
    SetValue(Maker + L"Tramblex", L"apppath", current + L"Tramblex.exe");
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, current);
    EXPECT_EQ(NamesNow(), ReleaseNames);
}

TEST(ProductDetection, AppPathOfThePreviousVersionSwitchesTheNames)
{
    const std::wstring previous = MakeFolder(L"C:\\VexloTest\\Tramblex 8");
    SetValue(Maker + L"Tramblex 8", L"apppath", previous + L"Tramblex.exe");
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, previous);
    EXPECT_EQ(NamesNow(), PreviousNames);
}

TEST(ProductDetection, InstallLocationWithoutTrailingBackslash)
{
    const std::wstring parent = MakeFolder(L"C:\\VexloTest\\P");
    MakeFolder(parent + L"Tramblex");
    SetValue(Uninstall + L"Tramblex_is1", L"InstallLocation", parent + L"Tramblex");
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, parent);
    EXPECT_EQ(GetInstallLocation(L"Tramblex_is1"), parent + L"Tramblex\\");
}

TEST(ProductDetection, ServiceFolderWithAntivirus)
{
    const std::wstring service = MakeFolder(L"C:\\VexloTest\\Service Folder");
    MakeFolder(service + L"Antivirus");
    CreateProductService(L"TramblexService9", service + L"TramblexService.exe");
    EXPECT_EQ(GetServiceImagePath(L"TramblexService9"), service + L"TramblexService.exe");
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, service);
}

TEST(ProductDetection, ServiceFolderWithoutAntivirusLeavesItToTheSettings)
{
    const std::wstring service = MakeFolder(L"C:\\VexloTest\\Service Folder");
    CreateProductService(L"TramblexService9", service + L"TramblexService.exe");
    const std::wstring data = MakeFolder(L"C:\\VexloTest\\Data");
    MakeFolder(data + L"Antivirus\\BackupRec");
    WriteText(AntivirusConfigPath(), "[Antivirus]\r\nQuarantinePath=C:\\VexloTest\\Data\\AntiVirus\\BackupRec\r\n");
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, data);
}

TEST(ProductDetection, QuotedServicePathIsNoFolder)
{
    const std::wstring service = MakeFolder(L"C:\\VexloTest\\Service Folder");
    MakeFolder(service + L"Antivirus");
    const std::wstring image = L"\"" + service + L"TramblexService.exe\" /service";
    CreateProductService(L"TramblexService9", image);
    EXPECT_EQ(GetServiceImagePath(L"TramblexService9"), image);
    EXPECT_EQ(GetServiceImagePath(L"NoSuchService"), L"");
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, L"");
}

TEST(ProductDetection, AntivirusSettingsBackupRec)
{
    const std::wstring data = MakeFolder(L"C:\\VexloTest\\Data");
    MakeFolder(data + L"Antivirus\\BackupRec");
    WriteText(AntivirusConfigPath(), "[Antivirus]\r\nQuarantinePath=C:\\VexloTest\\Data\\AntiVirus\\BackupRec\r\n");
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, data);
}

TEST(ProductDetection, AntivirusSettingsBakcuprec)
{
    const std::wstring data = MakeFolder(L"C:\\VexloTest\\Data");
    MakeFolder(data + L"antivirus\\bakcuprec");
    WriteText(AntivirusConfigPath(), "[Antivirus]\r\nQuarantinePath=C:\\VexloTest\\Data\\antivirus\\bakcuprec\r\n");
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, data);
}

TEST(ProductDetection, AntivirusSettingsNamingAMissingFolder)
{
    MakeFolder(L"C:\\VexloTest\\Data\\Antivirus");
    WriteText(AntivirusConfigPath(), "[Antivirus]\r\nQuarantinePath=C:\\VexloTest\\Data\\AntiVirus\\BackupRec\r\n");
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, L"");
}

TEST(ProductDetection, NothingInstalled)
{
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, L"");
    EXPECT_EQ(ProbeInstallDir(), EnvironmentVariable(L"ProgramFiles(x86)") + L"\\Vexlo\\Tramblex\\");
    EXPECT_EQ(GetInstallLocation(L"Tramblex_is1"), L"");
    EXPECT_FALSE(IsBetaBuild());
    EXPECT_EQ(NamesNow(), ReleaseNames);
}

TEST(ProductDetection, ValuesOfAnotherKindCountAsAbsent)
{
    // A DWORD where a folder belongs ends neither the search nor the run.
    SetRawValue(Uninstall + L"Tramblex_is1", L"InstallLocation", REG_DWORD, {1, 0, 0, 0});
    SetRawValue(Maker + L"Tramblex Ultimate", L"tbxuv9uninstallpath", REG_BINARY, {0x43, 0x00, 0x3A, 0x00});
    const std::wstring maker = MakeFolder(L"C:\\VexloTest\\From Maker Key");
    SetValue(Maker + L"Tramblex", L"apppath", maker + L"Tramblex.exe");
    EXPECT_NO_THROW(FindProductAppPath());
    EXPECT_EQ(ProductAppPath, maker);
    EXPECT_EQ(CurMajor, L"9");

    // GetInstallLocation then takes the installer's other value.
    SetValue(Uninstall + L"Tramblex_is1", L"Inno Setup: App Path", L"C:\\VexloTest\\Inno");
    EXPECT_EQ(GetInstallLocation(L"Tramblex_is1"), L"C:\\VexloTest\\Inno\\");
}

TEST(ProductDetection, InstallLocationOfAnyProduct)
{
    SetValue(Uninstall + L"Grendax_is1", L"InstallLocation", L"C:\\Program Files (x86)\\Vexlo\\Grendax");
    SetValue(Uninstall + L"Grendax_is1", L"Inno Setup: App Path", L"C:\\Other");
    SetValue(Uninstall + L"InnoOnly_is1", L"Inno Setup: App Path", L"C:\\Inno\\");
    CreateKey(Uninstall + L"Bare_is1");
    SetValue(Uninstall + L"Native64_is1", L"InstallLocation", L"C:\\Native", Native64);
    EXPECT_EQ(GetInstallLocation(L"Grendax_is1"), L"C:\\Program Files (x86)\\Vexlo\\Grendax\\");
    EXPECT_EQ(GetInstallLocation(L"InnoOnly_is1"), L"C:\\Inno\\");
    EXPECT_EQ(GetInstallLocation(L"Bare_is1"), L"");
    EXPECT_EQ(GetInstallLocation(L"Missing_is1"), L"");
    EXPECT_EQ(GetInstallLocation(L"Native64_is1"), L"");
}

TEST(ProductDetection, RunAsALibraryTheHostIsTheProduct)
{
    SetValue(Uninstall + L"Tramblex_is1", L"InstallLocation", MakeFolder(L"C:\\VexloTest\\Installed"));
    UniqueModule library(LoadLibraryW((ParentFolder(GetModuleName()) + L"product_detection_fx_library.dll").c_str()));
    ASSERT_TRUE(library);
    using Fn = DWORD(__cdecl*)(wchar_t*, DWORD);
    const auto detect = ProcAddress<Fn>(library.get(), "DetectedProductAppPath");
    ASSERT_TRUE(detect);
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(detect(folder, MAX_PATH), 0u);
    EXPECT_EQ(std::wstring(folder), ParentFolder(ModuleFileName(nullptr)));
    // This program itself is no library: it finds the installation.
    FindProductAppPath();
    EXPECT_EQ(ProductAppPath, L"C:\\VexloTest\\Installed\\");
}
