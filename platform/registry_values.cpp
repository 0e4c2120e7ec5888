#include "platform/registry_values.h"

#include <cwchar>

namespace regdata {

TValueKind KindOfType(DWORD type)
{
    switch (type) {
    case REG_SZ: return vkText;
    case REG_EXPAND_SZ: return vkExpandText;
    case REG_DWORD: return vkDword;
    case REG_BINARY: return vkBinary;
    default: return vkUnknown;
    }
}

std::wstring Text(std::span<const BYTE> data)
{
    std::wstring text;
    text.reserve(data.size() / 2);
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        const auto c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (c == L'\0')
            break;
        text.push_back(c);
    }
    return text;
}

int32_t Dword(std::span<const BYTE> data)
{
    uint32_t value = 0;
    for (size_t i = 0; i < data.size() && i < 4; ++i)
        value |= uint32_t(data[i]) << (8 * i);
    return static_cast<int32_t>(value);
}

std::wstring Hex(std::span<const BYTE> data)
{
    static constexpr wchar_t Digits[] = L"0123456789ABCDEF";
    std::wstring text;
    if (data.empty())
        return text;
    text.reserve(data.size() * 3 - 1);
    for (size_t i = 0; i < data.size(); ++i) {
        if (i > 0)
            text.push_back(L',');
        text.push_back(Digits[data[i] >> 4]);
        text.push_back(Digits[data[i] & 0x0F]);
    }
    return text;
}

std::wstring AsText(DWORD type, std::span<const BYTE> data, bool regNotation)
{
    if (data.empty())
        return {};
    switch (KindOfType(type)) {
    case vkText:
    case vkExpandText:
        return Text(data);
    case vkDword: {
        const int32_t n = Dword(data);
        if (!regNotation)
            return std::to_wstring(n);
        wchar_t digits[9] = {};
        swprintf(digits, 9, L"%08X", static_cast<unsigned>(n));
        return std::wstring(L"dword:") + digits;
    }
    case vkBinary:
    case vkUnknown:
        break;
    }
    return (regNotation ? L"hex:" : L"") + Hex(data);
}

}  // namespace regdata
