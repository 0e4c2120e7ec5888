#pragma once
// Copies by path pattern. A pattern starts with one folder variable
// ("%AppPath%", "%AppData%", "%ProgramData%", "%Minidump%", "%ProgramFilesX86%")
// and names one file or a mask in one folder; every file it finds is copied
// below the gather folder, under the variable's target root, keeping its place
// below the variable's base folder.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The folders behind the variables, as they stand when a copy is made.
struct TFolderValues {
    std::wstring AppPath;          // ProductAppPath; empty when the product was not found
    std::wstring AppData;          // the user's roaming application data
    std::wstring ProgramData;      // application data for all users
    std::wstring Windows;          // the Windows folder
    std::wstring ProgramFilesX86;  // the Program Files folder of 32-bit programs
    std::wstring ProductFolder;    // the main product's data folder name (ProductFolderName)
};
// The values of this moment: ProductAppPath, AppFrame's folders, ProductFolderName.
TFolderValues CurrentFolderValues();

// What one pattern names once its variable is known.
struct TPatternSource {
    std::wstring Source;      // the pattern with the variable's text replaced
    std::wstring Base;        // copies keep their place below this folder (trailing backslash)
    std::wstring TargetRoot;  // below the gather folder ("AppPath\", ...)
};
// The variable is recognised at the start of the pattern without regard to
// letter case, and its text (as the variable is spelled) is replaced wherever
// it occurs. Nothing for a pattern without a variable and for a variable whose
// folder is not known (no product folder, no Program Files folder, ...).
std::optional<TPatternSource> ExpandFolderVariable(const std::wstring& pattern, const TFolderValues& values);

// The file's path relative to the base folder: "..\" for every folder of
// `base` that `file` does not lie in, then the rest of the file's folders and
// its name ("C:\D\a\" and "C:\D\a\Log\x.log" give "Log\x.log"; "C:\D\a\" and
// "C:\D\y.ini" give "..\y.ini"). Folder names are compared without regard to
// letter case; a file on another drive comes back unchanged.
std::wstring RelativePath(const std::wstring& base, const std::wstring& file);

// gather folder + target root + relative path, with "." and ".." resolved.
// Empty when the result would lie outside the gather folder (a file of another
// drive, or one above it): nothing is ever written there.
std::wstring GatherTarget(const std::wstring& gatherFolder, const std::wstring& targetRoot,
                          const std::wstring& relative);

// The files a step found and could not copy (held open by a running program
// without read sharing, not readable for this account, ...), with the reason.
// A step passes over each of them and goes on; at its end it raises one
// exception that names them all, so that the log says which files the report
// lacks and why.
class TCopyFailures {
public:
    void Add(const std::wstring& source, DWORD error);
    bool Empty() const noexcept { return FItems.empty(); }
    // "not copied: <file>: <reason>", several joined by "; ".
    std::wstring Text() const;
    // Raises std::runtime_error with Text() when any file was not copied.
    void RaiseIfAny() const;

private:
    std::vector<std::wstring> FItems;
};

// Copies one file, creating the target's folders first; long paths work.
// False when the copy failed (the file is locked, the target exists and
// `overwrite` is false, ...); the failure is added to `failures` when given,
// unless the source is simply gone.
bool CopyIntoGather(const std::wstring& source, const std::wstring& target, bool overwrite,
                    TCopyFailures* failures = nullptr);

// Expands the pattern and copies every file it names (a mask lists one folder,
// no sub-folders) below the gather folder, overwriting an earlier copy of the
// same name. A file that cannot be copied is passed over (and added to
// `failures` when given).
void CopyByPattern(const std::wstring& pattern, const std::wstring& gatherFolder);
void CopyByPattern(const std::wstring& pattern, const std::wstring& gatherFolder, const TFolderValues& values,
                   TCopyFailures* failures = nullptr);
