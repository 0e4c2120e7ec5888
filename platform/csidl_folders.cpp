#include "platform/csidl_folders.h"

#include <shlobj.h>

#include <cwchar>

#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/process_identity.h"
#include "platform/query_buffer.h"
#include "platform/text.h"
#include "platform/windows_version.h"

std::wstring EnvironmentVariable(const wchar_t* name)
{
    return QueryCountedText([name](wchar_t* data, DWORD size) { return GetEnvironmentVariableW(name, data, size); });
}

std::wstring ConventionalFolderPath(int csidl, const TFolderFallbackFacts& facts)
{
    const bool oldLayout = facts.Major <= 5;
    switch (csidl) {
    case CSIDL_APPDATA:
        return facts.Drive + (oldLayout ? L"\\Documents and Settings\\" + facts.User + L"\\Application Data"
                                        : L"\\Users\\" + facts.User + L"\\AppData\\Roaming");
    case CSIDL_LOCAL_APPDATA:
        return facts.Drive + (oldLayout ? L"\\Documents and Settings\\" + facts.User +
                                              L"\\Local Settings\\Application Data"
                                        : L"\\Users\\" + facts.User + L"\\AppData\\Local");
    case CSIDL_COMMON_APPDATA:
        return facts.Drive + (oldLayout ? L"\\Documents and Settings\\All Users\\Application Data"
                                        : L"\\ProgramData");
    case CSIDL_PROGRAM_FILES:
        return facts.Drive + (facts.Wow64 ? L"\\Program Files (x86)" : L"\\Program Files");
    case CSIDL_PROGRAM_FILES_COMMON:
        return facts.Drive + (facts.Wow64 ? L"\\Program Files (x86)\\Common Files" : L"\\Program Files\\Common Files");
    default:
        return {};
    }
}

std::wstring ResolveSpecialFolder(int csidl, const std::wstring& shellResult, const TFolderFallbackFacts& facts)
{
    if (shellResult.size() > 2)
        return shellResult;
    const wchar_t* variable = nullptr;
    switch (csidl) {
    case CSIDL_APPDATA: variable = L"APPDATA"; break;
    case CSIDL_LOCAL_APPDATA: variable = L"LOCALAPPDATA"; break;
    case CSIDL_COMMON_APPDATA: variable = L"ProgramData"; break;
    case CSIDL_PROGRAM_FILES: variable = facts.Wow64 ? L"ProgramFiles(x86)" : L"ProgramFiles"; break;
    case CSIDL_PROGRAM_FILES_COMMON: variable = facts.Wow64 ? L"CommonProgramFiles(x86)" : L"CommonProgramFiles"; break;
    default: return shellResult;
    }
    const std::wstring fromEnvironment = facts.Env ? TrimControl(facts.Env(variable)) : std::wstring();
    if (!fromEnvironment.empty())
        return fromEnvironment;
    return ConventionalFolderPath(csidl, facts);
}

std::wstring GetSpecialFolder(HWND owner, int csidl)
{
    try {
        wchar_t buffer[MAX_PATH + 1] = {};
        std::wstring shellResult;
        if (SHGetSpecialFolderPathW(owner, buffer, csidl, FALSE))
            shellResult.assign(buffer, wcsnlen(buffer, MAX_PATH + 1));
        if (shellResult.size() > 2)
            return shellResult;
        TFolderFallbackFacts facts;
        facts.Env = EnvironmentVariable;
        facts.Drive = DrivePart(ModuleFileName(Kernel32()));
        facts.User = GetCurrentUserName();
        facts.Major = WindowsVersion().dwMajorVersion;
        facts.Wow64 = IsWow64();
        return ResolveSpecialFolder(csidl, shellResult, facts);
    } catch (...) {
        return {};
    }
}
