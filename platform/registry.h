#pragma once
// Registry access across both views of 64-bit Windows.
//
// TRegistry reads keys and values and never writes them. On 64-bit Windows it
// picks the view from the path of each open: the native 64-bit view for
// ordinary paths, the 32-bit view for paths that name Wow6432Node.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/handles.h"
#include "platform/registry_values.h"

// What QueryValueInfo learns about a value without reading its data.
struct TValueInfo {
    TValueKind Kind = vkUnknown;
    int32_t DataSize = 0;
};

// Raised for a value of the wrong kind ("Invalid data type for '%s'") or a
// failed read ("Failed to get data for '%s'").
class ERegistryException : public std::runtime_error {
public:
    explicit ERegistryException(const std::wstring& message);
    const std::wstring& Message() const noexcept { return FMessage; }

private:
    std::wstring FMessage;
};

// True when a registry path names the 32-bit branch (contains "Wow6432Node", any case).
bool PathNamesWow6432Node(std::wstring_view path);

class TRegistry {
public:
    TRegistry();
    explicit TRegistry(REGSAM accessMask);
    // `onWow64` stands for the answer of IsWow64 (false: 32-bit Windows).
    TRegistry(REGSAM accessMask, bool onWow64);
    virtual ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY KeyHandle() const noexcept { return FKeyHandle.get(); }
    HKEY RootHandle() const noexcept { return FRootHandle; }
    const std::wstring& KeyPath() const noexcept { return FKeyPath; }
    REGSAM AccessMask() const noexcept { return FAccessMask; }
    bool AutoView() const noexcept { return FAutoView; }
    void SetAutoView(bool value) noexcept { FAutoView = value; }
    bool OnWow64() const noexcept { return FOnWow64; }

    // Changes the root of absolute paths (one of the predefined keys); closes the open key.
    void SetRoot(HKEY root);
    void CloseCurrent();

    // Opens an existing key with AccessMask. A path starting with a backslash
    // starts at the root; any other path below the open key (or the root).
    // On failure the open key stays as it was.
    bool OpenPath(const std::wstring& path);
    // Opens an existing key for reading, falling back to fewer rights; the
    // mask that worked stays in AccessMask.
    bool OpenPathForReading(const std::wstring& path);

    // Names of the open key's subkeys, without Wow6432Node.
    void ListSubKeyNames(std::vector<std::wstring>& list) const;
    // Names of the open key's values; the default value is the empty name.
    void ListValueNames(std::vector<std::wstring>& list) const;
    bool ChildKeysExist() const;

    std::optional<TValueInfo> QueryValueInfo(const std::wstring& name) const;
    int32_t ValueSize(const std::wstring& name) const;
    TValueKind ValueKind(const std::wstring& name) const;
    bool ValuePresent(const std::wstring& name) const;

    // A string value's text, whole; empty when missing or empty. Raises
    // ERegistryException for values of other kinds.
    std::wstring ReadText(const std::wstring& name) const;
    // A REG_DWORD value's number; 0 for anything else.
    int32_t ReadDword(const std::wstring& name) const;
    // Raw data into `buffer`; 0 when the value is missing. Raises for a
    // string or DWORD value, data larger than the buffer, or a failed read.
    int32_t ReadBytes(const std::wstring& name, std::span<BYTE> buffer) const;
    // Any value as one line (see regdata::AsText); empty when missing or
    // empty, "vexloreaderror" when it cannot be read.
    std::wstring ValueAsText(const std::wstring& name, bool regNotation) const;

private:
    // Sets or clears the 64-bit view bit of AccessMask from the path to open.
    void ApplyViewForPath(const std::wstring& path);
    // The key that `path` is opened below, and the sub-path to pass to Windows.
    HKEY BaseFor(const std::wstring& path, std::wstring& subPath) const;
    void TakeOver(UniqueKey key, const std::wstring& path, const std::wstring& subPath);
    // Type and whole data of a value; a Windows error code.
    LONG ReadRaw(const std::wstring& name, DWORD& type, std::vector<BYTE>& data) const;

    UniqueKey FKeyHandle;
    HKEY FRootHandle = HKEY_CURRENT_USER;
    std::wstring FKeyPath;
    REGSAM FAccessMask = KEY_ALL_ACCESS;
    bool FAutoView = true;
    bool FOnWow64 = false;
};
