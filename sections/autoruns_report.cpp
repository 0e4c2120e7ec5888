#include "sections/autoruns_report.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <initializer_list>
#include <utility>

#include "platform/com.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/csidl_folders.h"
#include "platform/text.h"
#include "platform/windows_version.h"
#include "sections/collect_files.h"
#include "sections/registry_text.h"

namespace {

bool IsBlankOrControl(wchar_t c) { return c >= 1 && c <= L' '; }

// The keys of the launch points, in the native branch and the 32-bit one.
struct TBranchPaths {
    const wchar_t* Native;
    const wchar_t* Branch32;
};

const TBranchPaths RunPaths[] = {
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
};
const TBranchPaths RunOncePath = {L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                                  L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnce"};
const TBranchPaths RunOnceExPath = {L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
                                    L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"};
const TBranchPaths PoliciesRunPaths[] = {
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
     L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run",
     L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run"},
};
const TBranchPaths NtWindowsPath = {L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                                    L"Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows"};
const TBranchPaths PoliciesSystemPath = {L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                                         L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Policies\\System"};
const TBranchPaths WinlogonPath = {L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
                                   L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"};

// One run of the section: the lines so far and the one registry reader.
class TAutorunReader {
public:
    TAutorunReader() : FRegistry(KEY_READ)
    {
        AppFrame().GetFolder(1, FSystemDir);
        AppFrame().GetFolder(0, FWindowsDir);
    }

    TReportLines Lines{L"", L"===== Autoruns =====", L""};

    // Runs `steps`; puts the header before whatever they added.
    template <typename Steps>
    void SubSection(const wchar_t* header, Steps&& steps)
    {
        const size_t start = Lines.size();
        steps();
        if (Lines.size() > start)
            Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(start), header);
    }

    void ListStartupFolder(const std::wstring& folder)
    {
        std::vector<std::wstring> files;
        CollectFiles(folder, files, cmFiles, true, std::wstring());
        for (const std::wstring& path : files) {
            const std::wstring name = FileNamePart(path);
            if (SameText(name, L"desktop.ini") || SameText(name, L"Thumbs.db"))
                continue;
            Lines.push_back(SameText(LowerExtension(name), L".lnk") ? ShortcutCommand(path) : path);
        }
    }

    void ListRunKey(HKEY root, const std::wstring& path)
    {
        if (!Open(root, path))
            return;
        std::vector<std::wstring> names;
        FRegistry.ListValueNames(names);
        for (const std::wstring& name : names)
            Lines.push_back(name + L"=" + ReportValueText(FRegistry, name));
        FRegistry.CloseCurrent();
    }

    // The entries of a RunOnceEx key are its subkeys; each value of an entry is one command.
    void ListRunOnceExKey(HKEY root, const std::wstring& path)
    {
        if (!Open(root, path))
            return;
        std::vector<std::wstring> entries;
        FRegistry.ListSubKeyNames(entries);
        FRegistry.CloseCurrent();
        for (const std::wstring& entry : entries) {
            if (!Open(root, path + L"\\" + entry))
                continue;
            std::vector<std::wstring> names;
            FRegistry.ListValueNames(names);
            for (const std::wstring& name : names) {
                if (IsNonTextValue(FRegistry, name)) {
                    Lines.push_back(name + L"=" + FRegistry.ValueAsText(name, true));
                    continue;
                }
                for (std::wstring& line : RunOnceExCommandLines(FRegistry.ReadText(name)))
                    Lines.push_back(std::move(line));
            }
            FRegistry.CloseCurrent();
        }
    }

    void ListDelimitedValue(HKEY root, const std::wstring& path, const std::wstring& valueName)
    {
        ListItems(root, path, valueName, std::wstring());
    }
    void ListShellValue(HKEY root, const std::wstring& path, const std::wstring& valueName)
    {
        ListItems(root, path, valueName, L"explorer.exe");
    }
    void ListUserinitValue(HKEY root, const std::wstring& path, const std::wstring& valueName)
    {
        ListItems(root, path, valueName, L"userinit.exe");
    }

private:
    bool Open(HKEY root, const std::wstring& path)
    {
        FRegistry.SetRoot(root);
        FRegistry.CloseCurrent();
        return FRegistry.OpenPathForReading(L"\\" + path);
    }

    void ListItems(HKEY root, const std::wstring& path, const std::wstring& valueName,
                   const std::wstring& defaultProgram)
    {
        if (!Open(root, path))
            return;
        if (IsNonTextValue(FRegistry, valueName)) {
            // Not a list of programs as Windows reads them: shown whole, as the value is.
            const std::wstring text = FRegistry.ValueAsText(valueName, true);
            if (!text.empty())
                Lines.push_back(valueName + L"=" + text);
            FRegistry.CloseCurrent();
            return;
        }
        const std::vector<std::wstring> items = SplitDelimitedText(FRegistry.ReadText(valueName));
        for (size_t i = 0; i < items.size(); ++i) {
            if (TrimControl(items[i]).empty())
                continue;
            if (i == 0 && !defaultProgram.empty() &&
                IsDefaultLaunchItem(items[i], defaultProgram, FSystemDir, FWindowsDir))
                continue;
            Lines.push_back(items[i]);
        }
        FRegistry.CloseCurrent();
    }

    TRegistry FRegistry;
    std::wstring FSystemDir;
    std::wstring FWindowsDir;
};

}  // namespace

std::wstring ShortcutCommand(const std::wstring& shortcutPath)
{
    const TComApartment apartment;
    ComPtr<IShellLinkW> link;
    CheckCom(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.put())),
             L"shell link object");
    ComPtr<IPersistFile> file;
    CheckCom(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())),
             L"shell link IPersistFile");
    wchar_t target[MAX_PATH] = {};
    wchar_t arguments[MAX_PATH] = {};
    // A shortcut that cannot be loaded shows as an empty target without arguments.
    if (SUCCEEDED(file.get()->Load(shortcutPath.c_str(), STGM_READ))) {
        if (FAILED(link.get()->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY)))
            target[0] = 0;
        if (FAILED(link.get()->GetArguments(arguments, MAX_PATH)))
            arguments[0] = 0;
    }
    target[MAX_PATH - 1] = 0;
    arguments[MAX_PATH - 1] = 0;
    return L"\"" + std::wstring(target) + L"\" " + arguments;
}

std::vector<std::wstring> SplitDelimitedText(const std::wstring& text)
{
    std::vector<std::wstring> items;
    const size_t n = text.size();
    size_t i = 0;
    // The text ends at its end or at a NUL, as Windows reads it.
    const auto at = [&](size_t k) { return k < n ? text[k] : L'\0'; };
    while (IsBlankOrControl(at(i)))
        ++i;
    while (at(i) != L'\0') {
        std::wstring item;
        if (at(i) == L'"') {
            ++i;
            while (at(i) != L'\0') {
                if (at(i) == L'"') {
                    if (at(i + 1) == L'"') {
                        item += L'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += at(i++);
            }
        } else {
            while (at(i) > L' ' && at(i) != L',')
                item += at(i++);
        }
        items.push_back(std::move(item));
        while (IsBlankOrControl(at(i)))
            ++i;
        if (at(i) == L',') {
            if (at(i + 1) == L'\0')
                items.emplace_back();
            do
                ++i;
            while (IsBlankOrControl(at(i)));
        }
    }
    return items;
}

size_t SplitAtChar(wchar_t separator, const std::wstring& text, std::vector<std::wstring>& parts)
{
    parts.clear();
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::wstring::npos; start = at + 1)
        if (at > start)
            parts.push_back(text.substr(start, at - start));
    if (start < text.size())
        parts.push_back(text.substr(start));
    return parts.size();
}

std::vector<std::wstring> RunOnceExCommandLines(const std::wstring& command)
{
    std::vector<std::wstring> parts;
    const size_t count = SplitAtChar(L'|', command, parts);
    std::vector<std::wstring> lines;
    const std::wstring p0 = count >= 1 ? parts[0] : std::wstring();
    const std::wstring p1 = count >= 2 ? parts[1] : std::wstring();
    const bool p0Empty = TrimControl(p0).empty();
    const bool p1Empty = TrimControl(p1).empty();
    if (count >= 1 && !p0Empty)
        lines.push_back(L"rundll32.exe " + p0);
    if (count >= 2 && !p1Empty)
        lines.push_back(L"rundll32.exe " + p0 + L"," + p1);
    if (count >= 3)
        lines.push_back(p0Empty && p1Empty ? parts[2] : L"rundll32.exe " + p0 + L"," + p1 + L" " + parts[2]);
    return lines;
}

bool IsDefaultLaunchItem(const std::wstring& item, const std::wstring& program, const std::wstring& systemDir,
                         const std::wstring& windowsDir)
{
    return SameText(item, program) || SameText(item, systemDir + L"\\" + program) ||
           SameText(item, windowsDir + L"\\" + program);
}

TReportLines GetAutorunList()
{
    TAutorunReader reader;
    const bool wow64 = IsWow64();
    // Each launch point in the native branch; on 64-bit Windows then in the 32-bit one.
    const auto bothBranches = [wow64](auto&& list) {
        list(false);
        if (wow64)
            list(true);
    };
    const auto pick = [](const TBranchPaths& paths, bool branch32) {
        return std::wstring(branch32 ? paths.Branch32 : paths.Native);
    };

    reader.SubSection(L"---------- Startup ----------", [&] {
        std::wstring userStartup;
        AppFrame().GetFolder(10, userStartup);
        if (!userStartup.empty())
            reader.ListStartupFolder(userStartup);
        const std::wstring commonStartup = GetSpecialFolder(nullptr, CSIDL_COMMON_STARTUP);
        if (!commonStartup.empty())
            reader.ListStartupFolder(commonStartup);
    });
    reader.SubSection(L"---------- Run ----------", [&] {
        bothBranches([&](bool branch32) {
            reader.ListRunKey(HKEY_CURRENT_USER, pick(RunPaths[0], branch32));
            reader.ListRunKey(HKEY_LOCAL_MACHINE, pick(RunPaths[1], branch32));
        });
    });
    reader.SubSection(L"---------- RunOnce ----------", [&] {
        bothBranches([&](bool branch32) {
            reader.ListRunKey(HKEY_CURRENT_USER, pick(RunOncePath, branch32));
            reader.ListRunKey(HKEY_LOCAL_MACHINE, pick(RunOncePath, branch32));
        });
    });
    reader.SubSection(L"---------- RunOnceEx ----------", [&] {
        bothBranches([&](bool branch32) {
            reader.ListRunOnceExKey(HKEY_CURRENT_USER, pick(RunOnceExPath, branch32));
            reader.ListRunOnceExKey(HKEY_LOCAL_MACHINE, pick(RunOnceExPath, branch32));
        });
    });
    reader.SubSection(L"---------- policies Run ----------", [&] {
        bothBranches([&](bool branch32) {
            reader.ListRunKey(HKEY_CURRENT_USER, pick(PoliciesRunPaths[0], branch32));
            reader.ListRunKey(HKEY_LOCAL_MACHINE, pick(PoliciesRunPaths[1], branch32));
        });
    });
    reader.SubSection(L"---------- NT Run ----------", [&] {
        bothBranches([&](bool branch32) {
            const std::wstring path = pick(NtWindowsPath, branch32);
            reader.ListDelimitedValue(HKEY_CURRENT_USER, path, L"Run");
            reader.ListDelimitedValue(HKEY_CURRENT_USER, path, L"Load");
            reader.ListDelimitedValue(HKEY_LOCAL_MACHINE, path, L"Run");
            reader.ListDelimitedValue(HKEY_LOCAL_MACHINE, path, L"Load");
        });
    });
    reader.SubSection(L"---------- Windows Shell ----------", [&] {
        bothBranches([&](bool branch32) {
            reader.ListShellValue(HKEY_CURRENT_USER, pick(PoliciesSystemPath, branch32), L"Shell");
            reader.ListShellValue(HKEY_LOCAL_MACHINE, pick(WinlogonPath, branch32), L"Shell");
            reader.ListUserinitValue(HKEY_LOCAL_MACHINE, pick(WinlogonPath, branch32), L"Userinit");
        });
    });
    return std::move(reader.Lines);
}
