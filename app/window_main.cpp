// Vexlo Helper: one small window with one button that saves the report.
#include <windows.h>

#include <string>

#include "app/crash_report.h"
#include "app/diagnostic_log.h"
#include "app/main_window.h"
#include "platform/com.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    // A function Windows calls: nothing escapes it (a C++ exception that would
    // reaches the crash report through std::terminate).
    const std::wstring folder = ParentFolder(GetModuleName());
    SetLogFileName(folder + L"Vexlo_Debug_VireRuri.log");
    InstallCrashReport(folder + L"Vexlo_Debug_VireRuri.crash.txt", true);
    AppFrame();  // the well-known folders, resolved while the program starts
    // The shell (Explorer's start, the desktop folder) wants COM on this thread.
    const TComApartment com;

    const HWND wnd = CreateMainForm(instance);
    if (!wnd)
        ExitProcess(1);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(wnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // The window was closed, perhaps during a run: end the worker with the
    // process before anything process-wide is torn down under it.
    ExitProcess(0);
}
