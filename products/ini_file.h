#pragma once
// Reading the products' INI settings files through the Windows profile functions.
#include <cstdint>
#include <optional>
#include <string>

class TIniFile {
public:
    // A name without a folder (or below a bare "\") is taken from the current
    // folder, not from the Windows folder where the profile functions would
    // look. Opening only reads: no folder is created and the file's
    // attributes stay as they are.
    explicit TIniFile(const std::wstring& fileName);

    const std::wstring& FileName() const noexcept { return FFileName; }

    // The key's text, however long; `defaultText` when the key is missing.
    std::wstring IniReadText(const std::wstring& section, const std::wstring& key,
                             const std::wstring& defaultText) const;
    // The key's number, decimal or hexadecimal after "0x"; `defaultValue` when
    // the key is missing or its text is no 32-bit number.
    int32_t IniReadNumber(const std::wstring& section, const std::wstring& key, int32_t defaultValue) const;

private:
    std::wstring FFileName;
};

// The name the profile functions are given for `fileName` (".\" put before a
// name whose folder is empty or a bare "\").
std::wstring IniFileNameFor(const std::wstring& fileName);
// A signed 32-bit number: optional sign, then decimal digits or "0x" and up
// to eight hexadecimal digits (0xFFFFFFFF is -1); nothing for any other text.
std::optional<int32_t> ParseIniNumber(const std::wstring& text);
