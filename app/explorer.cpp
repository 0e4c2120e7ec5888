#include "app/explorer.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/modules.h"

// Explorer from the Windows folder by full path, never through the search path.
void ShowInExplorer(const std::wstring& target)
{
    const std::wstring windows = GetWindowsDir();
    if (windows.empty())
        return;
    const std::wstring explorer = windows + L"\\Explorer.exe";
    const std::wstring parameters = L"/select," + target;
    ShellExecuteW(nullptr, L"open", explorer.c_str(), parameters.c_str(), nullptr, SW_SHOW);
}
