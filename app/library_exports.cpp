// The gathering as a library for the products to load. A library run takes
// its product from the host's command line ("/Product <name>") and collects
// only that product's data.
//
// Nothing runs inside DllMain: the process-wide objects are created on the
// first call and never destroyed, so that no library is freed and no shell
// function is called under the loader lock.
#include <windows.h>

#include <string>

#include "app/diagnostic_log.h"
#include "app/gathering_driver.h"
#include "app/log_words.h"
#include "app/run_lock.h"

extern "C" {

// What GatherInfo returns while another gathering of this session runs.
#define VEXLO_GATHER_BUSY 0xFFFFFFFFu

// Sets the diagnostic log's file for the runs of this library.
__declspec(dllexport) void WINAPI GatherSetLogFile(const wchar_t* path) noexcept
{
    try {
        SetLogFileName(path ? path : L"");
    } catch (...) {
    }
}

// Runs one gathering; progress goes to `wnd` (may be null). Copies the path of
// the archive this run made into `archive` (capacity in characters, NUL
// included) and returns its length; 0 when no archive was made or its path
// does not fit; VEXLO_GATHER_BUSY while another gathering of this session runs.
__declspec(dllexport) DWORD WINAPI GatherInfo(HWND wnd, int otherInfoSizeLimit, wchar_t* archive,
                                              DWORD capacity) noexcept
{
    try {
        const TRunLock lock;
        if (!lock.Acquired()) {
            WriteLog(log_words::ReportBusy);
            return VEXLO_GATHER_BUSY;
        }
        const std::wstring path = DoGatherInfo(wnd, otherInfoSizeLimit).ArchivePath;
        if (path.empty() || !archive || capacity <= path.size())
            return 0;
        path.copy(archive, path.size());
        archive[path.size()] = L'\0';
        return static_cast<DWORD>(path.size());
    } catch (...) {
        return 0;
    }
}
}
