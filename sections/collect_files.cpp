#include "sections/collect_files.h"

#include <algorithm>

#include "platform/folder_walk.h"
#include "platform/paths.h"

namespace {

std::wstring LowerInvariant(std::wstring text)
{
    if (!text.empty())
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), static_cast<int>(text.size()), text.data(),
                      static_cast<int>(text.size()), nullptr, nullptr, 0);
    return text;
}

SYSTEMTIME ZeroDateTime()
{
    SYSTEMTIME time{};
    time.wYear = 1899;
    time.wMonth = 12;
    time.wDay = 30;
    return time;
}

}  // namespace

std::vector<std::wstring> ExtensionFilterItems(const std::wstring& filter)
{
    std::vector<std::wstring> items;
    const std::wstring lower = LowerInvariant(filter);
    size_t start = 0;
    while (start <= lower.size()) {
        const size_t bar = std::min(lower.find(L'|', start), lower.size());
        size_t first = start;
        while (first < bar && lower[first] == L'*')
            ++first;
        if (first < bar)
            items.push_back(lower.substr(first, bar - first));
        start = bar + 1;
    }
    return items;
}

std::wstring LowerExtension(const std::wstring& fileName)
{
    const std::wstring name = FileNamePart(fileName);
    const size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos ? std::wstring() : LowerInvariant(name.substr(dot));
}

bool PassesExtensionFilter(const std::wstring& fileName, const std::vector<std::wstring>& items)
{
    return items.empty() || std::find(items.begin(), items.end(), LowerExtension(fileName)) != items.end();
}

void CollectFiles(const std::wstring& folder, std::vector<std::wstring>& list, TCollectMode mode, bool recurse,
                  const std::wstring& filter)
{
    if (folder.empty())
        return;
    const std::vector<std::wstring> items = ExtensionFilterItems(filter);
    TWalkOptions options;
    options.IncludeHidden = true;
    options.IncludeSystem = true;
    options.Recurse = recurse;
    TWalkVisitor visitor;
    visitor.OnFile = [&](const TWalkItem& item) {
        if ((mode == cmFiles || mode == cmFilesAndFolders) && PassesExtensionFilter(item.Path, items))
            list.push_back(item.Path);
    };
    visitor.OnFolder = [&](const TWalkItem& item) {
        // Working copies of the maker's own builds carry these; they are not the product.
        if (FileNamePart(item.Path) == L".svn")
            return false;
        if (mode == cmFolders)
            list.push_back(item.Path);
        else if (mode == cmFilesAndFolders)
            list.push_back(item.Path + L"\\");
        return true;
    };
    WalkTree(IncludeTrailingBackslash(folder), options, visitor);
}

SYSTEMTIME FileTimeLocal(const std::wstring& path, TFileTimeKind which)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(ExtendedLengthPath(path).c_str(), GetFileExInfoStandard, &data))
        return ZeroDateTime();
    const FILETIME& stamp = which == ftCreation    ? data.ftCreationTime
                            : which == ftLastWrite ? data.ftLastWriteTime
                                                   : data.ftLastAccessTime;
    SYSTEMTIME universal{}, local{};
    if (!FileTimeToSystemTime(&stamp, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return ZeroDateTime();
    return local;
}
