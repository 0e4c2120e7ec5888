#include "platform/file_crc32.h"

#include <windows.h>

#include <array>

#include "platform/handles.h"
#include "platform/paths.h"

namespace {

constexpr std::array<uint32_t, 256> MakeTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> Table = MakeTable();
constexpr uint64_t ViewSize = 1u << 20;

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* data, size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i)
        crc = Table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint32_t Crc32(const void* data, size_t size)
{
    return ~Crc32Update(0xFFFFFFFFu, data, size);
}

std::optional<uint32_t> FileCrc32(const std::wstring& path)
{
    const UniqueFile file(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return std::nullopt;
    const UniqueHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping)
        return std::nullopt;
    const auto total = static_cast<uint64_t>(size.QuadPart);
    uint32_t crc = 0xFFFFFFFFu;
    for (uint64_t offset = 0; offset < total; offset += ViewSize) {
        const uint64_t length = total - offset < ViewSize ? total - offset : ViewSize;
        const UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                                            static_cast<DWORD>(offset), static_cast<SIZE_T>(length)));
        if (!view)
            return std::nullopt;
        crc = Crc32Update(crc, view.get(), static_cast<size_t>(length));
    }
    return ~crc;
}
