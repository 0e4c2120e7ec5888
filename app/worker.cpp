#include "app/worker.h"

#include "app/diagnostic_log.h"
#include "app/folder_copy.h"
#include "app/gathering_driver.h"
#include "app/log_words.h"
#include "app/zip_verify.h"
#include "platform/folder_delete.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win32_error.h"

namespace lw = log_words;

std::wstring SaveFile;
std::wstring SaveFolder;

namespace {

// The name a copy is written under before it is complete: never the name of
// a finished report, so that a run killed in the middle leaves nothing that
// looks like one.
std::wstring PartialName(const std::wstring& target)
{
    return target + L".partial";
}

void Remove(const std::wstring& path)
{
    SetFileAttributesW(ExtendedLengthPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(ExtendedLengthPath(path).c_str());
}

}  // namespace

bool PlaceArchive(const std::wstring& archive, const std::wstring& target, const std::vector<TZipEntry>& entries)
{
    const std::wstring partial = PartialName(target);
    try {
        Remove(partial);  // left by a run that was killed while copying
        if (!CopyFileW(ExtendedLengthPath(archive).c_str(), ExtendedLengthPath(partial).c_str(), FALSE))
            RaiseLastError(L"cannot copy the archive to " + partial);
        VerifyArchive(partial, entries);
        if (!MoveFileExW(ExtendedLengthPath(partial).c_str(), ExtendedLengthPath(target).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            RaiseLastError(L"cannot put the archive in place at " + target);
        return true;
    } catch (...) {
        WriteLog(lw::ArchiveNotPlaced + target + L"\r\n" + lw::ReasonIndent + CurrentExceptionText());
        Remove(partial);
        return false;
    }
}

std::wstring FreshCopyFolder(const std::wstring& saveFolder)
{
    for (int n = 1; n <= 100; ++n) {
        const std::wstring folder =
            saveFolder + (n == 1 ? std::wstring(L"Vexlo_Debug_Info") : L"Vexlo_Debug_Info_" + std::to_wstring(n)) +
            L"\\";
        if (FileExists(ExcludeTrailingBackslash(folder)))
            continue;  // a file of that name is not ours to remove
        if (!DirectoryExists(folder) || DeleteFolder(folder))
            return folder;
        WriteLog(lw::CopyFolderNotEmptied + folder);
    }
    return {};
}

void GenInfoThreadBody(HWND wnd)
{
    // An archive at the save path from an earlier run goes first; one that
    // cannot be removed is never reported as this run's (SaveFile is cleared
    // below unless this run's archive is put in its place).
    if (FileExists(SaveFile) && !DeleteFileW(ExtendedLengthPath(SaveFile).c_str()))
        WriteLog(lw::SaveFileNotDeleted + SaveFile + L": " + SystemErrorText(GetLastError()));
    const std::wstring saveFolder = ParentFolder(SaveFile);

    const TGatherResult result = DoGatherInfo(wnd, 0);
    bool saved = false;
    if (!result.ArchivePath.empty()) {
        WriteLog(lw::ZipFileExist + result.ArchivePath);
        saved = PlaceArchive(result.ArchivePath, SaveFile, result.Entries);
        if (!saved) {
            // The archive this run made and read back, where it was made.
            SaveFile = result.ArchivePath;
            saved = true;
        }
    }
    if (!saved)
        SaveFile.clear();
    WriteLog(lw::SaveFilePrefix + SaveFile);

    if (!saved) {
        const std::wstring gatherFolder = result.GatherFolder;
        std::wstring destination;
        bool copied = false;
        if (!gatherFolder.empty() && DirectoryExists(gatherFolder)) {
            WriteLog(lw::GatherFolderExist + gatherFolder);
            destination = saveFolder.empty() ? std::wstring() : FreshCopyFolder(saveFolder);
            if (!destination.empty())
                copied = CopyFolder(destination, gatherFolder);
        }
        if (!gatherFolder.empty() && DirectoryExists(gatherFolder)) {
            WriteLog(lw::GatherFolderExist2 + gatherFolder);
            SaveFolder = gatherFolder;
        }
        if (!destination.empty() && DirectoryExists(destination)) {
            if (copied) {
                WriteLog(lw::DesFolderExist + destination);
                SaveFolder = destination;
                DeleteFolder(gatherFolder);
            } else {
                // An incomplete copy is not what the user should send: the
                // gather folder, complete, stays and is named instead.
                WriteLog(lw::CopyIncomplete + destination);
                DeleteFolder(destination);
            }
        }
        WriteLog(lw::SaveFolderPrefix + SaveFolder);
    }
    SendMessageW(wnd, WM_GENINFO, 2, 0);
}
