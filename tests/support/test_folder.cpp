#include "tests/support/test_folder.h"

#include <stdexcept>

#include "platform/handles.h"
#include "platform/paths.h"

std::string ReadFileBytes(const std::wstring& path)
{
    UniqueFile file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    if (!file)
        throw std::runtime_error("cannot open test file");
    LARGE_INTEGER size{};
    GetFileSizeEx(file.get(), &size);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        throw std::runtime_error("cannot read test file");
    bytes.resize(read);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    UniqueFile file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file)
        throw std::runtime_error("cannot create test file");
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw std::runtime_error("cannot write test file");
}

std::wstring FromUtf16Le(const std::string& bytes, size_t offset)
{
    std::wstring text;
    for (size_t i = offset; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return text;
}

std::vector<std::wstring> LogWords(const std::wstring& logFile)
{
    const std::wstring text = FromUtf16Le(ReadFileBytes(logFile), 2);
    // "yyyy-mm-dd hh:nn:ss.zzz  " (the separators are the locale's); a
    // continuation line of a multi-line entry has none.
    const auto stamped = [](const std::wstring& line) {
        if (line.size() < 25 || line[4] != L'-' || line[7] != L'-' || line[10] != L' ' || line.compare(23, 2, L"  ") != 0)
            return false;
        for (const size_t digit : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u, 11u, 12u, 20u, 21u, 22u})
            if (line[digit] < L'0' || line[digit] > L'9')
                return false;
        return true;
    };
    std::vector<std::wstring> words;
    size_t from = 0;
    for (size_t end; (end = text.find(L"\r\n", from)) != std::wstring::npos; from = end + 2) {
        const std::wstring line = text.substr(from, end - from);
        words.push_back(stamped(line) ? line.substr(25) : line);
    }
    return words;
}

HWND CreateMessageWindow()
{
    const ULONGLONG deadline = GetTickCount64() + 60000;
    for (;;) {
        if (const HWND wnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
            return wnd;
        if (GetTickCount64() > deadline)
            return nullptr;
        Sleep(200);
    }
}
