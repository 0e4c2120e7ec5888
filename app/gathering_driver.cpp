#include "app/gathering_driver.h"

#include <memory>

#include "app/diagnostic_log.h"
#include "app/log_words.h"
#include "app/zip_archive.h"
#include "platform/folder_delete.h"
#include "platform/fs_redirection.h"
#include "platform/handles.h"
#include "platform/hardware_fault.h"
#include "platform/locale_text.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/query_buffer.h"
#include "platform/text.h"
#include "platform/version_resource.h"
#include "platform/win32_error.h"
#include "products/antivirus_files.h"
#include "products/file_inventory.h"
#include "products/log_collection.h"
#include "products/product_detection.h"
#include "products/product_mode.h"
#include "sections/app_files.h"
#include "sections/autoruns_report.h"
#include "sections/browser_helpers.h"
#include "sections/process_report.h"
#include "sections/registry_export.h"
#include "sections/report_lines.h"
#include "sections/scheduled_tasks.h"
#include "sections/security_center.h"
#include "sections/services_report.h"
#include "sections/system_overview.h"
#include "sections/systeminfo_capture.h"

namespace lw = log_words;

namespace {

const wchar_t* const RegHeader = L"Windows Registry Editor Version 5.00";
const wchar_t* const UltimateKey = L"Tramblex Ultimate_is1";
const wchar_t* const AntiMalwareKey = L"Grendax_is1";
const wchar_t* const ArchiveName = L"Vexlo_Debug_Info.zip";

void Guarded(const std::wstring& word, const std::function<void()>& step)
{
    GuardedStep(word + lw::SuffixExcept, word + lw::SuffixSucc, step);
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

// The side thread: like every function Windows calls, it lets nothing escape.
DWORD WINAPI SystemInfoThread(LPVOID param) noexcept
{
    const std::unique_ptr<std::wstring> folder(static_cast<std::wstring*>(param));
    try {
        THardwareFaultGuard guard;
        SaveSystemInfo(*folder);
    } catch (...) {
        // The side thread does not log; a capture that failed leaves no file.
    }
    return 0;
}

// The archive path beside the gather folder. An archive left there by an
// earlier run is deleted; where it cannot be, this run's archive takes a name
// of its own beside it, so that an old archive is never taken for a new one.
std::wstring ClearArchivePath(const std::wstring& zipFolder)
{
    std::wstring path = zipFolder + ArchiveName;
    for (int n = 1; n <= 100; ++n) {
        if (!FileExists(path))
            return path;
        if (DeleteFileW(ExtendedLengthPath(path).c_str())) {
            WriteLog(path + lw::ArchiveDeleted);
            return path;
        }
        WriteLog(lw::ArchiveNotDeleted + path + L": " + SystemErrorText(GetLastError()));
        path = zipFolder + L"Vexlo_Debug_Info_" + std::to_wstring(n) + L".zip";
    }
    return path;
}

void CopyAntivirusFiles(const wchar_t* uninstallKey, const std::wstring& destination)
{
    GuardedStep(std::wstring(lw::StepVersionFiles) + lw::SuffixExcept,
                std::wstring(lw::StepVersionFiles) + lw::SuffixSucc, [&] {
                    const std::wstring source =
                        IncludeTrailingBackslash(GetInstallLocation(uninstallKey)) + L"Antivirus\\";
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

// An existing folder with nothing in it, whatever was there before; false
// when it cannot be had (a file held open inside, no rights, a file in its place).
bool MakeEmptyFolder(const std::wstring& folder)
{
    if (DirectoryExists(folder) && !DeleteFolder(folder)) {
        WriteLog(lw::GatherFolderNotEmptied + folder);
        return false;
    }
    if (!ForceDirectories(folder) || !DirectoryExists(folder)) {
        WriteLog(lw::GatherFolderNotMade + folder);
        return false;
    }
    return true;
}

}  // namespace

std::wstring CurrentExceptionText()
{
    try {
        throw;
    } catch (const std::exception& error) {
        const std::wstring text = FromUtf8(error.what());
        return text.empty() ? std::wstring(L"unknown exception") : text;
    } catch (...) {
        return L"unknown exception";
    }
}

void GuardedStep(const std::wstring& exceptLine, const std::wstring& succLine, const std::function<void()>& step)
{
    try {
        THardwareFaultGuard guard;
        step();
    } catch (...) {
        // The reason goes on a continuation line: the time-stamped line keeps
        // exactly the step's word.
        WriteLog(exceptLine + L"\r\n" + lw::ReasonIndent + CurrentExceptionText());
    }
    WriteLog(succLine);
}

std::wstring UserTempFolder()
{
    const std::wstring temp =
        QueryCountedText([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
    if (temp.empty() || !IsAbsolutePath(temp))
        return {};
    return IncludeTrailingBackslash(temp);
}

std::wstring SettleGatherFolder(const std::wstring& tempFolder, const std::wstring& exeFolder)
{
    for (const std::wstring& base : {tempFolder, exeFolder}) {
        if (base.empty() || !IsAbsolutePath(base))
            continue;
        const std::wstring folder = IncludeTrailingBackslash(base) + L"GetInfoDir\\";
        if (MakeEmptyFolder(folder))
            return folder;
    }
    return {};
}

TGatherResult DoGatherInfo(HWND wnd, int otherInfoSizeLimit)
{
    TGatherResult result;
    WriteLog(lw::GatherStart);
    TProgress progress(wnd);
    progress.Post(0, GenInfoProgressMax);

    try {
        LoadWOW64Funcs();
    } catch (...) {
        WriteLog(lw::LoadWow64Except);
    }

    try {
        THardwareFaultGuard guard;
        ProductMode = GetProductMode();
        const TProductMode mode = ProductMode;

        const std::wstring gatherFolder = SettleGatherFolder(UserTempFolder(), ParentFolder(GetModuleName()));
        if (gatherFolder.empty()) {
            // Better no archive than one that mixes an earlier run's files into this one.
            WriteLog(lw::NoGatherFolder);
            throw std::runtime_error("no gather folder");
        }
        result.GatherFolder = gatherFolder;
        const std::wstring zipFolder = ParentFolder(gatherFolder);
        const std::wstring plannedArchive = zipFolder + ArchiveName;
        WriteLog(lw::TempPathPrefix + gatherFolder + lw::TempZipDirPart + zipFolder + lw::TempResultPart +
                 plannedArchive);

        // systeminfo takes long: it runs beside everything else until packing.
        UniqueHandle sideThread;
        try {
            auto folder = std::make_unique<std::wstring>(gatherFolder);
            sideThread.reset(CreateThread(nullptr, 0, SystemInfoThread, folder.get(), 0, nullptr));
            if (sideThread)
                folder.release();  // the thread owns its copy now
        } catch (...) {
            WriteLog(lw::CreateThreadExcept);
        }
        WriteLog(lw::CreateThreadSucc);

        TReportLines list;
        // Whatever happens below, a library build leaves no gather folder behind.
        struct TCleanup {
            TProductMode Mode;
            const std::wstring& Folder;
            ~TCleanup()
            {
                if (Mode != pmAll)
                    DeleteFolder(Folder);
            }
        } cleanup{mode, gatherFolder};

        Guarded(lw::StepVersion, [&] { list.push_back(L"Version:" + GetFileVersion(GetModuleName(), fvFileVersion)); });
        Guarded(lw::StepDate, [&] {
            SYSTEMTIME now{};
            GetLocalTime(&now);
            list.push_back(L"Date:" + DateTimeToStr(now));
        });
        Guarded(lw::StepOSInfo, [&] { GetOSInfoEx(list); });
        progress.StepProgress();
        Guarded(lw::StepProcessList, [&] { GetProcessListEx(list); });
        progress.StepProgress();
        Guarded(lw::StepServices, [&] { EnumServices(list); });
        progress.StepProgress();
        Guarded(lw::StepBrowserHelpers, [&] { GetBHOItemListEx(list); });
        progress.StepProgress();
        Guarded(lw::StepAutoruns, [&] {
            const TReportLines autoruns = GetAutorunList();
            list.insert(list.end(), autoruns.begin(), autoruns.end());
        });
        list.push_back(AsteriskRow);
        Guarded(lw::StepSecurityCenter, [&] { GetWSCInfo(list); });
        progress.StepProgress();

        FindProductAppPath();
        if (!ProductAppPath.empty())
            ProductAppPath = IncludeTrailingBackslash(ProductAppPath);
        Guarded(lw::StepAppFiles, [&] { GetAppFileInfo(list); });
        progress.StepProgress();

        WriteReportFile(gatherFolder + L"Vexlo_Debug_Info.txt", list);
        progress.StepProgress();

        list.assign(1, RegHeader);
        Guarded(lw::StepUninstallExport, [&] { DoCollectEx(list); });
        WriteReportFile(gatherFolder + L"uninstall.txt", list);
        progress.StepProgress();

        list.assign(1, RegHeader);
        Guarded(lw::StepDnsExport, [&] { DoCollectDNS(list); });
        WriteReportFile(gatherFolder + L"dnsGetinfo.txt", list);
        progress.StepProgress();

        Guarded(lw::StepFilesInfo, [&] { MakeFilesInfo(gatherFolder); });
        progress.StepProgress();

        GuardedStep(lw::LoadLogExcept, lw::LoadLogSucc, [&] { LoadLog(gatherFolder); });
        progress.StepProgress();

        if (mode == pmAll) {
            Guarded(lw::StepLoadOtherInfo, [&] { LoadOtherInfo(gatherFolder, otherInfoSizeLimit); });
            Guarded(lw::StepVireRuriTool, [&] { LoadOnlyForVireRuriTool(gatherFolder); });
            progress.StepProgress();
        }

        Guarded(lw::StepTasks, [&] { EnumTasks(gatherFolder + L"task.txt"); });
        progress.StepProgress();

        if (mode == pmAll || mode == pmMainProduct) {
            Guarded(lw::StepTbxLogFiles, [&] { GenTBXLogFiles(gatherFolder); });
            CopyAntivirusFiles(UltimateKey, gatherFolder + L"AppPath\\Antivirus\\");
            progress.StepProgress();
        }
        if (mode == pmAll || mode == pmAntiMalware) {
            Guarded(lw::StepGdxLogFiles, [&] { GenGDXLogFiles(gatherFolder); });
            CopyAntivirusFiles(AntiMalwareKey, gatherFolder + L"GDX\\AppPath\\Antivirus\\");
            progress.StepProgress();
        }
        if (mode == pmAll) {
            CopyMiniDump(progress, UltimateKey, L"tbx_Antivirus_mini.dmp", gatherFolder + L"AppPath\\",
                         lw::StepTbxDump);
            CopyMiniDump(progress, AntiMalwareKey, L"gdx_Antivirus_mini.dmp", gatherFolder + L"GDX\\AppPath\\",
                         lw::StepGdxDump);
        }

        Guarded(lw::StepSystemInfo, [&] {
            if (!sideThread) {
                SaveSystemInfo(gatherFolder);
                return;
            }
            // The capture ends itself at its own bound; should the thread not,
            // the archive is made without waiting any longer.
            if (WaitForSingleObject(sideThread.get(), SystemInfoJoinTimeoutMs) == WAIT_TIMEOUT)
                WriteLog(log_words::SystemInfoWaitTimeout);
            sideThread.reset();
        });
        progress.StepProgress();

        const std::wstring archive = ClearArchivePath(zipFolder);
        GuardedStep(lw::ZipFileExcept, lw::ZipFileSucc, [&] {
            ZipFile(gatherFolder, archive, &result.Entries);
            result.ArchivePath = archive;
        });
        progress.StepProgress();
    } catch (...) {
        WriteLog(std::wstring(lw::GatherExcept) + L"\r\n" + lw::ReasonIndent + CurrentExceptionText());
    }

    OutputDebugStringW((lw::DebuggerResult + result.ArchivePath).c_str());
    WriteLog(lw::GatherEnd + result.ArchivePath);
    return result;
}
