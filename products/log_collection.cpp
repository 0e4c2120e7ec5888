#include "products/log_collection.h"

#include <cstdint>

#include "platform/folder_walk.h"
#include "platform/fs_redirection.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "products/pattern_copy.h"
#include "products/product_detection.h"
#include "products/product_file_lists.h"

namespace {

const wchar_t* const FetchwellPattern = L"%ProgramFilesX86%\\Vexlo\\Fetchwell\\*.log";
const wchar_t* const OtherInfoTarget = L"OtherInfo\\BDLogging\\";

}  // namespace

std::wstring TLogRow::Pattern(const std::wstring& productFolder) const
{
    return Tail ? Head + productFolder + Tail : std::wstring(Head);
}

const std::vector<TLogRow>& LoadLogRows()
{
    static const std::vector<TLogRow> rows{
        {L"%AppPath%\\*.log"},
        {L"%AppPath%\\Antivirus\\Plugins\\update.txt"},
        {L"%AppPath%\\Antivirus\\Sightings.ini"},
        {L"%AppPath%\\tbx_Antivirus_Faultnote.txt"},
        {L"%AppPath%\\Faultnote.txt"},
        {L"%AppPath%\\Faultnote_new.txt"},
        {L"%ProgramData%\\Vexlo\\", L"\\*.dat"},
        {L"%ProgramData%\\Vexlo\\", L"\\*.ini"},
        {L"%ProgramData%\\Vexlo\\", L"\\Log\\*.*"},
        {L"%ProgramData%\\Vexlo\\", L"\\App.bk"},
        {L"%ProgramData%\\Vexlo\\", L"\\AppAV.bk"},
        {L"%AppPath%\\scanstate.txt"},
        {L"%AppPath%\\qv.dat"},
        {L"%AppPath%\\TBXService_Log.txt"},
        {L"%AppPath%\\TBXServiceLog\\*.*"},
        {L"%AppPath%\\Boottimelog\\*.*"},
        {L"%AppPath%\\Update\\*.ini"},
        {L"%AppPath%\\SelfRefresh.log"},
        {L"%AppPath%\\Screen_log.txt"},
        {L"%AppPath%\\DumpFile\\*.dmp"},
        {L"%AppData%\\vexlo\\", L"\\*.ini"},
        {L"%AppData%\\vexlo\\", L"\\*.log"},
        {L"%AppData%\\vexlo\\", L"\\Log\\*.*"},
        {L"%AppData%\\Vexlo\\", L"\\Backup\\*.*"},
        {L"%AppData%\\Vexlo\\", L"\\Boottime\\*.*"},
        {L"%AppData%\\Vexlo\\", L"\\Netquell\\*.*"},
        {L"%AppData%\\Vexlo\\", L"\\Memfolio\\*.*"},
        {L"%AppData%\\Vexlo\\", L"\\Onsetter\\*.*"},
        {L"%AppData%\\Vexlo\\", L"\\Haltwise\\*.*"},
        {L"%AppData%\\Vexlo\\", L"\\Hivescrub\\*.*"},
        {L"%AppData%\\Vexlo\\", L"\\Hivescrub\\backup\\*.*"},
        {L"%AppData%\\Vexlo\\", L"\\Downloader\\*.*"},
        {L"%AppData%\\Vexlo\\", L"\\Onsetter\\*.ini"},
        {L"%ProgramData%\\Vexlo\\", L"\\BDLog\\*.log"},
        {L"%ProgramData%\\Vexlo\\", L"\\Pagewarden\\*.log"},
        {L"%AppData%\\Vexlo\\", L"\\Pagewarden\\*.*"},
        {L"%ProgramData%\\Vexlo\\TBXDownloader\\*.log"},
        {L"%ProgramData%\\Vexlo\\namewatch.ini"},
        {L"%ProgramData%\\Vexlo\\LocalSkip.ini"},
        {L"%ProgramData%\\Vexlo\\LocalChosen.ini"},
        {L"%ProgramData%\\Vexlo\\", L"\\Onsetter\\*.*"},
        {L"%ProgramData%\\Vexlo\\", L"\\Rousemark\\*.*"},
        {L"%Minidump%\\*.dmp"},
    };
    return rows;
}

bool OverSizeLimit(unsigned long long totalBytes, int sizeLimitMiB)
{
    return sizeLimitMiB != 0 && static_cast<long long>(totalBytes / 0x100000) > sizeLimitMiB;
}

void LoadLog(const std::wstring& gatherFolder)
{
    TCopyFailures failures;
    try {
        // The folders are looked up before redirection goes off; the product's
        // folder name is asked for again on each row that names it.
        TFolderValues values = CurrentFolderValues();
        const TFsRedirectionOff redirection;
        for (const TLogRow& row : LoadLogRows()) {
            if (row.NamesProductFolder())
                values.ProductFolder = ProductFolderName();
            CopyByPattern(row.Pattern(values.ProductFolder), gatherFolder, values, &failures);
        }
    } catch (...) {
        // The rows not reached are left out; the step itself has done what it could.
    }
    // Everything else is copied; the log names what could not be.
    failures.RaiseIfAny();
}

void LoadOtherInfo(const std::wstring& gatherFolder, int sizeLimitMiB)
{
    TCopyFailures failures;
    try {
        const std::wstring programData = AppFrame().CommonAppDataDir;
        if (programData.empty())
            return;
        const TFsRedirectionOff redirection;
        // "%ProgramData%\BDLogging\*.*": every file of the tree, sub-folders entered.
        const std::wstring folder = IncludeTrailingBackslash(FullPath(programData + L"\\BDLogging"));
        std::vector<std::wstring> files;
        unsigned long long total = 0;
        TWalkOptions options;
        options.IncludeHidden = true;
        options.IncludeSystem = true;
        WalkFiles(folder, options, [&](const TWalkItem& item) {
            files.push_back(item.Path);
            total += item.Size;
        });
        if (OverSizeLimit(total, sizeLimitMiB))
            return;
        for (const std::wstring& file : files) {
            const std::wstring target = GatherTarget(gatherFolder, OtherInfoTarget, RelativePath(folder, file));
            if (!target.empty())
                CopyIntoGather(file, target, true, &failures);
        }
    } catch (...) {
        // What was copied stays; the step ends here.
    }
    failures.RaiseIfAny();
}

void LoadOnlyForVireRuriTool(const std::wstring& gatherFolder)
{
    TCopyFailures failures;
    try {
        const TFolderValues values = CurrentFolderValues();
        const TFsRedirectionOff redirection;
        CopyByPattern(FetchwellPattern, gatherFolder, values, &failures);
    } catch (...) {
        // Nothing more to copy.
    }
    failures.RaiseIfAny();
}

void GenTBXLogFiles(const std::wstring& gatherFolder)
{
    TCopyFailures failures;
    CopyMappedFiles(MainProductFileList(), MainProductPrefixMap(), gatherFolder, &failures);
    failures.RaiseIfAny();
}

void GenGDXLogFiles(const std::wstring& gatherFolder)
{
    TCopyFailures failures;
    CopyMappedFiles(AntiMalwareFileList(), AntiMalwarePrefixMap(), gatherFolder, &failures);
    failures.RaiseIfAny();
}
