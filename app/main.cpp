// Vexlo Helper: until the window exists, a start runs one gathering and ends.
#include <windows.h>

#include <string>

#include "app/uInfoMain.h"
#include "app/uLog.h"
#include "platform/PathUtil.h"
#include "platform/Vexlo_Routine_New.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    const std::wstring module = GetModuleName();
    SetLogFileName(module.substr(0, module.find_last_of(L'\\') + 1) + L"Vexlo_Debug_VireRuri.log");
    std::wstring archive;
    DoGatherInfo(nullptr, 0, archive);
    return !archive.empty() && FileExists(archive) ? 0 : 1;
}
