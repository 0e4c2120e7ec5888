#pragma once
// A folder walk over FindFirstFileW/FindNextFileW with the mask "*.*".
//
// The walk never follows a junction or symbolic link: any entry that carries
// FILE_ATTRIBUTE_REPARSE_POINT is passed over. For a folder that means it is not
// entered; a file reparse point (a file symbolic link, or a file whose data lives
// elsewhere) is passed over too, because reading it would read whatever it points
// at, which may lie outside the walked tree. As a second guard a folder whose
// identity (volume serial number + file index) equals one of the folders on the
// current path is not entered either, so a loop that is not marked as a reparse
// point (a bind mount seen through Wine, for example) cannot make the walk endless.
// The walk keeps its own stack of open listings, so deep trees cost heap, not
// thread stack.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

struct TWalkOptions {
    bool IncludeHidden = false;  // take hidden files and enter hidden folders
    bool IncludeSystem = false;  // take system files and enter system folders
    bool Recurse = true;         // descend into sub-folders
};

struct TWalkItem {
    std::wstring Path;          // the walked root + RelativePath
    std::wstring RelativePath;  // below the root, sub-folders separated by '\'
    DWORD Attributes = 0;
    FILETIME LastWriteTime{};   // UTC, as the listing reports it
    uint64_t Size = 0;
};

// Which folder a path names, whatever way it is reached: the volume's serial
// number and the folder's file index. Unknown (never the same as another) when
// the folder cannot be opened.
struct TFolderId {
    bool Known = false;
    DWORD Volume = 0;
    DWORD IndexHigh = 0;
    DWORD IndexLow = 0;

    bool Same(const TFolderId& other) const
    {
        return Known && other.Known && Volume == other.Volume && IndexHigh == other.IndexHigh &&
               IndexLow == other.IndexLow;
    }
};
TFolderId FolderIdOf(const std::wstring& folder);

// True when an entry with these attributes is taken (a file) or entered (a folder).
bool WalkSelects(DWORD attributes, const TWalkOptions& options);

// What a walk reports. Every member may be empty.
struct TWalkVisitor {
    std::function<void(const TWalkItem&)> OnFile;
    // An entry that is a junction or symbolic link; it is never followed.
    std::function<void(const TWalkItem&)> OnLink;
    // A selected folder as it is met, before anything below it (also when
    // Recurse is off); it is entered only when this returns true.
    std::function<bool(const TWalkItem&)> OnFolder;
    // A folder whose listing is finished (its contents were reported before),
    // the root last; the path has its trailing backslash.
    std::function<void(const std::wstring&)> OnFolderDone;
    // A folder that could not be listed (trailing backslash) and the error.
    std::function<void(const std::wstring&, DWORD)> OnSkipped;
    // A file or folder passed over by the options (hidden or system); a folder
    // is not entered.
    std::function<void(const TWalkItem&)> OnUnselected;
};

// The walk below: files, links and finished folders, in walk order.
void WalkTree(const std::wstring& root, const TWalkOptions& options, const TWalkVisitor& visitor);

// Calls onFile for every selected file below root (a folder, with or without its
// trailing backslash) in the order the listings return them; a sub-folder is
// descended into as soon as it is met. A folder that cannot be listed is passed
// over silently; the walk itself raises nothing (onFile may).
void WalkFiles(const std::wstring& root, const TWalkOptions& options,
               const std::function<void(const TWalkItem&)>& onFile);
