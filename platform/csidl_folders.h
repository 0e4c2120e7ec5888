#pragma once
// The shell's special folders, with the fallbacks for the application-data
// and program-files folders.
#include <windows.h>

#include <functional>
#include <string>

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
// Where Windows of that major version keeps the folder of one of the five
// CSIDLs above, built from the drive (and the user name for the per-user
// ones); empty for any other CSIDL.
std::wstring ConventionalFolderPath(int csidl, const TFolderFallbackFacts& facts);

// An environment variable's value; empty when it is unset.
std::wstring EnvironmentVariable(const wchar_t* name);
