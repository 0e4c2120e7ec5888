#include "sections/process_table.h"

#include <cmath>

#include "platform/locale_text.h"

namespace {

// Hundredths as text with the decimal character before the last two digits.
std::wstring Hundredths(uint64_t value, wchar_t decimalChar)
{
    std::wstring digits = std::to_wstring(value);
    if (digits.size() < 3)
        digits.insert(0, 3 - digits.size(), L'0');
    digits.insert(digits.size() - 2, 1, decimalChar);
    return digits;
}

std::wstring TwoDigits(uint64_t value)
{
    return (value < 10 ? L"0" : L"") + std::to_wstring(value);
}

size_t Width(const std::wstring& text)
{
    return text.size();
}

}  // namespace

std::wstring PadText(const std::wstring& text, int width, wchar_t fill)
{
    const size_t wanted = width < 0 ? size_t(-static_cast<int64_t>(width)) : size_t(width);
    if (text.size() >= wanted)
        return text;
    const std::wstring padding(wanted - text.size(), fill);
    if (fill >= L'0' && fill <= L'9' && !text.empty() && text[0] == L'-')
        return L"-" + padding + text.substr(1);
    return width > 0 ? padding + text : text + padding;
}

std::wstring FormatDecimal(int64_t value, int width, wchar_t fill)
{
    return PadText(std::to_wstring(value), width, fill);
}

std::wstring FormatHex(uint64_t value, int digits)
{
    std::wstring text;
    do {
        text.insert(text.begin(), L"0123456789abcdef"[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return L"$" + PadText(text, digits, L'0');
}

std::wstring FormatDuration(uint64_t ms, wchar_t decimalChar)
{
    if (ms < 1000)
        return std::to_wstring(ms) + L" ms";
    if (ms < 60000)
        return std::to_wstring(ms / 1000) + decimalChar + TwoDigits(ms % 1000 / 10) + L" s";
    if (ms < 3600000)
        return std::to_wstring(ms / 60000) + L":" + TwoDigits(ms / 1000 % 60) + L" min";
    return std::to_wstring(ms / 3600000) + L":" + TwoDigits(ms / 60000 % 60) + L" h";
}

std::wstring FormatDuration(uint64_t ms)
{
    return FormatDuration(ms, LocaleDecimalChar());
}

std::wstring FormatByteSize(uint64_t bytes, wchar_t decimalChar)
{
    const uint64_t KiB = 1024, MiB = KiB * 1024, GiB = MiB * 1024;
    if (bytes < KiB)
        return std::to_wstring(bytes) + L" Bytes";
    if (bytes < MiB)
        return Hundredths(bytes * 100 / KiB, decimalChar) + L" KB";
    if (bytes < GiB)
        return Hundredths(bytes / KiB * 100 / KiB, decimalChar) + L" MB";
    return Hundredths(bytes / KiB / KiB * 100 / KiB, decimalChar) + L" GB";
}

std::wstring FormatByteSize(uint64_t bytes)
{
    return FormatByteSize(bytes, LocaleDecimalChar());
}

std::wstring PriorityClassName(int32_t priorityClass)
{
    switch (priorityClass) {
    case 0:
    case -1: return {};
    case NORMAL_PRIORITY_CLASS: return L"normal";
    case IDLE_PRIORITY_CLASS: return L"idle";
    case HIGH_PRIORITY_CLASS: return L"high";
    case REALTIME_PRIORITY_CLASS: return L"realtime";
    case BELOW_NORMAL_PRIORITY_CLASS: return L"normal-";
    case ABOVE_NORMAL_PRIORITY_CLASS: return L"normal+";
    default: return FormatHex(static_cast<uint32_t>(priorityClass), 1);
    }
}

int32_t CpuLoadPercent(uint64_t cpuBeforeMs, uint64_t cpuNowMs, uint32_t elapsedTicks)
{
    if (elapsedTicks == 0)
        return 0;
    const auto used = static_cast<int64_t>(cpuNowMs - cpuBeforeMs) * 100;
    const double load = std::nearbyint(static_cast<double>(used) / static_cast<double>(elapsedTicks));
    // Only the low 32 bits of the rounded value count.
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(load))));
}

std::wstring CpuLoadText(int32_t load)
{
    return load != 0 ? L"," + FormatDecimal(load, 1, L'0') + L"%" : std::wstring();
}

std::wstring ProcessRestText(const TProcessRow& row, wchar_t decimalChar)
{
    return FormatDecimal(row.Handles, -4, L' ') + L"," + FormatDecimal(row.Threads, 2, L' ') + L"| " +
           FormatDecimal(row.WorkingSetMB, 3, L' ') + L"M," + FormatDecimal(row.PagefileMB, 3, L' ') + L"M| " +
           PriorityClassName(row.PriorityClass) + L"," + FormatDuration(row.RunTimeMs, decimalChar) + row.CpuText;
}

std::vector<std::wstring> ProcessTableLines(const std::vector<TProcessRow>& rows, wchar_t decimalChar)
{
    int wsid = 0, wpid = 0, wrest = 0, wgdi = 0, wuobj = 0, wname = 0;
    const auto widen = [](int& width, size_t length) {
        if (static_cast<int>(length) > width)
            width = static_cast<int>(length);
    };
    std::vector<std::wstring> rests;
    rests.reserve(rows.size());
    for (const TProcessRow& row : rows) {
        rests.push_back(ProcessRestText(row, decimalChar));
        if (row.SessionId != 0)
            widen(wsid, Width(std::to_wstring(row.SessionId)));
        widen(wpid, Width(FormatHex(row.Pid, 1)));
        widen(wrest, Width(rests.back()));
        widen(wgdi, Width(std::to_wstring(row.GdiObjects)));
        widen(wuobj, Width(std::to_wstring(row.UserObjects)));
        widen(wname, Width(row.Name));
    }
    const bool gui = wgdi > 0 || wuobj > 0;

    std::vector<std::wstring> lines;
    lines.reserve(rows.size() + 1);
    // The header's name field is two characters narrower than the rows'.
    std::wstring header = L"pid, " + PadText(L"name", 1 - wname, L' ');
    if (wsid > 0)
        header += PadText(L"sid ", -wsid - 1, L' ');
    if (gui)
        header += PadText(L"gdi,", -wgdi - 1, L' ') + PadText(L"uobj,", -wuobj - 1, L' ');
    header += L"hnd,thd|mem,  vmem| runtime, cpu";
    lines.push_back(std::move(header));

    for (size_t i = 0; i < rows.size(); ++i) {
        const TProcessRow& row = rows[i];
        std::wstring line = FormatHex(row.Pid, wpid - 1).substr(1) + L" " + PadText(row.Name, -wname - 1, L' ');
        if (wsid > 0)
            line += FormatDecimal(row.SessionId, -wsid - 1, L' ');
        if (gui)
            line += FormatDecimal(row.GdiObjects, -wgdi - 1, L' ') + FormatDecimal(row.UserObjects, -wuobj - 1, L' ');
        line += PadText(rests[i], -wrest - 1, L' ') + row.Folder;
        lines.push_back(std::move(line));
    }
    return lines;
}

void SplitImagePath(const std::wstring& path, std::wstring& folder, std::wstring& name)
{
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) {
        folder.clear();
        name = path;
        return;
    }
    folder = path.substr(0, slash);
    name = path.substr(slash + 1);
}
