#include "platform/shell_folders.h"

#include <shlobj.h>

#include <iterator>

#include "platform/paths.h"
#include "platform/process_lifetime.h"
#include "platform/registry.h"
#include "platform/modules.h"
#include "platform/process_identity.h"
#include "platform/query_buffer.h"
#include "platform/csidl_folders.h"
#include "platform/windows_version.h"

namespace {

// GetFolder kinds 3 to 35: the shell folder of each; NoFolder where the kind names none.
constexpr int NoFolder = -1;
constexpr int ShellFolderOfKind[] = {
    CSIDL_INTERNET_CACHE,          // 3
    CSIDL_COOKIES,                 // 4
    CSIDL_HISTORY,                 // 5
    CSIDL_RECENT,                  // 6
    CSIDL_DESKTOPDIRECTORY,        // 7
    CSIDL_PROGRAMS,                // 8
    CSIDL_FAVORITES,               // 9
    CSIDL_STARTUP,                 // 10
    CSIDL_PROFILE,                 // 11
    CSIDL_APPDATA,                 // 12
    CSIDL_LOCAL_APPDATA,           // 13
    NoFolder,                      // 14
    CSIDL_PROGRAM_FILES,           // 15
    CSIDL_PROGRAM_FILES_COMMON,    // 16
    CSIDL_STARTMENU,               // 17
    CSIDL_COMMON_APPDATA,          // 18
    CSIDL_LOCAL_APPDATA,           // 19
    CSIDL_FONTS,                   // 20
    CSIDL_TEMPLATES,               // 21
    CSIDL_NETHOOD,                 // 22
    CSIDL_SENDTO,                  // 23
    CSIDL_MYMUSIC,                 // 24
    CSIDL_MYVIDEO,                 // 25
    CSIDL_PRINTHOOD,               // 26
    CSIDL_MYPICTURES,              // 27
    CSIDL_SYSTEMX86,               // 28
    CSIDL_PROGRAM_FILESX86,        // 29
    CSIDL_PROGRAM_FILES_COMMON,    // 30
    CSIDL_PROGRAM_FILES_COMMONX86, // 31
    CSIDL_ADMINTOOLS,              // 32
    CSIDL_RESOURCES,               // 33
    CSIDL_CDBURN_AREA,             // 34
    CSIDL_PERSONAL,                // 35
};
constexpr unsigned FirstShellKind = 3;

}  // namespace

const TAppFrame& AppFrame()
{
    static const ProcessLifetime<TAppFrame> frame;
    return frame.get();
}

TAppFrame::TAppFrame()
    : AppDataDir(ResolveAppData(false)), CommonAppDataDir(ResolveAppData(true)), AppDir(ParentFolder(ModuleFileName(nullptr)))
{
}

std::wstring TAppFrame::ResolveAppData(bool common)
{
    // A shell that reports no folder is as good as one that fails: every
    // product path is built on these two folders, so look further.
    try {
        std::wstring path = SpecialFolderPath(nullptr, common ? CSIDL_COMMON_APPDATA : CSIDL_APPDATA);
        if (!path.empty())
            return path;
    } catch (...) {
    }
    return AppDataFallback(common);
}

void TAppFrame::GetFolder(unsigned kind, std::wstring& path) const
{
    switch (kind) {
    case 0:
        path = GetWindowsDir();
        return;
    case 1:
        path = GetSystemDir();
        return;
    case 2:
        path = QueryCountedText([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
        return;
    default:
        break;
    }
    if (kind < FirstShellKind || kind - FirstShellKind >= std::size(ShellFolderOfKind))
        return;
    const int csidl = ShellFolderOfKind[kind - FirstShellKind];
    if (csidl != NoFolder)
        path = SpecialFolderPath(nullptr, csidl);
}

std::wstring TAppFrame::SpecialFolderPath(HWND owner, int csidl)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    if (!SHGetSpecialFolderPathW(owner, buffer, csidl, FALSE))
        return {};
    return std::wstring(buffer, wcsnlen(buffer, MAX_PATH + 1));
}

std::wstring TAppFrame::AppDataFallback(bool common)
{
    const std::wstring shell = SpecialFolderPath(nullptr, common ? CSIDL_COMMON_APPDATA : CSIDL_APPDATA);
    if (!shell.empty() && DirectoryExists(shell))
        return shell;
    const std::wstring registry = AppDataFromShellFolders(common);
    if (!registry.empty() && DirectoryExists(registry))
        return registry;
    const std::wstring conventional =
        ConventionalAppDataDir(common, WindowsVersion().dwMajorVersion, WindowsDrive(), GetCurrentUserName());
    return !conventional.empty() && DirectoryExists(conventional) ? conventional : std::wstring();
}

std::wstring TAppFrame::AppDataFromShellFolders(bool common)
{
    try {
        TRegistry reg(KEY_QUERY_VALUE);
        reg.SetAutoView(false);  // the process's own view
        reg.SetRoot(common ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
        if (!reg.OpenPath(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"))
            return {};
        return reg.ReadText(common ? L"Common AppData" : L"AppData");
    } catch (...) {
        return {};
    }
}

std::wstring TAppFrame::ConventionalAppDataDir(bool common, DWORD majorVersion, const std::wstring& drive,
                                               const std::wstring& user)
{
    // Without a drive (or, per user, a name) the path would point somewhere else.
    if (drive.empty() || (!common && user.empty()))
        return {};
    TFolderFallbackFacts facts;
    facts.Drive = drive;
    facts.User = user;
    facts.Major = majorVersion;
    return ConventionalFolderPath(common ? CSIDL_COMMON_APPDATA : CSIDL_APPDATA, facts);
}

std::wstring TAppFrame::WindowsDrive()
{
    const std::wstring windows = GetWindowsDir();
    return windows.size() < 2 ? std::wstring() : windows.substr(0, 2);
}

