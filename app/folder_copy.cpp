#include "app/folder_copy.h"

#include <windows.h>

#include <deque>
#include <stdexcept>

#include "app/diagnostic_log.h"
#include "platform/handles.h"
#include "platform/paths.h"

void GetFiles(const std::wstring& folder, std::vector<std::wstring>& files)
{
    try {
        std::deque<std::wstring> queue{IncludeTrailingBackslash(folder)};
        while (!queue.empty()) {
            const std::wstring current = queue.front();
            WIN32_FIND_DATAW data{};
            UniqueFind find(FindFirstFileW((current + L"*.*").c_str(), &data));
            if (find) {
                do {
                    const std::wstring name = data.cFileName;
                    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                        files.push_back(current + name);
                    } else if (name != L"." && name != L".." &&
                               !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                        // A junction or link would lead out of the tree, or round in a loop.
                        queue.push_back(current + name + L"\\");
                    }
                } while (FindNextFileW(find.get(), &data));
            }
            queue.pop_front();
        }
    } catch (...) {
        WriteLog(L"GetFiles except");
    }
}

void CopyFolder(const std::wstring& destination, const std::wstring& source)
{
    WriteLog(L"CopyFolder (" + source + L") to (" + destination + L")");
    std::vector<std::wstring> files;
    GetFiles(source, files);
    WriteLog(L"GetFiles result:");
    std::wstring listing;
    for (const auto& file : files)
        listing += file + L"\r\n";
    WriteLog(listing);
    const std::wstring from = IncludeTrailingBackslash(source);
    for (const auto& file : files) {
        try {
            const std::wstring target = FullPath(IncludeTrailingBackslash(destination) + file.substr(from.size()));
            const std::wstring folder = ParentFolder(target);
            if (!DirectoryExists(folder))
                ForceDirectories(folder);
            if (!CopyFileW(file.c_str(), target.c_str(), FALSE))
                throw std::runtime_error("copy failed");
            WriteLog(L"CopyFile(" + file + L"," + target + L") succ");
        } catch (...) {
            WriteLog(L"CopyFolder except");
        }
    }
}
