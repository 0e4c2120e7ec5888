#include "platform/Vexlo_Routine_New.h"

#include <shlobj.h>
#include <tlhelp32.h>
#include <wtsapi32.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace {

template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

HMODULE Kernel32()
{
    return GetModuleHandleW(L"kernel32.dll");
}

// What the unit decides while the program starts: the version the process
// saw at launch, whether that is Windows 2000, and the console-session
// function (absent on Windows 2000). Kept for the life of the process.
struct StartupState {
    using ConsoleSessionFn = DWORD(WINAPI*)();

    OSVERSIONINFOEXW version{};
    bool windows2000 = false;
    ConsoleSessionFn consoleSession = nullptr;

    StartupState()
    {
        version.dwOSVersionInfoSize = sizeof(version);
        if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
            version = OSVERSIONINFOEXW{};
        windows2000 = version.dwMajorVersion == 5 && version.dwMinorVersion == 0;
        if (!windows2000)
            consoleSession = ProcAddress<ConsoleSessionFn>(Kernel32(), "WTSGetActiveConsoleSessionId");
    }
};

const StartupState& Startup()
{
    static const StartupState state;
    return state;
}

[[maybe_unused]] const bool startupDecided = (Startup(), true);

// Windows compares file and account names without regard to case; so do we,
// with the invariant upper-case mapping (no locale surprises such as the
// Turkish dotless i).
std::wstring UpperInvariant(const std::wstring& text)
{
    if (text.empty())
        return text;
    std::wstring upper(text.size(), L'\0');
    const int n = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.c_str(), static_cast<int>(text.size()),
                               upper.data(), static_cast<int>(upper.size()));
    if (n == static_cast<int>(text.size()))
        return upper;
    upper = text;  // no invariant locale (Windows 2000): the C library's mapping
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(towupper(c));
    return upper;
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() && UpperInvariant(a) == UpperInvariant(b);
}

std::wstring FileNamePart(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/:");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// "C:" of "C:\Windows\...", "\\server\share" of a UNC path, else empty.
std::wstring DrivePart(const std::wstring& path)
{
    if (path.size() >= 2 && path[1] == L':')
        return path.substr(0, 2);
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
        const size_t server = path.find(L'\\', 2);
        if (server == std::wstring::npos)
            return path;
        const size_t share = path.find(L'\\', server + 1);
        return path.substr(0, share);
    }
    return {};
}

std::wstring TrimControl(const std::wstring& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && text[begin] <= L' ')
        ++begin;
    while (end > begin && text[end - 1] <= L' ')
        --end;
    return text.substr(begin, end - begin);
}

std::wstring EnvironmentVariable(const wchar_t* name)
{
    return QueryCountedText([name](wchar_t* data, DWORD size) { return GetEnvironmentVariableW(name, data, size); });
}

// The folder a library is loaded from: the system directory, except that a
// 32-bit process on 64-bit Windows names the 32-bit one (SysWOW64) directly.
// Loading through System32 depends on redirection, which a thread may have
// switched off for its file work; SysWOW64 is never redirected.
std::wstring SystemLibraryFolder()
{
#ifndef _WIN64
    if (IsWow64()) {
        using Fn = UINT(WINAPI*)(LPWSTR, UINT);
        if (const auto fn = ProcAddress<Fn>(Kernel32(), "GetSystemWow64DirectoryW")) {
            wchar_t buffer[MAX_PATH];
            const UINT n = fn(buffer, MAX_PATH);
            if (n > 0 && n < MAX_PATH)
                return std::wstring(buffer, n);
        }
    }
#endif
    return GetSystemDir();
}

// The version functions live in version.dll, which is not one of the DLLs
// Windows always takes from the system directory: load it by full path.
struct VersionApi {
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

    UniqueModule module;
    SizeFn size = nullptr;
    InfoFn info = nullptr;
    QueryFn query = nullptr;

    VersionApi() : module(LoadSystemLibrary(L"version.dll"))
    {
        size = ProcAddress<SizeFn>(module.get(), "GetFileVersionInfoSizeW");
        info = ProcAddress<InfoFn>(module.get(), "GetFileVersionInfoW");
        query = ProcAddress<QueryFn>(module.get(), "VerQueryValueW");
    }
    bool Ready() const { return size && info && query; }
};

const VersionApi& Version()
{
    static const VersionApi api;
    return api;
}

// The terminal-services functions, from wtsapi32.dll in the system directory.
struct WtsApi {
    using QueryFn = BOOL(WINAPI*)(HANDLE, DWORD, WTS_INFO_CLASS, LPWSTR*, DWORD*);
    using FreeFn = void(WINAPI*)(PVOID);

    UniqueModule module;
    QueryFn query = nullptr;
    FreeFn free = nullptr;

    WtsApi() : module(LoadSystemLibrary(L"wtsapi32.dll"))
    {
        query = ProcAddress<QueryFn>(module.get(), "WTSQuerySessionInformationW");
        free = ProcAddress<FreeFn>(module.get(), "WTSFreeMemory");
    }
    bool Ready() const { return query && free; }
};

const WtsApi& Wts()
{
    static const WtsApi api;
    return api;
}

// One fact of a session on this server; `bytes` is the size of what came back.
UniqueWtsMemory QuerySession(DWORD session, WTS_INFO_CLASS infoClass, DWORD& bytes)
{
    bytes = 0;
    const WtsApi& api = Wts();
    if (!api.Ready())
        return {};
    LPWSTR data = nullptr;
    if (!api.query(WTS_CURRENT_SERVER_HANDLE, session, infoClass, &data, &bytes)) {
        bytes = 0;
        return {};  // a failed call hands out nothing to free
    }
    return UniqueWtsMemory(data);
}

// A string value of the version resource in `buffer`; the text never reaches
// past the buffer, whatever length the resource claims.
std::wstring QueryString(const VersionApi& api, const std::vector<BYTE>& buffer, const std::wstring& path)
{
    void* value = nullptr;
    UINT chars = 0;
    if (!api.query(buffer.data(), path.c_str(), &value, &chars) || !value || chars == 0)
        return {};
    const BYTE* begin = buffer.data();
    const BYTE* end = begin + buffer.size();
    const auto* at = static_cast<const BYTE*>(value);
    if (at < begin || at >= end)
        return {};
    const size_t room = size_t(end - at) / sizeof(wchar_t);
    std::wstring text(room < chars ? room : chars, L'\0');
    memcpy(text.data(), at, text.size() * sizeof(wchar_t));
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

bool QueryTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, std::vector<BYTE>& buffer)
{
    return QueryGrowRetry(buffer, [&](BYTE* data, DWORD& size) {
        return GetTokenInformation(token, infoClass, data, size, &size) != FALSE;
    });
}

// Account name (no domain) of a SID on this machine, or empty.
std::wstring AccountName(PSID sid)
{
    std::vector<wchar_t> name, domain;
    const bool ok = QueryGrowRetry(name, [&](wchar_t* data, DWORD& size) {
        DWORD domainChars = static_cast<DWORD>(domain.size());
        SID_NAME_USE use = SidTypeUnknown;
        const BOOL found = LookupAccountSidW(nullptr, sid, data, &size, domain.empty() ? nullptr : domain.data(),
                                             &domainChars, &use);
        if (!found && domainChars > domain.size())
            domain.resize(domainChars);
        return found != FALSE;
    });
    if (!ok || name.empty())
        return {};
    return std::wstring(name.data(), wcsnlen(name.data(), name.size()));
}

// Calls `visit(entry)` for each process of a fresh snapshot until it returns true.
template <typename Visit>
void WalkProcesses(Visit&& visit)
{
    UniqueSnapshot snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        const std::wstring exe(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH));
        if (visit(FileNamePart(exe), entry.th32ProcessID))
            return;
    }
}

// Days from 1 January 1970 to a date of the proleptic Gregorian calendar.
long long DaysFromCivil(int year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace

void handle_traits::WtsMemory::Close(pointer p) noexcept
{
    if (const auto fn = Wts().free)
        fn(p);
}

// ---------------------------------------------------------------------------
// Folders and modules.

std::wstring GetSystemDir()
{
    return QueryCountedText([](wchar_t* data, DWORD size) { return GetSystemDirectoryW(data, size); });
}

UniqueModule LoadSystemLibrary(const wchar_t* name)
{
    const std::wstring folder = SystemLibraryFolder();
    if (folder.empty() || !name || !*name)
        return UniqueModule();
    const std::wstring path = folder + L"\\" + name;
    // The library's own dependencies are searched from its folder first.
    return UniqueModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

std::wstring ModuleFileName(HMODULE module)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring GetModuleName()
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&GetModuleName), &self))
        self = nullptr;
    return ModuleFileName(self);
}

std::wstring ResolveSpecialFolder(int csidl, const std::wstring& shellResult, const TFolderFallbackFacts& facts)
{
    if (shellResult.size() > 2)
        return shellResult;
    const wchar_t* variable = nullptr;
    std::wstring built;
    const bool oldLayout = facts.Major <= 5;
    switch (csidl) {
    case CSIDL_APPDATA:
        variable = L"APPDATA";
        built = oldLayout ? L"\\Documents and Settings\\" + facts.User + L"\\Application Data"
                          : L"\\Users\\" + facts.User + L"\\AppData\\Roaming";
        break;
    case CSIDL_LOCAL_APPDATA:
        variable = L"LOCALAPPDATA";
        built = oldLayout ? L"\\Documents and Settings\\" + facts.User + L"\\Local Settings\\Application Data"
                          : L"\\Users\\" + facts.User + L"\\AppData\\Local";
        break;
    case CSIDL_COMMON_APPDATA:
        variable = L"ProgramData";
        built = oldLayout ? L"\\Documents and Settings\\All Users\\Application Data" : L"\\ProgramData";
        break;
    case CSIDL_PROGRAM_FILES:
        variable = facts.Wow64 ? L"ProgramFiles(x86)" : L"ProgramFiles";
        built = facts.Wow64 ? L"\\Program Files (x86)" : L"\\Program Files";
        break;
    case CSIDL_PROGRAM_FILES_COMMON:
        variable = facts.Wow64 ? L"CommonProgramFiles(x86)" : L"CommonProgramFiles";
        built = facts.Wow64 ? L"\\Program Files (x86)\\Common Files" : L"\\Program Files\\Common Files";
        break;
    default:
        return shellResult;
    }
    const std::wstring fromEnvironment = facts.Env ? TrimControl(facts.Env(variable)) : std::wstring();
    if (!fromEnvironment.empty())
        return fromEnvironment;
    return facts.Drive + built;
}

std::wstring GetSpecialFolder(HWND owner, int csidl)
{
    try {
        wchar_t buffer[MAX_PATH + 1] = {};
        std::wstring shellResult;
        if (SHGetSpecialFolderPathW(owner, buffer, csidl, FALSE))
            shellResult.assign(buffer, wcsnlen(buffer, MAX_PATH + 1));
        if (shellResult.size() > 2)
            return shellResult;
        TFolderFallbackFacts facts;
        facts.Env = EnvironmentVariable;
        std::wstring kernel(MAX_PATH, L'\0');
        const DWORD n = GetModuleFileNameW(Kernel32(), kernel.data(), MAX_PATH);
        kernel.resize(n < MAX_PATH ? n : 0);
        facts.Drive = DrivePart(kernel);
        facts.User = GetCurrentUserName();
        facts.Major = Startup().version.dwMajorVersion;
        facts.Wow64 = IsWow64();
        return ResolveSpecialFolder(csidl, shellResult, facts);
    } catch (...) {
        return {};
    }
}

// ---------------------------------------------------------------------------
// Version resources.

// Blocks: WORD length, WORD value length, WORD type, a NUL-terminated key,
// padding to 4 bytes, the value, padding, then the children. Offsets are
// checked against the enclosing block, so a damaged resource yields empty.
std::wstring FirstStringTableKey(const BYTE* data, size_t size)
{
    struct Block {
        size_t end = 0, children = 0;
        std::wstring key;
    };
    const auto align4 = [](size_t offset) { return (offset + 3) & ~size_t(3); };
    const auto read = [&](size_t offset, size_t limit, Block& block) {
        if (!data || offset >= limit || limit - offset < 6)
            return false;
        WORD length = 0, valueLength = 0, type = 0;
        memcpy(&length, data + offset, 2);
        memcpy(&valueLength, data + offset + 2, 2);
        memcpy(&type, data + offset + 4, 2);
        if (length < 6 || length > limit - offset)
            return false;
        block.end = offset + length;
        size_t p = offset + 6;
        block.key.clear();
        for (;;) {
            if (block.end - p < 2)
                return false;  // the key runs past its block
            wchar_t c = 0;
            memcpy(&c, data + p, 2);
            p += 2;
            if (c == 0)
                break;
            block.key.push_back(c);
        }
        // Text values count characters, binary values count bytes.
        const size_t valueBytes = type == 1 ? size_t(valueLength) * 2 : valueLength;
        block.children = align4(align4(p) + valueBytes);
        return true;
    };
    Block root;
    if (!read(0, size, root))
        return {};
    for (size_t p = root.children; p < root.end;) {
        Block child;
        if (!read(p, root.end, child))
            break;
        if (_wcsicmp(child.key.c_str(), L"StringFileInfo") == 0) {
            Block table;
            if (read(child.children, child.end, table) && table.key.size() == 8)
                return table.key;
            return {};
        }
        p = align4(child.end);
    }
    return {};
}

bool GetFileInfo(const std::wstring& path, TFileInfo& info, const std::wstring& extraName)
{
    try {
        const VersionApi& api = Version();
        if (!api.Ready())
            return false;
        DWORD ignored = 0;
        const DWORD size = api.size(path.c_str(), &ignored);
        if (size == 0)
            return false;
        std::vector<BYTE> buffer(size);
        if (!api.info(path.c_str(), 0, size, buffer.data()))
            return false;

        std::wstring table;
        void* value = nullptr;
        UINT length = 0;
        if (api.query(buffer.data(), L"\\VarFileInfo\\Translation", &value, &length) && value && length >= 4) {
            WORD words[2] = {};
            memcpy(words, value, sizeof(words));
            wchar_t key[32];
            swprintf(key, 32, L"\\StringFileInfo\\%04X%04X\\", words[0], words[1]);
            table = key;
        }
        // No table for the declared translation: take the first one there is.
        if (table.empty() || !api.query(buffer.data(), table.substr(0, table.size() - 1).c_str(), &value, &length)) {
            const std::wstring first = FirstStringTableKey(buffer.data(), buffer.size());
            table = first.empty() ? std::wstring() : L"\\StringFileInfo\\" + first + L"\\";
        }
        if (!table.empty()) {
            info.CompanyName = QueryString(api, buffer, table + L"CompanyName");
            info.FileDescription = QueryString(api, buffer, table + L"FileDescription");
            info.FileVersion = QueryString(api, buffer, table + L"FileVersion");
            info.InternalName = QueryString(api, buffer, table + L"InternalName");
            info.LegalCopyright = QueryString(api, buffer, table + L"LegalCopyright");
            info.LegalTrademarks = QueryString(api, buffer, table + L"LegalTrademarks");
            info.OriginalFileName = QueryString(api, buffer, table + L"OriginalFileName");
            info.ProductName = QueryString(api, buffer, table + L"ProductName");
            info.ProductVersion = QueryString(api, buffer, table + L"ProductVersion");
            info.Comments = QueryString(api, buffer, table + L"Comments");
        }
        if (api.query(buffer.data(), L"\\", &value, &length) && value && length >= sizeof(info.FixedInfo)) {
            const auto* at = static_cast<const BYTE*>(value);
            if (at >= buffer.data() && size_t(buffer.data() + buffer.size() - at) >= sizeof(info.FixedInfo))
                memcpy(info.FixedInfo.data(), at, sizeof(info.FixedInfo));
        }
        if (!extraName.empty() && !table.empty())
            info.Extra = QueryString(api, buffer, table + extraName);
        return true;
    } catch (...) {
        return false;
    }
}

std::wstring GetFileVersion(const std::wstring& path, int kind)
{
    try {
        TFileInfo info;
        if (!GetFileInfo(path, info, L"WOW Version"))
            return L"Unknown";
        switch (kind) {
        case fvComments: return info.Comments;
        case fvCompanyName: return info.CompanyName;
        case fvFileDescription: return info.FileDescription;
        case fvFileVersion: return info.FileVersion;
        case fvInternalName: return info.InternalName;
        case fvLegalCopyright: return info.LegalCopyright;
        case fvLegalTrademarks: return info.LegalTrademarks;
        case fvOriginalFileName: return info.OriginalFileName;
        case fvProductName: return info.ProductName;
        case fvProductVersion: return info.ProductVersion;
        case fvWowVersion: return info.Extra;
        default: return {};
        }
    } catch (...) {
        return L"Unknown";
    }
}

// ---------------------------------------------------------------------------
// Windows version and platform.

bool IsWow64()
{
#ifdef _WIN64
    return true;
#else
    static std::atomic<int> cache{-1};  // -1 not yet asked, 0 false, 1 true
    const int known = cache.load();
    if (known >= 0)
        return known == 1;
    using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto fn = ProcAddress<Fn>(Kernel32(), "IsWow64Process");
    if (!fn)
        return false;  // not exported: ask again next time
    BOOL wow64 = FALSE;
    if (!fn(GetCurrentProcess(), &wow64))
        wow64 = FALSE;
    cache.store(wow64 ? 1 : 0);
    return wow64 != FALSE;
#endif
}

bool IsWindows2000()
{
    return Startup().windows2000;
}

std::wstring OSNameFor(DWORD major, DWORD minor, DWORD platformId, BYTE productType, WORD architecture)
{
    if (platformId != VER_PLATFORM_WIN32_NT)
        return {};
    if (major == 3 || major == 4)
        return L"Windows NT";
    if (major == 5) {
        switch (minor) {
        case 0: return L"Windows 2000";
        case 1: return L"Windows XP";
        case 2:
            return productType == VER_NT_WORKSTATION && architecture == PROCESSOR_ARCHITECTURE_AMD64
                       ? L"Windows XP"
                       : L"Windows 2003 Server";
        default: return {};
        }
    }
    if (major == 6) {
        switch (minor) {
        case 0: return L"Windows Vista";
        case 1: return L"Windows 7";
        case 2:
        case 3: return L"Windows 8";
        case 4: return L"Windows 10";
        default: return {};
        }
    }
    if (major == 10)
        return L"Windows 10";
    return {};
}

std::wstring GetOSName()
{
    try {
        OSVERSIONINFOEXW version{};
        version.dwOSVersionInfoSize = sizeof(version);
        if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
            return {};
        SYSTEM_INFO system{};
        using NativeFn = void(WINAPI*)(LPSYSTEM_INFO);
        if (const auto native = ProcAddress<NativeFn>(Kernel32(), "GetNativeSystemInfo"))
            native(&system);
        else
            GetSystemInfo(&system);
        return OSNameFor(version.dwMajorVersion, version.dwMinorVersion, version.dwPlatformId, version.wProductType,
                         system.wProcessorArchitecture);
    } catch (...) {
        return {};
    }
}

// ---------------------------------------------------------------------------
// File time stamps.

double DosDateTimeToDays(WORD dosDate, WORD dosTime)
{
    static constexpr unsigned monthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = 1980 + (dosDate >> 9);
    const unsigned month = (dosDate >> 5) & 15u;
    const unsigned day = dosDate & 31u;
    const unsigned hour = dosTime >> 11;
    const unsigned minute = (dosTime >> 5) & 63u;
    const unsigned second = (dosTime & 31u) * 2;
    if (month < 1 || month > 12 || day < 1)
        return 0;
    const unsigned lastDay = monthDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    if (day > lastDay || hour > 23 || minute > 59 || second > 59)
        return 0;
    const long long days = DaysFromCivil(year, month, day) - DaysFromCivil(1899, 12, 30);
    const unsigned seconds = hour * 3600 + minute * 60 + second;
    return static_cast<double>(days) + seconds / 86400.0;
}

double GetFileDateTime(const std::wstring& path, int kind)
{
    WIN32_FIND_DATAW found{};
    const UniqueFind search(FindFirstFileW(path.c_str(), &found));
    if (!search)
        return 0;
    const FILETIME& stamp =
        kind == 0 ? found.ftCreationTime : kind == 1 ? found.ftLastWriteTime : found.ftLastAccessTime;
    FILETIME local{};
    WORD date = 0, time = 0;
    if (!FileTimeToLocalFileTime(&stamp, &local) || !FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return DosDateTimeToDays(date, time);
}

// ---------------------------------------------------------------------------
// Users, sessions and tokens.

std::wstring GetCurrentUserName()
{
    try {
        std::vector<wchar_t> buffer(256);
        DWORD chars = 0;
        const bool ok = QueryGrowRetry(buffer, [&](wchar_t* data, DWORD& size) {
            if (!GetUserNameW(data, &size))
                return false;
            chars = size;  // counts the terminating NUL
            return true;
        });
        if (!ok || chars == 0)
            return {};
        return std::wstring(buffer.data(), wcsnlen(buffer.data(), chars - 1));
    } catch (...) {
        return {};
    }
}

std::wstring GetProcessUserName(DWORD processId)
{
    try {
        const UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
        if (!process)
            return {};
        std::vector<BYTE> user;
        {
            UniqueHandle token;
            if (!OpenProcessToken(process.get(), TOKEN_QUERY, token.put()))
                return {};
            if (!QueryTokenInformation(token.get(), TokenUser, user) || user.size() < sizeof(TOKEN_USER))
                return {};
        }
        const PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
        if (!sid || !IsValidSid(sid))
            return {};
        return AccountName(sid);
    } catch (...) {
        return {};
    }
}

DWORD FirstActiveExplorerSession(const std::vector<TProcessSession>& processes,
                                 const std::function<std::optional<int>(DWORD)>& connectState)
{
    for (const TProcessSession& process : processes) {
        if (!process.Session || !SameText(FileNamePart(process.ExeFile), L"explorer.exe"))
            continue;
        const std::optional<int> state = connectState(*process.Session);
        if (state && *state == WTSActive)
            return *process.Session;
    }
    return 0;
}

DWORD FindActiveExplorerSession()
{
    try {
        std::vector<TProcessSession> processes;
        WalkProcesses([&](const std::wstring& exe, DWORD processId) {
            TProcessSession row{exe, std::nullopt};
            DWORD session = 0;
            if (SameText(exe, L"explorer.exe") && ProcessIdToSessionId(processId, &session))
                row.Session = session;
            processes.push_back(std::move(row));
            return false;
        });
        return FirstActiveExplorerSession(processes, [](DWORD session) -> std::optional<int> {
            DWORD bytes = 0;
            const UniqueWtsMemory state = QuerySession(session, WTSConnectState, bytes);
            if (!state || bytes < sizeof(INT))
                return std::nullopt;
            INT value = 0;
            memcpy(&value, state.get(), sizeof(value));
            return value;
        });
    } catch (...) {
        return 0;
    }
}

DWORD ChooseActiveSession(std::optional<DWORD> consoleSession, const std::function<DWORD()>& findExplorerSession)
{
    if (consoleSession && *consoleSession != 0 && *consoleSession != 0xFFFFFFFF)
        return *consoleSession;
    return findExplorerSession ? findExplorerSession() : 0;
}

DWORD GetActiveSessionId()
{
    std::optional<DWORD> console;
    if (const auto fn = Startup().consoleSession)
        console = fn();
    return ChooseActiveSession(console, FindActiveExplorerSession);
}

std::wstring LogonNameFromSessionUser(const std::wstring& sessionUser)
{
    return SameText(sessionUser, L"system") ? std::wstring() : sessionUser;
}

std::wstring GetLogonUserName()
{
    try {
        if (IsWindows2000())
            return GetProcessUserName(FindExplorerProcessId(L""));
        DWORD bytes = 0;
        const UniqueWtsMemory name = QuerySession(GetActiveSessionId(), WTSUserName, bytes);
        if (!name || bytes == 0)
            return {};
        const auto* text = static_cast<const wchar_t*>(name.get());
        return LogonNameFromSessionUser(std::wstring(text, wcsnlen(text, bytes / sizeof(wchar_t))));
    } catch (...) {
        return {};
    }
}

DWORD FindProcessId(const std::wstring& exeName, const std::wstring& user)
{
    try {
        DWORD result = 0;
        WalkProcesses([&](const std::wstring& exe, DWORD processId) {
            if (!SameText(exe, exeName))
                return false;
            if (!user.empty() && !SameText(GetProcessUserName(processId), user))
                return false;
            result = processId;
            return true;
        });
        return result;
    } catch (...) {
        return 0;
    }
}

DWORD FindExplorerProcessId(const std::wstring& user)
{
    return FindProcessId(L"explorer.exe", user);
}

UniqueHandle GetTokenByName(const std::wstring& exeName, const std::wstring& user)
{
    const DWORD processId = FindProcessId(exeName, user);
    if (processId == 0)
        return {};
    UniqueHandle token;
    {
        const UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
        if (!process || !OpenProcessToken(process.get(), TOKEN_DUPLICATE, token.put()))
            return {};
    }
    UniqueHandle primary;
    if (!DuplicateTokenEx(token.get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification, TokenPrimary,
                          primary.put()))
        return {};
    return primary;
}

DWORD GetTokenIntegrityLevel(HANDLE token)
{
    try {
        if (!token)
            return 0;
        std::vector<BYTE> label;
        if (!QueryTokenInformation(token, TokenIntegrityLevel, label) || label.size() < sizeof(TOKEN_MANDATORY_LABEL))
            return 0;
        const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
        if (!sid || !IsValidSid(sid))
            return 0;
        const UCHAR count = *GetSidSubAuthorityCount(sid);
        if (count == 0)
            return 0;
        return *GetSidSubAuthority(sid, count - 1u);
    } catch (...) {
        return 0;
    }
}
