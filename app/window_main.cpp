// Vexlo Helper: one small window with one button that saves the report.
#include <windows.h>

#include <string>

#include "app/main_window.h"
#include "app/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/modules.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    SetLogFileName(ParentFolder(GetModuleName()) + L"Vexlo_Debug_VireRuri.log");

    const HWND wnd = CreateMainForm(instance);
    if (!wnd)
        return 1;
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
