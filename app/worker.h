#pragma once
// The worker thread of a run: the gathering, then the report placed where the
// user will find it, then the final message to the window.
#include <windows.h>

#include <string>
#include <vector>

#include "app/zip_archive.h"

// Where the user finds the archive: the save folder + "\Vexlo_Debug_Info.zip",
// or the temporary archive's path when it could not be placed there; empty
// when this run saved no archive (so that no older file is taken for it).
extern std::wstring SaveFile;
// The folder the user is asked to zip and send when there is no archive.
extern std::wstring SaveFolder;

// The worker's whole body: the gathering, the copy to SaveFile (or of the
// gather folder beside it) and the final message to the window.
void GenInfoThreadBody(HWND wnd);

// Places the archive at `target`: copied to a temporary name beside it, read
// back against `entries`, then renamed into place. False (with the reason
// logged and nothing left beside the target) when any of that fails.
bool PlaceArchive(const std::wstring& archive, const std::wstring& target, const std::vector<TZipEntry>& entries);

// The folder beside the save path that the gather folder is copied into,
// empty: "Vexlo_Debug_Info\", or when an earlier one cannot be removed
// "Vexlo_Debug_Info_2\", "..._3\", ...; empty when none can be had.
std::wstring FreshCopyFolder(const std::wstring& saveFolder);
