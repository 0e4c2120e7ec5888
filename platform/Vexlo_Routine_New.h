#pragma once
// General routines over Windows: file versions, special folders, the Windows
// name, file time stamps, and who the users, sessions and tokens are. Every
// routine reports failure through its result (empty text, 0, false or
// "Unknown") and never throws.
#include <windows.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Handles.h"

// ---------------------------------------------------------------------------
// The two-call sizing pattern in one place: `query(data, size)` calls the API
// with a buffer of `size` units (`data` is null while the buffer is empty) and
// returns whether it succeeded; when the buffer was too small the API fails
// with ERROR_INSUFFICIENT_BUFFER (or ERROR_MORE_DATA) and stores the size it
// needs in `size`. The buffer grows to that size and the call is repeated, a
// few times at most. On success `buffer` holds what the API wrote and `size`
// is whatever the API left there.
template <typename T, typename Query>
bool QueryGrowRetry(std::vector<T>& buffer, Query&& query, int attempts = 4)
{
    constexpr DWORD maxUnits = DWORD(1) << 24;  // no API here needs more
    for (int attempt = 0; attempt < attempts; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size());
        if (query(buffer.empty() ? nullptr : buffer.data(), size))
            return true;
        const DWORD error = ::GetLastError();
        if ((error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_MORE_DATA) || size > maxUnits)
            return false;
        if (size > buffer.size())
            buffer.resize(size);
    }
    return false;
}

// Text from an API that returns the characters it wrote, or the size it needs
// (terminating NUL included) when the buffer is too small, and 0 on failure:
// GetSystemDirectoryW, GetWindowsDirectoryW, GetTempPathW (size first),
// GetEnvironmentVariableW. `query(buffer, size)` makes the call.
template <typename Query>
std::wstring QueryCountedText(Query&& query)
{
    std::wstring text(MAX_PATH + 1, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const auto n = static_cast<size_t>(query(text.data(), static_cast<DWORD>(text.size())));
        if (n == 0)
            return {};
        if (n < text.size()) {
            text.resize(n);
            return text;
        }
        text.resize(n + 1);
    }
    return {};
}

// ---------------------------------------------------------------------------
// Version resources.

// What one version resource yields.
struct TFileInfo {
    std::wstring CompanyName;
    std::wstring FileDescription;
    std::wstring FileVersion;
    std::wstring InternalName;
    std::wstring LegalCopyright;
    std::wstring LegalTrademarks;
    std::wstring OriginalFileName;
    std::wstring ProductName;
    std::wstring ProductVersion;
    std::wstring Comments;
    std::array<DWORD, 13> FixedInfo{};
    std::wstring Extra;
};

// Which field GetFileVersion returns.
enum FileVersionKind : int {
    fvComments = 0,
    fvCompanyName = 1,
    fvFileDescription = 2,
    fvFileVersion = 3,
    fvInternalName = 4,
    fvLegalCopyright = 5,
    fvLegalTrademarks = 6,
    fvOriginalFileName = 7,
    fvProductName = 8,
    fvProductVersion = 9,
    fvWowVersion = 10,
};

// Fills `info` from the file's version resource; `extraName` (may be empty) is
// one more string-table name whose value goes to `Extra`. False (and `info`
// untouched) when the file has no readable version resource.
bool GetFileInfo(const std::wstring& path, TFileInfo& info, const std::wstring& extraName);
// The field of the file's version resource that `kind` selects (empty for a
// kind outside 0..10); "Unknown" without a version resource.
std::wstring GetFileVersion(const std::wstring& path, int kind);
// Version resources are trees of blocks; this is the 8-character key of the
// first string table under StringFileInfo in the raw resource, or empty.
std::wstring FirstStringTableKey(const BYTE* data, size_t size);

// ---------------------------------------------------------------------------
// Folders and modules.

// Full path of a loaded module (null: the executable).
std::wstring ModuleFileName(HMODULE module);
// Full path of the module that holds this code (the executable, or a library build's DLL).
std::wstring GetModuleName();
// The system directory, e.g. C:\Windows\system32 (no trailing backslash).
std::wstring GetSystemDir();
// Loads a library from the system directory by full path, never through the
// search path. A 32-bit process on 64-bit Windows takes it from the 32-bit
// system directory by its real name, so a thread that switched file-system
// redirection off still gets its own kind of library.
UniqueModule LoadSystemLibrary(const wchar_t* name);

// The folder the shell names for a CSIDL (create flag off), or empty. For
// application data (26), local application data (28), common application data
// (35), program files (38) and common program files (43) a result of two
// characters or less is replaced by the matching environment variable or a
// path built from the system drive.
std::wstring GetSpecialFolder(HWND owner, int csidl);

// What the special-folder fallback needs from the machine.
struct TFolderFallbackFacts {
    std::function<std::wstring(const wchar_t*)> Env;  // a variable's value; empty when unset
    std::wstring Drive;                               // system drive, e.g. "C:"
    std::wstring User;                                // the calling thread's user name
    DWORD Major = 0;                                  // Windows major version
    bool Wow64 = false;                               // IsWow64()
};
// GetSpecialFolder's result for what the shell answered (`shellResult`, empty
// when the shell call failed).
std::wstring ResolveSpecialFolder(int csidl, const std::wstring& shellResult, const TFolderFallbackFacts& facts);

// ---------------------------------------------------------------------------
// Windows version and platform.

// True when this program runs on 64-bit Windows: a 32-bit build asks
// IsWow64Process (cached once answered); a 64-bit build always runs there.
bool IsWow64();
// Decided once at start-up from the version the process saw at launch.
bool IsWindows2000();
// Short Windows name ("Windows 7", "Windows 10", ...), or empty.
std::wstring GetOSName();
// The name for a version record: major.minor, platform id, product type and
// processor architecture.
std::wstring OSNameFor(DWORD major, DWORD minor, DWORD platformId, BYTE productType, WORD architecture);

// ---------------------------------------------------------------------------
// File time stamps as day counts since 30 December 1899, the time of day as
// the fraction.

// Creation (0), last write (1) or last access (other) time of the first file
// the path (wildcards allowed) finds, in local time at the two-second
// resolution of DOS time stamps; 0 when nothing is found.
double GetFileDateTime(const std::wstring& path, int kind);
// A DOS date and time as a day count; 0 for a date or time that cannot be.
double DosDateTimeToDays(WORD dosDate, WORD dosTime);

// ---------------------------------------------------------------------------
// Users, sessions and tokens.

// User name of the calling thread, or empty.
std::wstring GetCurrentUserName();
// User name of the interactive user, or empty.
std::wstring GetLogonUserName();
// The account name the terminal services report for the console session,
// as GetLogonUserName takes it: the "system" account counts as nobody.
std::wstring LogonNameFromSessionUser(const std::wstring& sessionUser);
// Account name (without domain) of the user that runs the process, or empty.
std::wstring GetProcessUserName(DWORD processId);
// Session id of the interactive session, 0 when none is found.
DWORD GetActiveSessionId();
// The console session when one was reported (not 0 or 0xFFFFFFFF), else what
// `findExplorerSession` finds.
DWORD ChooseActiveSession(std::optional<DWORD> consoleSession, const std::function<DWORD()>& findExplorerSession);
// Session of the first "explorer.exe" whose session is active, or 0.
DWORD FindActiveExplorerSession();
// One process of a snapshot as FindActiveExplorerSession sees it.
struct TProcessSession {
    std::wstring ExeFile;
    std::optional<DWORD> Session;  // unset when the session is unknown
};
// The walk of FindActiveExplorerSession over snapshot rows; `connectState`
// asks the terminal services for a session's state (unset when that fails).
DWORD FirstActiveExplorerSession(const std::vector<TProcessSession>& processes,
                                 const std::function<std::optional<int>(DWORD)>& connectState);
// Id of the first process whose executable file name is `exeName` (letter
// case ignored) and, when `user` is not empty, whose user is `user`; 0 if none.
DWORD FindProcessId(const std::wstring& exeName, const std::wstring& user);
// FindProcessId of "explorer.exe".
DWORD FindExplorerProcessId(const std::wstring& user);
// A primary token (identification level, maximum allowed access) of the
// process FindProcessId finds; empty when there is none or it cannot be had.
UniqueHandle GetTokenByName(const std::wstring& exeName, const std::wstring& user);
// The last relative identifier of the token's integrity SID (0x1000 low,
// 0x2000 medium, 0x3000 high, 0x4000 system), or 0.
DWORD GetTokenIntegrityLevel(HANDLE token);
