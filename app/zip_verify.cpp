#include "app/zip_verify.h"

#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win32_error.h"

namespace {

constexpr size_t ReadChunk = 1 << 20;

[[noreturn]] void Fail(const std::string& what)
{
    throw EZipError("archive read-back: " + what);
}

uint16_t Get16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Get32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t Get64(const uint8_t* p)
{
    return static_cast<uint64_t>(Get32(p)) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}

class TArchiveFile {
public:
    explicit TArchiveFile(const std::wstring& path)
        : FFile(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr))
    {
        if (!FFile)
            Fail(ToUtf8(L"cannot open " + path + L": " + SystemErrorText(GetLastError())));
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(FFile.get(), &size))
            Fail("cannot read the archive's size");
        FSize = static_cast<uint64_t>(size.QuadPart);
    }

    uint64_t Size() const { return FSize; }

    // Exactly `size` bytes at `offset`. Small reads are served from a buffer
    // of the archive's next megabyte, so that walking the entries in order
    // costs one read of the file per megabyte, not three per entry.
    void Read(uint64_t offset, void* data, size_t size) const
    {
        if (offset > FSize || size > FSize - offset)
            Fail("a record lies beyond the end of the archive");
        if (size == 0)
            return;
        if (size >= ReadChunk) {
            ReadThrough(offset, data, size);
            return;
        }
        if (offset < FBufferStart || offset + size > FBufferStart + FBuffer.size()) {
            FBuffer.resize(static_cast<size_t>(std::min<uint64_t>(ReadChunk, FSize - offset)));
            ReadThrough(offset, FBuffer.data(), FBuffer.size());
            FBufferStart = offset;
        }
        std::memcpy(data, FBuffer.data() + (offset - FBufferStart), size);
    }

    std::vector<uint8_t> Read(uint64_t offset, size_t size) const
    {
        std::vector<uint8_t> bytes(size);
        Read(offset, bytes.data(), size);
        return bytes;
    }

private:
    void ReadThrough(uint64_t offset, void* data, size_t size) const
    {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(FFile.get(), at, nullptr, FILE_BEGIN))
            Fail("cannot seek in the archive");
        auto* p = static_cast<uint8_t*>(data);
        while (size > 0) {
            const DWORD ask = static_cast<DWORD>(std::min<size_t>(size, ReadChunk));
            DWORD got = 0;
            if (!ReadFile(FFile.get(), p, ask, &got, nullptr) || got != ask)
                Fail("cannot read the archive");
            p += got;
            size -= got;
        }
    }

    UniqueFile FFile;
    uint64_t FSize = 0;
    mutable std::vector<uint8_t> FBuffer;
    mutable uint64_t FBufferStart = 0;
};

struct TDirectory {
    uint64_t Entries = 0;
    uint64_t Offset = 0;
    uint64_t Size = 0;
};

TDirectory ReadEndRecords(const TArchiveFile& file)
{
    // The end record is the last 22 bytes plus a comment of at most 64 KiB.
    const uint64_t tail = std::min<uint64_t>(file.Size(), 22 + 0xFFFF);
    if (tail < 22)
        Fail("too short for an end record");
    const std::vector<uint8_t> bytes = file.Read(file.Size() - tail, static_cast<size_t>(tail));
    size_t at = bytes.size() - 22;
    for (;; --at) {
        if (Get32(&bytes[at]) == ZipEndSignature && at + 22 + Get16(&bytes[at + 20]) == bytes.size())
            break;
        if (at == 0)
            Fail("no end-of-central-directory record");
    }
    const uint8_t* end = &bytes[at];
    TDirectory directory{Get16(end + 10), Get32(end + 16), Get32(end + 12)};
    const uint64_t endOffset = file.Size() - tail + at;
    if (directory.Entries == 0xFFFF || directory.Offset == 0xFFFFFFFF || directory.Size == 0xFFFFFFFF) {
        if (endOffset < 20)
            Fail("no ZIP64 locator");
        const std::vector<uint8_t> locator = file.Read(endOffset - 20, 20);
        if (Get32(locator.data()) != Zip64LocatorSignature)
            Fail("no ZIP64 locator");
        const std::vector<uint8_t> record = file.Read(Get64(&locator[8]), 56);
        if (Get32(record.data()) != Zip64EndSignature)
            Fail("no ZIP64 end record");
        directory = TDirectory{Get64(&record[32]), Get64(&record[48]), Get64(&record[40])};
    }
    if (directory.Offset > file.Size() || directory.Size > file.Size() - directory.Offset)
        Fail("the central directory lies beyond the end of the archive");
    return directory;
}

struct TCentralEntry {
    std::string Name;
    uint16_t Method = 0;
    uint32_t Crc = 0;
    uint64_t CompressedSize = 0;
    uint64_t UncompressedSize = 0;
    uint64_t LocalOffset = 0;
};

// Calls `visit` with each entry of the central directory, in order.
void ForEachCentralEntry(const TArchiveFile& file, const TDirectory& directory,
                         const std::function<void(const TCentralEntry&)>& visit)
{
    const std::vector<uint8_t> bytes = file.Read(directory.Offset, static_cast<size_t>(directory.Size));
    size_t at = 0;
    for (uint64_t i = 0; i < directory.Entries; ++i) {
        if (bytes.size() - at < 46 || Get32(&bytes[at]) != ZipCentralHeaderSignature)
            Fail("a central header is damaged");
        const uint8_t* h = &bytes[at];
        const size_t nameLength = Get16(h + 28), extraLength = Get16(h + 30), commentLength = Get16(h + 32);
        if (bytes.size() - at - 46 < nameLength + extraLength + commentLength)
            Fail("a central header runs past the directory");
        TCentralEntry entry;
        entry.Name.assign(reinterpret_cast<const char*>(h + 46), nameLength);
        entry.Method = Get16(h + 10);
        entry.Crc = Get32(h + 16);
        entry.CompressedSize = Get32(h + 20);
        entry.UncompressedSize = Get32(h + 24);
        entry.LocalOffset = Get32(h + 42);
        // ZIP64 extra field: the 8-byte forms of the fields that read all ones.
        const uint8_t* extra = h + 46 + nameLength;
        for (size_t e = 0; e + 4 <= extraLength;) {
            const uint16_t id = Get16(extra + e), size = Get16(extra + e + 2);
            if (e + 4 + size > extraLength)
                Fail("an extra field runs past its header");
            if (id == 0x0001) {
                const uint8_t* p = extra + e + 4;
                const uint8_t* limit = p + size;
                const auto take = [&](uint64_t& field) {
                    if (field != 0xFFFFFFFF)
                        return;
                    if (limit - p < 8)
                        Fail("a ZIP64 field is missing");
                    field = Get64(p);
                    p += 8;
                };
                take(entry.UncompressedSize);
                take(entry.CompressedSize);
                take(entry.LocalOffset);
            }
            e += 4 + size;
        }
        visit(entry);
        at += 46 + nameLength + extraLength + commentLength;
    }
}

// Checks the entry's local header against the central directory and returns
// the CRC-32 of its data as stored.
uint32_t StoredDataCrc(const TArchiveFile& file, const TCentralEntry& entry)
{
    const std::vector<uint8_t> local = file.Read(entry.LocalOffset, 30);
    if (Get32(local.data()) != ZipLocalHeaderSignature)
        Fail("no local header for " + entry.Name);
    const size_t nameLength = Get16(&local[26]);
    const std::vector<uint8_t> nameBytes = file.Read(entry.LocalOffset + 30, nameLength);
    const std::string name(nameBytes.begin(), nameBytes.end());
    if (name != entry.Name || Get16(&local[8]) != entry.Method)
        Fail("the local header of " + entry.Name + " disagrees with the central directory");
    uint64_t offset = entry.LocalOffset + 30 + nameLength + Get16(&local[28]);
    if (offset > file.Size() || entry.CompressedSize > file.Size() - offset)
        Fail("the data of " + entry.Name + " lies beyond the end of the archive");

    uLong crc = crc32(0, nullptr, 0);
    uint64_t left = entry.CompressedSize;
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(left, ReadChunk)));
    while (left > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
        file.Read(offset, chunk.data(), n);
        crc = crc32(crc, chunk.data(), static_cast<uInt>(n));
        offset += n;
        left -= n;
    }
    return static_cast<uint32_t>(crc);
}

}  // namespace

void VerifyArchive(const std::wstring& path, const std::vector<TZipEntry>& written)
{
    const TArchiveFile file(path);
    const TDirectory directory = ReadEndRecords(file);
    if (directory.Entries != written.size())
        Fail("the archive holds " + std::to_string(directory.Entries) + " entries, " +
             std::to_string(written.size()) + " were written");
    size_t i = 0;
    ForEachCentralEntry(file, directory, [&](const TCentralEntry& found) {
        const TZipEntry& expected = written[i];
        if (found.Name != expected.Name || found.Method != expected.Method || found.Crc != expected.Crc ||
            found.CompressedSize != expected.CompressedSize || found.UncompressedSize != expected.UncompressedSize ||
            found.LocalOffset != expected.LocalHeaderOffset)
            Fail("entry " + std::to_string(i) + " (" + found.Name + ") differs from what was written");
        // Every byte of the entry's data is on disk as it was written.
        if (StoredDataCrc(file, found) != expected.StoredCrc)
            Fail("the data of " + found.Name + " differs from what was written");
        ++i;
    });
}

std::vector<TZipEntry> ReadArchiveEntries(const std::wstring& path)
{
    const TArchiveFile file(path);
    std::vector<TZipEntry> result;
    ForEachCentralEntry(file, ReadEndRecords(file), [&](const TCentralEntry& found) {
        TZipEntry entry;
        entry.Name = found.Name;
        entry.Method = found.Method;
        entry.Crc = found.Crc;
        entry.CompressedSize = found.CompressedSize;
        entry.UncompressedSize = found.UncompressedSize;
        entry.LocalHeaderOffset = found.LocalOffset;
        entry.StoredCrc = StoredDataCrc(file, found);
        result.push_back(std::move(entry));
    });
    return result;
}
