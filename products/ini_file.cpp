#include "products/ini_file.h"

#include <windows.h>

#include <vector>

std::wstring IniFileNameFor(const std::wstring& fileName)
{
    const size_t slash = fileName.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : fileName.substr(0, slash);
    return folder.empty() || folder == L"\\" ? L".\\" + fileName : fileName;
}

std::optional<int32_t> ParseIniNumber(const std::wstring& text)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        negative = text[i++] == L'-';
    if (i + 1 < text.size() && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) {
        i += 2;
        if (i == text.size() || text.size() - i > 8)
            return std::nullopt;
        uint32_t value = 0;
        for (; i < text.size(); ++i) {
            const wchar_t c = text[i];
            uint32_t digit = 0;
            if (c >= L'0' && c <= L'9')
                digit = c - L'0';
            else if (c >= L'a' && c <= L'f')
                digit = c - L'a' + 10;
            else if (c >= L'A' && c <= L'F')
                digit = c - L'A' + 10;
            else
                return std::nullopt;
            value = value * 16 + digit;
        }
        // All 32 bits count: 0xFFFFFFFF is -1, as the settings writers mean it.
        const auto number = static_cast<int32_t>(value);
        return negative ? static_cast<int32_t>(0u - value) : number;
    }
    if (i == text.size())
        return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c < L'0' || c > L'9')
            return std::nullopt;
        value = value * 10 + (c - L'0');
        if (value > int64_t(INT32_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX || value < INT32_MIN)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

TIniFile::TIniFile(const std::wstring& fileName) : FFileName(IniFileNameFor(fileName)) {}

std::wstring TIniFile::IniReadText(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& defaultText) const
{
    // The profile functions cut what does not fit and say so only by filling
    // the buffer to its last character: read again, half as large once more.
    constexpr DWORD maxChars = DWORD(1) << 24;
    DWORD size = 2048;
    for (;;) {
        std::vector<wchar_t> buffer(size);
        SetLastError(ERROR_SUCCESS);
        const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultText.c_str(), buffer.data(),
                                                 size, FFileName.c_str());
        const bool tooSmall = GetLastError() == ERROR_MORE_DATA || n + 1 >= size;
        if (!tooSmall || size >= maxChars)
            return std::wstring(buffer.data(), n);
        size += size / 2;
    }
}

int32_t TIniFile::IniReadNumber(const std::wstring& section, const std::wstring& key, int32_t defaultValue) const
{
    return ParseIniNumber(IniReadText(section, key, std::wstring())).value_or(defaultValue);
}
