#pragma once
// COM on this thread: the apartment, interface pointers, BSTR and VARIANT,
// each with one owner, and COM failures as exceptions.
#include <windows.h>
#include <oleauto.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "platform/handles.h"

// COM for this thread for the owner's lifetime (single-threaded apartment by
// default). CoUninitialize runs only when the initialisation succeeded
// (S_OK or S_FALSE); a thread already in another apartment keeps it.
class TComApartment {
public:
    explicit TComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept : FResult(CoInitializeEx(nullptr, model)) {}
    ~TComApartment()
    {
        if (SUCCEEDED(FResult))
            CoUninitialize();
    }
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;
    HRESULT Result() const noexcept { return FResult; }

private:
    HRESULT FResult;
};

namespace handle_traits {
template <typename T>
struct ComInterface {
    using pointer = T*;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer p) noexcept { p->Release(); }
};
struct Bstr {
    using pointer = BSTR;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer p) noexcept { ::SysFreeString(p); }
};
}  // namespace handle_traits

// An interface pointer that releases what it holds. put() hands out the slot
// for the out-parameter of a COM call (reinterpret as void** where needed).
template <typename T>
using ComPtr = UniqueAny<handle_traits::ComInterface<T>>;
using UniqueBstr = UniqueAny<handle_traits::Bstr>;

// A BSTR made from a text (empty text: a null BSTR, which COM reads as "").
inline UniqueBstr MakeBstr(const std::wstring& text)
{
    return UniqueBstr(text.empty() ? nullptr : ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// A VARIANT that is cleared on every path out.
class TVariant {
public:
    TVariant() noexcept { ::VariantInit(&FValue); }
    ~TVariant() { ::VariantClear(&FValue); }
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;
    VARIANT* put() noexcept
    {
        ::VariantClear(&FValue);
        return &FValue;
    }
    const VARIANT& get() const noexcept { return FValue; }

private:
    VARIANT FValue;
};

// A failed COM call or object: what failed and its HRESULT (UTF-8 in what()).
class EComError : public std::runtime_error {
public:
    EComError(const std::wstring& what, HRESULT result);
    HRESULT Result() const noexcept { return FResult; }

private:
    HRESULT FResult;
};

// Raises EComError when `result` is a failure.
inline void CheckCom(HRESULT result, const std::wstring& what)
{
    if (FAILED(result))
        throw EComError(what, result);
}
