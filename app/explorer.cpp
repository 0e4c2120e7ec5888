#include "app/explorer.h"

#include <windows.h>
#include <shellapi.h>

#include "app/diagnostic_log.h"
#include "app/log_words.h"
#include "platform/modules.h"
#include "platform/win32_error.h"

// Explorer from the Windows folder by full path, never through the search
// path. The start is synchronous (the process may end right after it) and
// shows no error box of its own; a failure is logged.
void ShowInExplorer(const std::wstring& target)
{
    const std::wstring windows = GetWindowsDir();
    if (windows.empty()) {
        WriteLog(std::wstring(log_words::ExplorerNotStarted) + L"no Windows folder");
        return;
    }
    const std::wstring explorer = windows + L"\\Explorer.exe";
    const std::wstring parameters = L"/select," + target;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = explorer.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOW;
    if (!ShellExecuteExW(&info))
        WriteLog(log_words::ExplorerNotStarted + SystemErrorText(GetLastError()));
}
