#include "products/product_file_lists.h"

#include <windows.h>

#include <algorithm>

#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "platform/text.h"
#include "products/pattern_copy.h"
#include "products/product_detection.h"
#include "sections/collect_files.h"

const std::vector<std::wstring> MainProductSkipNames{L"desktop.ini", L"Thumbs.db"};

namespace {

const wchar_t* const AntiMalwareKey = L"Grendax_is1";

// A data folder of the maker's: base + "\Vexlo\" + name + "\"; empty when the
// base folder is not known (it would otherwise name the root of the drive).
std::wstring MakerDataFolder(const std::wstring& base, const std::wstring& name)
{
    return base.empty() ? std::wstring() : IncludeTrailingBackslash(base) + L"Vexlo\\" + name + L"\\";
}

void Append(std::vector<std::wstring>& list, const std::vector<std::wstring>& more)
{
    list.insert(list.end(), more.begin(), more.end());
}

void AppendIfFile(std::vector<std::wstring>& list, const std::wstring& path)
{
    if (FileExists(path))
        list.push_back(path);
}

}  // namespace

std::vector<std::wstring> MatchFiles(const std::wstring& folder, const std::wstring& mask,
                                     const std::vector<std::wstring>& skipNames)
{
    std::vector<std::wstring> files;
    if (folder.empty() || !DirectoryExists(folder))
        return files;
    const std::wstring base = IncludeTrailingBackslash(folder);
    WIN32_FIND_DATAW data{};
    const UniqueFind find(FindFirstFileW(ExtendedLengthPath(base + mask).c_str(), &data));
    if (!find)
        return files;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;  // "." and ".." included
        const std::wstring name = data.cFileName;
        const auto skipped = [&name](const std::wstring& skip) { return SameText(skip, name); };
        if (std::any_of(skipNames.begin(), skipNames.end(), skipped))
            continue;
        files.push_back(base + name);
    } while (FindNextFileW(find.get(), &data));
    return files;
}

std::vector<std::wstring> MainProductFileList()
{
    const std::wstring n = ProductFolderName();
    const std::wstring a = GetInstallLocation(UninstallKeyName());
    const std::wstring b = MakerDataFolder(AppFrame().AppDataDir, n);
    const std::wstring c = MakerDataFolder(AppFrame().CommonAppDataDir, n);
    const std::vector<std::wstring>& skip = MainProductSkipNames;
    std::vector<std::wstring> list;
    if (!a.empty()) {
        for (const wchar_t* name : {L"TBXService_Log.txt", L"scanstate.txt", L"qv.dat", L"Screen_log.txt"})
            AppendIfFile(list, a + name);
        Append(list, MatchFiles(a, L"*.log", skip));
        Append(list, MatchFiles(a + L"Update\\", L"*.ini", skip));
        Append(list, MatchFiles(a + L"TBXServiceLog\\", L"*.*", skip));
        Append(list, MatchFiles(a + L"Boottimelog\\", L"*.*", skip));
    }
    if (!b.empty()) {
        Append(list, MatchFiles(b, L"*.ini", skip));
        for (const wchar_t* folder : {L"Log\\", L"Backup\\", L"Boottime\\", L"Netquell\\", L"Memfolio\\", L"Onsetter\\",
                                      L"Haltwise\\", L"Hivescrub\\", L"Hivescrub\\backup\\", L"Downloader\\"})
            Append(list, MatchFiles(b + folder, L"*.*", skip));
    }
    if (!c.empty())
        Append(list, MatchFiles(c, L"*.ini", skip));
    return list;
}

std::vector<std::wstring> AntiMalwareFileList()
{
    const std::wstring a = GetInstallLocation(AntiMalwareKey);
    const std::wstring b = MakerDataFolder(AppFrame().AppDataDir, L"Grendax");
    const std::wstring c = MakerDataFolder(AppFrame().CommonAppDataDir, L"Grendax");
    std::vector<std::wstring> list;
    CollectFiles(b, list, cmFiles, true, std::wstring());
    if (a.empty() || !DirectoryExists(a))
        return list;
    CollectFiles(c, list, cmFiles, true, std::wstring());
    CollectFiles(a + L"log\\", list, cmFiles, true, std::wstring());
    AppendIfFile(list, a + L"selfrefresh.log");
    AppendIfFile(list, a + L"gdx_Antivirus_Faultnote.txt");
    CollectFiles(a, list, cmFiles, true, L".log");
    CollectFiles(a + L"update\\", list, cmFiles, true, L".ini");
    return list;
}

TPrefixMap MainProductPrefixMap()
{
    const std::wstring n = ProductFolderName();
    return {
        {GetInstallLocation(UninstallKeyName()), AppPathFolderName() + L"\\"},
        {MakerDataFolder(AppFrame().AppDataDir, n), L"AppData\\"},
        {MakerDataFolder(AppFrame().CommonAppDataDir, n), L"ProgramData\\"},
    };
}

TPrefixMap AntiMalwarePrefixMap()
{
    return {
        {GetInstallLocation(AntiMalwareKey), L"GDX\\AppPath\\"},
        {MakerDataFolder(AppFrame().AppDataDir, L"Grendax"), L"GDX\\AppData\\"},
        {MakerDataFolder(AppFrame().CommonAppDataDir, L"Grendax"), L"GDX\\ProgramData\\"},
    };
}

std::wstring MapToGather(const std::wstring& path, const TPrefixMap& map)
{
    for (const TPrefixMapRow& row : map)
        if (!row.Prefix.empty() && path.compare(0, row.Prefix.size(), row.Prefix) == 0)
            return row.Target + path.substr(row.Prefix.size());
    return {};
}

void CopyMappedFiles(const std::vector<std::wstring>& files, const TPrefixMap& map, const std::wstring& gatherFolder,
                     TCopyFailures* failures)
{
    const std::wstring root = IncludeTrailingBackslash(gatherFolder);
    for (const std::wstring& file : files) {
        const std::wstring mapped = MapToGather(file, map);
        if (mapped.empty())
            continue;
        const std::wstring target = root + mapped;
        if (!FileExists(target))
            CopyIntoGather(file, target, false, failures);
    }
}
