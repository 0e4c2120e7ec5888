// Test stand-in for Explorer: appends its command line to the file named by
// the environment variable VEXLO_EXPLORER_LOG and ends.
#include <windows.h>

#include <string>

int wmain()
{
    wchar_t log[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"VEXLO_EXPLORER_LOG", log, MAX_PATH))
        return 1;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring line = std::wstring(self) + L"|" + GetCommandLineW() + L"\n";
    const HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    const int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), n, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
