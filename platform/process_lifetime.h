#pragma once
// An object that lives until the process ends and is never destroyed.
//
// Process-wide helpers (loaded system libraries, looked-up functions) must not
// be torn down by static destructors: in the library build those run inside
// DllMain, under the loader lock, where FreeLibrary and the shell must not be
// called. Windows releases everything when the process goes.
#include <new>
#include <utility>

template <typename T>
class ProcessLifetime {
public:
    template <typename... Args>
    explicit ProcessLifetime(Args&&... args)
    {
        ::new (static_cast<void*>(FStorage)) T(std::forward<Args>(args)...);
    }
    ProcessLifetime(const ProcessLifetime&) = delete;
    ProcessLifetime& operator=(const ProcessLifetime&) = delete;
    ~ProcessLifetime() = default;  // deliberately leaves T alive

    T& get() noexcept { return *std::launder(reinterpret_cast<T*>(FStorage)); }
    const T& get() const noexcept { return *std::launder(reinterpret_cast<const T*>(FStorage)); }
    T* operator->() noexcept { return &get(); }
    const T* operator->() const noexcept { return &get(); }

private:
    alignas(T) unsigned char FStorage[sizeof(T)];
};
