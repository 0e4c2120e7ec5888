// VexloGather: the console twin of the tool for automation. Runs one gathering
// without a window, prints the archive path on its last line, and exits 0 when
// an archive was made, 1 otherwise.
#include <windows.h>

#include <string>

#include "app/gathering_driver.h"
#include "app/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/modules.h"

namespace {
void PrintLine(const std::wstring& text)
{
    const std::wstring line = text + L"\r\n";
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(), bytes, nullptr,
                        nullptr);
    WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}
}  // namespace

int wmain()
{
    SetLogFileName(ParentFolder(GetModuleName()) + L"Vexlo_Debug_VireRuri.log");
    std::wstring archive;
    DoGatherInfo(nullptr, 0, archive);
    PrintLine(archive);
    // A run that ended early may leave the systeminfo thread running: end it
    // with the process before anything process-wide is torn down under it.
    ExitProcess(!archive.empty() && FileExists(archive) ? 0 : 1);
}
