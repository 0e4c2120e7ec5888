#include "app/folder_copy.h"

#include <windows.h>

#include <deque>

#include "app/diagnostic_log.h"
#include "app/log_words.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win32_error.h"

namespace lw = log_words;

void GetFiles(const std::wstring& folder, std::vector<std::wstring>& files)
{
    try {
        std::deque<std::wstring> queue{IncludeTrailingBackslash(folder)};
        while (!queue.empty()) {
            const std::wstring current = queue.front();
            WIN32_FIND_DATAW data{};
            UniqueFind find(FindFirstFileW(LiteralPath(current + L"*.*").c_str(), &data));
            if (find) {
                do {
                    const std::wstring name = data.cFileName;
                    if (name == L"." || name == L"..")
                        continue;
                    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                        // A junction or link would lead out of the tree, or round in a loop.
                        WriteLog(lw::CopySkipped + current + name + L": " + lw::NotFollowed);
                    } else if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                        files.push_back(current + name);
                    } else {
                        queue.push_back(current + name + L"\\");
                    }
                } while (FindNextFileW(find.get(), &data));
            } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
                WriteLog(lw::CopySkipped + current + L": " + SystemErrorText(GetLastError()));
            }
            queue.pop_front();
        }
    } catch (...) {
        WriteLog(lw::GetFilesExcept);
    }
}

bool CopyFolder(const std::wstring& destination, const std::wstring& source)
{
    WriteLog(lw::CopyFolderPrefix + source + lw::CopyFolderTo + destination + lw::CopyFolderEnd);
    std::vector<std::wstring> files;
    GetFiles(source, files);
    WriteLog(lw::GetFilesResult);
    std::wstring listing;
    for (const auto& file : files)
        listing += file + L"\r\n";
    WriteLog(listing);
    const std::wstring from = IncludeTrailingBackslash(source);
    bool complete = true;
    for (const auto& file : files) {
        try {
            // Both paths are full already; the literal form keeps a name such
            // as "con" a file name.
            const std::wstring target = IncludeTrailingBackslash(destination) + file.substr(from.size());
            const std::wstring folder = ParentFolder(target);
            if (!DirectoryExists(folder) && !ForceDirectories(folder))
                RaiseLastError(L"cannot create " + folder);
            if (!CopyFileW(LiteralPath(file).c_str(), LiteralPath(target).c_str(), FALSE))
                RaiseLastError(L"cannot copy " + file);
            WriteLog(lw::CopyFilePrefix + file + L"," + target + lw::CopyFileSucc);
        } catch (const std::exception& error) {
            complete = false;
            WriteLog(std::wstring(lw::CopyFolderExcept) + L"\r\n" + lw::ReasonIndent + FromUtf8(error.what()));
        }
    }
    return complete;
}
