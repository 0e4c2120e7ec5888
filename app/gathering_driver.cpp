#include "app/gathering_driver.h"

#include <shellapi.h>

#include <memory>

#include "app/diagnostic_log.h"
#include "app/zip_archive.h"
#include "platform/folder_delete.h"
#include "platform/fs_redirection.h"
#include "platform/handles.h"
#include "platform/locale_text.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/query_buffer.h"
#include "platform/version_resource.h"
#include "products/antivirus_files.h"
#include "products/file_inventory.h"
#include "products/log_collection.h"
#include "products/product_detection.h"
#include "products/product_mode.h"
#include "sections/app_files.h"
#include "sections/autoruns_report.h"
#include "sections/browser_helpers.h"
#include "sections/system_overview.h"
#include "sections/process_report.h"
#include "sections/report_lines.h"
#include "sections/registry_export.h"
#include "sections/services_report.h"
#include "sections/scheduled_tasks.h"
#include "sections/security_center.h"

namespace {

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
