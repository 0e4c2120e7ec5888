// Test helper: a product process that keeps one of its logs open while a
// gathering runs.
//
//   file_holder.exe lock  <file> <ready file> <stop file>
//       opens <file> for reading and writing and shares nothing;
//   file_holder.exe write <file> <ready file> <stop file>
//       opens <file> for writing, shares reading only, and keeps appending
//       numbered lines ("line 000001\r\n", ...), each written whole.
//
// Either way it writes <ready file> once the file is open (and, for "write",
// its first lines are on disk), then holds the file until <stop file> exists
// or ten minutes have passed. Exits 0, or 2 when the file cannot be opened.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD MaxHoldMs = 10 * 60 * 1000;

bool Exists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

void Touch(const wchar_t* path)
{
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

bool AppendLine(HANDLE file, unsigned number)
{
    char line[32];
    const int n = std::snprintf(line, sizeof(line), "line %06u\r\n", number);
    DWORD written = 0;
    return WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr) && written == static_cast<DWORD>(n);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5)
        return 2;
    const std::wstring mode = argv[1];
    const bool writing = mode == L"write";
    if (!writing && mode != L"lock")
        return 2;
    const HANDLE file = CreateFileW(argv[2], writing ? GENERIC_WRITE : GENERIC_READ | GENERIC_WRITE,
                                    writing ? FILE_SHARE_READ : 0, nullptr, writing ? CREATE_ALWAYS : OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    unsigned number = 0;
    if (writing) {
        while (number < 100)
            AppendLine(file, ++number);
    }
    Touch(argv[3]);
    const DWORD start = GetTickCount();
    while (!Exists(argv[4]) && GetTickCount() - start < MaxHoldMs) {
        if (writing && number < 999999)
            AppendLine(file, ++number);
        Sleep(writing ? 2 : 50);
    }
    CloseHandle(file);
    return 0;
}
