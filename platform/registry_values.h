#pragma once
// Registry data as text: the one place where a value's type and bytes become words.
#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

// How TRegistry sees a value, from its Windows type.
enum TValueKind { vkUnknown, vkText, vkExpandText, vkDword, vkBinary };

// The text of a value that could not be read.
inline constexpr wchar_t RegReadErrorText[] = L"vexloreaderror";

// Registry data as text: the one place where type and bytes become words.
namespace regdata {
TValueKind KindOfType(DWORD type);
// String data up to its first NUL, or all of it without one; an odd last byte is ignored.
std::wstring Text(std::span<const BYTE> data);
// A DWORD from its little-endian bytes; shorter data is zero-extended, bytes past 4 are ignored.
int32_t Dword(std::span<const BYTE> data);
// Two upper-case hex digits per byte, joined by "," ("0A,FF,00"); empty for no bytes.
std::wstring Hex(std::span<const BYTE> data);
// Any value as one line. Strings (both kinds) as they are stored, unquoted and
// unexpanded; REG_DWORD as "dword:0000001A" (.reg notation) or signed decimal;
// everything else as its bytes, prefixed "hex:" in .reg notation. No data: empty.
std::wstring AsText(DWORD type, std::span<const BYTE> data, bool regNotation);
}  // namespace regdata
