#pragma once
// One move-only owner for every kind of Windows resource. A traits type names
// the raw type, its empty value and how to release it; each resource kind is
// an alias below. Releasing keeps the caller's last-error value intact.
#include <windows.h>
#include <winsvc.h>
#include <utility>

template <typename Traits>
class UniqueAny {
public:
    using pointer = typename Traits::pointer;

    UniqueAny() noexcept = default;
    explicit UniqueAny(pointer value) noexcept : FValue(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : FValue(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueAny() { reset(); }

    pointer get() const noexcept { return FValue; }
    explicit operator bool() const noexcept { return FValue != Traits::Empty(); }

    pointer release() noexcept { return std::exchange(FValue, Traits::Empty()); }

    void reset(pointer value = Traits::Empty()) noexcept
    {
        if (FValue != Traits::Empty()) {
            const DWORD lastError = ::GetLastError();
            Traits::Close(FValue);
            ::SetLastError(lastError);
        }
        FValue = value;
    }

    // For out-parameters: releases what is held and hands out the slot.
    pointer* put() noexcept
    {
        reset();
        return &FValue;
    }

private:
    pointer FValue = Traits::Empty();
};

namespace handle_traits {
struct Handle {  // empty is null: threads, processes, events, mappings, tokens
    using pointer = HANDLE;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::CloseHandle(h); }
};
struct File {  // empty is INVALID_HANDLE_VALUE: CreateFileW results
    using pointer = HANDLE;
    static pointer Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(pointer h) noexcept { ::CloseHandle(h); }
};
struct Find {
    using pointer = HANDLE;
    static pointer Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(pointer h) noexcept { ::FindClose(h); }
};
struct Key {  // only keys we opened; never the predefined roots
    using pointer = HKEY;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::RegCloseKey(h); }
};
struct Service {
    using pointer = SC_HANDLE;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::CloseServiceHandle(h); }
};
struct Module {
    using pointer = HMODULE;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::FreeLibrary(h); }
};
struct View {
    using pointer = const void*;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer p) noexcept { ::UnmapViewOfFile(p); }
};
struct LocalMemory {  // LocalAlloc results: FormatMessageW buffers, CommandLineToArgvW
    using pointer = void*;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer p) noexcept { ::LocalFree(p); }
};
struct GdiObject {  // fonts, brushes, bitmaps
    using pointer = HGDIOBJ;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::DeleteObject(h); }
};
struct MemoryDc {  // CreateCompatibleDC results
    using pointer = HDC;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer h) noexcept { ::DeleteDC(h); }
};
// Memory handed out by WTSQuerySessionInformationW. wtsapi32 is loaded at run
// time from the system directory, so the release lives with that loader
// (platform/sessions.cpp).
struct WtsMemory {
    using pointer = void*;
    static pointer Empty() noexcept { return nullptr; }
    static void Close(pointer p) noexcept;
};
}  // namespace handle_traits

using UniqueHandle = UniqueAny<handle_traits::Handle>;
using UniqueFile = UniqueAny<handle_traits::File>;
using UniqueFind = UniqueAny<handle_traits::Find>;
using UniqueKey = UniqueAny<handle_traits::Key>;
using UniqueService = UniqueAny<handle_traits::Service>;
using UniqueModule = UniqueAny<handle_traits::Module>;
using UniqueView = UniqueAny<handle_traits::View>;
using UniqueGdiObject = UniqueAny<handle_traits::GdiObject>;
using UniqueMemoryDc = UniqueAny<handle_traits::MemoryDc>;
using UniqueLocalMemory = UniqueAny<handle_traits::LocalMemory>;
// CreateToolhelp32Snapshot results: empty is INVALID_HANDLE_VALUE.
using UniqueSnapshot = UniqueAny<handle_traits::File>;
using UniqueWtsMemory = UniqueAny<handle_traits::WtsMemory>;
