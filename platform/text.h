#pragma once
// Text helpers: comparison without regard to letter case, trimming, and the
// conversions between UTF-16 and the byte encodings.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// Upper case by the invariant mapping, as Windows compares file and account
// names (no locale surprises such as the Turkish dotless i).
std::wstring UpperInvariant(std::wstring_view text);
// True when both texts are equal without regard to letter case.
bool SameText(std::wstring_view a, std::wstring_view b);
// True when `text` starts (ends) with `part`, letter case ignored.
bool StartsWithText(std::wstring_view text, std::wstring_view part);
bool EndsWithText(std::wstring_view text, std::wstring_view part);
// Replaces every occurrence of `from` (letter case ignored) by `to`.
std::wstring ReplaceText(std::wstring_view text, std::wstring_view from, std::wstring_view to);
// The parts one after another, `separator` between each two.
std::wstring JoinText(const std::vector<std::wstring>& parts, std::wstring_view separator);
// Without the characters of code 32 or less at both ends.
std::wstring TrimControl(std::wstring_view text);

// UTF-16 to UTF-8 and back; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view bytes);
// UTF-16 to a code page (CP_ACP, CP_OEMCP, ...) and back.
std::string ToCodePage(std::wstring_view text, UINT codePage);
std::wstring FromCodePage(std::string_view bytes, UINT codePage);
