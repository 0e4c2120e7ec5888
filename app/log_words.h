#pragma once
// The words of the diagnostic log, letter for letter (support reads them, and
// their spelling is part of the log's format). The driver, the window and the
// tests take them from here; the Linux-side tests read this file too, so each
// word stays on one line in the form `inline constexpr wchar_t Name[] = L"...";`.
namespace log_words {

// The gathering driver.
inline constexpr wchar_t GatherStart[] = L"DoGatherInfo strart";
inline constexpr wchar_t GatherExcept[] = L"DoGatherInfo Except";
inline constexpr wchar_t GatherEnd[] = L"DoGatherInfo End: ";
inline constexpr wchar_t LoadWow64Except[] = L"LoadWOW64Funcs Except";
inline constexpr wchar_t CreateThreadExcept[] = L"CreateThread Except";
inline constexpr wchar_t CreateThreadSucc[] = L"CreateThread Succ";
inline constexpr wchar_t ArchiveDeleted[] = L" Exist and del";
inline constexpr wchar_t ArchiveNotDeleted[] = L"Old archive cannot be deleted: ";
inline constexpr wchar_t GatherFolderNotEmptied[] = L"Gather folder cannot be emptied: ";
inline constexpr wchar_t GatherFolderNotMade[] = L"Gather folder cannot be made: ";
inline constexpr wchar_t NoGatherFolder[] = L"No usable gather folder: no archive is made";
inline constexpr wchar_t DebuggerResult[] = L"VireRuri(DoGatherInfo) result:=";
// The side thread did not end within its bound; the run goes on to the archive.
inline constexpr wchar_t SystemInfoWaitTimeout[] = L"WaitGetSystemInfo TimeOut";

// Guarded steps: the step's word followed by SuffixExcept or SuffixSucc.
inline constexpr wchar_t SuffixExcept[] = L" Except";
inline constexpr wchar_t SuffixSucc[] = L" Succ";
// Put before the reason of a failure, on the line after its word.
inline constexpr wchar_t ReasonIndent[] = L"    reason: ";
inline constexpr wchar_t StepVersion[] = L"Vexlo_Routine_New.GetFileVersion(GetModuleName(HInstance), 3))";
inline constexpr wchar_t StepDate[] = L"DateTimeToStr(Now)";
inline constexpr wchar_t StepOSInfo[] = L"GetOSInfoEx";
inline constexpr wchar_t StepProcessList[] = L"GetProcessListEx";
inline constexpr wchar_t StepServices[] = L"EnumServices";
inline constexpr wchar_t StepBrowserHelpers[] = L"GetBHOItemListEx";
inline constexpr wchar_t StepAutoruns[] = L"GetAutorunListx";
inline constexpr wchar_t StepSecurityCenter[] = L"GetWSCInfo";
inline constexpr wchar_t StepAppFiles[] = L"GetAppFileInfo";
inline constexpr wchar_t StepUninstallExport[] = L"DoClllectEx";
inline constexpr wchar_t StepDnsExport[] = L"DoClllectDNS";
inline constexpr wchar_t StepFilesInfo[] = L"MakeFilesInfo";
inline constexpr wchar_t StepLoadOtherInfo[] = L"LoadOtherInfo";
inline constexpr wchar_t StepVireRuriTool[] = L"LoadOnlyForVireRuriTool";
inline constexpr wchar_t StepTasks[] = L"EnumTasks";
inline constexpr wchar_t StepTbxLogFiles[] = L"GenTBXLogFiles";
inline constexpr wchar_t StepGdxLogFiles[] = L"GenGDXLogFiles";
inline constexpr wchar_t StepVersionFiles[] = L"GenNeedFileByBDError";
inline constexpr wchar_t StepTbxDump[] = L"Gen_Antivirus_mini_dmp(TBX)";
inline constexpr wchar_t StepGdxDump[] = L"Gen_Antivirus_mini_dmp(GDX)";
inline constexpr wchar_t StepSystemInfo[] = L"WaitGetSystemInfo";
// Two steps with words of their own.
inline constexpr wchar_t LoadLogExcept[] = L"LoadLog Except";
inline constexpr wchar_t LoadLogSucc[] = L"LoadLog Succs";
inline constexpr wchar_t ZipFileExcept[] = L"ZipFile except";
inline constexpr wchar_t ZipFileSucc[] = L"ZipFile Succ";

// Line prefixes the driver puts before a path or a count.
inline constexpr wchar_t TempPathPrefix[] = L"TempPath:";
inline constexpr wchar_t TempZipDirPart[] = L", tmpZipDir:";
inline constexpr wchar_t TempResultPart[] = L", Result:";
inline constexpr wchar_t ZipRootPrefix[] = L"zip:root=";
inline constexpr wchar_t ZipNamePart[] = L"zipName=";
inline constexpr wchar_t ZipCountPart[] = L"ret=";
// A file or folder the archive leaves out, with the reason.
inline constexpr wchar_t ZipSkipped[] = L"zip skipped: ";

// The crash report.
inline constexpr wchar_t CrashReported[] = L"Crash: ";
inline constexpr wchar_t CrashReportFailed[] = L"Crash report cannot be written: ";

// The window and the worker.
inline constexpr wchar_t FormDestroy[] = L"FormDestroy";
inline constexpr wchar_t SpecialFolderPrefix[] = L"GetSpecialFolder:";
inline constexpr wchar_t LogUserPrefix[] = L"LogUser:";
inline constexpr wchar_t ProcUserPart[] = L"        ProcUser:";
inline constexpr wchar_t DirPrefix[] = L"Dir:";
inline constexpr wchar_t FilePrefix[] = L"File:";
inline constexpr wchar_t MessagePrefix[] = L"msg=";
inline constexpr wchar_t MessageWParamPart[] = L", wParam=";
inline constexpr wchar_t MessageLParamPart[] = L", lParam=";
inline constexpr wchar_t ZipFileExist[] = L"zip file exist:";
inline constexpr wchar_t SaveFileNotDeleted[] = L"Old report at the save path cannot be deleted: ";
inline constexpr wchar_t ArchiveNotPlaced[] = L"Archive cannot be placed at ";
inline constexpr wchar_t CopyFolderNotEmptied[] = L"Folder beside the save path cannot be emptied: ";
inline constexpr wchar_t CopyIncomplete[] = L"Copy of the gather folder is incomplete, removed: ";
inline constexpr wchar_t ReportBusy[] = L"A report is already being made";
inline constexpr wchar_t WorkerExcept[] = L"Worker except";
inline constexpr wchar_t ExplorerNotStarted[] = L"Explorer cannot be started: ";
inline constexpr wchar_t WindowExcept[] = L"Window except";
inline constexpr wchar_t SaveFilePrefix[] = L"Save File:";
inline constexpr wchar_t GatherFolderExist[] = L"GatherFolder exist:";
inline constexpr wchar_t GatherFolderExist2[] = L"GatherFolder exist2:";
inline constexpr wchar_t DesFolderExist[] = L"DesFolder exist:";
inline constexpr wchar_t SaveFolderPrefix[] = L"SaveFolder: ";
inline constexpr wchar_t SaveFileExist[] = L"SaveFile exist: ";
inline constexpr wchar_t SaveFileNotExist[] = L"SaveFile not exist: ";
inline constexpr wchar_t SaveFolderExist[] = L"SaveFolder exist: ";
inline constexpr wchar_t SaveFolderNotExist[] = L"SaveFolder not exist: ";

// The folder copy of the failure branch.
inline constexpr wchar_t GetFilesExcept[] = L"GetFiles except";
inline constexpr wchar_t GetFilesResult[] = L"GetFiles result:";
inline constexpr wchar_t CopyFolderPrefix[] = L"CopyFolder (";
inline constexpr wchar_t CopyFolderTo[] = L") to (";
inline constexpr wchar_t CopyFolderEnd[] = L")";
inline constexpr wchar_t CopyFilePrefix[] = L"CopyFile(";
inline constexpr wchar_t CopyFileSucc[] = L") succ";
inline constexpr wchar_t CopyFolderExcept[] = L"CopyFolder except";
// A file or folder the copy leaves out, with the reason.
inline constexpr wchar_t CopySkipped[] = L"Copy skipped: ";
inline constexpr wchar_t NotFollowed[] = L"a junction or symbolic link, not followed";

}  // namespace log_words
