#include "app/save_path.h"

#include <windows.h>

#include <shlobj.h>

#include "app/diagnostic_log.h"
#include "app/log_words.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/process_identity.h"
#include "platform/sessions.h"
#include "platform/csidl_folders.h"
#include "platform/text.h"

std::wstring ReplaceUserInPath(const std::wstring& path, const std::wstring& logUser, const std::wstring& procUser)
{
    if (logUser.empty() || procUser.empty() || SameText(logUser, procUser))
        return path;
    return ReplaceText(path, L"\\" + procUser + L"\\", L"\\" + logUser + L"\\");
}

std::wstring DecideSaveFile()
{
    namespace lw = log_words;
    const std::wstring exeFolder = ExcludeTrailingBackslash(ParentFolder(GetModuleName()));
    std::wstring folder = GetSpecialFolder(nullptr, CSIDL_DESKTOPDIRECTORY);
    WriteLog(lw::SpecialFolderPrefix + folder);
    if (!folder.empty()) {
        const std::wstring logUser = GetLogonUserName();
        const std::wstring procUser = GetProcessUserName(GetCurrentProcessId());
        folder = ReplaceUserInPath(folder, logUser, procUser);
        WriteLog(lw::LogUserPrefix + logUser + lw::ProcUserPart + procUser);
    } else {
        folder = exeFolder;
    }
    if (!IsAbsolutePath(folder) || !DirectoryExists(folder))
        folder = exeFolder;
    WriteLog(lw::DirPrefix + folder);
    const std::wstring file = FullPath(IncludeTrailingBackslash(folder) + ArchiveFileName);
    WriteLog(lw::FilePrefix + file);
    return file;
}
