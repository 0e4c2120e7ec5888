#include "app/diagnostic_log.h"

#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/process_lifetime.h"
#include "platform/text.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

bool LogEnabled = true;

namespace {

// P for n = 0, otherwise P with its extension replaced by "_n.log".
std::wstring NumberedName(const std::wstring& path, int n)
{
    if (n == 0)
        return path;
    std::wstring base = path;
    const auto dot = base.find_last_of(L'.');
    const auto slash = base.find_last_of(L"\\/");
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash))
        base.resize(dot);
    return base + L"_" + std::to_wstring(n) + L".log";
}

bool WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

std::wstring LocaleTimeSeparator()
{
    wchar_t separator[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 8) > 1)
        return separator;
    return L":";
}

// Gives up after this many numbered names; a log that cannot be opened loses the line.
constexpr int MaxLogCandidates = 1000;

}  // namespace

std::wstring FormatLogTimeStamp(const SYSTEMTIME& t, const std::wstring& sep)
{
    wchar_t date[16];
    wchar_t time[16];
    swprintf(date, 16, L"%04u-%02u-%02u ", t.wYear, t.wMonth, t.wDay);
    swprintf(time, 16, L".%03u  ", t.wMilliseconds);
    wchar_t hh[4], mm[4], ss[4];
    swprintf(hh, 4, L"%02u", t.wHour);
    swprintf(mm, 4, L"%02u", t.wMinute);
    swprintf(ss, 4, L"%02u", t.wSecond);
    return std::wstring(date) + hh + sep + mm + sep + ss + time;
}

void TrimLogFile(const std::wstring& path, LONG limit)
{
    try {
        if (limit < 0)
            return;
        UniqueFile file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return;
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= limit)
            return;
        std::vector<char> tail(static_cast<size_t>(limit));
        LARGE_INTEGER from{};
        from.QuadPart = size.QuadPart - limit;
        DWORD read = 0;
        if (!SetFilePointerEx(file.get(), from, nullptr, FILE_BEGIN) ||
            !ReadFile(file.get(), tail.data(), static_cast<DWORD>(limit), &read, nullptr) ||
            read != static_cast<DWORD>(limit))
            return;
        LARGE_INTEGER zero{};
        if (!SetFilePointerEx(file.get(), zero, nullptr, FILE_BEGIN))
            return;
        if (WriteAll(file.get(), tail.data(), read))
            SetEndOfFile(file.get());
    } catch (...) {
        // A log that cannot be trimmed is still written to.
    }
}

TLogObj::TLogObj(const std::wstring& path) : FModuleName(GetModuleName()), FFileName(path)
{
    TrimLogFile(path, LogMaxSize);
    for (int n = 0; n < MaxLogCandidates; ++n) {
        const std::wstring candidate = NumberedName(path, n);
        if (GetFileAttributesW(ExtendedLengthPath(candidate).c_str()) == INVALID_FILE_ATTRIBUTES) {
            const std::wstring folder = ParentFolder(candidate);
            if (!folder.empty())
                ForceDirectories(folder);
            UniqueFile created(CreateFileW(ExtendedLengthPath(candidate).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!created && GetLastError() != ERROR_FILE_EXISTS)
                throw std::runtime_error("cannot create the log file");
        }
        FStream.reset(CreateFileW(ExtendedLengthPath(candidate).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (FStream) {
            FFileName = candidate;
            break;
        }
    }
    if (!FStream)
        throw std::runtime_error("cannot open the log file");
    LARGE_INTEGER size{};
    GetFileSizeEx(FStream.get(), &size);
    FSize = static_cast<LONG>(size.QuadPart);
    LARGE_INTEGER zero{};
    SetFilePointerEx(FStream.get(), zero, nullptr, FILE_END);
}

TLogObj::~TLogObj()
{
    FStream.reset();
    if (FSize == 0)
        DeleteFileW(ExtendedLengthPath(FFileName).c_str());
}

void TLogObj::Add(const std::wstring& text, bool detail)
{
    std::lock_guard<std::mutex> guard(FLock);
    WriteLine(text, detail);
}

void TLogObj::WriteLine(const std::wstring& text, bool detail)
{
    if (detail && !FileExists(ParentFolder(FModuleName) + L"detaillog.ldt"))
        return;
    if (FSize == 0) {
        static const unsigned char bom[2] = {0xFF, 0xFE};
        if (!WriteAll(FStream.get(), bom, 2))
            throw std::runtime_error("log write failed");
        FSize = 2;
    } else if (FSize % 2 != 0) {
        // An earlier writer stopped in the middle of a character: one zero
        // byte completes it, so that every line after it reads as text again.
        static const unsigned char pad = 0;
        if (!WriteAll(FStream.get(), &pad, 1))
            throw std::runtime_error("log write failed");
        FSize += 1;
    }
    std::wstring line;
    if (FTimeStamp) {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        line = FormatLogTimeStamp(now, LocaleTimeSeparator());
    }
    line += text;
    line += L"\r\n";
    const DWORD bytes = static_cast<DWORD>(line.size() * sizeof(wchar_t));
    if (!WriteAll(FStream.get(), line.data(), bytes))
        throw std::runtime_error("log write failed");
    FSize += static_cast<LONG>(bytes);
}

void TLogManage::SetFileName(const std::wstring& path)
{
    std::lock_guard<std::mutex> guard(FLock);
    FFileName = path;
    if (FLog && !SameText(FLog->FileName(), path))
        FLog.reset();
}

void TLogManage::Add(const std::wstring& text, bool detail)
{
    std::lock_guard<std::mutex> guard(FLock);
    try {
        if (FLog) {
            TrimLogFile(FLog->FileName(), FMaxSize);
        } else {
            FLog = std::make_unique<TLogObj>(FFileName);
            FLog->FTimeStamp = FTimeStamp;
            FLog->FMaxSize = FMaxSize;
        }
        FLog->Add(text, detail);
        if (FCloseAfterWrite)
            FLog.reset();
    } catch (...) {
        FLog.reset();
    }
}

namespace {
// Never destroyed: a thread may still log while the process ends.
TLogManage& LogManager()
{
    static ProcessLifetime<TLogManage> manager;
    return manager.get();
}
}  // namespace

void WriteLog(const std::wstring& text)
{
    if (!LogEnabled)
        return;
    try {
        LogManager().Add(text, false);
    } catch (...) {
    }
}

void SetLogFileName(const std::wstring& path)
{
    try {
        LogManager().SetFileName(path);
    } catch (...) {
    }
}
