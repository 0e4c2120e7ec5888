// Test helper: places an archive as the worker does (copy under a temporary
// name, read back, rename into place).  place_archive_probe ARCHIVE TARGET
// Exit code 0 when it was placed, 1 when not.
#include <windows.h>

#include <cstdio>

#include "app/diagnostic_log.h"
#include "app/worker.h"
#include "app/zip_verify.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 2;
    SetLogFileName(std::wstring(argv[2]) + L".probe.log");
    try {
        const bool placed = PlaceArchive(argv[1], argv[2], ReadArchiveEntries(argv[1]));
        std::printf("%s\n", placed ? "placed" : "not placed");
        return placed ? 0 : 1;
    } catch (const std::exception& error) {
        std::printf("error: %s\n", error.what());
        return 2;
    }
}
