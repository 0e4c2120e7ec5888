#include "platform/RegistryClassEx.h"

#include <atomic>

#include "platform/Vexlo_Routine_New.h"

namespace {
using DisableFn = BOOL(WINAPI*)(PVOID*);
using RevertFn = BOOL(WINAPI*)(PVOID);
// Written once by LoadWOW64Funcs before any reader runs.
std::atomic<DisableFn> DisableRedirection{nullptr};
std::atomic<RevertFn> RevertRedirection{nullptr};
}  // namespace

void LoadWOW64Funcs()
{
    if (!IsWow64())
        return;
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel)
        return;
    DisableRedirection = reinterpret_cast<DisableFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
    RevertRedirection = reinterpret_cast<RevertFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
}

bool DisableFsRedirection(void** oldValue)
{
    const DisableFn fn = DisableRedirection.load();
    return fn && fn(oldValue) != FALSE;
}

bool RevertFsRedirection(void* oldValue)
{
    const RevertFn fn = RevertRedirection.load();
    return fn && fn(oldValue) != FALSE;
}
