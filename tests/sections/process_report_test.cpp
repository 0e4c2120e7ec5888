#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "platform/crash_sections.h"
#include "platform/file_crc32.h"
#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/privileges.h"
#include "platform/text.h"
#include "sections/module_list.h"
#include "sections/process_report.h"
#include "sections/process_table.h"
#include "tests/support/suspended_child.h"
#include "tests/support/test_folder.h"

namespace {

std::vector<std::wstring> SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", start)) {
        lines.push_back(text.substr(start, at - start));
        start = at + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

std::wstring TestProgramFolder()
{
    return ParentFolder(GetModuleName());
}

// The table's row of a process id: "<pid in hex> <name> ...", digits as wide as the header demands.
const std::wstring* RowOf(const std::vector<std::wstring>& lines, DWORD pid)
{
    for (size_t i = 1; i < lines.size() && !lines[i].empty(); ++i) {
        const size_t blank = lines[i].find(L' ');
        if (blank != std::wstring::npos && blank > 0 && std::stoul(lines[i].substr(0, blank), nullptr, 16) == pid)
            return &lines[i];
    }
    return nullptr;
}

}  // namespace

TEST(ProcessList, ShapeOfTheText)
{
    const std::wstring text = GetProcessList();
    ASSERT_GE(text.size(), 2u);
    EXPECT_NE(text.substr(0, 2), L"\r\n");
    EXPECT_EQ(text.substr(text.size() - 2), L"\r\n");
    const std::vector<std::wstring> lines = SplitLines(text.substr(0, text.size() - 2));
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0].rfind(L"pid, name", 0), 0u) << lines[0];
    EXPECT_EQ(lines[0].substr(lines[0].size() - 32), L"hnd,thd|mem,  vmem| runtime, cpu");
    const size_t n = lines.size();
    EXPECT_EQ(lines[n - 4], L"");
    EXPECT_EQ(lines[n - 3].rfind(L"Virtual memory:", 0), 0u) << lines[n - 3];
    EXPECT_EQ(lines[n - 2].rfind(L"GlobalAtomInfo:Atom:", 0), 0u) << lines[n - 2];
    EXPECT_EQ(lines[n - 1].rfind(L"DesktopHeap:", 0), 0u) << lines[n - 1];
    // One row per process; every row as wide as the others up to the folder.
    for (size_t i = 1; i + 4 < n; ++i)
        EXPECT_TRUE(std::regex_search(lines[i], std::wregex(L"^[0-9a-f]+ \\S"))) << lines[i];

    TReportLines report = {L"before"};
    GetProcessListEx(report);
    ASSERT_EQ(report.size(), 3u);
    EXPECT_EQ(report[1], AsteriskRow);
    EXPECT_EQ(report[2].rfind(L"pid, name", 0), 0u);
}

TEST(ProcessList, RowsOfThisProcessAndItsChild)
{
    TTestFolder folder;
    const std::wstring childPath = folder / L"vxprobe-child.exe";
    TSuspendedChild child(TestProgramFolder() + L"probe_image.exe", childPath);
    ASSERT_TRUE(child.Started());

    const std::vector<std::wstring> lines = SplitLines(GetProcessList());
    const std::wstring header = lines[0];
    const std::wstring* childRow = RowOf(lines, child.Pid());
    ASSERT_NE(childRow, nullptr) << "no row for pid " << child.Pid();
    const std::wstring* ownRow = RowOf(lines, GetCurrentProcessId());
    ASSERT_NE(ownRow, nullptr);

    // The pid in the width of the largest one, the name, then the columns.
    const std::wstring childText = *childRow;
    EXPECT_EQ(childText.find(L" vxprobe-child.exe "), childText.find(L' ')) << childText;
    EXPECT_EQ(std::stoul(childText.substr(0, childText.find(L' ')), nullptr, 16), child.Pid());
    const std::wstring ownFolder = ExcludeTrailingBackslash(TestProgramFolder());
    const std::wstring childFolder = ExcludeTrailingBackslash(folder.Path());
    ASSERT_GT(childText.size(), childFolder.size());
    EXPECT_TRUE(EndsWithText(childText, L" " + childFolder)) << childText;
    EXPECT_TRUE(EndsWithText(*ownRow, L" " + ownFolder)) << *ownRow;
    // All rows' pid columns are as wide; the rest starts in the same column.
    EXPECT_EQ(childText.find(L' '), ownRow->find(L' '));
    // Handles, threads, memory, normal priority, a run time; perhaps a load,
    // from Wine's own start of the suspended child.
    EXPECT_TRUE(std::regex_search(
        childText, std::wregex(L"\\d+ *, *\\d+\\| *\\d+M, *\\d+M\\| normal,\\d+(\\S\\d\\d)? (ms|s|min|h)(,\\d+%)? ")))
        << childText;
    EXPECT_TRUE(std::regex_search(*ownRow, std::wregex(L"\\| *\\d+M, *\\d+M\\| normal,\\d")));
    // The header's columns: a session column only outside session 0.
    DWORD session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    EXPECT_EQ(header.find(L"sid ") != std::wstring::npos, session != 0) << header;
    EXPECT_NE(header.find(L"gdi,uobj,"), std::wstring::npos) << header;

    // Reading the others needs the debug privilege, which stays enabled.
    EXPECT_TRUE(PrivilegeEnabled(L"SeDebugPrivilege"));
}

TEST(ProcessList, ImagePathsAsFilePaths)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"\\SystemRoot\\System32\\smss.exe", L"C:\\Windows\\system32\\smss.exe"},
        {L"\\systemroot\\SYSTEM32\\csrss.exe", L"C:\\Windows\\system32\\csrss.exe"},
        {L"\\SystemRoot\\System32", L"\\SystemRoot\\System32"},  // the whole prefix or nothing
        {L"\\??\\C:\\Windows\\system32\\winlogon.exe", L"C:\\Windows\\system32\\winlogon.exe"},
        {L"\\??\\", L""},
        {L"\\\?\?X\\a.exe", L"\\\?\?X\\a.exe"},
        {L"C:\\Program Files\\app.exe", L"C:\\Program Files\\app.exe"},
        {L"app.exe", L"app.exe"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalizeImagePath(c.path, L"C:\\Windows\\system32"), c.expected) << c.path;
}

TEST(ProcessList, DevicePathsAsDrivePaths)
{
    const std::vector<TDosDevice> devices = {
        {L"C:", L"\\Device\\HarddiskVolume1"},
        {L"D:", L"\\Device\\HarddiskVolume10"},
        {L"E:", L"\\Device\\CdRom0"},
    };
    struct Case {
        const wchar_t* path;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"\\Device\\HarddiskVolume1\\Windows\\explorer.exe", L"C:\\Windows\\explorer.exe"},
        {L"\\Device\\HarddiskVolume10\\Tools\\a.exe", L"D:\\Tools\\a.exe"},  // not C: plus "0\Tools"
        {L"\\device\\cdrom0\\setup.exe", L"E:\\setup.exe"},
        {L"\\Device\\Mup\\server\\share\\a.exe", L""},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DevicePathToDrivePath(c.path, devices), c.expected) << c.path;

    // This machine's C: drive, round trip through its device name.
    wchar_t device[MAX_PATH] = {};
    ASSERT_GT(QueryDosDeviceW(L"C:", device, MAX_PATH), 0u);
    EXPECT_EQ(DevicePathToDrivePath(std::wstring(device) + L"\\windows\\notepad.exe"), L"C:\\windows\\notepad.exe");
}

TEST(ProcessList, LongPathOrTheSame)
{
    TTestFolder folder;
    const std::wstring file = folder / L"a long file name.txt";
    WriteFileBytes(file, "x");
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(file.c_str(), shortPath, MAX_PATH), 0u);
    EXPECT_TRUE(SameText(GetLongPath(shortPath), file)) << shortPath;
    EXPECT_EQ(GetLongPath(L"C:\\no\\such\\file.exe"), L"C:\\no\\such\\file.exe");
}

TEST(ModuleList, LinesFromItems)
{
    std::vector<TModuleItem> modules = {
        {0x400000, L"VexloHelper.exe", L"C:\\Tools", L",$1a2b3c4d"},
        {0x7ff00000, L"ntdll.dll", L"C:\\Windows\\system32", L"6.1.7601.24545"},
        {0x10000, L"x.dll", L"", L""},
    };
    EXPECT_EQ(ModuleListText(modules),
              L"00400000 VexloHelper.exe ,$1a2b3c4d     C:\\Tools\r\n"
              L"7ff00000 ntdll.dll       6.1.7601.24545 C:\\Windows\\system32\r\n"
              L"00010000 x.dll                          ");
    EXPECT_EQ(ModuleListText({}), L"");
    EXPECT_EQ(ModuleListText({{0x12345678, L"a", L"b", L"c"}}), L"12345678 a c b");
}

TEST(ModuleList, VersionTexts)
{
    struct Case {
        DWORD ms, ls;
        bool translation;
        const wchar_t* text;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {0x000A0000, 0x4A610001, true, L"ignored", L"10.0.19041.1"},
        {0, 1, false, L"", L"0.0.0.1"},
        {0x00010000, 0, false, L"", L"1.0.0.0"},
        {0, 0, true, L"  \t3.1 beta\r\n ", L"3.1 beta"},
        {0, 0, true, L"\x0100 2.0 \x00ff", L"2.0 \x00ff"},  // 255 stays, 256 goes
        {0, 0, true, L"", L""},
        {0, 0, false, L"not declared", L""},
    };
    for (const Case& c : cases) {
        TVersionSummary summary;
        summary.FileVersionMS = c.ms;
        summary.FileVersionLS = c.ls;
        summary.HasTranslation = c.translation;
        summary.TranslatedFileVersion = c.text;
        EXPECT_EQ(ModuleVersionText(summary), c.expected) << c.text;
    }
}

TEST(ModuleList, ThisProcessesModules)
{
    const std::wstring folder = TestProgramFolder();
    const UniqueModule text(LoadLibraryW((folder + L"modver_text.dll").c_str()));
    const UniqueModule zero(LoadLibraryW((folder + L"modver_zero.dll").c_str()));
    ASSERT_TRUE(text);
    ASSERT_TRUE(zero);
    EXPECT_EQ(GetModuleVersion(folder + L"modver_text.dll"), L"3.1 beta");
    EXPECT_EQ(GetModuleVersion(folder + L"modver_zero.dll"), L"");
    EXPECT_EQ(GetModuleVersion(folder + L"probe_image.exe"), L"7.3.2.1");
    EXPECT_EQ(GetModuleVersion(GetModuleName()), L"");  // test programs have no version resource

    const std::vector<std::wstring> lines = SplitLines(GetModuleList());
    ASSERT_GE(lines.size(), 4u);
    // Lines in address order, each: base, name and info padded to common widths, folder.
    const auto lineOf = [&](HMODULE module) -> std::wstring {
        wchar_t base[32];
        swprintf(base, 32, L"%08llx ", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(module)));
        for (const std::wstring& line : lines)
            if (line.rfind(base, 0) == 0)
                return line;
        return {};
    };
    unsigned long long previous = 0;
    for (const std::wstring& line : lines) {
        const unsigned long long base = std::stoull(line.substr(0, line.find(L' ')), nullptr, 16);
        EXPECT_GT(base, previous) << line;
        previous = base;
    }
    const auto column = [](const std::wstring& line, const std::wstring& part) { return line.find(part); };

    const std::wstring exe = lineOf(GetModuleHandleW(nullptr));
    const std::wstring exeName = FileNamePart(GetModuleName());
    const auto crc = FileCrc32(GetModuleName());
    ASSERT_TRUE(crc);
    ASSERT_FALSE(exe.empty());
    EXPECT_NE(exe.find(L" " + exeName + L" "), std::wstring::npos) << exe;
    EXPECT_NE(exe.find(L" ," + FormatHex(*crc, 8) + L" "), std::wstring::npos) << exe;
    EXPECT_TRUE(EndsWithText(exe, L" " + ExcludeTrailingBackslash(folder))) << exe;

    const std::wstring textLine = lineOf(text.get());
    const auto textCrc = FileCrc32(folder + L"modver_text.dll");
    ASSERT_TRUE(textCrc);
    EXPECT_NE(textLine.find(L" modver_text.dll "), std::wstring::npos) << textLine;
    EXPECT_NE(textLine.find(L" 3.1 beta," + FormatHex(*textCrc, 8) + L" "), std::wstring::npos) << textLine;
    const std::wstring zeroLine = lineOf(zero.get());
    const auto zeroCrc = FileCrc32(folder + L"modver_zero.dll");
    ASSERT_TRUE(zeroCrc);
    EXPECT_NE(zeroLine.find(L" ," + FormatHex(*zeroCrc, 8) + L" "), std::wstring::npos) << zeroLine;
    // The info column starts where the longest name ends, the folder where the longest info ends.
    EXPECT_EQ(column(textLine, L" 3.1 beta"), column(zeroLine, L" ,$"));

    // A module of the Windows directory: its version, no CRC.
    const std::wstring ntdll = lineOf(GetModuleHandleW(L"ntdll.dll"));
    ASSERT_FALSE(ntdll.empty());
    EXPECT_NE(ntdll.find(L" ntdll.dll "), std::wstring::npos) << ntdll;
    EXPECT_EQ(ntdll.find(L",$"), std::wstring::npos) << ntdll;
}

TEST(CrashSections, ProcessesAndModulesAreRegistered)
{
    const std::vector<TCrashSection> sections = CrashSections();
    const auto find = [&](const wchar_t* name) {
        return std::find_if(sections.begin(), sections.end(), [&](const TCrashSection& s) { return s.Name == name; });
    };
    const auto processes = find(L"processes");
    const auto modules = find(L"modules");
    ASSERT_NE(processes, sections.end());
    ASSERT_NE(modules, sections.end());
    EXPECT_EQ(processes->Description, L"list of running processes");
    EXPECT_EQ(modules->Description, L"list of loaded modules");
    ASSERT_TRUE(processes->Producer);
    ASSERT_TRUE(modules->Producer);
    const std::wstring processText = processes->Producer();
    EXPECT_EQ(processText.rfind(L"pid, name", 0), 0u);
    EXPECT_NE(processText.find(FileNamePart(GetModuleName())), std::wstring::npos);
    const std::wstring moduleText = modules->Producer();
    EXPECT_NE(moduleText.find(L" ntdll.dll "), std::wstring::npos);
    EXPECT_NE(moduleText.substr(moduleText.size() - 2), L"\r\n");
}
