#include "platform/text.h"

#include <cwctype>

std::wstring UpperInvariant(std::wstring_view text)
{
    if (text.empty())
        return {};
    std::wstring upper(text.size(), L'\0');
    const int n = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                               upper.data(), static_cast<int>(upper.size()));
    if (n == static_cast<int>(text.size()))
        return upper;
    upper.assign(text);  // no invariant locale (Windows 2000): the C library's mapping
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(towupper(c));
    return upper;
}

bool SameText(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && UpperInvariant(a) == UpperInvariant(b);
}

bool StartsWithText(std::wstring_view text, std::wstring_view part)
{
    return text.size() >= part.size() && SameText(text.substr(0, part.size()), part);
}

bool EndsWithText(std::wstring_view text, std::wstring_view part)
{
    return text.size() >= part.size() && SameText(text.substr(text.size() - part.size()), part);
}

std::wstring JoinText(const std::vector<std::wstring>& parts, std::wstring_view separator)
{
    std::wstring text;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text += separator;
        text += parts[i];
    }
    return text;
}

std::wstring ReplaceText(std::wstring_view text, std::wstring_view from, std::wstring_view to)
{
    if (from.empty())
        return std::wstring(text);
    const std::wstring upperText = UpperInvariant(text);
    const std::wstring upperFrom = UpperInvariant(from);
    std::wstring result;
    size_t i = 0;
    for (size_t at = upperText.find(upperFrom); at != std::wstring::npos; at = upperText.find(upperFrom, i)) {
        result.append(text.substr(i, at - i));
        result.append(to);
        i = at + from.size();
    }
    result.append(text.substr(i));
    return result;
}

std::wstring TrimControl(std::wstring_view text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && text[begin] <= L' ')
        ++begin;
    while (end > begin && text[end - 1] <= L' ')
        --end;
    return std::wstring(text.substr(begin, end - begin));
}

std::string ToCodePage(std::wstring_view text, UINT codePage)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::wstring FromCodePage(std::string_view bytes, UINT codePage)
{
    if (bytes.empty())
        return {};
    const int length = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), n);
    return text;
}

std::string ToUtf8(std::wstring_view text)
{
    return ToCodePage(text, CP_UTF8);
}

std::wstring FromUtf8(std::string_view bytes)
{
    return FromCodePage(bytes, CP_UTF8);
}
