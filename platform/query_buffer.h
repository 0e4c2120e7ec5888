#pragma once
// The two-call sizing patterns of the Windows API in one place.
#include <windows.h>

#include <string>
#include <vector>

// `query(data, size)` calls the API with a buffer of `size` units (`data` is
// null while the buffer is empty) and returns whether it succeeded; when the
// buffer was too small the API fails with ERROR_INSUFFICIENT_BUFFER (or
// ERROR_MORE_DATA) and stores the size it needs in `size`. The buffer grows to
// that size and the call is repeated, a few times at most. On success `buffer`
// holds what the API wrote and `size` is whatever the API left there.
template <typename T, typename Query>
bool QueryGrowRetry(std::vector<T>& buffer, Query&& query, int attempts = 4)
{
    constexpr DWORD maxUnits = DWORD(1) << 24;  // no API here needs more
    for (int attempt = 0; attempt < attempts; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size());
        if (query(buffer.empty() ? nullptr : buffer.data(), size))
            return true;
        const DWORD error = ::GetLastError();
        if ((error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_MORE_DATA) || size > maxUnits)
            return false;
        if (size > buffer.size())
            buffer.resize(size);
    }
    return false;
}

// Text from an API that returns the characters it wrote, or the size it needs
// (terminating NUL included) when the buffer is too small, and 0 on failure:
// GetSystemDirectoryW, GetWindowsDirectoryW, GetTempPathW (size first),
// GetEnvironmentVariableW, ExpandEnvironmentStringsW (NUL counted).
// `query(buffer, size)` makes the call.
template <typename Query>
std::wstring QueryCountedText(Query&& query)
{
    std::wstring text(MAX_PATH + 1, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const auto n = static_cast<size_t>(query(text.data(), static_cast<DWORD>(text.size())));
        if (n == 0)
            return {};
        if (n < text.size()) {
            text.resize(n);
            return text;
        }
        text.resize(n + 1);
    }
    return {};
}
