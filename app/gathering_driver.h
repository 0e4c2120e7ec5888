#pragma once
// The gathering driver: one report run from the gather folder to the archive.
#include <windows.h>

#include <string>
#include <vector>

#include "app/zip_archive.h"

// Progress and completion message between the worker and the main window.
constexpr UINT WM_GENINFO = WM_USER + 0x101;
// The progress maximum announced at the start of a run.
constexpr int GenInfoProgressMax = 20;

// What one run leaves behind.
struct TGatherResult {
    // The archive this run packed, closed and read back; empty when it made none.
    std::wstring ArchivePath;
    // The folder this run gathered into (trailing backslash); empty when no
    // usable folder could be had. It stays after a run of the executable.
    std::wstring GatherFolder;
    // What was written into the archive, for reading copies of it back.
    std::vector<TZipEntry> Entries;
};

// Runs one report run. Progress goes to `wnd` (may be null); `otherInfoSizeLimit`
// is the size limit in MiB of the other-info copy (0: none). Never throws:
// every failure ends in the log.
TGatherResult DoGatherInfo(HWND wnd, int otherInfoSizeLimit);

// Runs one guarded step: a failure (an exception, or a processor fault in our
// code) logs `exceptLine` with the reason on a continuation line; `succLine`
// follows in every case.
void GuardedStep(const std::wstring& exceptLine, const std::wstring& succLine, const std::function<void()>& step);

// The reason of the exception in flight, for the log ("unknown exception"
// when it carries none). Call only inside a catch block.
std::wstring CurrentExceptionText();

// The gather folder of a run, empty and existing: "GetInfoDir\" in the
// temporary folder, else beside the executable; the first that can be made
// empty. Empty when neither can (a folder with leftovers is never used).
std::wstring SettleGatherFolder(const std::wstring& tempFolder, const std::wstring& exeFolder);
// The user's temporary folder with its trailing backslash, or empty when
// Windows names none or names one that is not a full path.
std::wstring UserTempFolder();
