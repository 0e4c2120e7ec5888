#include "sections/systeminfo_capture.h"

#include <algorithm>
#include <cwchar>
#include <exception>
#include <optional>

#include "platform/child_process.h"
#include "platform/handles.h"
#include "platform/locale_text.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/query_buffer.h"
#include "platform/text.h"

namespace {

// How often the intermediate file is looked at.
constexpr DWORD PollMs = 100;

std::wstring TempFolder()
{
    return QueryCountedText([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
}

DWORD Elapsed(DWORD start)
{
    return GetTickCount() - start;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path)
{
    const UniqueFile file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    return bytes;
}

std::wstring Utf16Text(std::string_view bytes, bool bigEndian)
{
    std::wstring text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<wchar_t>(bigEndian ? (first << 8 | second) : (second << 8 | first)));
    }
    return text;
}

// The output lines of systeminfo, or the one line that says why there are none.
TReportLines RunSystemInfo(DWORD timeoutMs)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::wstring file = TempFolder() + IntermediateFileName(now);
    // cmd.exe takes the outer quotes off and runs: "...\systeminfo.exe">"file"
    const std::wstring arguments =
        L"/c \"" + ChildCommandLine(SystemProgramPath(L"systeminfo.exe"), L"") + L">\"" + file + L"\"\"";
    const DWORD start = GetTickCount();
    try {
        TChildProcess child(SystemProgramPath(L"cmd.exe"), arguments);
        // The file is free once the output is complete: cmd.exe holds it
        // until systeminfo has ended.
        while (IsFileInUse(file)) {
            const DWORD elapsed = Elapsed(start);
            if (elapsed >= timeoutMs) {
                child.EndTree();
                DeleteFileW(ExtendedLengthPath(file).c_str());
                return {NotFinishedLine(timeoutMs)};
            }
            if (child.WaitFor(std::min(PollMs, timeoutMs - elapsed)) && IsFileInUse(file))
                break;  // cmd.exe has ended and left no file to read
        }
    } catch (const std::exception& error) {
        return {L"systeminfo did not run: " + FromUtf8(error.what())};
    }
    const auto bytes = ReadWholeFile(file);
    DeleteFileW(ExtendedLengthPath(file).c_str());
    if (!bytes)
        return {NoOutputLine};
    return TextFileLines(*bytes);
}

}  // namespace

bool IsFileInUse(const std::wstring& path)
{
    const UniqueFile file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file;
}

TReportLines TextFileLines(std::string_view bytes)
{
    std::wstring text;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        text = FromUtf8(bytes.substr(3));
    else if (bytes.substr(0, 2) == "\xFF\xFE")
        text = Utf16Text(bytes.substr(2), false);
    else if (bytes.substr(0, 2) == "\xFE\xFF")
        text = Utf16Text(bytes.substr(2), true);
    else
        text = FromCodePage(bytes, CP_ACP);
    TReportLines lines;
    size_t begin = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\r' && text[i] != L'\n')
            continue;
        lines.push_back(text.substr(begin, i - begin));
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            ++i;
        begin = i + 1;
    }
    if (begin < text.size())
        lines.push_back(text.substr(begin));
    return lines;
}

std::wstring IntermediateFileName(const SYSTEMTIME& time)
{
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u%02u%02u%02u%02u%02u%03u", time.wYear, time.wMonth, time.wDay, time.wHour,
             time.wMinute, time.wSecond, time.wMilliseconds);
    return L"SystemInfo_" + std::wstring(stamp) + L".txt";
}

std::wstring NotFinishedLine(DWORD timeoutMs)
{
    return L"systeminfo did not finish within " + std::to_wstring(timeoutMs / 1000) + L" seconds";
}

TReportLines CaptureSystemInfo(DWORD timeoutMs)
{
    const TReportLines output = RunSystemInfo(timeoutMs);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    TReportLines lines{DateTimeToStr(now), L"", L"===== System ====="};
    lines.insert(lines.end(), output.begin(), output.end());
    return lines;
}

void SaveSystemInfo(const std::wstring& gatherFolder, DWORD timeoutMs)
{
    WriteReportFile(gatherFolder + L"SystemInfo.txt", CaptureSystemInfo(timeoutMs));
}
