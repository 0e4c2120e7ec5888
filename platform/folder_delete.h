#pragma once
// Deleting a folder tree, silently and permanently.
#include <string>
#include <vector>

// Deletes the folder with everything in it. A junction or symbolic link inside
// is removed itself, never followed. Refuses (false, nothing touched) a
// relative path, a drive root, and any folder that is or holds one of the
// folders in ProtectedFolders(). True when the folder is gone afterwards.
bool DeleteFolder(const std::wstring& folder);

// Folders no deletion may touch: the Windows and system folders, the program
// files folders, the all-users data folder, the profiles folder and the
// user's profile (full paths, no trailing backslash).
std::vector<std::wstring> ProtectedFolders();
// Whether DeleteFolder may delete `folder` (a full path) given those folders.
bool MayDeleteFolder(const std::wstring& folder, const std::vector<std::wstring>& protectedFolders);
