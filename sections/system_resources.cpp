#include "sections/system_resources.h"

#include <cwchar>

#include "platform/handles.h"
#include "platform/locale_text.h"
#include "platform/modules.h"
#include "sections/process_table.h"

namespace {

const TAtomGroup* LargestGroup(const std::vector<TAtomGroup>& groups, const TAtomGroup* skip)
{
    const TAtomGroup* largest = nullptr;
    for (const TAtomGroup& group : groups)
        if (&group != skip && (!largest || group.Count > largest->Count))
            largest = &group;
    return largest;
}

}  // namespace

uint64_t RoundedMiB(uint64_t bytes)
{
    return (bytes + 524288) / 1048576;
}

std::wstring VirtualMemoryText(const TVirtualMemoryFacts& facts, wchar_t decimalChar)
{
    return std::to_wstring(RoundedMiB(facts.AvailVirtual)) + L"/" + std::to_wstring(RoundedMiB(facts.TotalVirtual)) +
           L" MB(free/total), PageSize:" + std::to_wstring(RoundedMiB(facts.AvailPageFile)) + L"/" +
           std::to_wstring(RoundedMiB(facts.TotalPageFile)) + L" MB(free/total), SysDrv:" +
           FormatByteSize(facts.DriveFree, decimalChar) + L"/" + FormatByteSize(facts.DriveTotal, decimalChar);
}

void AddAtomName(std::vector<TAtomGroup>& groups, const std::wstring& name)
{
    const std::wstring prefix = name.substr(0, 6);
    for (TAtomGroup& group : groups)
        if (group.Prefix == prefix) {
            ++group.Count;
            return;
        }
    groups.push_back(TAtomGroup{name, prefix, 1});
}

std::wstring AtomInfoText(int32_t atoms, int32_t registeredNames, const std::vector<TAtomGroup>& groups)
{
    std::wstring text = L"Atom:" + std::to_wstring(atoms) + L", RWM:" + std::to_wstring(registeredNames);
    const TAtomGroup* first = LargestGroup(groups, nullptr);
    if (first) {
        text += L", Max(" + std::to_wstring(first->Count) + L"):" + first->Name;
        if (const TAtomGroup* second = LargestGroup(groups, first))
            text += L", Max(" + std::to_wstring(second->Count) + L"):" + second->Name;
    }
    return text;
}

std::wstring ReadRegText(HKEY root, const std::wstring& key, const std::wstring& value)
{
    UniqueKey opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) != ERROR_SUCCESS)
        return {};
    DWORD size = 0;
    if (RegQueryValueExW(opened.get(), value.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return {};
    // Twice the size, zero-filled: a text without its terminator still ends.
    std::vector<BYTE> data(size_t(size) * 2, 0);
    DWORD type = 0;
    DWORD read = size;
    if (RegQueryValueExW(opened.get(), value.c_str(), nullptr, &type, data.data(), &read) != ERROR_SUCCESS)
        return {};
    const auto* units = reinterpret_cast<const wchar_t*>(data.data());
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)
        return std::wstring(units, wcsnlen(units, data.size() / sizeof(wchar_t)));
    return std::wstring(units, size);
}

std::wstring GetVirtualMemoryInfo()
{
    try {
        const std::wstring windowsDir = GetWindowsDir();
        const std::wstring root = windowsDir.empty() ? L"C:\\" : windowsDir.substr(0, 3);
        TVirtualMemoryFacts facts;
        ULARGE_INTEGER available{}, total{}, free{};
        if (GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free)) {
            facts.DriveTotal = total.QuadPart;
            facts.DriveFree = free.QuadPart;
        }
        MEMORYSTATUSEX memory{};
        memory.dwLength = sizeof(memory);
        if (GlobalMemoryStatusEx(&memory)) {
            facts.AvailVirtual = memory.ullAvailVirtual;
            facts.TotalVirtual = memory.ullTotalVirtual;
            facts.AvailPageFile = memory.ullAvailPageFile;
            facts.TotalPageFile = memory.ullTotalPageFile;
        }
        return VirtualMemoryText(facts, LocaleDecimalChar());
    } catch (...) {
        return L"error";
    }
}

std::wstring GetGlobalAtomInfo()
{
    try {
        int32_t atoms = 0, registeredNames = 0;
        std::vector<TAtomGroup> groups;
        std::vector<wchar_t> name(1024);
        for (UINT atom = 0xC000; atom <= 0xFFFF; ++atom) {
            UINT n = GlobalGetAtomNameW(static_cast<ATOM>(atom), name.data(), 1024);
            if (n > 0) {
                ++atoms;
                AddAtomName(groups, std::wstring(name.data(), n));
            }
            const int r = GetClipboardFormatNameW(atom, name.data(), 1024);
            if (r > 0) {
                ++registeredNames;
                AddAtomName(groups, std::wstring(name.data(), static_cast<size_t>(r)));
            }
        }
        return AtomInfoText(atoms, registeredNames, groups);
    } catch (...) {
        return L"error";
    }
}

std::wstring GetDesktopHeap()
{
    try {
        return ReadRegText(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems",
                           L"Windows");
    } catch (...) {
        return L"error";
    }
}
