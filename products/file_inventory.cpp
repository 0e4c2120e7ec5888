#include "products/file_inventory.h"

#include <windows.h>

#include <deque>
#include <iterator>
#include <optional>
#include <set>
#include <tuple>

#include "platform/folder_walk.h"
#include "platform/handles.h"
#include "platform/locale_text.h"
#include "platform/md5.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/version_resource.h"
#include "products/product_detection.h"
#include "products/product_mode.h"
#include "sections/collect_files.h"
#include "sections/registry_text.h"

namespace {

const std::wstring UninstallRoot = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t* const AntiMalwareKey = L"Grendax_is1";
const wchar_t* const AntiMalwareHeader = L"Grendax";

bool IsDotEntry(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// The install folder an uninstall key records, with a trailing backslash;
// nothing when the key cannot be opened with full access. A value of another
// kind than text counts as missing.
std::optional<std::wstring> RecordedInstallFolder(const std::wstring& keyName)
{
    TRegistry reg(KEY_ALL_ACCESS | ProductKeysView());
    reg.SetAutoView(false);
    reg.SetRoot(HKEY_LOCAL_MACHINE);
    if (!reg.OpenPath(UninstallRoot + keyName))
        return std::nullopt;
    std::wstring location;
    if (reg.ValuePresent(L"InstallLocation") && !IsNonTextValue(reg, L"InstallLocation")) {
        try {
            location = reg.ReadText(L"InstallLocation");
        } catch (const ERegistryException&) {
            location.clear();  // changed its kind meanwhile
        }
    }
    reg.CloseCurrent();
    return location.empty() ? location : IncludeTrailingBackslash(location);
}

// The header lines, and a line per file of the recorded folder from `line`.
TReportLines BuildSection(const std::wstring& headerName, const std::wstring& keyName,
                          const std::function<std::wstring(const TInventoryItem&, const std::wstring&)>& line)
{
    TReportLines section = SectionHeader(headerName);
    const std::optional<std::wstring> folder = RecordedInstallFolder(keyName);
    if (!folder)
        return section;
    std::vector<std::wstring> entries = folder->empty() ? std::vector<std::wstring>() : ListInstallTree(*folder);
    if (entries.empty())
        return {};
    // Each entry becomes its line in place, so that the listing and the lines
    // are never held twice.
    for (std::wstring& entry : entries) {
        const TInventoryItem item = SplitInventoryEntry(entry);
        // Deep files of an install folder may pass MAX_PATH: the readers get the long form.
        entry = line(item, ExtendedLengthPath(item.Path));
    }
    section.insert(section.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
    return section;
}

}  // namespace

std::wstring InventoryEntry(const std::wstring& path, uint64_t size)
{
    return path + L"=" + std::to_wstring(size);
}

TInventoryItem SplitInventoryEntry(const std::wstring& entry)
{
    const size_t at = entry.find_last_of(L'=');
    if (at == std::wstring::npos)
        return {entry, std::wstring()};
    return {entry.substr(0, at), entry.substr(at + 1)};
}

TReportLines SectionHeader(const std::wstring& name)
{
    return {L"", L"===== " + name + L" =====", L""};
}

std::wstring ProductFileLine(const std::wstring& path, const std::wstring& version, const std::wstring& size,
                             const std::wstring& digest)
{
    return path + L", " + version + L", " + size + L", " + digest;
}

std::wstring AntiMalwareFileLine(const std::wstring& path, const std::wstring& version, const std::wstring& size,
                                 const std::wstring& digest, const std::wstring& dateTime)
{
    return ProductFileLine(path, version, size, digest) + L", DT:" + dateTime;
}

std::vector<std::wstring> ListInstallTreeWith(const std::wstring& folder, const TFolderLister& lister)
{
    std::vector<std::wstring> result;
    std::deque<std::wstring> queue{IncludeTrailingBackslash(folder)};
    std::vector<TTreeEntry> entries;
    while (!queue.empty()) {
        const std::wstring current = IncludeTrailingBackslash(queue.front());
        queue.pop_front();
        entries.clear();
        if (!lister(current, entries))
            break;  // what comes after it in the walk is not listed either
        for (const TTreeEntry& entry : entries) {
            if (entry.Link)
                continue;
            if (entry.Folder)
                queue.push_back(current + entry.Name + L"\\");
            else
                result.push_back(InventoryEntry(current + entry.Name, entry.Size));
        }
    }
    return result;
}

std::vector<std::wstring> ListInstallTree(const std::wstring& folder)
{
    if (folder.empty() || !DirectoryExists(folder))
        return {};
    // Every folder queued so far: one reached again by another way (a loop that
    // is no reparse point, a bind mount seen through Wine) is not queued again.
    // Kept ordered, so that a tree of many folders costs no comparison of each
    // with all; a folder whose identity is unknown is never the same as another.
    using TKnownId = std::tuple<DWORD, DWORD, DWORD>;
    std::set<TKnownId> seen;
    const auto firstSeen = [&seen](const TFolderId& id) {
        return !id.Known || seen.insert(TKnownId{id.Volume, id.IndexHigh, id.IndexLow}).second;
    };
    firstSeen(FolderIdOf(IncludeTrailingBackslash(folder)));
    const TFolderLister lister = [&firstSeen](const std::wstring& current, std::vector<TTreeEntry>& entries) {
        WIN32_FIND_DATAW data{};
        const UniqueFind find(FindFirstFileW(ExtendedLengthPath(current + L"*.*").c_str(), &data));
        if (!find)
            return GetLastError() == ERROR_FILE_NOT_FOUND;  // opened, and nothing in it
        do {
            if (IsDotEntry(data.cFileName))
                continue;
            TTreeEntry entry;
            entry.Name = data.cFileName;
            entry.Folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            entry.Link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            entry.Size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            if (entry.Folder && !entry.Link)
                entry.Link = !firstSeen(FolderIdOf(current + entry.Name + L"\\"));
            entries.push_back(std::move(entry));
        } while (FindNextFileW(find.get(), &data));
        return true;
    };
    return ListInstallTreeWith(folder, lister);
}

TReportLines BuildProductSection(const std::wstring& headerName, const std::wstring& uninstallKeyName)
{
    return BuildSection(headerName, uninstallKeyName, [](const TInventoryItem& item, const std::wstring& target) {
        return ProductFileLine(item.Path, FixedFileVersion(target), item.Size, FileMd5Hex(target));
    });
}

TReportLines BuildAntiMalwareSection()
{
    return BuildSection(AntiMalwareHeader, AntiMalwareKey, [](const TInventoryItem& item, const std::wstring& target) {
        return AntiMalwareFileLine(item.Path, FixedFileVersion(target), item.Size, FileMd5Hex(target),
                                   DateTimeToStr(FileTimeLocal(target, ftLastWrite)));
    });
}

void MakeFilesInfo(const std::wstring& gatherFolder)
{
    const TProductMode mode = ProductMode;
    TReportLines lines;
    const auto add = [&lines](TReportLines section) {
        lines.insert(lines.end(), std::make_move_iterator(section.begin()), std::make_move_iterator(section.end()));
    };
    if (mode == pmAll || mode == pmMainProduct) {
        add(BuildProductSection(PrevRegistryProductName(), PrevUninstallKeyName()));
        add(BuildProductSection(RegistryProductName(), UninstallKeyName()));
        add(BuildProductSection(UltimateProductName(), UltimateUninstallKeyName()));
    }
    if (mode == pmAll || mode == pmAntiMalware)
        add(BuildAntiMalwareSection());
    WriteReportFile(IncludeTrailingBackslash(gatherFolder) + L"FilesInfo.txt", lines);
}
