#pragma once
// The inventory of the products' install folders: FilesInfo.txt lists, for
// each installed edition, every file below its install folder with file
// version, size and MD5 (and, for the anti-malware product, its time).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sections/report_lines.h"

// Writes FilesInfo.txt into the gather folder: the sections the product mode
// asks for (the previous, current and Ultimate main product, then Grendax).
void MakeFilesInfo(const std::wstring& gatherFolder);

// One edition of the main product: empty line, "===== name =====", empty line,
// then a line per file of the install folder its uninstall key records. Only
// the three header lines when the key cannot be opened with full access;
// nothing at all when the key names no folder or the folder holds no file.
TReportLines BuildProductSection(const std::wstring& headerName, const std::wstring& uninstallKeyName);
// The same for Grendax, each line with the file's time as well.
TReportLines BuildAntiMalwareSection();

// The inventory entries below a folder ("path=size"), breadth first: a
// folder's files before those of its sub-folders, the folders level by level
// in the order found. A folder that cannot be listed ends the walk (the
// entries found so far stay). Junctions and symbolic links are not entered,
// nor is a folder met a second time by another way; paths longer than
// MAX_PATH work. Empty when the folder does not exist.
std::vector<std::wstring> ListInstallTree(const std::wstring& folder);

// One entry of a folder as the walk sees it.
struct TTreeEntry {
    std::wstring Name;
    bool Folder = false;
    bool Link = false;  // a junction or symbolic link, or a folder seen before: never entered nor listed
    uint64_t Size = 0;
};
// Lists one folder (trailing backslash); false when it cannot be opened.
using TFolderLister = std::function<bool(const std::wstring& folder, std::vector<TTreeEntry>& entries)>;
// The walk of ListInstallTree over any lister.
std::vector<std::wstring> ListInstallTreeWith(const std::wstring& folder, const TFolderLister& lister);

// The texts of the file.
std::wstring InventoryEntry(const std::wstring& path, uint64_t size);
struct TInventoryItem {
    std::wstring Path;
    std::wstring Size;
};
// An entry split at its last "=": a file name may hold "=" itself, the size never does.
TInventoryItem SplitInventoryEntry(const std::wstring& entry);
TReportLines SectionHeader(const std::wstring& name);
// "path, version, size, digest"
std::wstring ProductFileLine(const std::wstring& path, const std::wstring& version, const std::wstring& size,
                             const std::wstring& digest);
// "path, version, size, digest, DT:time"
std::wstring AntiMalwareFileLine(const std::wstring& path, const std::wstring& version, const std::wstring& size,
                                 const std::wstring& digest, const std::wstring& dateTime);
