#include "sections/registry_export.h"

#include <vector>

#include "platform/windows_version.h"

namespace {

const wchar_t* const MachineRoot = L"HKEY_LOCAL_MACHINE";
const wchar_t* const UserRoot = L"HKEY_CURRENT_USER";
const wchar_t* const UninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t* const UninstallKey32 = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t* const InterfacesKey = L"SYSTEM\\CurrentControlSet\\services\\Tcpip\\Parameters\\Interfaces";

}  // namespace

std::wstring RegStringLine(const std::wstring& name, std::wstring_view text)
{
    std::wstring line = L"\"" + name + L"\"=\"";
    line.reserve(line.size() + text.size() + 1);
    for (const wchar_t c : text) {
        line += c;
        if (c == L'\\')
            line += L'\\';
    }
    return line + L"\"";
}

std::wstring RegOtherLine(const std::wstring& name, const std::wstring& text)
{
    return L"\"" + name + L"\"=" + text;
}

void ExportKey(TRegistry& registry, TReportLines& lines, const std::wstring& path, const std::wstring& rootName)
{
    registry.CloseCurrent();
    if (!registry.OpenPath(path))
        return;
    lines.emplace_back();
    lines.push_back(L"[" + rootName + L"\\" + path + L"]");

    std::vector<std::wstring> names;
    registry.ListValueNames(names);
    for (const auto& name : names) {
        const TValueKind kind = registry.ValueKind(name);
        if (kind == vkText || kind == vkExpandText)
            lines.push_back(RegStringLine(name, registry.ReadText(name)));
        else
            lines.push_back(RegOtherLine(name, registry.ValueAsText(name, true)));
    }

    if (!registry.ChildKeysExist())
        return;
    // Each subkey is opened afresh from the root, which replaces this key;
    // only the names listed here are used afterwards.
    std::vector<std::wstring> subKeys;
    registry.ListSubKeyNames(subKeys);
    for (const auto& subKey : subKeys)
        ExportKey(registry, lines, path + L"\\" + subKey, rootName);
}

// A failure ends the step where it happens; the lines added until then stay
// in the caller's list, and the driver logs the reason.
void DoCollectEx(TReportLines& lines)
{
    TRegistry registry;
    const bool both = IsWow64();
    registry.SetRoot(HKEY_LOCAL_MACHINE);
    ExportKey(registry, lines, UninstallKey, MachineRoot);
    if (both)
        ExportKey(registry, lines, UninstallKey32, MachineRoot);
    registry.SetRoot(HKEY_CURRENT_USER);
    ExportKey(registry, lines, UninstallKey, UserRoot);
    if (both)
        ExportKey(registry, lines, UninstallKey32, UserRoot);
}

void DoCollectDNS(TReportLines& lines)
{
    TRegistry registry;
    registry.SetRoot(HKEY_LOCAL_MACHINE);
    ExportKey(registry, lines, InterfacesKey, MachineRoot);
}
