#include "app/uInfoMain.h"

#include <shellapi.h>

#include <memory>

#include "app/ReportLines.h"
#include "app/ZipArchive.h"
#include "app/uLog.h"
#include "platform/FileWalk.h"
#include "platform/Handles.h"
#include "platform/PathUtil.h"
#include "platform/RegistryClassEx.h"
#include "platform/Vexlo_Routine_New.h"
#include "products/AntivirusFiles.h"
#include "products/LogCollect.h"
#include "products/ProductDetect.h"
#include "products/Vexlo_Product_Info.h"
#include "sections/Autoruns.h"
#include "sections/BHOAppFiles.h"
#include "sections/OSInfo.h"
#include "sections/ProcessList.h"
#include "sections/RegExport.h"
#include "sections/Services.h"
#include "sections/uScheduledTasksEnum.h"
#include "sections/uWMI_WSC.h"

TProductMode ProductMode = pmAll;

namespace {

const wchar_t* const AsteriskRow =
    L"*********************************************************************************";
const wchar_t* const RegHeader = L"Windows Registry Editor Version 5.00";
const wchar_t* const UltimateKey = L"Tramblex Ultimate_is1";
const wchar_t* const AntiMalwareKey = L"Grendax_is1";

// Runs one step; a failure shows only as its failure line, then the
// success line always follows.
template <typename F>
void Guarded(const std::wstring& exceptLine, const std::wstring& succLine, F&& step)
{
    try {
        step();
    } catch (...) {
        WriteLog(exceptLine);
    }
    WriteLog(succLine);
}

template <typename F>
void Guarded(const std::wstring& word, F&& step)
{
    Guarded(word + L" Except", word + L" Succ", std::forward<F>(step));
}

class TProgress {
public:
    explicit TProgress(HWND wnd) : FWnd(wnd) {}
    void Post(WPARAM wParam, LPARAM lParam) const
    {
        // Without a window (the console program) nobody listens; posting to a
        // null handle would land in this thread's own queue.
        if (FWnd)
            PostMessageW(FWnd, WM_GENINFO, wParam, lParam);
    }
    void StepProgress() { Post(1, ++FCount); }

private:
    HWND FWnd;
    int FCount = 0;
};

DWORD WINAPI SystemInfoThread(LPVOID param)
{
    const std::unique_ptr<std::wstring> folder(static_cast<std::wstring*>(param));
    try {
        SaveSystemInfo(*folder);
    } catch (...) {
    }
    return 0;
}

std::wstring TempFolder()
{
    return QueryCountedText([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
}

// The gather folder, empty and existing when possible: the temporary folder's
// "GetInfoDir\", or the executable folder's when that cannot be made.
std::wstring SettleGatherFolder()
{
    const auto fresh = [](const std::wstring& folder) {
        if (DirectoryExists(folder))
            DeleteFolder(folder);
        if (!DirectoryExists(folder))
            ForceDirectories(folder);
        return DirectoryExists(folder);
    };
    std::wstring folder = TempFolder() + L"GetInfoDir\\";
    if (!fresh(folder)) {
        folder = ParentFolder(GetModuleName()) + L"GetInfoDir\\";
        fresh(folder);
    }
    return IncludeTrailingBackslash(folder);
}

void CopyAntivirusFiles(const wchar_t* uninstallKey, const std::wstring& destination)
{
    Guarded(L"GenNeedFileByBDError Except", L"GenNeedFileByBDError Succ", [&] {
        const std::wstring source = IncludeTrailingBackslash(GetInstallLocation(uninstallKey)) + L"Antivirus\\";
        CopyVersionFiles(source, destination);
    });
}

void CopyMiniDump(TProgress& progress, const wchar_t* uninstallKey, const wchar_t* fileName,
                  const std::wstring& destination, const std::wstring& word)
{
    const std::wstring dump = IncludeTrailingBackslash(GetInstallLocation(uninstallKey)) + fileName;
    if (!FileExists(dump))
        return;
    progress.Post(4, 0);
    Guarded(word, [&] { CopyDump(dump, destination); });
    progress.StepProgress();
}

}  // namespace

bool DeleteFolder(const std::wstring& folder)
{
    // The tree is deleted here rather than by the shell, which may follow a
    // junction or symbolic link and delete what lies outside the folder. A
    // link is removed itself, never followed; where even that is refused, the
    // folder stays and the result is false.
    const std::wstring path = ExcludeTrailingBackslash(folder);
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return RemoveDirectoryW(path.c_str()) != FALSE;

    bool complete = true;
    const auto deleteFile = [&complete](const TWalkItem& item) {
        if (item.Attributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(item.Path.c_str(), item.Attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
        const BOOL done = (item.Attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(item.Path.c_str())
                                                                        : DeleteFileW(item.Path.c_str());
        complete = complete && done;
    };
    TWalkVisitor visitor;
    visitor.OnFile = deleteFile;
    visitor.OnLink = deleteFile;
    visitor.OnFolderDone = [&complete](const std::wstring& done) {
        complete = RemoveDirectoryW(ExcludeTrailingBackslash(done).c_str()) && complete;
    };
    WalkTree(path, TWalkOptions{true, true, true}, visitor);
    return complete && !DirectoryExists(path);
}

int ProductSwitchFromArgs(const std::vector<std::wstring>& args, const std::function<bool()>& ultimateInstalled)
{
    if (args.empty())
        return 0;
    std::wstring name;
    for (size_t i = 0; i < args.size(); ++i) {
        if (_wcsicmp(args[i].c_str(), L"/Product") == 0) {
            if (i + 1 < args.size())
                name = args[i + 1];
            break;
        }
    }
    if (_wcsicmp(name.c_str(), L"Grendax") == 0)
        return 3;
    if (_wcsicmp(name.c_str(), L"Clarvix") == 0)
        return 4;
    if (_wcsicmp(name.c_str(), L"Mervalo") == 0)
        return 5;
    return ultimateInstalled() ? 2 : 1;
}

int ReadProductSwitch()
{
    std::vector<std::wstring> args;
    int count = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            args.emplace_back(argv[i]);
        LocalFree(argv);
    }
    return ProductSwitchFromArgs(args, [] { return !GetInstallLocation(UltimateKey).empty(); });
}

TProductMode ProductModeFor(const std::wstring& moduleName, const std::function<int()>& readSwitch)
{
    const auto dot = moduleName.find_last_of(L'.');
    const auto slash = moduleName.find_last_of(L'\\');
    const bool library = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) &&
                         _wcsicmp(moduleName.c_str() + dot, L".dll") == 0;
    if (!library)
        return pmAll;
    switch (readSwitch()) {
    case 1:
    case 2: return pmMainProduct;
    case 3: return pmAntiMalware;
    case 4: return pmUninstaller;
    case 5: return pmDefrag;
    default: return pmAll;
    }
}

TProductMode GetProductMode()
{
    return ProductModeFor(GetModuleName(), ReadProductSwitch);
}

void DoGatherInfo(HWND wnd, int otherInfoSizeLimit, std::wstring& archivePath)
{
    WriteLog(L"DoGatherInfo strart");
    archivePath.clear();
    TProgress progress(wnd);
    progress.Post(0, GenInfoProgressMax);

    try {
        LoadWOW64Funcs();
    } catch (...) {
        WriteLog(L"LoadWOW64Funcs Except");
    }

    try {
        ProductMode = GetProductMode();
        const TProductMode mode = ProductMode;

        const std::wstring gatherFolder = SettleGatherFolder();
        const std::wstring zipFolder = IncludeTrailingBackslash(ParentFolder(gatherFolder));
        archivePath = zipFolder + L"Vexlo_Debug_Info.zip";
        WriteLog(L"TempPath:" + gatherFolder + L", tmpZipDir:" + zipFolder + L", Result:" + archivePath);

        // systeminfo takes long: it runs beside everything else until packing.
        UniqueHandle sideThread;
        try {
            auto folder = std::make_unique<std::wstring>(gatherFolder);
            sideThread.reset(CreateThread(nullptr, 0, SystemInfoThread, folder.get(), 0, nullptr));
            if (sideThread)
                folder.release();  // the thread owns its copy now
        } catch (...) {
            WriteLog(L"CreateThread Except");
        }
        WriteLog(L"CreateThread Succ");

        TReportLines list;
        // Whatever happens below, a library build leaves no gather folder behind.
        struct Cleanup {
            TProductMode mode;
            const std::wstring& folder;
            ~Cleanup()
            {
                if (mode != pmAll)
                    DeleteFolder(folder);
            }
        } cleanup{mode, gatherFolder};

        Guarded(L"Vexlo_Routine_New.GetFileVersion(GetModuleName(HInstance), 3)) Except",
                L"Vexlo_Routine_New.GetFileVersion(GetModuleName(HInstance), 3)) Succ",
                [&] { list.push_back(L"Version:" + GetFileVersion(GetModuleName(), fvFileVersion)); });
        Guarded(L"DateTimeToStr(Now) Except", L"DateTimeToStr(Now) Succ", [&] {
            SYSTEMTIME now{};
            GetLocalTime(&now);
            list.push_back(L"Date:" + DateTimeToStr(now));
        });
        Guarded(L"GetOSInfoEx", [&] { GetOSInfoEx(list); });
        progress.StepProgress();
        Guarded(L"GetProcessListEx", [&] { GetProcessListEx(list); });
        progress.StepProgress();
        Guarded(L"EnumServices", [&] { EnumServices(list); });
        progress.StepProgress();
        Guarded(L"GetBHOItemListEx", [&] { GetBHOItemListEx(list); });
        progress.StepProgress();
        Guarded(L"GetAutorunListx", [&] {
            const TReportLines autoruns = GetAutorunListx();
            list.insert(list.end(), autoruns.begin(), autoruns.end());
        });
        list.push_back(AsteriskRow);
        Guarded(L"GetWSCInfo", [&] { GetWSCInfo(list); });
        progress.StepProgress();

        FindProductAppPath();
        if (!ProductAppPath.empty())
            ProductAppPath = IncludeTrailingBackslash(ProductAppPath);
        Guarded(L"GetAppFileInfo", [&] { GetAppFileInfo(list); });
        progress.StepProgress();

        WriteReportFile(gatherFolder + L"Vexlo_Debug_Info.txt", list);
        progress.StepProgress();

        list.assign(1, RegHeader);
        Guarded(L"DoClllectEx", [&] { DoClllectEx(list); });
        WriteReportFile(gatherFolder + L"uninstall.txt", list);
        progress.StepProgress();

        list.assign(1, RegHeader);
        Guarded(L"DoClllectDNS", [&] { DoClllectDNS(list); });
        WriteReportFile(gatherFolder + L"dnsGetinfo.txt", list);
        progress.StepProgress();

        Guarded(L"MakeFilesInfo", [&] { MakeFilesInfo(gatherFolder); });
        progress.StepProgress();

        Guarded(L"LoadLog Except", L"LoadLog Succs", [&] { LoadLog(gatherFolder); });
        progress.StepProgress();

        if (mode == pmAll) {
            Guarded(L"LoadOtherInfo", [&] { LoadOtherInfo(gatherFolder, otherInfoSizeLimit); });
            Guarded(L"LoadOnlyForVireRuriTool", [&] { LoadOnlyForVireRuriTool(gatherFolder); });
            progress.StepProgress();
        }

        Guarded(L"EnumTasks", [&] { EnumTasks(gatherFolder + L"task.txt"); });
        progress.StepProgress();

        if (mode == pmAll || mode == pmMainProduct) {
            Guarded(L"GenTBXLogFiles", [&] { GenTBXLogFiles(gatherFolder); });
            CopyAntivirusFiles(UltimateKey, gatherFolder + L"AppPath\\Antivirus\\");
            progress.StepProgress();
        }
        if (mode == pmAll || mode == pmAntiMalware) {
            Guarded(L"GenGDXLogFiles", [&] { GenGDXLogFiles(gatherFolder); });
            CopyAntivirusFiles(AntiMalwareKey, gatherFolder + L"GDX\\AppPath\\Antivirus\\");
            progress.StepProgress();
        }
        if (mode == pmAll) {
            CopyMiniDump(progress, UltimateKey, L"tbx_Antivirus_mini.dmp", gatherFolder + L"AppPath\\",
                         L"Gen_Antivirus_mini_dmp(TBX)");
            CopyMiniDump(progress, AntiMalwareKey, L"gdx_Antivirus_mini.dmp", gatherFolder + L"GDX\\AppPath\\",
                         L"Gen_Antivirus_mini_dmp(GDX)");
        }

        Guarded(L"WaitGetSystemInfo", [&] {
            if (!sideThread) {
                SaveSystemInfo(gatherFolder);
                return;
            }
            WaitForSingleObject(sideThread.get(), INFINITE);
            sideThread.reset();
        });
        progress.StepProgress();

        if (FileExists(archivePath)) {
            DeleteFileW(archivePath.c_str());
            WriteLog(archivePath + L" Exist and del");
        }
        Guarded(L"ZipFile except", L"ZipFile Succ", [&] { ZipFile(gatherFolder, archivePath); });
        progress.StepProgress();
    } catch (...) {
        WriteLog(L"DoGatherInfo Except");
    }

    OutputDebugStringW((L"VireRuri(DoGatherInfo) result:=" + archivePath).c_str());
    WriteLog(L"DoGatherInfo End: " + archivePath);
}
