#pragma once
// What the main product is called on this machine and where the products are
// installed. Everything here only reads the system.
#include <windows.h>

#include <functional>
#include <string>

// The main product's program folder; set by FindProductAppPath once per run.
extern std::wstring ProductAppPath;
// Major versions of the current and the previous main product ("9", "8");
// FindProductAppPath switches them to "8" and "7" when it finds the product
// only through an entry of the previous major version.
extern std::wstring CurMajor;
extern std::wstring PrevMajor;

// True when the version text reads as a decimal integer of 9 or more (a text
// that is no number counts as 0).
bool IsNewVersion(const std::wstring& version);

// The main product's names for one state of the version texts. `mainName` is
// asked only by the names that need it, and only when the tested version is new.
class TProductNaming {
public:
    TProductNaming(std::function<std::wstring()> mainName, std::wstring cur, std::wstring prev);

    std::wstring ProductFolderName() const;
    std::wstring UninstallKeyName() const;
    std::wstring PrevUninstallKeyName() const;
    std::wstring UltimateUninstallKeyName() const;
    std::wstring RegistryProductName() const;
    std::wstring PrevRegistryProductName() const;
    std::wstring UltimateProductName() const;
    std::wstring ProductServiceName() const;
    std::wstring UninstallPathValueName() const;
    std::wstring PrevUninstallPathValueName() const;
    std::wstring AppPathFolderName() const;

private:
    std::function<std::wstring()> FMainName;
    std::wstring FCur;
    std::wstring FPrev;
};

// The names as they stand now: MainProductName, CurMajor and PrevMajor.
TProductNaming CurrentNaming();
std::wstring ProductFolderName();
std::wstring UninstallKeyName();
std::wstring PrevUninstallKeyName();
std::wstring UltimateUninstallKeyName();
std::wstring RegistryProductName();
std::wstring PrevRegistryProductName();
std::wstring UltimateProductName();
std::wstring ProductServiceName();
std::wstring UninstallPathValueName();
std::wstring PrevUninstallPathValueName();
std::wstring AppPathFolderName();

// "Tramblex" or "Tramblex Beta"; decided once, then kept for the process.
std::wstring MainProductName();
// True when the update settings in ProbeInstallDir say Beta ([Beta] Value=1).
// Without the settings file the answer is false and the next call looks again;
// once the file was read the answer stays.
bool IsBetaBuild();
// Where the update settings are looked for: the Beta's, else the release's
// install folder from their uninstall keys (32-bit view), else the 32-bit
// Program Files folder + "\Vexlo\Tramblex\"; always with a trailing backslash.
std::wstring ProbeInstallDir();

// The registry view the products' installers write their keys to (they are
// 32-bit programs): the process's own view in the shipped 32-bit build, the
// 32-bit view asked for by name in the 64-bit build.
REGSAM ProductKeysView();

// The install folder recorded under the uninstall key `keyName` (the 32-bit
// view, where the products' installers write), with a trailing backslash, or
// empty when the product is not installed.
std::wstring GetInstallLocation(const std::wstring& keyName);
// Sets ProductAppPath: the host program's folder when this code runs as a
// library, else the first existing folder of the uninstall keys, the maker's
// keys, the product's service and the antivirus settings, in that order; empty
// when none is found. Registry values of a kind other than text count as absent.
void FindProductAppPath();
// The image path the service control manager stores for a service, quotes
// and arguments included; empty on any failure.
std::wstring GetServiceImagePath(const std::wstring& serviceName);

// The text up to and including the last "\" or ":" ("C:\A\B\x.exe" gives
// "C:\A\B\", "C:\A\B" gives "C:\A\"); empty without either.
std::wstring FolderPart(const std::wstring& path);
// The quarantine folder's text before "antivirus\backuprec" (or else before
// "antivirus\bakcuprec"), letter case of the rest kept, either searched
// without regard to case; empty when neither is in it.
std::wstring QuarantineBaseFolder(const std::wstring& quarantinePath);
// The last path component of a folder suffix ("\Vexlo\Tramblex Beta\" gives "Tramblex Beta").
std::wstring ProductNameOfSuffix(const std::wstring& suffix);
