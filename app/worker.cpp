#include "app/worker.h"

#include "app/diagnostic_log.h"
#include "app/folder_copy.h"
#include "app/gathering_driver.h"
#include "platform/folder_delete.h"
#include "platform/paths.h"

std::wstring SaveFile;
std::wstring SaveFolder;

void GenInfoThreadBody(HWND wnd)
{
    if (FileExists(SaveFile))
        DeleteFileW(SaveFile.c_str());
    std::wstring archive;
    DoGatherInfo(wnd, 0, archive);
    if (!archive.empty() && FileExists(archive)) {
        WriteLog(L"zip file exist:" + archive);
        CopyFileW(archive.c_str(), SaveFile.c_str(), FALSE);
        if (!FileExists(SaveFile))
            SaveFile = archive;
    }
    WriteLog(L"Save File:" + SaveFile);
    if (!FileExists(SaveFile)) {
        const std::wstring gatherFolder = ParentFolder(archive) + L"GetInfoDir\\";
        std::wstring destination;
        if (DirectoryExists(gatherFolder)) {
            WriteLog(L"GatherFolder exist:" + gatherFolder);
            destination = ParentFolder(SaveFile) + L"Vexlo_Debug_Info\\";
            CopyFolder(destination, gatherFolder);
        }
        if (DirectoryExists(gatherFolder)) {
            WriteLog(L"GatherFolder exist2:" + gatherFolder);
            SaveFolder = gatherFolder;
        }
        if (!destination.empty() && DirectoryExists(destination)) {
            WriteLog(L"DesFolder exist:" + destination);
            SaveFolder = destination;
            DeleteFolder(gatherFolder);
        }
        WriteLog(L"SaveFolder: " + SaveFolder);
    }
    SendMessageW(wnd, WM_GENINFO, 2, 0);
}
