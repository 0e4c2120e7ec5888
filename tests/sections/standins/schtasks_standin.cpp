// Stand-in for schtasks.exe (see standin.h for the folder and the log).
//   ... /query /FO csv            answers csv-<CodePage> when given, else csv (see Answer)
//   ... /query /V /TN NAME /FO list
//                                 prints the task's details, the last line without CR:
//                                   HostName: <own path>, TaskName: \NAME (ANSI), CodePage: <value>
// <CodePage> is the console code page value of cmd.exe windows in force for
// this user (HKCU\Console\%SystemRoot%_system32_cmd.exe, "CodePage"): its
// number, "absent", or "other" for a value that is not a DWORD.
#include <string>

#include "standin.h"

namespace {

std::wstring ConsoleCodePage()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Console\\%SystemRoot%_system32_cmd.exe", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return L"absent";
    DWORD type = 0, value = 0, size = sizeof(value);
    const LONG rc = RegQueryValueExW(key, L"CodePage", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return L"absent";
    if (rc != ERROR_SUCCESS || type != REG_DWORD)
        return L"other";
    return std::to_wstring(value);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    standin::Record(L"schtasks", argc, argv);
    const std::wstring codePage = ConsoleCodePage();
    std::wstring task;
    bool csv = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = standin::Lower(argv[i]);
        if (arg == L"/tn" && i + 1 < argc)
            task = argv[i + 1];
        if (arg == L"csv")
            csv = true;
    }
    if (csv) {
        const std::wstring specific = L"csv-" + codePage;
        const bool given = standin::Exists(standin::Folder() + specific + L".txt") ||
                           standin::Exists(standin::Folder() + specific + L".hang");
        standin::Answer(given ? specific : L"csv");
        return 0;
    }
    if (!task.empty()) {
        standin::WriteOut(standin::Ansi(L"\r\nHostName: " + standin::OwnPath() + L"\r\nTaskName: \\" + task +
                                        L"\r\nCodePage: " + codePage));
        return 0;
    }
    return 1;
}
