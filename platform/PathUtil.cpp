#include "platform/PathUtil.h"

#include <windows.h>

std::wstring IncludeTrailingBackslash(const std::wstring& path)
{
    return !path.empty() && path.back() == L'\\' ? path : path + L"\\";
}

std::wstring ExcludeTrailingBackslash(const std::wstring& path)
{
    std::wstring result = path;
    while (!result.empty() && result.back() == L'\\')
        result.pop_back();
    return result;
}

std::wstring ParentFolder(const std::wstring& path)
{
    const std::wstring trimmed = ExcludeTrailingBackslash(path);
    const auto slash = trimmed.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : trimmed.substr(0, slash + 1);
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const std::wstring& folder)
{
    const std::wstring path = ExcludeTrailingBackslash(folder);
    if (path.empty())
        return false;
    if (DirectoryExists(path))
        return true;
    const std::wstring parent = ExcludeTrailingBackslash(ParentFolder(path));
    if (!parent.empty() && parent != path && parent.back() != L':' && !ForceDirectories(parent))
        return false;
    return CreateDirectoryW(path.c_str(), nullptr) || DirectoryExists(path);
}
