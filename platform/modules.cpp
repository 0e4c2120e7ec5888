#include "platform/modules.h"

#include "platform/query_buffer.h"
#include "platform/windows_version.h"

namespace {

// The folder a library is loaded from: the system directory, except that a
// 32-bit process on 64-bit Windows names the 32-bit one (SysWOW64) directly.
// Loading through System32 depends on redirection, which a thread may have
// switched off for its file work; SysWOW64 is never redirected.
std::wstring SystemLibraryFolder()
{
#ifndef _WIN64
    if (IsWow64()) {
        using Fn = UINT(WINAPI*)(LPWSTR, UINT);
        if (const auto fn = ProcAddress<Fn>(Kernel32(), "GetSystemWow64DirectoryW")) {
            wchar_t buffer[MAX_PATH];
            const UINT n = fn(buffer, MAX_PATH);
            if (n > 0 && n < MAX_PATH)
                return std::wstring(buffer, n);
        }
    }
#endif
    return GetSystemDir();
}

}  // namespace

HMODULE Kernel32()
{
    return GetModuleHandleW(L"kernel32.dll");
}

std::wstring GetSystemDir()
{
    return QueryCountedText([](wchar_t* data, DWORD size) { return GetSystemDirectoryW(data, size); });
}

UniqueModule LoadSystemLibrary(const wchar_t* name)
{
    const std::wstring folder = SystemLibraryFolder();
    if (folder.empty() || !name || !*name)
        return UniqueModule();
    const std::wstring path = folder + L"\\" + name;
    // The library's own dependencies are searched from its folder first.
    return UniqueModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

std::wstring ModuleFileName(HMODULE module)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring GetModuleName()
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&GetModuleName), &self))
        self = nullptr;
    return ModuleFileName(self);
}

std::wstring GetWindowsDir()
{
    return QueryCountedText([](wchar_t* data, DWORD size) { return GetWindowsDirectoryW(data, size); });
}

std::wstring SystemProgramPath(const wchar_t* fileName)
{
    const std::wstring folder = SystemLibraryFolder();
    if (folder.empty() || !fileName || !*fileName)
        return {};
    return folder + L"\\" + fileName;
}
