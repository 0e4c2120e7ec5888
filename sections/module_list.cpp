#include "sections/module_list.h"

#include <windows.h>

#include "platform/file_crc32.h"
#include "platform/modules.h"
#include "platform/text.h"
#include "sections/process_report.h"
#include "sections/process_table.h"

namespace {

std::wstring BaseText(uintptr_t base)
{
    std::wstring text = FormatHex(base, 8);
    return text.substr(1);
}

bool Printable(wchar_t c)
{
    return c >= 33 && c <= 255;
}

std::vector<TModuleItem> CollectModules()
{
    std::wstring windowsDir = GetWindowsDir();
    if (windowsDir.empty())
        windowsDir = L":\\window";  // matches no path
    std::vector<TModuleItem> modules;
    const void* previousBase = nullptr;
    uintptr_t address = 0;
    MEMORY_BASIC_INFORMATION region{};
    while (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof(region)) == sizeof(region)) {
        if (region.State == MEM_COMMIT && region.AllocationBase != previousBase &&
            region.BaseAddress == region.AllocationBase) {
            std::vector<wchar_t> name(MAX_PATH + 1, L'\0');
            const DWORD n = GetModuleFileNameW(static_cast<HMODULE>(region.AllocationBase), name.data(), MAX_PATH);
            if (n > 0) {
                TModuleItem module;
                module.Base = reinterpret_cast<uintptr_t>(region.AllocationBase);
                const std::wstring path = GetLongPath(std::wstring(name.data(), n < MAX_PATH ? n : MAX_PATH));
                if (!StartsWithText(path, windowsDir))
                    if (const auto crc = FileCrc32(path))
                        module.Info = L"," + FormatHex(*crc, 8);
                module.Info = GetModuleVersion(path) + module.Info;
                SplitImagePath(path, module.Folder, module.Name);
                modules.push_back(std::move(module));
            }
        }
        previousBase = region.AllocationBase;
        const uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= address)
            break;  // the top of the address space
        address = next;
    }
    return modules;
}

}  // namespace

std::wstring ModuleListText(const std::vector<TModuleItem>& modules)
{
    int nameWidth = 0, infoWidth = 0;
    for (const TModuleItem& module : modules) {
        if (static_cast<int>(module.Name.size()) + 1 > nameWidth)
            nameWidth = static_cast<int>(module.Name.size()) + 1;
        if (static_cast<int>(module.Info.size()) + 1 > infoWidth)
            infoWidth = static_cast<int>(module.Info.size()) + 1;
    }
    std::wstring text;
    for (const TModuleItem& module : modules) {
        if (!text.empty())
            text += L"\r\n";
        text += BaseText(module.Base) + L" " + PadText(module.Name, -nameWidth, L' ') +
                PadText(module.Info, -infoWidth, L' ') + module.Folder;
    }
    return text;
}

std::wstring ModuleVersionText(const TVersionSummary& summary)
{
    if (summary.FileVersionMS != 0 || summary.FileVersionLS != 0)
        return std::to_wstring(HIWORD(summary.FileVersionMS)) + L"." + std::to_wstring(LOWORD(summary.FileVersionMS)) +
               L"." + std::to_wstring(HIWORD(summary.FileVersionLS)) + L"." +
               std::to_wstring(LOWORD(summary.FileVersionLS));
    if (!summary.HasTranslation)
        return {};
    const std::wstring& text = summary.TranslatedFileVersion;
    size_t begin = 0, end = text.size();
    while (begin < end && !Printable(text[begin]))
        ++begin;
    while (end > begin && !Printable(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::wstring GetModuleVersion(const std::wstring& path)
{
    TVersionSummary summary;
    if (!ReadVersionSummary(path, summary))
        return {};
    return ModuleVersionText(summary);
}

std::wstring GetModuleList()
{
    return ModuleListText(CollectModules());
}
