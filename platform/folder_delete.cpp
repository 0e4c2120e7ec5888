#include "platform/folder_delete.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/folder_walk.h"
#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/csidl_folders.h"
#include "platform/text.h"

namespace {

// Removes a junction or symbolic link itself. Windows removes the link and
// leaves its target alone; Wine, on a Unix symbolic link, removes the target
// when that is an empty folder. So a link whose target lists as empty is left
// where it is: the tree then counts as not deleted, and nothing outside it is
// touched either way.
bool RemoveLink(const std::wstring& link)
{
    WIN32_FIND_DATAW data{};
    const UniqueFind find(FindFirstFileW(ExtendedLengthPath(IncludeTrailingBackslash(link) + L"*").c_str(), &data));
    bool targetHasEntries = false;
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            targetHasEntries = targetHasEntries || (name != L"." && name != L"..");
        } while (!targetHasEntries && FindNextFileW(find.get(), &data));
    }
    if (find && !targetHasEntries)
        return false;
    return RemoveDirectoryW(ExtendedLengthPath(link).c_str()) || DeleteFileW(ExtendedLengthPath(link).c_str());
}

// `folder` with exactly one trailing backslash, upper-cased, for prefix tests.
std::wstring Comparable(const std::wstring& folder)
{
    return UpperInvariant(IncludeTrailingBackslash(ExcludeTrailingBackslash(FullPath(folder))));
}

}  // namespace

std::vector<std::wstring> ProtectedFolders()
{
    std::vector<std::wstring> folders{GetWindowsDir(), GetSystemDir()};
    for (const int csidl : {CSIDL_PROFILE, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_COMMON_APPDATA,
                            CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL}) {
        wchar_t buffer[MAX_PATH + 1] = {};
        if (SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE))
            folders.emplace_back(buffer);
    }
    // The profiles folder is the parent of the user's profile (C:\Users).
    const std::wstring profile = EnvironmentVariable(L"USERPROFILE");
    if (!profile.empty()) {
        folders.push_back(profile);
        const std::wstring parent = ParentFolder(profile);
        if (!parent.empty())
            folders.push_back(ExcludeTrailingBackslash(parent));
    }
    std::vector<std::wstring> result;
    for (const std::wstring& folder : folders)
        if (!folder.empty())
            result.push_back(ExcludeTrailingBackslash(folder));
    return result;
}

bool MayDeleteFolder(const std::wstring& folder, const std::vector<std::wstring>& protectedFolders)
{
    if (folder.empty() || !IsAbsolutePath(folder) || IsDriveRoot(folder))
        return false;
    const std::wstring target = Comparable(folder);
    if (IsDriveRoot(ExcludeTrailingBackslash(target)))
        return false;
    for (const std::wstring& kept : protectedFolders) {
        if (kept.empty())
            continue;
        // Neither the protected folder itself nor anything that contains it.
        if (Comparable(kept).rfind(target, 0) == 0)
            return false;
    }
    return true;
}

bool DeleteFolder(const std::wstring& folder)
{
    // The tree is deleted here rather than by the shell, which may follow a
    // junction or symbolic link and delete what lies outside the folder. A
    // link is removed itself, never followed; where even that is refused, the
    // folder stays and the result is false.
    if (!MayDeleteFolder(folder, ProtectedFolders()))
        return false;
    const std::wstring path = ExcludeTrailingBackslash(FullPath(folder));
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return RemoveLink(path);

    bool complete = true;
    const auto deleteEntry = [&complete](const TWalkItem& item) {
        const std::wstring target = ExtendedLengthPath(item.Path);
        if (item.Attributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(target.c_str(), item.Attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
        const BOOL done = (item.Attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(target.c_str())
                                                                        : DeleteFileW(target.c_str());
        complete = complete && done;
    };
    TWalkVisitor visitor;
    visitor.OnFile = deleteEntry;
    visitor.OnLink = [&complete, &deleteEntry](const TWalkItem& item) {
        if (item.Attributes & FILE_ATTRIBUTE_DIRECTORY)
            complete = RemoveLink(item.Path) && complete;
        else
            deleteEntry(item);
    };
    visitor.OnFolderDone = [&complete](const std::wstring& done) {
        complete = RemoveDirectoryW(ExtendedLengthPath(ExcludeTrailingBackslash(done)).c_str()) && complete;
    };
    visitor.OnSkipped = [&complete](const std::wstring&, DWORD) { complete = false; };
    WalkTree(path, TWalkOptions{true, true, true}, visitor);
    return complete && !DirectoryExists(path);
}
