#pragma once
// File listings below a folder, as the autoruns, the application files and
// the log collection take them, and the time stamps shown next to files.
#include <windows.h>

#include <string>
#include <vector>

// What CollectFiles lists.
enum TCollectMode {
    cmFiles = 0,           // files, as folder + name
    cmFolders = 1,         // folders, as folder + name
    cmNothing = 2,         // nothing (the walk alone)
    cmFilesAndFolders = 3  // files as folder + name, folders as folder + name + "\"
};

// Appends the paths below `folder` to `list` (which it does not clear), in the
// file system's order, a sub-folder's entries right where it was met. Hidden
// and system entries are included. A folder named exactly ".svn" is neither
// listed nor entered. `filter` is a list of extensions such as "*.exe|*.dll"
// (letter case ignored); empty lets every file pass. Junctions and symbolic
// links (files and folders) are never listed nor followed, and paths longer
// than MAX_PATH work. A folder that cannot be listed adds nothing.
void CollectFiles(const std::wstring& folder, std::vector<std::wstring>& list, TCollectMode mode, bool recurse,
                  const std::wstring& filter);

// The extensions of a filter text: lower case, split at "|", leading "*"
// dropped, empty items left out ("*.EXE|*.dll" gives ".exe" and ".dll").
std::vector<std::wstring> ExtensionFilterItems(const std::wstring& filter);
// The lower-cased extension of a file name, from its last dot ("a.B.Txt"
// gives ".txt"), or empty without one.
std::wstring LowerExtension(const std::wstring& fileName);
// True when no items are given or the name's extension is one of them.
bool PassesExtensionFilter(const std::wstring& fileName, const std::vector<std::wstring>& items);

// Which time stamp FileTimeLocal reads.
enum TFileTimeKind { ftCreation = 0, ftLastWrite = 1, ftLastAccess = 2 };
// A file's time stamp in local time; the zero date-time (30 December 1899,
// midnight) when the file's attributes cannot be read.
SYSTEMTIME FileTimeLocal(const std::wstring& path, TFileTimeKind which);
