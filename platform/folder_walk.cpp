#include "platform/folder_walk.h"

#include "platform/handles.h"
#include "platform/paths.h"

#include <utility>
#include <vector>

namespace {

bool IsDotEntry(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// One folder being listed.
struct TFrame {
    UniqueFind Find;
    WIN32_FIND_DATAW Data{};
    bool Pending = true;         // Data holds an entry not yet looked at
    std::wstring Folder;         // full path with trailing backslash
    std::wstring Relative;       // relative prefix with trailing backslash, or empty
    TFolderId Id;
};

}  // namespace

TFolderId FolderIdOf(const std::wstring& folder)
{
    TFolderId id;
    UniqueFile handle(CreateFileW(ExtendedLengthPath(folder).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle && GetFileInformationByHandle(handle.get(), &info)) {
        id.Known = true;
        id.Volume = info.dwVolumeSerialNumber;
        id.IndexHigh = info.nFileIndexHigh;
        id.IndexLow = info.nFileIndexLow;
    }
    return id;
}

bool WalkSelects(DWORD attributes, const TWalkOptions& options)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return false;
    if ((attributes & FILE_ATTRIBUTE_HIDDEN) && !options.IncludeHidden)
        return false;
    if ((attributes & FILE_ATTRIBUTE_SYSTEM) && !options.IncludeSystem)
        return false;
    return true;
}

void WalkFiles(const std::wstring& root, const TWalkOptions& options,
               const std::function<void(const TWalkItem&)>& onFile)
{
    TWalkVisitor visitor;
    visitor.OnFile = onFile;
    WalkTree(root, options, visitor);
}

void WalkTree(const std::wstring& root, const TWalkOptions& options, const TWalkVisitor& visitor)
{
    std::vector<TFrame> stack;

    auto enter = [&stack, &visitor](std::wstring folder, std::wstring relative, TFolderId id) {
        TFrame frame;
        frame.Find.reset(FindFirstFileW(ExtendedLengthPath(folder + L"*.*").c_str(), &frame.Data));
        if (!frame.Find) {
            const DWORD error = GetLastError();
            if (visitor.OnSkipped && error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES)
                visitor.OnSkipped(folder, error);
            return;
        }
        frame.Folder = std::move(folder);
        frame.Relative = std::move(relative);
        frame.Id = id;
        stack.push_back(std::move(frame));
    };

    std::wstring top = root;
    while (!top.empty() && top.back() == L'\\')
        top.pop_back();
    top += L'\\';
    enter(top, std::wstring(), FolderIdOf(top));

    while (!stack.empty()) {
        TFrame& frame = stack.back();
        if (!frame.Pending && !FindNextFileW(frame.Find.get(), &frame.Data)) {
            const std::wstring done = std::move(frame.Folder);
            stack.pop_back();
            if (visitor.OnFolderDone)
                visitor.OnFolderDone(done);
            continue;
        }
        frame.Pending = false;
        const WIN32_FIND_DATAW& data = frame.Data;
        if (IsDotEntry(data.cFileName))
            continue;
        const auto makeItem = [&] {
            TWalkItem item;
            item.RelativePath = frame.Relative + data.cFileName;
            item.Path = top + item.RelativePath;
            item.Attributes = data.dwFileAttributes;
            item.LastWriteTime = data.ftLastWriteTime;
            item.Size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            return item;
        };
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            if (visitor.OnLink && WalkSelects(data.dwFileAttributes & ~DWORD(FILE_ATTRIBUTE_REPARSE_POINT), options))
                visitor.OnLink(makeItem());
            continue;
        }
        if (!WalkSelects(data.dwFileAttributes, options)) {
            if (visitor.OnUnselected)
                visitor.OnUnselected(makeItem());
            continue;
        }

        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (visitor.OnFolder && !visitor.OnFolder(makeItem()))
                continue;
            if (!options.Recurse)
                continue;
            std::wstring folder = frame.Folder + data.cFileName + L'\\';
            std::wstring relative = frame.Relative + data.cFileName + L'\\';
            const TFolderId id = FolderIdOf(folder);
            bool seen = false;
            for (const TFrame& ancestor : stack)
                seen = seen || id.Same(ancestor.Id);
            if (!seen)
                enter(std::move(folder), std::move(relative), id);  // may move `frame`
            continue;
        }

        if (visitor.OnFile)
            visitor.OnFile(makeItem());
    }
}
