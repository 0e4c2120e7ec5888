// VexloGather: the console twin of the tool for automation. Runs one gathering
// without a window, prints the archive path on its last line, and exits 0 when
// an archive was made, 1 when none was, 2 when another gathering of this
// session is running.
#include <windows.h>

#include <string>

#include "app/crash_report.h"
#include "app/diagnostic_log.h"
#include "app/gathering_driver.h"
#include "app/log_words.h"
#include "app/run_lock.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "platform/text.h"

namespace {

constexpr UINT ExitArchiveMade = 0;
constexpr UINT ExitNoArchive = 1;
constexpr UINT ExitBusy = 2;

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
    const std::string utf8 = ToUtf8(line);
    WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace

int wmain()
{
    const std::wstring folder = ParentFolder(GetModuleName());
    SetLogFileName(folder + L"Vexlo_Debug_VireRuri.log");
    InstallCrashReport(folder + L"Vexlo_Debug_VireRuri.crash.txt", false);
    AppFrame();  // the well-known folders, resolved while the program starts

    UINT exitCode = ExitNoArchive;
    try {
        const TRunLock lock;
        if (!lock.Acquired()) {
            WriteLog(log_words::ReportBusy);
            PrintLine(L"A report is already being made; try again when it has been saved.");
            exitCode = ExitBusy;
        } else {
            const TGatherResult result = DoGatherInfo(nullptr, 0);
            PrintLine(result.ArchivePath);
            exitCode = result.ArchivePath.empty() ? ExitNoArchive : ExitArchiveMade;
        }
    } catch (...) {
        WriteLog(std::wstring(log_words::GatherExcept) + L"\r\n" + log_words::ReasonIndent + CurrentExceptionText());
    }
    // A run that ended early may leave the systeminfo thread running: end it
    // with the process before anything process-wide is torn down under it.
    ExitProcess(exitCode);
}
