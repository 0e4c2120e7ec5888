#include "platform/win32_error.h"

#include "platform/handles.h"
#include "platform/text.h"

std::wstring SystemErrorText(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    const UniqueLocalMemory owner(buffer);
    std::wstring text = n && buffer ? TrimControl(std::wstring(buffer, n)) : std::wstring();
    if (!text.empty() && text.back() == L'.')
        text += L" ";
    else if (!text.empty())
        text += L". ";
    return text + L"(" + std::to_wstring(code) + L")";
}

EWin32Error::EWin32Error(const std::wstring& what, DWORD code)
    : std::runtime_error(ToUtf8(what + L": " + SystemErrorText(code))), FCode(code)
{
}

void RaiseLastError(const std::wstring& what)
{
    throw EWin32Error(what, GetLastError());
}
