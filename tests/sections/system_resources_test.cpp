#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "platform/handles.h"
#include "platform/locale_text.h"
#include "platform/modules.h"
#include "sections/process_table.h"
#include "sections/system_resources.h"

namespace {

const wchar_t* const SubSystemsKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems";

int AtomCount(const std::wstring& info)
{
    std::wsmatch match;
    if (!std::regex_search(info, match, std::wregex(L"^Atom:(\\d+), RWM:(\\d+)")))
        return -1;
    return std::stoi(match[1].str());
}

}  // namespace

TEST(VirtualMemoryLine, WorkedExample)
{
    TVirtualMemoryFacts facts;
    facts.AvailVirtual = 1841ULL << 20;
    facts.TotalVirtual = (2048ULL << 20) - (512ULL << 10) - 1;  // 2047.4999 MiB rounds down
    facts.AvailPageFile = (5120ULL << 20) - (512ULL << 10);     // 5119.5 MiB rounds up
    facts.TotalPageFile = 8192ULL << 20;
    facts.DriveFree = 129332412416ULL;
    facts.DriveTotal = 500107862016ULL;
    EXPECT_EQ(VirtualMemoryText(facts, L'.'),
              L"1841/2047 MB(free/total), PageSize:5120/8192 MB(free/total), SysDrv:120.45 GB/465.76 GB");
    EXPECT_EQ(VirtualMemoryText(TVirtualMemoryFacts{}, L','),
              L"0/0 MB(free/total), PageSize:0/0 MB(free/total), SysDrv:0 Bytes/0 Bytes");
    EXPECT_EQ(RoundedMiB(524287), 0u);
    EXPECT_EQ(RoundedMiB(524288), 1u);
    EXPECT_EQ(RoundedMiB(1572863), 1u);
    EXPECT_EQ(RoundedMiB(1572864), 2u);
}

TEST(VirtualMemoryLine, ThisMachine)
{
    const std::wstring text = GetVirtualMemoryInfo();
    EXPECT_TRUE(std::regex_match(text, std::wregex(L"\\d+/\\d+ MB\\(free/total\\), PageSize:\\d+/\\d+ MB\\(free/total\\), "
                                                   L"SysDrv:\\d+(\\S\\d\\d)? \\w+/\\d+(\\S\\d\\d)? \\w+")))
        << text;
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof(memory);
    ASSERT_TRUE(GlobalMemoryStatusEx(&memory));
    EXPECT_NE(text.find(L"/" + std::to_wstring(RoundedMiB(memory.ullTotalVirtual)) + L" MB(free/total), PageSize:"),
              std::wstring::npos)
        << text;
    ULARGE_INTEGER available{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW((GetWindowsDir().substr(0, 3)).c_str(), &available, &total, &free));
    const std::wstring driveTotal = L"/" + FormatByteSize(total.QuadPart, LocaleDecimalChar());
    EXPECT_EQ(text.substr(text.size() - driveTotal.size()), driveTotal);
}

TEST(AtomGroups, SixCharactersWithCaseDecide)
{
    std::vector<TAtomGroup> groups;
    for (const wchar_t* name : {L"OleDropTargetInterface", L"OleDropTargetMarshal", L"oledropper", L"ab", L"ab",
                                L"abc", L"OleDro"})
        AddAtomName(groups, name);
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_EQ(groups[0].Name, L"OleDropTargetInterface");
    EXPECT_EQ(groups[0].Prefix, L"OleDro");
    EXPECT_EQ(groups[0].Count, 3);  // "OleDro" itself is six characters of the prefix
    EXPECT_EQ(groups[1].Name, L"oledropper");  // differs only in case: a group of its own
    EXPECT_EQ(groups[1].Count, 1);
    EXPECT_EQ(groups[2].Prefix, L"ab");
    EXPECT_EQ(groups[2].Count, 2);
    EXPECT_EQ(groups[3].Prefix, L"abc");
    EXPECT_EQ(groups[3].Count, 1);
}

TEST(AtomGroups, TheTwoLargestGroupsEarlierOnATie)
{
    const auto groups = [](std::initializer_list<std::pair<const wchar_t*, int>> list) {
        std::vector<TAtomGroup> result;
        for (const auto& [name, count] : list)
            result.push_back(TAtomGroup{name, std::wstring(name).substr(0, 6), count});
        return result;
    };
    EXPECT_EQ(AtomInfoText(412, 655, groups({{L"Small", 41}, {L"Native", 96}, {L"Tiny", 3}})),
              L"Atom:412, RWM:655, Max(96):Native, Max(41):Small");
    EXPECT_EQ(AtomInfoText(5, 0, groups({{L"First", 2}, {L"Second", 2}, {L"Third", 2}})),
              L"Atom:5, RWM:0, Max(2):First, Max(2):Second");
    EXPECT_EQ(AtomInfoText(3, 1, groups({{L"A", 1}, {L"B", 7}, {L"C", 7}})), L"Atom:3, RWM:1, Max(7):B, Max(7):C");
    EXPECT_EQ(AtomInfoText(1, 0, groups({{L"Only", 1}})), L"Atom:1, RWM:0, Max(1):Only");
    EXPECT_EQ(AtomInfoText(0, 0, {}), L"Atom:0, RWM:0");
}

TEST(AtomGroups, ThisMachinesAtomTable)
{
    std::vector<ATOM> added;
    for (int i = 1; i <= 120; ++i)
        added.push_back(GlobalAddAtomW((L"VxGroupProbe-" + std::to_wstring(1000 + i)).c_str()));
    for (const ATOM atom : added)
        ASSERT_GE(atom, 0xC000);
    const std::wstring info = GetGlobalAtomInfo();
    for (const ATOM atom : added)
        GlobalDeleteAtom(atom);
    // Other programs of the session add and drop atoms of their own
    // meanwhile, so only ours are known for sure.
    EXPECT_GE(AtomCount(info), 120) << info;
    // The largest group is ours, under the name of its lowest atom (freed
    // atom values are given out again, so not necessarily the first one
    // added). Wine keeps registered names in the same table, so they may
    // count twice.
    std::wsmatch match;
    ASSERT_TRUE(std::regex_search(info, match, std::wregex(L", Max\\((\\d+)\\):([^,]*)")));
    EXPECT_TRUE(std::regex_match(match[2].str(), std::wregex(L"VxGroupProbe-1\\d{3}"))) << info;
    EXPECT_GE(std::stoi(match[1].str()), 120);
}

class RegTextValues : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, FKey.put(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        FKey.reset();
        RegDeleteKeyW(HKEY_CURRENT_USER, Key);
    }
    void Set(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(RegSetValueExW(FKey.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    static constexpr const wchar_t* Key = L"Software\\VexloTest\\RegText";
    UniqueKey FKey;
};

TEST_F(RegTextValues, EachKindOfValue)
{
    const wchar_t text[] = L"%SystemRoot%\\system32\\csrss.exe SharedSection=1024,20480,768";
    Set(L"expand", REG_EXPAND_SZ, text, sizeof(text));
    Set(L"plain", REG_SZ, L"plain text", 2 * 10);  // stored without its NUL
    const wchar_t multi[] = L"first\0second\0";
    Set(L"multi", REG_MULTI_SZ, multi, sizeof(multi));
    const BYTE binary[] = {'A', 0, 'B', 0};
    Set(L"binary", REG_BINARY, binary, sizeof(binary));
    const DWORD number = 0x00430041;
    Set(L"dword", REG_DWORD, &number, sizeof(number));
    Set(L"empty", REG_SZ, L"", 0);

    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, Key, L"expand"), text);  // not expanded
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, Key, L"plain"), L"plain text");
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, Key, L"multi"), L"first");
    // Other kinds: as many UTF-16 units as the value has bytes.
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, Key, L"binary"), std::wstring(L"AB\0\0", 4));
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, Key, L"dword"), std::wstring(L"AC\0\0", 4));
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, Key, L"empty"), L"");
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, Key, L"missing"), L"");
    EXPECT_EQ(ReadRegText(HKEY_CURRENT_USER, L"Software\\VexloTest\\NoSuchKey", L"plain"), L"");
}

TEST(DesktopHeapLine, TheSubsystemsWindowsValueUnexpanded)
{
    UniqueKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, SubSystemsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    const wchar_t value[] = L"%SystemRoot%\\system32\\csrss.exe ObjectDirectory=\\Windows SharedSection=1024,20480,768";
    ASSERT_EQ(RegSetValueExW(key.get(), L"Windows", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value),
                             sizeof(value)),
              ERROR_SUCCESS);
    EXPECT_EQ(GetDesktopHeap(), value);
    RegDeleteValueW(key.get(), L"Windows");
    EXPECT_EQ(GetDesktopHeap(), L"");
}
