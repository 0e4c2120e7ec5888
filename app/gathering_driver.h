#pragma once
// The gathering driver: one report run from the gather folder to the archive.
#include <windows.h>

#include <string>

// Progress and completion message between the worker and the main window.
constexpr UINT WM_GENINFO = WM_USER + 0x101;
// The progress maximum announced at the start of a run.
constexpr int GenInfoProgressMax = 20;

// Runs one report run. Progress goes to `wnd` (may be null). `archivePath` is
// emptied at the start, set as soon as the gather folder is settled, and
// returned whatever happens later. Never throws.
void DoGatherInfo(HWND wnd, int otherInfoSizeLimit, std::wstring& archivePath);
