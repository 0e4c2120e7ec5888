#include "platform/Vexlo_Routine_New.h"

#include <atomic>
#include <cwchar>
#include <vector>

namespace {

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
        if (!module)
            return;
        size = reinterpret_cast<SizeFn>(reinterpret_cast<void*>(GetProcAddress(module.get(), "GetFileVersionInfoSizeW")));
        info = reinterpret_cast<InfoFn>(reinterpret_cast<void*>(GetProcAddress(module.get(), "GetFileVersionInfoW")));
        query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(module.get(), "VerQueryValueW")));
    }
    bool Ready() const { return size && info && query; }
};

const VersionApi& Version()
{
    static const VersionApi api;
    return api;
}

// Version resources are trees of blocks: WORD length, WORD value length,
// WORD type, a NUL-terminated key, padding to 4 bytes, the value, padding,
// then the children. Returns the key of the first string table under
// StringFileInfo, or empty.
std::wstring FirstStringTableKey(const BYTE* data, size_t size)
{
    struct Block {
        size_t begin, end, children;
        std::wstring key;
    };
    const auto align4 = [](size_t offset) { return (offset + 3) & ~size_t(3); };
    const auto read = [&](size_t offset, size_t limit, Block& block) {
        if (offset + 6 > limit)
            return false;
        WORD length = 0, valueLength = 0, type = 0;
        memcpy(&length, data + offset, 2);
        memcpy(&valueLength, data + offset + 2, 2);
        memcpy(&type, data + offset + 4, 2);
        if (length < 6 || offset + length > limit)
            return false;
        block.begin = offset;
        block.end = offset + length;
        size_t p = offset + 6;
        block.key.clear();
        while (p + 2 <= block.end) {
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

std::wstring QueryString(const VersionApi& api, const void* block, const std::wstring& path)
{
    void* value = nullptr;
    UINT chars = 0;
    if (!api.query(block, path.c_str(), &value, &chars) || !value || chars == 0)
        return {};
    const auto* text = static_cast<const wchar_t*>(value);
    return std::wstring(text, wcsnlen(text, chars));
}

}  // namespace

std::wstring GetSystemDir()
{
    wchar_t buffer[MAX_PATH];
    const UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

UniqueModule LoadSystemLibrary(const wchar_t* name)
{
    const std::wstring folder = GetSystemDir();
    if (folder.empty())
        return UniqueModule();
    const std::wstring path = folder + L"\\" + name;
    return UniqueModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

std::wstring GetModuleName()
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&GetModuleName), &self))
        self = nullptr;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
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
        const void* block = buffer.data();

        std::wstring table;
        void* value = nullptr;
        UINT length = 0;
        if (api.query(block, L"\\VarFileInfo\\Translation", &value, &length) && value && length >= 4) {
            const auto* words = static_cast<const WORD*>(value);
            wchar_t key[64];
            swprintf(key, 64, L"\\StringFileInfo\\%04X%04X\\", words[0], words[1]);
            table = key;
        }
        // No table for the declared translation: take the first one there is.
        if (table.empty() || !api.query(block, table.substr(0, table.size() - 1).c_str(), &value, &length)) {
            const std::wstring first = FirstStringTableKey(buffer.data(), buffer.size());
            table = first.empty() ? std::wstring() : L"\\StringFileInfo\\" + first + L"\\";
        }
        if (!table.empty()) {
            info.CompanyName = QueryString(api, block, table + L"CompanyName");
            info.FileDescription = QueryString(api, block, table + L"FileDescription");
            info.FileVersion = QueryString(api, block, table + L"FileVersion");
            info.InternalName = QueryString(api, block, table + L"InternalName");
            info.LegalCopyright = QueryString(api, block, table + L"LegalCopyright");
            info.LegalTrademarks = QueryString(api, block, table + L"LegalTrademarks");
            info.OriginalFileName = QueryString(api, block, table + L"OriginalFileName");
            info.ProductName = QueryString(api, block, table + L"ProductName");
            info.ProductVersion = QueryString(api, block, table + L"ProductVersion");
            info.Comments = QueryString(api, block, table + L"Comments");
        }
        if (api.query(block, L"\\", &value, &length) && value && length >= sizeof(VS_FIXEDFILEINFO))
            memcpy(info.FixedInfo.data(), value, sizeof(info.FixedInfo));
        if (!extraName.empty() && !table.empty())
            info.Extra = QueryString(api, block, table + extraName);
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
    const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
    if (!fn)
        return false;
    BOOL wow64 = FALSE;
    if (!fn(GetCurrentProcess(), &wow64))
        wow64 = FALSE;
    cache.store(wow64 ? 1 : 0);
    return wow64 != FALSE;
#endif
}
