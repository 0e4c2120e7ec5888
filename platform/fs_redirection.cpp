#include "platform/fs_redirection.h"

#include <atomic>

#include "platform/modules.h"
#include "platform/windows_version.h"

namespace {
using DisableFn = BOOL(WINAPI*)(PVOID*);
using RevertFn = BOOL(WINAPI*)(PVOID);
// Written once by LoadWOW64Funcs before any reader runs.
std::atomic<DisableFn> DisableRedirection{nullptr};
std::atomic<RevertFn> RevertRedirection{nullptr};
}  // namespace

// ---------------------------------------------------------------------------
// File-system redirection

void LoadWOW64Funcs() { LoadWOW64Funcs(IsWow64()); }

void LoadWOW64Funcs(bool onWow64)
{
    if (!onWow64)
        return;
    const HMODULE kernel = Kernel32();
    if (!kernel)
        return;
    DisableRedirection = ProcAddress<DisableFn>(kernel, "Wow64DisableWow64FsRedirection");
    RevertRedirection = ProcAddress<RevertFn>(kernel, "Wow64RevertWow64FsRedirection");
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

