#include "platform/com.h"

#include <cwchar>

#include "platform/text.h"
#include "platform/win32_error.h"

EComError::EComError(const std::wstring& what, HRESULT result)
    : std::runtime_error([&] {
          wchar_t code[16];
          swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(result));
          return ToUtf8(what + L": " + SystemErrorText(static_cast<DWORD>(result)) + L" " + code);
      }()),
      FResult(result)
{
}
