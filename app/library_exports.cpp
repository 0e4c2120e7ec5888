// The gathering as a library for the products to load. A library run takes
// its product from the host's command line ("/Product <name>") and collects
// only that product's data.
#include <windows.h>

#include <string>

#include "app/gathering_driver.h"
#include "app/diagnostic_log.h"

extern "C" {

// Sets the diagnostic log's file for the runs of this library.
__declspec(dllexport) void WINAPI GatherSetLogFile(const wchar_t* path)
{
    SetLogFileName(path ? path : L"");
}

// Runs one gathering; progress goes to `wnd` (may be null). Copies the archive
// path into `archive` (capacity in characters, NUL included) and returns its
// length, or 0 when it does not fit.
__declspec(dllexport) DWORD WINAPI GatherInfo(HWND wnd, int otherInfoSizeLimit, wchar_t* archive, DWORD capacity)
{
    std::wstring path;
    DoGatherInfo(wnd, otherInfoSizeLimit, path);
    if (!archive || capacity <= path.size())
        return 0;
    path.copy(archive, path.size());
    archive[path.size()] = L'\0';
    return static_cast<DWORD>(path.size());
}
}
