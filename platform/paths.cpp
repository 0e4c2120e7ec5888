#include "platform/paths.h"

#include <windows.h>

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool HasDriveLetter(const std::wstring& path)
{
    return path.size() >= 2 && path[1] == L':' &&
           ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

bool IsExtendedForm(const std::wstring& path)
{
    return path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0;
}

// Characters of the root part: "C:\" (3), "\\server\share\" (up to the share's
// end), "\\?\C:\" and "\\?\UNC\server\share\"; 0 for a relative path.
size_t RootLength(const std::wstring& path)
{
    if (IsExtendedForm(path)) {
        const std::wstring rest = path.substr(4);
        if (rest.rfind(L"UNC\\", 0) == 0)
            return 4 + 4 + RootLength(L"\\\\" + rest.substr(4)) - 2;
        return HasDriveLetter(rest) ? 4 + (rest.size() >= 3 && IsSeparator(rest[2]) ? 3 : 2) : 4;
    }
    if (HasDriveLetter(path))
        return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 0;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        const size_t server = path.find_first_of(L"\\/", 2);
        if (server == std::wstring::npos || server == 2)
            return 0;
        const size_t share = path.find_first_of(L"\\/", server + 1);
        return share == std::wstring::npos ? path.size() : share + 1;
    }
    return 0;
}

}  // namespace

std::wstring IncludeTrailingBackslash(const std::wstring& path)
{
    return !path.empty() && path.back() == L'\\' ? path : path + L"\\";
}

std::wstring ExcludeTrailingBackslash(const std::wstring& path)
{
    const size_t root = RootLength(path);
    std::wstring result = path;
    while (result.size() > root && !result.empty() && result.back() == L'\\')
        result.pop_back();
    return result;
}

std::wstring ParentFolder(const std::wstring& path)
{
    if (IsDriveRoot(path))
        return {};
    const std::wstring trimmed = ExcludeTrailingBackslash(path);
    const auto slash = trimmed.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : trimmed.substr(0, slash + 1);
}

std::wstring FileNamePart(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/:");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring DrivePart(const std::wstring& path)
{
    if (path.size() >= 2 && path[1] == L':')
        return path.substr(0, 2);
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
        const size_t server = path.find(L'\\', 2);
        if (server == std::wstring::npos)
            return path;
        const size_t share = path.find(L'\\', server + 1);
        return path.substr(0, share);
    }
    return {};
}

bool IsAbsolutePath(const std::wstring& path)
{
    return RootLength(path) > 0 && !(IsExtendedForm(path) && RootLength(path) == 4);
}

bool IsDriveRoot(const std::wstring& path)
{
    if (HasDriveLetter(path) && (path.size() == 2 || (path.size() == 3 && IsSeparator(path[2]))))
        return true;
    const size_t root = RootLength(path);
    if (root == 0)
        return false;
    size_t end = path.size();
    while (end > root && IsSeparator(path[end - 1]))
        --end;
    return end <= root;
}

std::wstring FullPath(const std::wstring& path)
{
    if (path.empty())
        return path;
    std::wstring full(MAX_PATH + 1, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0)
            return path;
        if (n < full.size()) {
            full.resize(n);
            return full;
        }
        full.resize(n + 1);
    }
    return path;
}

std::wstring ExtendedLengthPath(const std::wstring& path)
{
    // CreateDirectoryW stops at MAX_PATH - 12 characters, the other calls at MAX_PATH.
    constexpr size_t limit = MAX_PATH - 12;
    if (path.size() < limit || IsExtendedForm(path) || !IsAbsolutePath(path))
        return path;
    return LiteralPath(FullPath(path));
}

std::wstring LiteralPath(const std::wstring& path)
{
    // Not normalised here: GetFullPathNameW itself turns "C:\x\con" into the
    // console device.
    if (IsExtendedForm(path) || !IsAbsolutePath(path))
        return path;
    if (HasDriveLetter(path))
        return L"\\\\?\\" + path;
    return L"\\\\?\\UNC\\" + path.substr(2);
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const std::wstring& folder)
{
    const std::wstring path = ExcludeTrailingBackslash(folder);
    if (path.empty())
        return false;
    if (DirectoryExists(path))
        return true;
    if (IsDriveRoot(path))
        return false;  // a drive that does not exist cannot be made
    const std::wstring parent = ExcludeTrailingBackslash(ParentFolder(path));
    if (!parent.empty() && parent != path && parent.back() != L':' && !ForceDirectories(parent))
        return false;
    return CreateDirectoryW(ExtendedLengthPath(path).c_str(), nullptr) || DirectoryExists(path);
}
