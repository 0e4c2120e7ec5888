#include "app/save_path.h"

#include <windows.h>

#include "platform/text.h"

std::wstring ReplaceUserInPath(const std::wstring& path, const std::wstring& logUser, const std::wstring& procUser)
{
    if (logUser.empty() || procUser.empty() || SameText(logUser, procUser))
        return path;
    const std::wstring from = L"\\" + procUser + L"\\";
    const std::wstring to = L"\\" + logUser + L"\\";
    std::wstring result;
    size_t i = 0;
    while (i < path.size()) {
        if (path.size() - i >= from.size() &&
            CompareStringOrdinal(path.c_str() + i, static_cast<int>(from.size()), from.c_str(),
                                 static_cast<int>(from.size()), TRUE) == CSTR_EQUAL) {
            result += to;
            i += from.size();
        } else {
            result += path[i++];
        }
    }
    return result;
}
