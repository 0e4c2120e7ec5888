#pragma once
// The lists of the products' logs and settings, and their copy below the
// gather folder by folder prefix (the main product's install folder to
// "TBX9AppPath\", its per-user data to "AppData\", ...).
#include <string>
#include <vector>

#include "products/pattern_copy.h"

// Names the main product's list leaves out (letter case ignored).
extern const std::vector<std::wstring> MainProductSkipNames;

// The files directly in `folder` that match `mask`, as full paths in the order
// found; folders and files named like one of `skipNames` (letter case
// ignored) are left out. Empty when the folder does not exist.
std::vector<std::wstring> MatchFiles(const std::wstring& folder, const std::wstring& mask,
                                     const std::vector<std::wstring>& skipNames);

// The main product's logs, settings and backups from its install folder and
// its per-user and machine-wide data folders, built anew on each call.
std::vector<std::wstring> MainProductFileList();
// The anti-malware product's, built anew on each call; the same file may be in it twice.
std::vector<std::wstring> AntiMalwareFileList();

// One row of a prefix map: files below `Prefix` go to `Target` below the gather folder.
struct TPrefixMapRow {
    std::wstring Prefix;  // a folder with its trailing backslash; an empty one matches nothing
    std::wstring Target;  // "AppData\", "GDX\AppPath\", ...
};
using TPrefixMap = std::vector<TPrefixMapRow>;
// The maps of the two products' lists, as the names stand now.
TPrefixMap MainProductPrefixMap();
TPrefixMap AntiMalwarePrefixMap();

// The file's place below the gather folder: the first row whose prefix the
// path starts with (letter case as written) has it replaced by its target.
// Empty when no row matches.
std::wstring MapToGather(const std::wstring& path, const TPrefixMap& map);

// Copies every listed file to the gather folder + its mapped place, folders
// created as needed. A file already there (an earlier step's copy, or the same
// file listed twice) is kept; a file that matches no row, or whose copy fails,
// is passed over.
void CopyMappedFiles(const std::vector<std::wstring>& files, const TPrefixMap& map, const std::wstring& gatherFolder,
                     TCopyFailures* failures = nullptr);
