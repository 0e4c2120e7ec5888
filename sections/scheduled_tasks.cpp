#include "sections/scheduled_tasks.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "platform/child_process.h"
#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/windows_version.h"

namespace {

// The US OEM code page: schtasks prints what the parser reads under it.
constexpr DWORD UsCodePage = 437;
const wchar_t* const ListQuery = L"/query /FO csv";

// The console of cmd.exe takes its per-user settings from the key named
// after its title. A 32-bit process on 64-bit Windows starts the 32-bit
// cmd.exe (SysWOW64) by its real path, so the title is set to the System32
// path, whose key ConsoleKey is.
std::wstring CmdTitle()
{
    return GetSystemDir() + L"\\cmd.exe";
}

// cmd.exe /c with schtasks by full path; cmd.exe takes the outer quotes off.
// False when it did not finish in time (it was ended).
bool RunSchtasks(const std::wstring& arguments, TReportLines& lines, DWORD timeoutMs)
{
    const std::wstring command = ChildCommandLine(SystemProgramPath(L"schtasks.exe"), arguments);
    return RunAndCapture(SystemProgramPath(L"cmd.exe"), L"/c \"" + command + L"\"", lines, timeoutMs, CmdTitle());
}

bool KeyExists(HKEY root, const wchar_t* path)
{
    UniqueKey key;
    return RegOpenKeyExW(root, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// Deletes a key this run created, unless something was put into it meanwhile.
void DeleteKeyIfEmpty(HKEY root, const wchar_t* path)
{
    {
        UniqueKey key;
        if (RegOpenKeyExW(root, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
            return;
        DWORD subKeys = 0, values = 0;
        if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subKeys != 0 || values != 0)
            return;
    }
    RegDeleteKeyW(root, path);
}

// The console code page value set to 437 for the owner's lifetime: its old
// value is written back, or the value is deleted when there was none; keys
// that had to be created for it are deleted again.
class TCodePageSwitch {
public:
    enum TState { csSwitched, csNoKey, csUnreadable };

    TCodePageSwitch()
    {
        FCreatedParent = !KeyExists(HKEY_CURRENT_USER, ConsoleParentKey);
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, ConsoleKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, FKey.put(),
                            &disposition) != ERROR_SUCCESS) {
            FKey.reset();
            FState = csNoKey;
            return;
        }
        FCreatedKey = disposition == REG_CREATED_NEW_KEY;
        DWORD type = REG_NONE, value = 0, size = sizeof(value);
        const LONG read =
            RegQueryValueExW(FKey.get(), CodePageValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        if (read == ERROR_FILE_NOT_FOUND) {
            FDeleteAfter = true;
        } else if (read != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) {
            FState = csUnreadable;
            return;
        } else if (value == UsCodePage) {
            return;  // already in force: nothing to put back
        } else {
            FOldValue = value;
            FRestore = true;
        }
        Write(UsCodePage);
    }
    ~TCodePageSwitch()
    {
        if (FDeleteAfter)
            RegDeleteValueW(FKey.get(), CodePageValue);
        else if (FRestore)
            Write(FOldValue);
        FKey.reset();
        if (FCreatedKey)
            DeleteKeyIfEmpty(HKEY_CURRENT_USER, ConsoleKey);
        if (FCreatedKey && FCreatedParent)
            DeleteKeyIfEmpty(HKEY_CURRENT_USER, ConsoleParentKey);
    }
    TCodePageSwitch(const TCodePageSwitch&) = delete;
    TCodePageSwitch& operator=(const TCodePageSwitch&) = delete;

    TState State() const noexcept { return FState; }

private:
    void Write(DWORD value)
    {
        RegSetValueExW(FKey.get(), CodePageValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }

    UniqueKey FKey;
    TState FState = csSwitched;
    DWORD FOldValue = 0;
    bool FRestore = false;
    bool FDeleteAfter = false;
    bool FCreatedKey = false;
    bool FCreatedParent = false;
};

void WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    const UniqueFile file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw std::runtime_error("cannot create the task file");
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw std::runtime_error("cannot write the task file");
}

}  // namespace

void AddRootTaskNames(const TReportLines& csvLines, std::vector<std::wstring>& names)
{
    for (size_t i = 1; i < csvLines.size(); ++i) {
        const std::wstring& line = csvLines[i];
        if (line.find(L'\\') == std::wstring::npos)
            return;
        const std::wstring rest = line.size() > 2 ? line.substr(2) : std::wstring();
        const size_t quote = rest.find(L'"');
        if (quote == std::wstring::npos)
            return;
        const std::wstring name = rest.substr(0, quote);
        if (name.find(L'\\') != std::wstring::npos)
            return;
        const bool known =
            std::any_of(names.begin(), names.end(), [&](const std::wstring& n) { return SameText(n, name); });
        if (!known)
            names.push_back(name);
    }
}

std::string AnsiFileBytes(const TReportLines& lines)
{
    std::string bytes;
    for (const auto& line : lines)
        bytes += ToCodePage(line, CP_ACP) + "\r\n";
    return bytes;
}

bool ListTaskNames(TReportLines& scratch, std::vector<std::wstring>& names, DWORD queryTimeoutMs)
{
    scratch.clear();
    const bool finished = RunSchtasks(ListQuery, scratch, queryTimeoutMs);
    AddRootTaskNames(scratch, names);
    return finished;
}

std::vector<std::wstring> CollectTaskLines(TReportLines& lines, DWORD queryTimeoutMs)
{
    std::vector<std::wstring> unfinished;
    if (WindowsVersion().dwMajorVersion <= 5) {
        const wchar_t* const query = L"/query /V /FO list";
        if (!RunAndCapture(SystemProgramPath(L"schtasks.exe"), query, lines, queryTimeoutMs))
            unfinished.emplace_back(query);
        return unfinished;
    }
    std::vector<std::wstring> names;
    TReportLines scratch;
    if (!ListTaskNames(scratch, names, queryTimeoutMs))
        unfinished.emplace_back(ListQuery);
    std::optional<TCodePageSwitch> codePage;
    if (names.empty()) {
        codePage.emplace();
        if (codePage->State() == TCodePageSwitch::csUnreadable)
            return unfinished;
        if (codePage->State() == TCodePageSwitch::csSwitched && !ListTaskNames(scratch, names, queryTimeoutMs))
            unfinished.emplace_back(ListQuery);
    }
    for (const auto& name : names) {
        const std::wstring query = L"/query /V /TN \"" + name + L"\" /FO list";
        if (!RunSchtasks(query, lines, queryTimeoutMs))
            unfinished.push_back(query);
    }
    return unfinished;
}

std::wstring UnfinishedQueriesText(const std::vector<std::wstring>& queries, DWORD queryTimeoutMs)
{
    return L"schtasks did not finish within " + std::to_wstring(queryTimeoutMs / 1000) +
           L" seconds and was ended: " + JoinText(queries, L"; ");
}

void EnumTasks(const std::wstring& taskFile)
{
    TReportLines lines;
    const std::vector<std::wstring> unfinished = CollectTaskLines(lines, TaskQueryTimeoutMs);
    WriteWholeFile(taskFile, AnsiFileBytes(lines));
    if (!unfinished.empty())
        throw std::runtime_error(ToUtf8(UnfinishedQueriesText(unfinished, TaskQueryTimeoutMs)));
}
