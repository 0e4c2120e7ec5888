#include "app/ReportLines.h"

#include <windows.h>

#include <stdexcept>

#include "platform/Handles.h"

std::string ReportFileBytes(const TReportLines& lines)
{
    std::wstring text;
    for (const auto& line : lines) {
        text += line;
        text += L"\r\n";
    }
    std::string bytes("\xFF\xFE", 2);
    bytes.reserve(2 + text.size() * 2);
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

void WriteReportFile(const std::wstring& path, const TReportLines& lines)
{
    const std::string bytes = ReportFileBytes(lines);
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw std::runtime_error("cannot create the report file");
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw std::runtime_error("cannot write the report file");
}

std::wstring DateTimeToStr(const SYSTEMTIME& time)
{
    wchar_t date[128] = {};
    if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128))
        date[0] = 0;
    std::wstring text = date;
    if (time.wHour == 0 && time.wMinute == 0 && time.wSecond == 0 && time.wMilliseconds == 0)
        return text;
    wchar_t clock[128] = {};
    if (!GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, 128))
        clock[0] = 0;
    return text + L" " + clock;
}
