#pragma once
// Where the well-known folders of this machine and user are.
#include <windows.h>

#include <string>

class TAppFrame {
public:
    // Resolves the three folders below; the shell is never asked to create one.
    TAppFrame();

    // The current user's roaming application data, without a trailing backslash.
    const std::wstring AppDataDir;
    // Application data for all users, without a trailing backslash.
    const std::wstring CommonAppDataDir;
    // Folder of the running executable, with a trailing backslash.
    const std::wstring AppDir;

    // The folder of a small kind number (see the table in the source): the
    // Windows, system or temporary directory (only the temporary one ends with
    // a backslash) or a shell folder, empty when the shell has none. Kinds that
    // name no folder (14, above 35) leave `path` as it was.
    void GetFolder(unsigned kind, std::wstring& path) const;

    // The shell's folder for a CSIDL, up to its first NUL; empty when there is none.
    static std::wstring SpecialFolderPath(HWND owner, int csidl);
    // The (common) application-data folder found without the first shell answer:
    // the shell asked again, the Shell Folders key, then the conventional path;
    // only an existing folder counts. Empty when none exists.
    static std::wstring AppDataFallback(bool common);
    // The first two characters of the Windows directory ("C:"), or empty.
    static std::wstring WindowsDrive();

    // Steps of AppDataFallback, open to tests.
    // The "Shell Folders" value of the (common) application data, whether or not it exists.
    static std::wstring AppDataFromShellFolders(bool common);
    // Where Windows of a major version keeps the (common) application data.
    static std::wstring ConventionalAppDataDir(bool common, DWORD majorVersion, const std::wstring& drive,
                                               const std::wstring& user);

private:
    static std::wstring ResolveAppData(bool common);
};

// The one instance: created on first use (the programs touch it while they
// start; a library build creates it on its first call, never inside DllMain,
// where the shell must not be called) and never freed before the process ends.
const TAppFrame& AppFrame();
