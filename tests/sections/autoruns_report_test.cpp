// The autoruns section: its text rules as tables, shortcuts made through the
// shell, and the whole section on the real registry and Startup folders of the
// test's prefix, both registry branches.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com.h"
#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/csidl_folders.h"
#include "sections/autoruns_report.h"
#include "sections/collect_files.h"
#include "tests/support/test_folder.h"

namespace {

using Lines = std::vector<std::wstring>;

TEST(DelimitedText, SplitsAsWindowsLaunchValuesAreRead)
{
    const struct {
        const wchar_t* Text;
        Lines Items;
    } cases[] = {
        {L"", {}},
        {L"   ", {}},
        {L"a.exe, b.exe", {L"a.exe", L"b.exe"}},
        {L"  a.exe  ", {L"a.exe"}},
        {L"C:\\Program Files\\x.exe", {L"C:\\Program", L"Files\\x.exe"}},
        {L"\"C:\\Program Files\\x.exe\",y.exe", {L"C:\\Program Files\\x.exe", L"y.exe"}},
        {L"a\tb", {L"a", L"b"}},
        {L"a,", {L"a", L""}},
        {L"a , ", {L"a"}},
        {L",a", {L"", L"a"}},
        {L"a,,b", {L"a", L"", L"b"}},
        {L"\"say \"\"hi\"\"\"", {L"say \"hi\""}},
        {L"\"open", {L"open"}},
        {L"\"a\"b", {L"a", L"b"}},
        {L"\" \",c", {L" ", L"c"}},
        {L"C:\\Windows\\system32\\userinit.exe,", {L"C:\\Windows\\system32\\userinit.exe", L""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitDelimitedText(c.Text), c.Items) << c.Text;
}

TEST(SplitAtCharTest, NonEmptyPiecesOnly)
{
    const struct {
        const wchar_t* Text;
        Lines Parts;
    } cases[] = {
        {L"a|b|c", {L"a", L"b", L"c"}}, {L"||a||b|", {L"a", L"b"}}, {L"", {}}, {L"|", {}},
        {L"abc", {L"abc"}},             {L" | ", {L" ", L" "}},
    };
    for (const auto& c : cases) {
        Lines parts{L"left over"};
        EXPECT_EQ(SplitAtChar(L'|', c.Text, parts), c.Parts.size()) << c.Text;
        EXPECT_EQ(parts, c.Parts) << c.Text;
    }
}

TEST(RunOnceExRendering, EachConditionGivesItsLine)
{
    const struct {
        const wchar_t* Command;
        Lines Rendered;
    } cases[] = {
        {L"shell32.dll|Control_RunDLL|desk.cpl",
         {L"rundll32.exe shell32.dll", L"rundll32.exe shell32.dll,Control_RunDLL",
          L"rundll32.exe shell32.dll,Control_RunDLL desk.cpl"}},
        {L"notepad.exe", {L"rundll32.exe notepad.exe"}},
        {L"a.dll|Fn", {L"rundll32.exe a.dll", L"rundll32.exe a.dll,Fn"}},
        {L" | |cmd.exe /c x", {L"cmd.exe /c x"}},
        {L"a.dll| |args", {L"rundll32.exe a.dll", L"rundll32.exe a.dll,  args"}},
        {L" |Fn|args", {L"rundll32.exe  ,Fn", L"rundll32.exe  ,Fn args"}},
        {L"a|b|c|d", {L"rundll32.exe a", L"rundll32.exe a,b", L"rundll32.exe a,b c"}},
        {L"||x", {L"rundll32.exe x"}},
        {L"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunOnceExCommandLines(c.Command), c.Rendered) << c.Command;
}

TEST(DefaultLaunchItem, TheProgramByNameOrInTheSystemOrWindowsFolder)
{
    const wchar_t* system = L"C:\\windows\\system32";
    const wchar_t* windows = L"C:\\windows";
    const struct {
        const wchar_t* Item;
        const wchar_t* Program;
        bool Default;
    } cases[] = {
        {L"explorer.exe", L"explorer.exe", true},
        {L"Explorer.EXE", L"explorer.exe", true},
        {L"C:\\Windows\\explorer.exe", L"explorer.exe", true},
        {L"C:\\WINDOWS\\System32\\userinit.exe", L"userinit.exe", true},
        {L"C:\\windows\\userinit.exe", L"userinit.exe", true},
        {L"D:\\windows\\userinit.exe", L"userinit.exe", false},
        {L"userinit.exe", L"explorer.exe", false},
        {L"explorer.exe ", L"explorer.exe", false},
        {L"C:\\evil.exe", L"userinit.exe", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsDefaultLaunchItem(c.Item, c.Program, system, windows), c.Default) << c.Item;
}

// A shortcut saved through the shell, as an installer makes one.
void MakeShortcut(const std::wstring& path, const std::wstring& target, const std::wstring& arguments)
{
    const TComApartment apartment;
    ComPtr<IShellLinkW> link;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(link.put())),
              S_OK);
    ASSERT_EQ(link.get()->SetPath(target.c_str()), S_OK);
    ASSERT_EQ(link.get()->SetArguments(arguments.c_str()), S_OK);
    ComPtr<IPersistFile> file;
    ASSERT_EQ(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())), S_OK);
    ASSERT_EQ(file.get()->Save(path.c_str(), TRUE), S_OK);
}

TEST(ShortcutCommandTest, QuotedTargetThenArguments)
{
    TTestFolder f;
    const std::wstring target = f / L"tool.exe";
    WriteFileBytes(target, "MZ");
    MakeShortcut(f / L"with.lnk", target, L"/start --now");
    MakeShortcut(f / L"without.lnk", target, L"");
    WriteFileBytes(f / L"broken.lnk", "this is no shortcut");
    EXPECT_EQ(ShortcutCommand(f / L"with.lnk"), L"\"" + target + L"\" /start --now");
    EXPECT_EQ(ShortcutCommand(f / L"without.lnk"), L"\"" + target + L"\" ");
    EXPECT_EQ(ShortcutCommand(f / L"broken.lnk"), L"\"\" ");
    EXPECT_EQ(ShortcutCommand(f / L"missing.lnk"), L"\"\" ");
}

// ---------------------------------------------------------------------------
// The whole section on the prefix's registry.

// Native: the 64-bit registry; Installer32: how a 32-bit installer writes.
constexpr REGSAM Native = KEY_WOW64_64KEY;
constexpr REGSAM Installer32 = KEY_WOW64_32KEY;

// The 32-bit branch of a native path, by name. Windows (and Wine) share some
// keys between the views, HKCU\Software and the Policies keys among them, so a
// 32-bit writer may land in the native key; the section reads the branch by
// this name, and the fixture writes it so.
std::wstring Wow(const std::wstring& path)
{
    return path.substr(0, 8) + L"\\Wow6432Node" + path.substr(8);
}

UniqueKey CreateKey(HKEY root, const std::wstring& path, REGSAM view)
{
    UniqueKey key;
    EXPECT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    return key;
}

void SetText(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& name, const std::wstring& text,
             DWORD type = REG_SZ)
{
    const UniqueKey key = CreateKey(root, path, view);
    ASSERT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

void SetDword(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& name, DWORD value)
{
    const UniqueKey key = CreateKey(root, path, view);
    ASSERT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof value),
              ERROR_SUCCESS);
}

std::wstring StartupFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE));
    return path;
}

const Lines SectionHead{L"", L"===== Autoruns =====", L""};

// Runs first: the prefix as Wine makes it has no launch entries of its own
// (its Winlogon "Shell" is the default explorer.exe).
TEST(GetAutorunListTest, ASystemWithoutAutorunsGivesTheBareHeader)
{
    EXPECT_EQ(GetAutorunList(), SectionHead);
}

TEST(GetAutorunListTest, EveryLaunchPointInOrderWithItsHeader)
{
    const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::wstring runOnce = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    const std::wstring runOnceEx = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
    const std::wstring policiesRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
    const std::wstring policiesSystem = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
    const std::wstring ntWindows = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    const std::wstring winlogon = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

    // Startup folders: the user's with a shortcut, a batch file, desktop.ini and
    // Thumbs.db (never listed) and a sub-folder; the common one with one file.
    TTestFolder f;
    const std::wstring tool = f / L"tool.exe";
    WriteFileBytes(tool, "MZ");
    const std::wstring user = IncludeTrailingBackslash(StartupFolder(CSIDL_STARTUP));
    const std::wstring common = IncludeTrailingBackslash(StartupFolder(CSIDL_COMMON_STARTUP));
    ASSERT_TRUE(ForceDirectories(user + L"sub"));
    ASSERT_TRUE(ForceDirectories(common));
    MakeShortcut(user + L"Tool.lnk", tool, L"/start now");
    WriteFileBytes(user + L"run.bat", "@echo off");
    WriteFileBytes(user + L"desktop.ini", "[.ShellClassInfo]");
    WriteFileBytes(user + L"Thumbs.db", "");
    WriteFileBytes(user + L"sub\\DESKTOP.INI", "");
    WriteFileBytes(user + L"sub\\inner.cmd", "");
    WriteFileBytes(common + L"common.bat", "");
    ASSERT_TRUE(SetFileAttributesW((user + L"desktop.ini").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

    // Run: the default value, a string, a DWORD that must not cost the section,
    // an expandable string as stored; the 32-bit branch after the native one.
    SetText(HKEY_CURRENT_USER, run, Native, L"", L"x.exe");
    SetText(HKEY_CURRENT_USER, run, Native, L"Alpha", L"C:\\a.exe /q");
    SetDword(HKEY_CURRENT_USER, run, Native, L"Counter", 26);
    SetText(HKEY_CURRENT_USER, run, Native, L"Zeta", L"%ProgramFiles%\\z.exe", REG_EXPAND_SZ);
    SetText(HKEY_LOCAL_MACHINE, run, Native, L"MachineApp", L"C:\\m.exe");
    SetText(HKEY_CURRENT_USER, Wow(run), Native, L"User32", L"C:\\u32.exe");
    SetText(HKEY_LOCAL_MACHINE, run, Installer32, L"Machine32", L"C:\\m32.exe");
    SetText(HKEY_LOCAL_MACHINE, runOnce, Native, L"Once", L"C:\\once.exe");
    SetText(HKEY_CURRENT_USER, Wow(runOnce), Native, L"UserOnce32", L"C:\\uo32.exe");
    // RunOnceEx: the key's own values are settings, its subkeys the entries.
    SetDword(HKEY_LOCAL_MACHINE, runOnceEx, Native, L"Flags", 0x20);
    SetText(HKEY_LOCAL_MACHINE, runOnceEx + L"\\0001", Native, L"1", L"shell32.dll|Control_RunDLL|desk.cpl");
    SetText(HKEY_LOCAL_MACHINE, Wow(runOnceEx) + L"\\0002", Native, L"Cmd", L"notepad.exe");
    SetText(HKEY_CURRENT_USER, policiesRun, Native, L"Policy", L"C:\\p.exe");
    // Windows shares the machine's Policies key between the branches (Wine
    // links it, too): one entry, read once per branch.
    SetText(HKEY_LOCAL_MACHINE, Wow(policiesRun), Native, L"MachinePolicy", L"C:\\mp.exe");
    // NT Run/Load: comma and blank separated, quotes group.
    SetText(HKEY_CURRENT_USER, ntWindows, Native, L"Load", L"a.exe, b.exe");
    SetText(HKEY_LOCAL_MACHINE, ntWindows, Native, L"Run", L"\"C:\\Program Files\\r.exe\"");
    SetDword(HKEY_CURRENT_USER, Wow(ntWindows), Native, L"Run", 1);
    // Shell and Userinit: only what is not Windows' own.
    SetText(HKEY_CURRENT_USER, policiesSystem, Native, L"Shell", L"explorer.exe");
    SetText(HKEY_LOCAL_MACHINE, winlogon, Native, L"Shell", L"Explorer.EXE other.exe");
    SetText(HKEY_LOCAL_MACHINE, winlogon, Native, L"Userinit", GetSystemDir() + L"\\userinit.exe,C:\\evil.exe");
    SetText(HKEY_LOCAL_MACHINE, Wow(winlogon), Native, L"Userinit", GetSystemDir() + L"\\userinit.exe,");

    // The Startup lines in the order the folders list their files.
    const auto startupLine = [&](const std::wstring& path) {
        return FileNamePart(path) == L"Tool.lnk" ? L"\"" + tool + L"\" /start now" : path;
    };
    Lines startup;
    for (const std::wstring& folder : {user, common}) {
        std::vector<std::wstring> files;
        CollectFiles(folder, files, cmFiles, true, L"");
        for (const auto& path : files)
            if (_wcsicmp(FileNamePart(path).c_str(), L"desktop.ini") != 0 && FileNamePart(path) != L"Thumbs.db")
                startup.push_back(startupLine(path));
    }
    ASSERT_EQ(startup.size(), 4u);

    Lines expected = SectionHead;
    expected.push_back(L"---------- Startup ----------");
    expected.insert(expected.end(), startup.begin(), startup.end());
    for (const wchar_t* line : {
             L"---------- Run ----------",
             L"=x.exe",
             L"Alpha=C:\\a.exe /q",
             L"Counter=dword:0000001A",
             L"Zeta=%ProgramFiles%\\z.exe",
             L"MachineApp=C:\\m.exe",
             L"User32=C:\\u32.exe",
             L"Machine32=C:\\m32.exe",
             L"---------- RunOnce ----------",
             L"Once=C:\\once.exe",
             L"UserOnce32=C:\\uo32.exe",
             L"---------- RunOnceEx ----------",
             L"rundll32.exe shell32.dll",
             L"rundll32.exe shell32.dll,Control_RunDLL",
             L"rundll32.exe shell32.dll,Control_RunDLL desk.cpl",
             L"rundll32.exe notepad.exe",
             L"---------- policies Run ----------",
             L"Policy=C:\\p.exe",
             L"MachinePolicy=C:\\mp.exe",
             L"MachinePolicy=C:\\mp.exe",
             L"---------- NT Run ----------",
             L"a.exe",
             L"b.exe",
             L"C:\\Program Files\\r.exe",
             L"Run=dword:00000001",
             L"---------- Windows Shell ----------",
             L"other.exe",
             L"C:\\evil.exe",
         })
        expected.push_back(line);
    EXPECT_EQ(GetAutorunList(), expected);
}

}  // namespace
