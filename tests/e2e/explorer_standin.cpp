// Test stand-in for Explorer: records how it was started and ends. The record
// goes into the folder named by VEXLO_EXPLORER_CALLS, one file per start,
// written under a temporary name and renamed into place when complete, so a
// reader never sees half a record.
#include <windows.h>

#include <string>

#include "platform/text.h"

int wmain()
{
    wchar_t folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"VEXLO_EXPLORER_CALLS", folder, MAX_PATH))
        return 1;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::string record = ToUtf8(std::wstring(self) + L"|" + GetCommandLineW() + L"\n");
    const std::wstring name = std::wstring(folder) + L"\\" + std::to_wstring(GetCurrentProcessId());
    const HANDLE file = CreateFileW((name + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW((name + L".tmp").c_str(), (name + L".txt").c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
