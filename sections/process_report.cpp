#include "sections/process_report.h"

#include <psapi.h>
#include <winternl.h>

#include <cstring>
#include <cwchar>
#include <optional>

#include "platform/crash_sections.h"
#include "platform/handles.h"
#include "platform/locale_text.h"
#include "platform/modules.h"
#include "platform/privileges.h"
#include "platform/process_lifetime.h"
#include "platform/text.h"
#include "sections/module_list.h"
#include "sections/process_table.h"
#include "sections/system_resources.h"

namespace {

constexpr ULONG SystemProcessInformationClass = 5;
constexpr DWORD QueryAndRead = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;  // 0x410

// The functions the walk uses, looked up once; a missing one skips its step.
struct TProcessApi {
    using QuerySystemFn = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    using ModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
    using FullImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
    using ImageFileNameFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD);
    using MemoryInfoFn = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
    using GuiResourcesFn = DWORD(WINAPI*)(HANDLE, DWORD);

    UniqueModule Psapi;
    QuerySystemFn QuerySystem = nullptr;
    ModuleFileNameExFn ModuleFileNameEx = nullptr;
    FullImageNameFn FullImageName = nullptr;
    ImageFileNameFn ImageFileName = nullptr;
    MemoryInfoFn MemoryInfo = nullptr;
    GuiResourcesFn GuiResources = nullptr;

    TProcessApi() : Psapi(LoadSystemLibrary(L"psapi.dll"))
    {
        QuerySystem = ProcAddress<QuerySystemFn>(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
        ModuleFileNameEx = ProcAddress<ModuleFileNameExFn>(Psapi.get(), "GetModuleFileNameExW");
        FullImageName = ProcAddress<FullImageNameFn>(Kernel32(), "QueryFullProcessImageNameW");
        ImageFileName = ProcAddress<ImageFileNameFn>(Psapi.get(), "GetProcessImageFileNameW");
        MemoryInfo = ProcAddress<MemoryInfoFn>(Psapi.get(), "GetProcessMemoryInfo");
        GuiResources = ProcAddress<GuiResourcesFn>(GetModuleHandleW(L"user32.dll"), "GetGuiResources");
    }
};

const TProcessApi& ProcessApi()
{
    static const ProcessLifetime<TProcessApi> api;
    return api.get();
}

// One process between its first sample and its row.
struct TProcessItem {
    TProcessRow Row;
    uint64_t CpuTimeMs = 0;
    bool Sampled = false;  // its times were read
    DWORD SampleTick = 0;
    UniqueHandle Handle;   // open from the first sample until the second
};

uint64_t FileTimeValue(const FILETIME& time)
{
    return (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::optional<uint64_t> GetProcessCpuTime(HANDLE process)
{
    FILETIME creation{}, exit{}, kernel{}, user{};
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user))
        return std::nullopt;
    return (FileTimeValue(kernel) + FileTimeValue(user)) / 10000;
}

// The system process information, or empty when it cannot be read.
std::vector<BYTE> QuerySystemProcesses(const TProcessApi& api)
{
    if (!api.QuerySystem)
        return {};
    ULONG needed = 0;
    api.QuerySystem(SystemProcessInformationClass, nullptr, 0, &needed);
    if (needed > 0) {
        std::vector<BYTE> buffer(size_t(needed) * 2, 0);
        if (NT_SUCCESS(api.QuerySystem(SystemProcessInformationClass, buffer.data(),
                                       static_cast<ULONG>(buffer.size()), &needed)))
            return buffer;
        return {};
    }
    for (size_t size = 128 * 1024; size <= 4 * 1024 * 1024; size *= 2) {
        std::vector<BYTE> buffer(size, 0);
        if (NT_SUCCESS(api.QuerySystem(SystemProcessInformationClass, buffer.data(), static_cast<ULONG>(size),
                                       &needed)))
            return buffer;
    }
    return {};
}

std::wstring FirstText(const std::vector<wchar_t>& buffer, size_t count)
{
    if (count >= buffer.size())
        count = buffer.size() - 1;
    return std::wstring(buffer.data(), wcsnlen(buffer.data(), count));
}

std::wstring GetProcessImagePath(const TProcessApi& api, HANDLE process)
{
    try {
        std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
        std::wstring path;
        if (api.FullImageName) {
            DWORD size = MAX_PATH;
            if (api.FullImageName(process, 0, buffer.data(), &size))
                path = FirstText(buffer, size);
        }
        if (path.empty() && api.ImageFileName) {
            const DWORD n = api.ImageFileName(process, buffer.data(), MAX_PATH);
            if (n > 0)
                path = DevicePathToDrivePath(FirstText(buffer, n));
        }
        if (path.empty() && api.ModuleFileNameEx) {
            const DWORD n = api.ModuleFileNameEx(process, nullptr, buffer.data(), MAX_PATH);
            if (n > 0)
                path = FirstText(buffer, n);
        }
        return path.empty() ? path : GetLongPath(path);
    } catch (...) {
        return {};
    }
}

TProcessItem AddProcessItem(const TProcessApi& api, const std::wstring& path, DWORD pid, DWORD session,
                            DWORD threads, DWORD handles, uint64_t workingSet, uint64_t pagefile)
{
    TProcessItem item;
    TProcessRow& row = item.Row;
    row.Pid = pid;
    row.SessionId = session;
    row.Threads = threads;
    row.Handles = handles;
    row.WorkingSetMB = static_cast<DWORD>(workingSet >> 20);
    row.PagefileMB = static_cast<DWORD>(pagefile >> 20);
    SplitImagePath(path, row.Folder, row.Name);
    if (pid == 0)
        return item;
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process)
        return item;
    FILETIME creation{}, exit{}, kernel{}, user{};
    if (GetProcessTimes(process.get(), &creation, &exit, &kernel, &user)) {
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        const uint64_t nowValue = FileTimeValue(now), created = FileTimeValue(creation);
        row.RunTimeMs = (nowValue > created ? nowValue - created : created - nowValue) / 10000;
        item.SampleTick = GetTickCount();
        item.Sampled = true;
        item.CpuTimeMs = (FileTimeValue(kernel) + FileTimeValue(user)) / 10000;
    }
    row.PriorityClass = static_cast<int32_t>(GetPriorityClass(process.get()));
    if (api.GuiResources) {
        row.GdiObjects = static_cast<int32_t>(api.GuiResources(process.get(), GR_GDIOBJECTS));
        row.UserObjects = static_cast<int32_t>(api.GuiResources(process.get(), GR_USEROBJECTS));
    }
    item.Handle = std::move(process);
    return item;
}

// The image name of a record, read only within the buffer.
std::wstring RecordImageName(const SYSTEM_PROCESS_INFORMATION& record, const std::vector<BYTE>& buffer)
{
    const auto* begin = reinterpret_cast<const BYTE*>(record.ImageName.Buffer);
    const size_t bytes = record.ImageName.Length;
    if (!begin || bytes == 0)
        return {};
    const BYTE* low = buffer.data();
    const BYTE* high = low + buffer.size();
    if (begin < low || begin >= high || size_t(high - begin) < bytes)
        return {};
    std::wstring name(bytes / sizeof(wchar_t), L'\0');
    memcpy(name.data(), begin, name.size() * sizeof(wchar_t));
    return name;
}

std::vector<TProcessItem> CollectProcesses()
{
    const TProcessApi& api = ProcessApi();
    std::vector<TProcessItem> items;
    items.reserve(64);
    const std::vector<BYTE> buffer = QuerySystemProcesses(api);
    if (buffer.empty())
        return items;
    EnablePrivilege(L"SeDebugPrivilege");
    const std::wstring systemDir = GetSystemDir();
    for (size_t offset = 0; offset + sizeof(SYSTEM_PROCESS_INFORMATION) <= buffer.size();) {
        SYSTEM_PROCESS_INFORMATION record{};
        memcpy(&record, buffer.data() + offset, sizeof(record));
        const auto pid = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(record.UniqueProcessId));
        const std::wstring imageName = RecordImageName(record, buffer);
        uint64_t workingSet = 0, pagefile = 0;
        if (imageName.empty()) {
            items.push_back(AddProcessItem(api, L"Idle", pid, record.SessionId, record.NumberOfThreads,
                                           record.HandleCount, 0, 0));
        } else {
            std::wstring path = imageName;
            if (const UniqueHandle process{OpenProcess(QueryAndRead, FALSE, pid)}) {
                const std::wstring imagePath = GetProcessImagePath(api, process.get());
                path = NormalizeImagePath(imagePath.empty() ? imageName : imagePath, systemDir);
                PROCESS_MEMORY_COUNTERS counters{};
                counters.cb = sizeof(counters);
                if (api.MemoryInfo && api.MemoryInfo(process.get(), &counters, sizeof(counters))) {
                    workingSet = counters.WorkingSetSize;
                    pagefile = counters.PagefileUsage;
                }
            }
            items.push_back(AddProcessItem(api, path, pid, record.SessionId, record.NumberOfThreads,
                                           record.HandleCount, workingSet, pagefile));
        }
        if (record.NextEntryOffset == 0)
            break;
        offset += record.NextEntryOffset;
    }
    return items;
}

// The second sample: each process's CPU time one second after the first.
void SampleCpuLoad(std::vector<TProcessItem>& items)
{
    for (TProcessItem& item : items) {
        if (item.Sampled && item.Handle) {
            const DWORD elapsed = GetTickCount() - item.SampleTick;
            // A process whose times cannot be read again shows no load
            // (rather than a negative one).
            if (const auto now = GetProcessCpuTime(item.Handle.get()))
                item.Row.CpuText = CpuLoadText(CpuLoadPercent(item.CpuTimeMs, *now, elapsed));
        }
        item.Handle.reset();
    }
}

// The two texts a crash report carries, from start-up to shutdown.
struct TCrashSectionRegistrar {
    TCrashSectionRegistrar()
    {
        RegisterCrashSection(L"processes", L"list of running processes", [] { return GetProcessList(); });
        RegisterCrashSection(L"modules", L"list of loaded modules", [] { return GetModuleList(); });
    }
    ~TCrashSectionRegistrar()
    {
        UnregisterCrashSection(L"processes");
        UnregisterCrashSection(L"modules");
    }
    TCrashSectionRegistrar(const TCrashSectionRegistrar&) = delete;
    TCrashSectionRegistrar& operator=(const TCrashSectionRegistrar&) = delete;
};
const TCrashSectionRegistrar crashSectionRegistrar;

}  // namespace

std::wstring NormalizeImagePath(const std::wstring& path, const std::wstring& systemDir)
{
    static const std::wstring systemRoot = L"\\SystemRoot\\System32\\";
    if (StartsWithText(path, systemRoot))
        return systemDir + path.substr(systemRoot.size() - 1);
    if (path.rfind(L"\\??\\", 0) == 0)
        return path.substr(4);
    return path;
}

std::wstring DevicePathToDrivePath(const std::wstring& devicePath, const std::vector<TDosDevice>& devices)
{
    for (const TDosDevice& device : devices) {
        const size_t n = device.Device.size();
        if (n == 0 || !StartsWithText(devicePath, device.Device))
            continue;
        if (devicePath.size() > n && devicePath[n] != L'\\')
            continue;  // \Device\HarddiskVolume1 does not begin \Device\HarddiskVolume10
        return device.Drive + devicePath.substr(n);
    }
    return {};
}

std::wstring DevicePathToDrivePath(const std::wstring& devicePath)
{
    std::vector<wchar_t> drives(MAX_PATH + 1, L'\0');
    const DWORD n = GetLogicalDriveStringsW(MAX_PATH, drives.data());
    if (n == 0 || n > MAX_PATH)
        return {};
    std::vector<TDosDevice> devices;
    for (const wchar_t* drive = drives.data(); *drive; drive += wcslen(drive) + 1) {
        const std::wstring letter = std::wstring(drive).substr(0, 2);
        std::vector<wchar_t> device(MAX_PATH + 1, L'\0');
        if (QueryDosDeviceW(letter.c_str(), device.data(), MAX_PATH) > 0)
            devices.push_back(TDosDevice{letter, device.data()});
    }
    return DevicePathToDrivePath(devicePath, devices);
}

std::wstring GetLongPath(const std::wstring& path)
{
    std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
    const DWORD n = GetLongPathNameW(path.c_str(), buffer.data(), MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        return std::wstring(buffer.data(), n);
    return path;
}

std::wstring GetProcessList()
{
    std::vector<TProcessItem> items = CollectProcesses();
    Sleep(1000);  // one pause for every process together
    SampleCpuLoad(items);

    std::vector<TProcessRow> rows;
    rows.reserve(items.size());
    for (TProcessItem& item : items)
        rows.push_back(std::move(item.Row));
    const std::vector<std::wstring> lines = ProcessTableLines(rows, LocaleDecimalChar());

    std::wstring text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += L"\r\n";
        text += lines[i];
    }
    text += L"\r\n\r\nVirtual memory:" + GetVirtualMemoryInfo();
    text += L"\r\nGlobalAtomInfo:" + GetGlobalAtomInfo();
    text += L"\r\nDesktopHeap:" + GetDesktopHeap() + L"\r\n";
    return text;
}

void GetProcessListEx(TReportLines& lines)
{
    std::wstring text = GetProcessList();
    lines.push_back(AsteriskRow);
    lines.push_back(std::move(text));
}
