// Test helper: holds the session's gathering lock, as a running gathering
// does, until its standard input is closed; prints "held" once it has it.
#include <windows.h>

#include <cstdio>

#include "app/run_lock.h"

int wmain()
{
    const TRunLock lock;
    if (!lock.Acquired())
        return 1;
    std::printf("held\n");
    std::fflush(stdout);
    char buffer[64];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    }
    return 0;
}
