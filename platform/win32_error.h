#pragma once
// Windows errors as exceptions and texts.
//
// Every exception this program raises carries its message in what() as UTF-8,
// so that whoever catches a std::exception can log the reason as it is.
#include <windows.h>

#include <stdexcept>
#include <string>

// The system's message for an error code, without its line break, followed
// by the code in parentheses: "Access is denied. (5)".
std::wstring SystemErrorText(DWORD code);

class EWin32Error : public std::runtime_error {
public:
    // `what` says what failed ("cannot create C:\x"); the system's text follows.
    EWin32Error(const std::wstring& what, DWORD code);
    DWORD Code() const noexcept { return FCode; }

private:
    DWORD FCode;
};

// Raises EWin32Error for `what` with GetLastError().
[[noreturn]] void RaiseLastError(const std::wstring& what);
