#pragma once
// Version resources: the text fields and the fixed block of a file's version.
#include <windows.h>

#include <array>
#include <string>

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
// The four numbers of the file version in the fixed block, joined by dots
// (10.0.19041.1); empty without a version resource or its fixed block.
std::wstring FixedFileVersion(const std::wstring& path);

// What a list of loaded modules reads of a version resource: the file version
// of the fixed block (0 and 0 without one), and the "FileVersion" text of the
// string table that the first translation entry names (empty without a
// translation entry or without that table).
struct TVersionSummary {
    DWORD FileVersionMS = 0;
    DWORD FileVersionLS = 0;
    bool HasTranslation = false;
    std::wstring TranslatedFileVersion;
};
// False when the file has no readable version resource.
bool ReadVersionSummary(const std::wstring& path, TVersionSummary& summary);
