#include "app/run_lock.h"

TRunLock::TRunLock() : FMutex(CreateMutexW(nullptr, FALSE, RunLockName))
{
    if (!FMutex)
        return;
    // An abandoned lock (its holder was killed) is ours now.
    const DWORD wait = WaitForSingleObject(FMutex.get(), 0);
    FAcquired = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

TRunLock::~TRunLock()
{
    if (FAcquired)
        ReleaseMutex(FMutex.get());
}
