#pragma once
// The main window, its worker thread and the folder copy used when no archive
// could be made.
#include <windows.h>

#include <string>
#include <vector>

// Where the user finds the archive: the save folder + "\Vexlo_Debug_Info.zip";
// the temporary archive's path when copying it there failed.
extern std::wstring SaveFile;
// The folder the user is asked to zip and send when there is no archive.
extern std::wstring SaveFolder;

// The desktop path of the interactive user: every "\ProcUser\" in the path
// becomes "\LogUser\" (ignoring case) when both names are known and differ.
std::wstring ReplaceUserInPath(const std::wstring& path, const std::wstring& logUser, const std::wstring& procUser);

// Every file below `folder` (trailing backslash), breadth first, hidden and
// system files included. Junctions and symbolic links are not followed.
void GetFiles(const std::wstring& folder, std::vector<std::wstring>& files);
// Copies the tree `source` into `destination`, file by file, logging each copy.
void CopyFolder(const std::wstring& destination, const std::wstring& source);

// The worker's whole body: the gathering, the copy to SaveFile (or of the
// gather folder beside it) and the final message to the window.
void GenInfoThreadBody(HWND wnd);

// Creates and shows the main window; returns null on failure.
HWND CreateMainForm(HINSTANCE instance);
