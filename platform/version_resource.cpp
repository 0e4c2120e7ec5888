#include "platform/version_resource.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/handles.h"
#include "platform/modules.h"
#include "platform/process_lifetime.h"
#include "platform/text.h"

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
        size = ProcAddress<SizeFn>(module.get(), "GetFileVersionInfoSizeW");
        info = ProcAddress<InfoFn>(module.get(), "GetFileVersionInfoW");
        query = ProcAddress<QueryFn>(module.get(), "VerQueryValueW");
    }
    bool Ready() const { return size && info && query; }
};

const VersionApi& Version()
{
    static const ProcessLifetime<VersionApi> api;
    return api.get();
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

// The version resource of `path` into `buffer`; false when it has none.
bool LoadVersionBlock(const VersionApi& api, const std::wstring& path, std::vector<BYTE>& buffer)
{
    if (!api.Ready())
        return false;
    DWORD ignored = 0;
    const DWORD size = api.size(path.c_str(), &ignored);
    if (size == 0)
        return false;
    buffer.assign(size, 0);
    return api.info(path.c_str(), 0, size, buffer.data()) != FALSE;
}

// A value of fixed size of the resource in `buffer`, copied out only when it
// lies wholly inside the buffer.
bool QueryBytes(const VersionApi& api, const std::vector<BYTE>& buffer, const wchar_t* path, void* out, size_t bytes)
{
    void* value = nullptr;
    UINT length = 0;
    if (!api.query(buffer.data(), path, &value, &length) || !value || length < bytes)
        return false;
    const auto* at = static_cast<const BYTE*>(value);
    if (at < buffer.data() || size_t(buffer.data() + buffer.size() - at) < bytes)
        return false;
    memcpy(out, at, bytes);
    return true;
}

}  // namespace

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
        if (SameText(child.key, L"StringFileInfo")) {
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
        std::vector<BYTE> buffer;
        if (!LoadVersionBlock(api, path, buffer))
            return false;

        std::wstring table;
        void* value = nullptr;
        UINT length = 0;
        WORD words[2] = {};
        if (QueryBytes(api, buffer, L"\\VarFileInfo\\Translation", words, sizeof(words))) {
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
        QueryBytes(api, buffer, L"\\", info.FixedInfo.data(), sizeof(info.FixedInfo));
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

std::wstring FixedFileVersion(const std::wstring& path)
{
    try {
        const VersionApi& api = Version();
        std::vector<BYTE> buffer;
        if (!LoadVersionBlock(api, path, buffer))
            return {};
        VS_FIXEDFILEINFO fixed{};
        if (!QueryBytes(api, buffer, L"\\", &fixed, sizeof(fixed)))
            return {};
        return std::to_wstring(HIWORD(fixed.dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed.dwFileVersionMS)) +
               L"." + std::to_wstring(HIWORD(fixed.dwFileVersionLS)) + L"." +
               std::to_wstring(LOWORD(fixed.dwFileVersionLS));
    } catch (...) {
        return {};
    }
}

bool ReadVersionSummary(const std::wstring& path, TVersionSummary& summary)
{
    try {
        const VersionApi& api = Version();
        std::vector<BYTE> buffer;
        if (!LoadVersionBlock(api, path, buffer))
            return false;
        TVersionSummary result;
        VS_FIXEDFILEINFO fixed{};
        if (QueryBytes(api, buffer, L"\\", &fixed, sizeof(fixed))) {
            result.FileVersionMS = fixed.dwFileVersionMS;
            result.FileVersionLS = fixed.dwFileVersionLS;
        }
        WORD words[2] = {};
        if (QueryBytes(api, buffer, L"\\VarFileInfo\\Translation", words, sizeof(words))) {
            wchar_t key[64];
            swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\FileVersion", words[0], words[1]);
            result.HasTranslation = true;
            result.TranslatedFileVersion = QueryString(api, buffer, key);
        }
        summary = std::move(result);
        return true;
    } catch (...) {
        return false;
    }
}
