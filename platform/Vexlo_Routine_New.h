#pragma once
// General routines over Windows: file versions, the own module, WOW64, and
// loading system libraries safely. Every routine reports failure through its
// result and never throws.
#include <windows.h>

#include <array>
#include <string>

#include "platform/Handles.h"

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

bool GetFileInfo(const std::wstring& path, TFileInfo& info, const std::wstring& extraName);
// The field of the file's version resource that `kind` selects; "Unknown" without one.
std::wstring GetFileVersion(const std::wstring& path, int kind);

// Full path of the module that holds this code (the executable, or a library build's DLL).
std::wstring GetModuleName();
// The system directory, e.g. C:\Windows\system32 (no trailing backslash).
std::wstring GetSystemDir();
// Loads a library from the system directory by full path, never through the search path.
UniqueModule LoadSystemLibrary(const wchar_t* name);

// True when this program runs on 64-bit Windows: a 32-bit build asks
// IsWow64Process (cached once answered); a 64-bit build always runs there.
bool IsWow64();
