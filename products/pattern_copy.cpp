#include "products/pattern_copy.h"

#include <windows.h>

#include <stdexcept>
#include <vector>

#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "platform/text.h"
#include "platform/win32_error.h"
#include "products/product_detection.h"

namespace {

// AppFrame's folder kinds: the Windows folder, and the Program Files folder
// of 32-bit programs. The products are 32-bit programs: the shipped build
// asks for its own Program Files folder (the x86 one on 64-bit Windows), the
// 64-bit build names the x86 one.
constexpr unsigned WindowsFolderKind = 0;
#ifdef _WIN64
constexpr unsigned ProgramFilesX86Kind = 29;
#else
constexpr unsigned ProgramFilesX86Kind = 15;
#endif

// Every occurrence of `from`, letter case as written.
std::wstring ReplaceAll(std::wstring text, const std::wstring& from, const std::wstring& to)
{
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The folder names of a path's folder part (the text up to its last backslash).
std::vector<std::wstring> FolderComponents(const std::wstring& path)
{
    std::vector<std::wstring> parts;
    const size_t end = path.find_last_of(L'\\');
    if (end == std::wstring::npos)
        return parts;
    size_t start = 0;
    while (start <= end) {
        const size_t slash = path.find(L'\\', start);
        if (slash > start)
            parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

std::wstring WithoutTrailingBackslash(const std::wstring& folder)
{
    std::wstring text = folder;
    while (!text.empty() && text.back() == L'\\')
        text.pop_back();
    return text;
}

}  // namespace

TFolderValues CurrentFolderValues()
{
    TFolderValues values;
    values.AppPath = ProductAppPath;
    values.AppData = AppFrame().AppDataDir;
    values.ProgramData = AppFrame().CommonAppDataDir;
    AppFrame().GetFolder(WindowsFolderKind, values.Windows);
    AppFrame().GetFolder(ProgramFilesX86Kind, values.ProgramFilesX86);
    values.ProductFolder = ProductFolderName();
    return values;
}

std::optional<TPatternSource> ExpandFolderVariable(const std::wstring& pattern, const TFolderValues& values)
{
    struct TVariable {
        const wchar_t* Name;
        std::wstring Text;  // what the variable stands for, without a trailing backslash
        std::wstring Base;
        const wchar_t* TargetRoot;
    };
    const std::wstring appData = WithoutTrailingBackslash(values.AppData);
    const std::wstring programData = WithoutTrailingBackslash(values.ProgramData);
    const std::wstring minidump =
        values.Windows.empty() ? std::wstring() : WithoutTrailingBackslash(values.Windows) + L"\\Minidump";
    const std::wstring programFiles = WithoutTrailingBackslash(values.ProgramFilesX86);
    const std::wstring product = L"\\vexlo\\" + values.ProductFolder + L"\\";
    const TVariable variables[] = {
        {L"%AppPath%", WithoutTrailingBackslash(values.AppPath), IncludeTrailingBackslash(values.AppPath),
         L"AppPath\\"},
        {L"%AppData%", appData, appData + product, L"AppData\\"},
        {L"%ProgramData%", programData, programData + product, L"ProgramData\\"},
        {L"%Minidump%", minidump, minidump + L"\\", L"Minidump\\"},
        {L"%ProgramFilesX86%", programFiles, programFiles + L"\\Vexlo\\", L"Program Files(x86)\\"},
    };
    for (const TVariable& variable : variables) {
        if (!StartsWithText(pattern, variable.Name))
            continue;
        // A folder that is not known must not become the root of the current drive.
        if (variable.Text.empty())
            return std::nullopt;
        return TPatternSource{ReplaceAll(pattern, variable.Name, variable.Text), variable.Base, variable.TargetRoot};
    }
    return std::nullopt;
}

std::wstring RelativePath(const std::wstring& base, const std::wstring& file)
{
    if (!SameText(DrivePart(base), DrivePart(file)))
        return file;
    const std::vector<std::wstring> from = FolderComponents(base);
    const std::vector<std::wstring> to = FolderComponents(file);
    size_t same = 0;
    while (same < from.size() && same < to.size() && SameText(from[same], to[same]))
        ++same;
    std::wstring result;
    for (size_t i = same; i < from.size(); ++i)
        result += L"..\\";
    for (size_t i = same; i < to.size(); ++i)
        result += to[i] + L"\\";
    return result + FileNamePart(file);
}

std::wstring GatherTarget(const std::wstring& gatherFolder, const std::wstring& targetRoot,
                          const std::wstring& relative)
{
    if (IsAbsolutePath(relative) || !DrivePart(relative).empty())
        return {};
    const std::wstring joined = IncludeTrailingBackslash(gatherFolder) + targetRoot + relative;
    const size_t slash = joined.find_last_of(L'\\');
    // The folder part is resolved alone: the name stays the file's own (a file
    // named like a device would otherwise become that device).
    const std::wstring folder = IncludeTrailingBackslash(FullPath(joined.substr(0, slash + 1)));
    const std::wstring name = joined.substr(slash + 1);
    const std::wstring root = IncludeTrailingBackslash(FullPath(gatherFolder));
    if (name.empty() || name == L"." || name == L".." || !StartsWithText(folder, root))
        return {};
    return folder + name;
}

void TCopyFailures::Add(const std::wstring& source, DWORD error)
{
    FItems.push_back(source + L": " + SystemErrorText(error));
}

std::wstring TCopyFailures::Text() const
{
    return L"not copied: " + JoinText(FItems, L"; ");
}

void TCopyFailures::RaiseIfAny() const
{
    if (!FItems.empty())
        throw std::runtime_error(ToUtf8(Text()));
}

bool CopyIntoGather(const std::wstring& source, const std::wstring& target, bool overwrite,
                    TCopyFailures* failures)
{
    const std::wstring folder = ParentFolder(target);
    bool copied = false;
    if (folder.empty() || DirectoryExists(folder) || ForceDirectories(folder)) {
        const BOOL failIfExists = overwrite ? FALSE : TRUE;
        copied = CopyFileW(ExtendedLengthPath(source).c_str(), ExtendedLengthPath(target).c_str(), failIfExists) !=
                 FALSE;
    }
    if (!copied && failures) {
        const DWORD error = GetLastError();
        // A file that went away since it was listed is not missing from the
        // report, nor is one whose copy is there already.
        const bool kept = !overwrite && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS);
        if (!kept && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && FileExists(source))
            failures->Add(source, error);
    }
    return copied;
}

void CopyByPattern(const std::wstring& pattern, const std::wstring& gatherFolder)
{
    CopyByPattern(pattern, gatherFolder, CurrentFolderValues());
}

void CopyByPattern(const std::wstring& pattern, const std::wstring& gatherFolder, const TFolderValues& values,
                   TCopyFailures* failures)
{
    const std::optional<TPatternSource> expanded = ExpandFolderVariable(pattern, values);
    if (!expanded)
        return;
    const std::wstring source = FullPath(expanded->Source);
    const auto copy = [&](const std::wstring& file) {
        const std::wstring target =
            GatherTarget(gatherFolder, expanded->TargetRoot, RelativePath(expanded->Base, file));
        if (!target.empty())
            CopyIntoGather(file, target, true, failures);
    };

    if (source.find(L'*') == std::wstring::npos) {
        if (FileExists(source))
            copy(source);
        return;
    }
    const std::wstring folder = source.substr(0, source.find_last_of(L'\\') + 1);
    WIN32_FIND_DATAW data{};
    const UniqueFind find(FindFirstFileW(ExtendedLengthPath(source).c_str(), &data));
    if (!find)
        return;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;  // "." and ".." included
        copy(folder + data.cFileName);
    } while (FindNextFileW(find.get(), &data));
}
