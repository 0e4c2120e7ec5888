// zipfolder FOLDER ARCHIVE [LOGFILE]
//     ZipFile(FOLDER, ARCHIVE); prints the count. With LOGFILE the process log
//     goes there. On an error prints "error: ..." on stderr and exits with 1.
// zipfolder --zip64 FOLDER ARCHIVE
//     Packs with the ZIP64 limits lowered to 1, so that every field that can
//     move to a ZIP64 record does; prints the count.
// zipfolder --time FOLDER ARCHIVE
//     As the first form, and prints the packing time in milliseconds on stderr.
// zipfolder --attrib HEX PATH [HEX PATH]...
//     SetFileAttributesW(PATH, HEX) for each pair.
// zipfolder --stat PATH...
//     Prints GetFileAttributesW of each path in hexadecimal, one line each.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <exception>
#include <string>

#include "app/zip_archive.h"
#include "app/diagnostic_log.h"

namespace {

int Usage()
{
    std::fputs("usage: zipfolder [--zip64|--time] FOLDER ARCHIVE [LOGFILE]\n"
               "       zipfolder --attrib HEX PATH [HEX PATH]...\n"
               "       zipfolder --stat PATH...\n",
               stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage();
    const std::wstring mode = argv[1];
    try {
        if (mode == L"--attrib") {
            if (argc < 4 || argc % 2 != 0)
                return Usage();
            int result = 0;
            for (int i = 2; i + 1 < argc; i += 2) {
                const DWORD attributes = static_cast<DWORD>(std::wcstoul(argv[i], nullptr, 16));
                if (!SetFileAttributesW(argv[i + 1], attributes)) {
                    std::fprintf(stderr, "SetFileAttributesW failed (%lu): %ls\n", GetLastError(), argv[i + 1]);
                    result = 1;
                }
            }
            return result;
        }
        if (mode == L"--stat") {
            for (int i = 2; i < argc; ++i)
                std::printf("%lx\n", GetFileAttributesW(argv[i]));
            return 0;
        }
        if (mode == L"--zip64") {
            if (argc != 4)
                return Usage();
            TPackOptions options;
            options.Limits = TZip64Limits{1, 1, 1};
            options.SkipPath = argv[3];
            TFileSink sink(argv[3]);
            const int count = PackFolder(sink, ZipRoot(argv[2]), options);
            sink.Close();
            std::printf("%d\n", count);
            return 0;
        }
        const bool timed = mode == L"--time";
        const int first = timed ? 2 : 1;
        if (argc - first != 2 && argc - first != 3)
            return Usage();
        if (argc - first == 3)
            SetLogFileName(argv[first + 2]);
        LARGE_INTEGER frequency{}, start{}, stop{};
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        const int count = ZipFile(argv[first], argv[first + 1]);
        QueryPerformanceCounter(&stop);
        std::printf("%d\n", count);
        if (timed)
            std::fprintf(stderr, "time %.0f ms\n",
                         static_cast<double>(stop.QuadPart - start.QuadPart) * 1e3 /
                             static_cast<double>(frequency.QuadPart));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
