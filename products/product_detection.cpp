#include "products/product_detection.h"

#include <windows.h>
#include <shlobj.h>

#include <initializer_list>
#include <optional>
#include <utility>

#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/service_config.h"
#include "platform/shell_folders.h"
#include "platform/csidl_folders.h"
#include "platform/windows_version.h"
#include "products/ini_file.h"
#include "products/product_mode.h"

std::wstring ProductAppPath;
std::wstring CurMajor = L"9";
std::wstring PrevMajor = L"8";

namespace {

// Folder suffixes of the release (0) and the Beta (1).
const wchar_t* const FolderSuffixes[2] = {L"\\Vexlo\\Tramblex\\", L"\\Vexlo\\Tramblex Beta\\"};
const wchar_t* const ReleaseUninstallKey = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tramblex_is1";
const wchar_t* const BetaUninstallKey = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tramblex Beta_is1";
const std::wstring UninstallRoot = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring MakerRoot = L"\\SOFTWARE\\Vexlo\\";

// -1 until the update settings were read; then their number (1 = Beta), or 0
// when reading them failed.
int32_t BetaState = -1;
std::wstring MainProductNameCache;

// The 32-bit view asked for explicitly; Windows 2000 knows no view flags.
REGSAM Explicit32BitView()
{
    return IsWindows2000() ? 0 : KEY_WOW64_32KEY;
}

// The 32-bit programs' Program Files folder ("Program Files (x86)" on 64-bit Windows).
std::wstring ProductProgramFiles()
{
#ifdef _WIN64
    const std::wstring folder = GetSpecialFolder(nullptr, CSIDL_PROGRAM_FILESX86);
    return folder.empty() ? EnvironmentVariable(L"ProgramFiles(x86)") : folder;
#else
    return GetSpecialFolder(nullptr, CSIDL_PROGRAM_FILES);
#endif
}

// A string value's text; nothing when it is missing or of another kind (a
// value of an unexpected kind counts as absent, it never ends the search).
std::optional<std::wstring> TextValue(const TRegistry& reg, const std::wstring& name)
{
    const auto info = reg.QueryValueInfo(name);
    if (!info || (info->Kind != vkText && info->Kind != vkExpandText))
        return std::nullopt;
    try {
        return reg.ReadText(name);
    } catch (const ERegistryException&) {
        return std::nullopt;  // changed its kind meanwhile
    }
}

// "InstallLocation" of an uninstall key, with a trailing backslash; empty
// when the key or the value is missing.
std::wstring InstallLocationIn(REGSAM view, const std::wstring& key)
{
    TRegistry reg(KEY_READ | view);
    reg.SetAutoView(false);
    reg.SetRoot(HKEY_LOCAL_MACHINE);
    if (!reg.OpenPathForReading(key))
        return {};
    const std::wstring text = TextValue(reg, L"InstallLocation").value_or(std::wstring());
    return text.empty() ? text : IncludeTrailingBackslash(text);
}

bool ExistingFolder(const std::wstring& path)
{
    return !path.empty() && DirectoryExists(path);
}

std::wstring AsciiLower(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

// The last source of the search: the antivirus settings name the quarantine
// folder, which lies in the program folder's "Antivirus\BackupRec".
std::wstring AppPathFromAntivirusConfig()
{
    try {
        const std::wstring config =
            AppFrame().CommonAppDataDir + L"\\Vexlo\\" + ProductFolderName() + L"\\AntivirusConfig.ini";
        if (!FileExists(config))
            return {};
        const std::wstring quarantine = TIniFile(config).IniReadText(L"Antivirus", L"QuarantinePath", std::wstring());
        if (!ExistingFolder(quarantine))
            return {};
        const std::wstring base = QuarantineBaseFolder(quarantine);
        if (!base.empty() && DirectoryExists(base + L"Antivirus"))
            return base;
    } catch (...) {
    }
    return {};
}

void SwitchToPreviousMajor()
{
    CurMajor = L"8";
    PrevMajor = L"7";
}

}  // namespace

REGSAM ProductKeysView()
{
    // The products' keys are where a 32-bit process sees them by itself.
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    return 0;
#endif
}

// ---------------------------------------------------------------------------
// Names

bool IsNewVersion(const std::wstring& version)
{
    // A decimal integer, as the version texts are written; anything else is 0.
    if (version.empty() || version.size() > 9)
        return false;
    int value = 0;
    for (const wchar_t c : version) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + (c - L'0');
    }
    return value >= 9;
}

TProductNaming::TProductNaming(std::function<std::wstring()> mainName, std::wstring cur, std::wstring prev)
    : FMainName(std::move(mainName)), FCur(std::move(cur)), FPrev(std::move(prev))
{
}

std::wstring TProductNaming::ProductFolderName() const
{
    return IsNewVersion(FCur) ? FMainName() : L"Tramblex V" + FCur;
}
std::wstring TProductNaming::UninstallKeyName() const
{
    return IsNewVersion(FCur) ? FMainName() + L"_is1" : L"Tramblex " + FCur + L"_is1";
}
std::wstring TProductNaming::PrevUninstallKeyName() const
{
    return IsNewVersion(FPrev) ? FMainName() + L"_is1" : L"Tramblex " + FPrev + L"_is1";
}
std::wstring TProductNaming::UltimateUninstallKeyName() const { return L"Tramblex Ultimate_is1"; }
std::wstring TProductNaming::RegistryProductName() const
{
    return IsNewVersion(FCur) ? FMainName() : L"Tramblex " + FCur;
}
std::wstring TProductNaming::PrevRegistryProductName() const
{
    return IsNewVersion(FPrev) ? FMainName() : L"Tramblex " + FPrev;
}
std::wstring TProductNaming::UltimateProductName() const { return L"Tramblex Ultimate"; }
std::wstring TProductNaming::ProductServiceName() const { return L"TramblexService" + FCur; }
std::wstring TProductNaming::UninstallPathValueName() const { return L"tbxuv" + FCur + L"uninstallpath"; }
std::wstring TProductNaming::PrevUninstallPathValueName() const { return L"tbxuv" + FPrev + L"uninstallpath"; }
std::wstring TProductNaming::AppPathFolderName() const { return L"TBX" + FCur + L"AppPath"; }

TProductNaming CurrentNaming() { return TProductNaming(MainProductName, CurMajor, PrevMajor); }
std::wstring ProductFolderName() { return CurrentNaming().ProductFolderName(); }
std::wstring UninstallKeyName() { return CurrentNaming().UninstallKeyName(); }
std::wstring PrevUninstallKeyName() { return CurrentNaming().PrevUninstallKeyName(); }
std::wstring UltimateUninstallKeyName() { return CurrentNaming().UltimateUninstallKeyName(); }
std::wstring RegistryProductName() { return CurrentNaming().RegistryProductName(); }
std::wstring PrevRegistryProductName() { return CurrentNaming().PrevRegistryProductName(); }
std::wstring UltimateProductName() { return CurrentNaming().UltimateProductName(); }
std::wstring ProductServiceName() { return CurrentNaming().ProductServiceName(); }
std::wstring UninstallPathValueName() { return CurrentNaming().UninstallPathValueName(); }
std::wstring PrevUninstallPathValueName() { return CurrentNaming().PrevUninstallPathValueName(); }
std::wstring AppPathFolderName() { return CurrentNaming().AppPathFolderName(); }

std::wstring ProductNameOfSuffix(const std::wstring& suffix)
{
    return FileNamePart(ExcludeTrailingBackslash(suffix));
}

std::wstring MainProductName()
{
    if (MainProductNameCache.empty())
        MainProductNameCache = ProductNameOfSuffix(FolderSuffixes[IsBetaBuild() ? 1 : 0]);
    return MainProductNameCache;
}

bool IsBetaBuild()
{
    if (BetaState != -1)
        return BetaState == 1;
    const std::wstring settings = ProbeInstallDir() + L"Update\\Update.ini";
    if (!FileExists(settings))
        return false;  // not known yet: the next call looks again
    try {
        BetaState = TIniFile(settings).IniReadNumber(L"Beta", L"Value", 0);
    } catch (...) {
        if (BetaState == -1)
            BetaState = 0;
    }
    return BetaState == 1;
}

std::wstring ProbeInstallDir()
{
    // A key that cannot be read counts as missing; the next one is tried.
    for (const wchar_t* key : {BetaUninstallKey, ReleaseUninstallKey}) {
        std::wstring folder;
        try {
            folder = InstallLocationIn(Explicit32BitView(), key);
        } catch (...) {
            folder.clear();
        }
        if (!folder.empty())
            return folder;
    }
    return ProductProgramFiles() + FolderSuffixes[0];
}

// ---------------------------------------------------------------------------
// Install folders

std::wstring GetInstallLocation(const std::wstring& keyName)
{
    TRegistry reg(KEY_READ | ProductKeysView());
    reg.SetAutoView(false);
    reg.SetRoot(HKEY_LOCAL_MACHINE);
    if (!reg.OpenPath(UninstallRoot + keyName))
        return {};
    std::wstring text;
    if (auto location = TextValue(reg, L"InstallLocation"))
        text = std::move(*location);
    else if (auto appPath = TextValue(reg, L"Inno Setup: App Path"))
        text = std::move(*appPath);
    return text.empty() ? text : IncludeTrailingBackslash(text);
}

std::wstring GetServiceImagePath(const std::wstring& serviceName)
{
    try {
        const auto config = ReadServiceConfiguration(serviceName);
        return config ? config->BinaryPath : std::wstring();
    } catch (...) {
        return {};
    }
}

std::wstring FolderPart(const std::wstring& path)
{
    const size_t last = path.find_last_of(L"\\:");
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
}

std::wstring QuarantineBaseFolder(const std::wstring& quarantinePath)
{
    const std::wstring lower = AsciiLower(quarantinePath);
    for (const wchar_t* marker : {L"antivirus\\backuprec", L"antivirus\\bakcuprec"}) {
        const size_t at = lower.find(marker);
        if (at != std::wstring::npos)
            return quarantinePath.substr(0, at);
    }
    return {};
}

void FindProductAppPath()
{
    ProductAppPath.clear();
    // A product that loads this code as a library is the product to describe.
    if (RunsAsLibrary()) {
        ProductAppPath = FolderPart(ModuleFileName(nullptr));
        return;
    }
    const auto found = [] { return ExistingFolder(ProductAppPath); };

    {
        TRegistry reg(KEY_ALL_ACCESS | ProductKeysView());
        reg.SetRoot(HKEY_LOCAL_MACHINE);
        reg.SetAutoView(false);  // every key in the products' own view
        const auto open = [&reg](const std::wstring& path) {
            reg.CloseCurrent();
            return reg.OpenPathForReading(path);
        };

        // The uninstall keys: the first that opens decides, with or without the value.
        for (const std::wstring& key : {std::wstring(ReleaseUninstallKey), std::wstring(BetaUninstallKey),
                                        UninstallRoot + UltimateUninstallKeyName()}) {
            if (!open(key))
                continue;
            if (const auto location = TextValue(reg, L"InstallLocation"))
                ProductAppPath = FolderPart(*location);
            reg.CloseCurrent();
            break;
        }
        if (found())
            return;

        if (open(MakerRoot + UltimateProductName())) {
            if (const auto current = TextValue(reg, UninstallPathValueName())) {
                ProductAppPath = FolderPart(*current);
            } else if (const auto previous = TextValue(reg, PrevUninstallPathValueName())) {
                ProductAppPath = FolderPart(*previous);
                SwitchToPreviousMajor();
            }
            reg.CloseCurrent();
        }
        if (found())
            return;

        if (open(MakerRoot + RegistryProductName())) {
            if (const auto appPath = TextValue(reg, L"apppath"))
                ProductAppPath = FolderPart(*appPath);
            reg.CloseCurrent();
        }
        if (found())
            return;

        if (open(MakerRoot + PrevRegistryProductName())) {
            if (const auto appPath = TextValue(reg, L"apppath")) {
                ProductAppPath = FolderPart(*appPath);
                SwitchToPreviousMajor();
            }
            reg.CloseCurrent();
        }
        if (found())
            return;
    }

    // The product's service, when its folder holds the antivirus.
    ProductAppPath = FolderPart(GetServiceImagePath(ProductServiceName()));
    if (found() && DirectoryExists(ProductAppPath + L"Antivirus"))
        return;

    ProductAppPath = AppPathFromAntivirusConfig();
}
