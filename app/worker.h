#pragma once
// The worker thread of a run: the gathering, then the report placed where the
// user will find it, then the final message to the window.
#include <windows.h>

#include <string>

// Where the user finds the archive: the save folder + "\\Vexlo_Debug_Info.zip";
// the temporary archive's path when copying it there failed.
extern std::wstring SaveFile;
// The folder the user is asked to zip and send when there is no archive.
extern std::wstring SaveFolder;

// The worker's whole body: the gathering, the copy to SaveFile (or of the
// gather folder beside it) and the final message to the window.
void GenInfoThreadBody(HWND wnd);
