#pragma once
// Copies of the products' logs, settings and backups into the gather folder.
// The steps only ever read the files at their places; nothing is moved or deleted.
// A file that is there and cannot be copied (held open without read sharing,
// not readable) is passed over; once everything else is copied, the step
// raises one exception that names every such file with the reason (see
// TCopyFailures), so that the log shows what the report lacks.
#include <string>
#include <vector>

// The fixed rows of LoadLog, in order: each a path pattern (see
// products/pattern_copy.h), some with the main product's data folder name in it.
struct TLogRow {
    const wchar_t* Head;
    const wchar_t* Tail = nullptr;  // with a tail, the pattern is Head + folder name + Tail
    bool NamesProductFolder() const { return Tail != nullptr; }
    std::wstring Pattern(const std::wstring& productFolder) const;
};
const std::vector<TLogRow>& LoadLogRows();

// The rows of LoadLog with file-system redirection off (a 32-bit process
// sees the real System32). A failure ends the rows silently; raises only to
// name the files it could not copy.
void LoadLog(const std::wstring& gatherFolder);
// The tree "BDLogging" of the machine-wide data folder, whole, to
// OtherInfo\BDLogging\; nothing when it is larger than the limit in MiB (0
// means no limit). Links are not followed. Redirection off; raises only to
// name the files it could not copy.
void LoadOtherInfo(const std::wstring& gatherFolder, int sizeLimitMiB);
// The updater's logs below the 32-bit Program Files folder, to
// "Program Files(x86)\Fetchwell\". Redirection off; raises only to name the
// files it could not copy.
void LoadOnlyForVireRuriTool(const std::wstring& gatherFolder);
// The main product's list, to TBX9AppPath\ (TBX8AppPath\ after a version
// switch), AppData\ and ProgramData\; files already there are kept.
void GenTBXLogFiles(const std::wstring& gatherFolder);
// The anti-malware product's list, to GDX\AppPath\, GDX\AppData\ and GDX\ProgramData\.
void GenGDXLogFiles(const std::wstring& gatherFolder);

// The rule of LoadOtherInfo's limit: over it when the total in whole MiB is larger.
bool OverSizeLimit(unsigned long long totalBytes, int sizeLimitMiB);
