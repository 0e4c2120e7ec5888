#include "sections/report_lines.h"

#include <windows.h>

#include <stdexcept>

#include "platform/handles.h"
#include "platform/paths.h"

namespace {

// Appends `text` as UTF-16LE bytes.
void AppendUtf16Le(std::string& bytes, const std::wstring& text)
{
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
}

const std::wstring LineEnd = L"\r\n";
const std::string ByteOrderMark("\xFF\xFE", 2);
// The file is written in pieces of about this size, never built whole in memory.
constexpr size_t WritePiece = 1 << 20;

}  // namespace

std::string ReportFileBytes(const TReportLines& lines)
{
    std::string bytes = ByteOrderMark;
    for (const auto& line : lines) {
        AppendUtf16Le(bytes, line);
        AppendUtf16Le(bytes, LineEnd);
    }
    return bytes;
}

void WriteReportFile(const std::wstring& path, const TReportLines& lines)
{
    UniqueFile file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw std::runtime_error("cannot create the report file");
    std::string bytes = ByteOrderMark;
    const auto flush = [&] {
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            throw std::runtime_error("cannot write the report file");
        bytes.clear();
    };
    for (const auto& line : lines) {
        AppendUtf16Le(bytes, line);
        AppendUtf16Le(bytes, LineEnd);
        if (bytes.size() >= WritePiece)
            flush();
    }
    flush();
}
