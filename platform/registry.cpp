#include "platform/registry.h"

#include <algorithm>

#include "platform/text.h"
#include "platform/windows_version.h"

namespace {
constexpr REGSAM ViewBits = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
// The rights OpenPathForReading tries, most first.
constexpr REGSAM ReadMasks[] = {
    KEY_READ,                                                         // 0x20019
    STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS,  // 0x20009
    KEY_QUERY_VALUE,                                                  // 0x1
};
// Longest names Windows allows, terminator included.
constexpr DWORD MaxKeyNameChars = 256;
constexpr DWORD MaxValueNameChars = 16384;

std::wstring Quoted(const wchar_t* format, const std::wstring& name)
{
    // format is "... '%s'": the value name goes between the quotes.
    std::wstring message(format);
    message.replace(message.find(L"%s"), 2, name);
    return message;
}

[[noreturn]] void RaiseInvalidType(const std::wstring& name)
{
    throw ERegistryException(Quoted(L"Invalid data type for '%s'", name));
}

[[noreturn]] void RaiseReadFailed(const std::wstring& name)
{
    throw ERegistryException(Quoted(L"Failed to get data for '%s'", name));
}

bool IsBlank(wchar_t c) { return c <= L' '; }

bool IsWow6432NodeName(const std::wstring& name)
{
    size_t begin = 0, end = name.size();
    while (begin < end && IsBlank(name[begin]))
        ++begin;
    while (end > begin && IsBlank(name[end - 1]))
        --end;
    return end - begin == 11 && PathNamesWow6432Node(std::wstring_view(name).substr(begin, end - begin));
}

struct KeyCounts {
    DWORD subKeys = 0;
    DWORD values = 0;
};

std::optional<KeyCounts> QueryCounts(HKEY key)
{
    if (!key)
        return std::nullopt;
    KeyCounts counts;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &counts.subKeys, nullptr, nullptr, &counts.values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return std::nullopt;
    return counts;
}
}  // namespace

ERegistryException::ERegistryException(const std::wstring& message)
    : std::runtime_error(ToUtf8(message)), FMessage(message)
{
}


bool PathNamesWow6432Node(std::wstring_view path)
{
    static constexpr std::wstring_view Node = L"wow6432node";
    if (path.size() < Node.size())
        return false;
    for (size_t start = 0; start + Node.size() <= path.size(); ++start) {
        size_t i = 0;
        while (i < Node.size()) {
            wchar_t c = path[start + i];
            if (c >= L'A' && c <= L'Z')
                c = static_cast<wchar_t>(c - L'A' + L'a');
            if (c != Node[i])
                break;
            ++i;
        }
        if (i == Node.size())
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// TRegistry

TRegistry::TRegistry() : TRegistry(KEY_ALL_ACCESS) {}

TRegistry::TRegistry(REGSAM accessMask) : TRegistry(accessMask, IsWow64()) {}

TRegistry::TRegistry(REGSAM accessMask, bool onWow64) : FAccessMask(accessMask), FOnWow64(onWow64) {}

TRegistry::~TRegistry() { CloseCurrent(); }

void TRegistry::SetRoot(HKEY root)
{
    if (root == FRootHandle)
        return;
    FRootHandle = root;
    CloseCurrent();
}

void TRegistry::CloseCurrent()
{
    if (!FKeyHandle)
        return;
    FKeyHandle.reset();
    FKeyPath.clear();
}

void TRegistry::ApplyViewForPath(const std::wstring& path)
{
    if (!FOnWow64 || !FAutoView)
        return;
    const bool absolute = !path.empty() && path.front() == L'\\';
    const std::wstring full = absolute ? path : (FKeyPath.empty() ? L"\\" : FKeyPath + L"\\") + path;
    if (PathNamesWow6432Node(full))
        FAccessMask &= ~REGSAM(KEY_WOW64_64KEY);
    else
        FAccessMask |= KEY_WOW64_64KEY;
}

HKEY TRegistry::BaseFor(const std::wstring& path, std::wstring& subPath) const
{
    const bool absolute = !path.empty() && path.front() == L'\\';
    subPath = absolute ? path.substr(1) : path;
    return !absolute && FKeyHandle ? FKeyHandle.get() : FRootHandle;
}

void TRegistry::TakeOver(UniqueKey key, const std::wstring& path, const std::wstring& subPath)
{
    const bool relative = path.empty() || path.front() != L'\\';
    std::wstring newPath = relative && FKeyHandle ? FKeyPath + L"\\" + subPath : subPath;
    CloseCurrent();
    FKeyHandle = std::move(key);
    FKeyPath = std::move(newPath);
}

bool TRegistry::OpenPath(const std::wstring& path)
{
    ApplyViewForPath(path);
    std::wstring subPath;
    const HKEY base = BaseFor(path, subPath);
    UniqueKey key;
    if (RegOpenKeyExW(base, subPath.c_str(), 0, FAccessMask, key.put()) != ERROR_SUCCESS)
        return false;
    TakeOver(std::move(key), path, subPath);
    return true;
}

bool TRegistry::OpenPathForReading(const std::wstring& path)
{
    ApplyViewForPath(path);
    std::wstring subPath;
    const HKEY base = BaseFor(path, subPath);
    const REGSAM view = FAccessMask & ViewBits;
    for (const REGSAM rights : ReadMasks) {
        UniqueKey key;
        if (RegOpenKeyExW(base, subPath.c_str(), 0, view | rights, key.put()) == ERROR_SUCCESS) {
            FAccessMask = view | rights;
            TakeOver(std::move(key), path, subPath);
            return true;
        }
    }
    return false;
}

void TRegistry::ListSubKeyNames(std::vector<std::wstring>& list) const
{
    list.clear();
    const auto counts = QueryCounts(FKeyHandle.get());
    if (!counts)
        return;
    std::vector<wchar_t> name(MaxKeyNameChars);
    for (DWORD index = 0; index < counts->subKeys; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG rc =
            RegEnumKeyExW(FKeyHandle.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;  // subkeys went away while we listed
        if (rc != ERROR_SUCCESS)
            continue;
        std::wstring entry(name.data(), length);
        if (!IsWow6432NodeName(entry))
            list.push_back(std::move(entry));
    }
}

void TRegistry::ListValueNames(std::vector<std::wstring>& list) const
{
    list.clear();
    const auto counts = QueryCounts(FKeyHandle.get());
    if (!counts)
        return;
    std::vector<wchar_t> name(MaxValueNameChars);
    for (DWORD index = 0; index < counts->values; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG rc =
            RegEnumValueW(FKeyHandle.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            continue;
        list.emplace_back(name.data(), length);
    }
}

bool TRegistry::ChildKeysExist() const
{
    const auto counts = QueryCounts(FKeyHandle.get());
    return counts && counts->subKeys > 0;
}

std::optional<TValueInfo> TRegistry::QueryValueInfo(const std::wstring& name) const
{
    if (!FKeyHandle)
        return std::nullopt;
    DWORD type = REG_NONE, size = 0;
    if (RegQueryValueExW(FKeyHandle.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return TValueInfo{regdata::KindOfType(type), static_cast<int32_t>(size)};
}

int32_t TRegistry::ValueSize(const std::wstring& name) const
{
    const auto info = QueryValueInfo(name);
    return info ? info->DataSize : -1;
}

TValueKind TRegistry::ValueKind(const std::wstring& name) const
{
    const auto info = QueryValueInfo(name);
    return info ? info->Kind : vkUnknown;
}

bool TRegistry::ValuePresent(const std::wstring& name) const { return QueryValueInfo(name).has_value(); }

LONG TRegistry::ReadRaw(const std::wstring& name, DWORD& type, std::vector<BYTE>& data) const
{
    type = REG_NONE;
    data.clear();
    if (!FKeyHandle)
        return ERROR_INVALID_HANDLE;
    // Most values fit the first buffer; a larger one is read again at the size
    // Windows names (a value that keeps growing meanwhile gives up after a few tries).
    data.resize(2048);
    LONG rc = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 4 && rc == ERROR_MORE_DATA; ++attempt) {
        DWORD size = static_cast<DWORD>(data.size());
        rc = RegQueryValueExW(FKeyHandle.get(), name.c_str(), nullptr, &type, data.data(), &size);
        if (rc == ERROR_SUCCESS)
            data.resize(size);
        else if (rc == ERROR_MORE_DATA)
            data.resize(std::max<size_t>(size, data.size() * 2));
    }
    if (rc != ERROR_SUCCESS)
        data.clear();
    return rc;
}

std::wstring TRegistry::ReadText(const std::wstring& name) const
{
    if (ValueSize(name) <= 0)
        return {};
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    ReadRaw(name, type, data);
    const TValueKind kind = regdata::KindOfType(type);
    if (kind != vkText && kind != vkExpandText)
        RaiseInvalidType(name);
    return regdata::Text(data);
}

int32_t TRegistry::ReadDword(const std::wstring& name) const
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (ReadRaw(name, type, data) != ERROR_SUCCESS || type != REG_DWORD)
        return 0;
    return regdata::Dword(data);
}

int32_t TRegistry::ReadBytes(const std::wstring& name, std::span<BYTE> buffer) const
{
    const auto info = QueryValueInfo(name);
    if (!info)
        return 0;
    if ((info->Kind != vkBinary && info->Kind != vkUnknown) || static_cast<size_t>(info->DataSize) > buffer.size())
        RaiseInvalidType(name);
    DWORD size = static_cast<DWORD>(buffer.size());
    if (RegQueryValueExW(FKeyHandle.get(), name.c_str(), nullptr, nullptr, buffer.data(), &size) != ERROR_SUCCESS)
        RaiseReadFailed(name);
    return static_cast<int32_t>(size);
}

std::wstring TRegistry::ValueAsText(const std::wstring& name, bool regNotation) const
{
    const auto info = QueryValueInfo(name);
    if (!info || info->DataSize <= 0)
        return {};
    try {
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        if (ReadRaw(name, type, data) != ERROR_SUCCESS) {
            // A string that cannot be read shows as empty, anything else as the error text.
            const bool text = info->Kind == vkText || info->Kind == vkExpandText;
            return text ? std::wstring() : std::wstring(RegReadErrorText);
        }
        return regdata::AsText(type, data, regNotation);
    } catch (...) {
        return RegReadErrorText;
    }
}
