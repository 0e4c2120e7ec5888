#pragma once
// The report archive: packs the gather folder into one ZIP file (PKWARE APPNOTE)
// whose entries are deflated at level 9 with zlib.
//
// Layers, bottom up:
//   - byte sinks: TMemorySink (tests) and TFileSink (runs), both able to
//     overwrite bytes already written, which is how a local header gets its CRC
//     and sizes after the entry's data without a data descriptor;
//   - plain functions that build the bytes of headers and end records, encode
//     names and pack DOS time stamps;
//   - TZipWriter: local headers, entry data, central directory (kept in memory)
//     and end records; ZIP64 is decided per entry and for the archive;
//   - PackFolder: walks a folder and feeds the writer as it walks, compressing
//     pieces of large files and runs of small ones on worker threads while
//     writing them in walk order;
//   - ZipFile: the entry point the gathering driver calls.
#include <windows.h>

#include "platform/handles.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Raised when the archive cannot be created or written.
class EZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ---- Building blocks ----------------------------------------------------

// Values at or above these limits do not fit the classic fields and go to ZIP64
// records. Real archives use the defaults; tests lower them.
struct TZip64Limits {
    uint64_t Size = 0xFFFFFFFF;     // compressed or uncompressed size of an entry, central directory size
    uint64_t Offset = 0xFFFFFFFF;   // local header offset, central directory offset
    uint64_t Entries = 0xFFFF;      // number of entries
};

// Everything the local and the central header of one entry carry.
struct TZipEntry {
    std::string Name;            // encoded bytes, '/' separated
    bool Utf8Name = false;       // flag bit 11 and host system NTFS (11)
    uint16_t Method = 8;         // 8 deflate, 0 stored
    uint16_t DosTime = 0;
    uint16_t DosDate = 0;
    uint32_t Crc = 0;
    uint64_t CompressedSize = 0;
    uint64_t UncompressedSize = 0;
    uint64_t LocalHeaderOffset = 0;
    uint32_t ExternalAttributes = 0;  // the file's Windows attributes
    bool Zip64Sizes = false;     // both sizes live in the ZIP64 extra field
    bool Zip64Offset = false;    // the offset lives in the ZIP64 extra field (central header)
    // Not part of the format: the CRC-32 of the entry's data as stored (the
    // deflated bytes), which the read-back compares with what is on disk.
    uint32_t StoredCrc = 0;
};

enum class THeaderKind { Local, Central };

// Record signatures of the format.
constexpr uint32_t ZipLocalHeaderSignature = 0x04034b50;
constexpr uint32_t ZipCentralHeaderSignature = 0x02014b50;
constexpr uint32_t ZipEndSignature = 0x06054b50;
constexpr uint32_t Zip64EndSignature = 0x06064b50;
constexpr uint32_t Zip64LocatorSignature = 0x07064b50;

constexpr uint16_t ZipFlagMaxCompression = 0x0002;  // deflate at level 9
constexpr uint16_t ZipFlagUtf8 = 0x0800;

uint16_t ZipVersionNeeded(const TZipEntry& entry);  // 20, or 45 with ZIP64 fields
uint16_t ZipVersionMadeBy(const TZipEntry& entry);  // host byte 11 for UTF-8 names, else 0 (MS-DOS)
uint16_t ZipFlags(const TZipEntry& entry);

// The header of one entry; one builder serves both kinds.
std::vector<uint8_t> BuildEntryHeader(const TZipEntry& entry, THeaderKind kind);
// ZIP64 end record and locator when needed, then the end-of-central-directory record.
std::vector<uint8_t> BuildEndRecords(uint64_t entryCount, uint64_t directoryOffset,
                                     uint64_t directorySize, const TZip64Limits& limits);

struct TEncodedName {
    std::string Bytes;
    bool Utf8 = false;
};
// Entry name from a path relative to the root ('\' becomes '/'): the bytes in
// oemCodePage when the name converts there and back unchanged (no best-fit
// substitutes), otherwise UTF-8. Where the OEM code page is UTF-8 itself, names
// beyond ASCII are marked as UTF-8.
TEncodedName EncodeEntryName(const std::wstring& relativePath, UINT oemCodePage);

struct TDosDateTime {
    uint16_t Date = 0;
    uint16_t Time = 0;
};
// MS-DOS date and time of a local time, seconds rounded down to even; times
// before 1980 give 1980-01-01 00:00:00 and times after 2107 give 2107-12-31 23:59:58.
TDosDateTime PackDosDateTime(const SYSTEMTIME& local);
// The same for a UTC file time, converted to local time first.
TDosDateTime DosDateTimeOf(const FILETIME& utc);

// The gather folder without its trailing backslashes plus exactly one backslash.
std::wstring ZipRoot(const std::wstring& gatherFolder);
// "zip:root=" + root + "zipName=" + archive + "ret=" + count.
std::wstring ZipLogLine(const std::wstring& root, const std::wstring& archivePath, int count);

// Upper bound of the deflated size of `size` bytes cut into pieces of pieceSize.
uint64_t MaxDeflatedSize(uint64_t size, uint64_t pieceSize);

// One piece of a raw deflate stream (level 9): primed with the bytes that
// precede it (up to 32 KiB), ended with a sync flush so that pieces concatenate
// into one stream, or with the stream's end when last is true.
std::vector<uint8_t> DeflatePiece(const uint8_t* data, size_t size, const uint8_t* dictionary,
                                  size_t dictionarySize, bool last);

// Where the archive's bytes go.
class TByteSink {
public:
    virtual ~TByteSink() = default;
    virtual void Write(const void* data, size_t size) = 0;
    // Replaces bytes written earlier; the range must lie within what was written.
    virtual void Overwrite(uint64_t offset, const void* data, size_t size) = 0;
    virtual uint64_t Position() const = 0;
};

class TMemorySink : public TByteSink {
public:
    void Write(const void* data, size_t size) override;
    void Overwrite(uint64_t offset, const void* data, size_t size) override;
    uint64_t Position() const override { return FBytes.size(); }
    const std::vector<uint8_t>& Bytes() const { return FBytes; }

private:
    std::vector<uint8_t> FBytes;
};

// A new file (an existing one is replaced), opened without sharing and written
// through a buffer. Raises EZipError when the file cannot be created or written.
// Unless Close succeeded, the destructor deletes the file.
class TFileSink : public TByteSink {
public:
    explicit TFileSink(const std::wstring& path);
    ~TFileSink() override;
    TFileSink(const TFileSink&) = delete;
    TFileSink& operator=(const TFileSink&) = delete;

    void Write(const void* data, size_t size) override;
    void Overwrite(uint64_t offset, const void* data, size_t size) override;
    uint64_t Position() const override { return FFlushed + FBuffer.size(); }
    void Close();

private:
    void Flush();
    void WriteThrough(const void* data, size_t size);
    void Seek(uint64_t offset);

    std::wstring FPath;
    UniqueFile FFile;
    bool FClosed = false;
    std::vector<uint8_t> FBuffer;
    uint64_t FFlushed = 0;
};

// Writes entries one after another: BeginEntry, WriteData..., EndEntry; Finish
// writes the central directory and end records.
class TZipWriter {
public:
    explicit TZipWriter(TByteSink& sink, TZip64Limits limits = {});

    // Writes the local header. Takes name, method, time and attributes from
    // entry; the upper bounds of the data's uncompressed and compressed sizes
    // decide whether the sizes need ZIP64.
    void BeginEntry(const TZipEntry& entry, uint64_t maxUncompressed, uint64_t maxCompressed);
    void WriteData(const void* data, size_t size);
    void EndEntry(uint32_t crc, uint64_t uncompressedSize);
    void Finish();

    // Hands the entries over (once Finish was called): the writer keeps none.
    std::vector<TZipEntry> ReleaseEntries() { return std::move(FEntries); }

private:
    TByteSink& FSink;
    TZip64Limits FLimits;
    std::vector<TZipEntry> FEntries;
    TZipEntry FCurrent;
    uint64_t FDataStart = 0;
    bool FInEntry = false;
};

struct TPackOptions {
    TZip64Limits Limits;
    unsigned Threads = 0;            // 0: one per processor (at most 16)
    size_t PieceSize = 1024 * 1024;  // files are deflated in pieces of this size
    std::wstring SkipPath;           // a file never packed (the archive itself)
    // Told of every file or folder left out because it could not be read
    // (path, reason), so that nothing is dropped without a trace.
    std::function<void(const std::wstring&, const std::wstring&)> OnSkipped;
};

// Packs the files below root into sink and returns how many were packed;
// `entries` (may be null) receives what was written, for the read-back.
int PackFolder(TByteSink& sink, const std::wstring& root, const TPackOptions& options,
               std::vector<TZipEntry>* entries = nullptr);

// Packs every file below gatherFolder (hidden and system files and folders left
// out) into a new archive at archivePath, logs
// "zip:root=<folder>\zipName=<archive>ret=<count>" and returns the count. On a
// failure the partial archive is deleted, nothing is logged and EZipError is raised.
// The archive counts as made only once it was closed and read back: every
// entry's data inflated and its CRC-32 and sizes compared with what was written.
int ZipFile(const std::wstring& gatherFolder, const std::wstring& archivePath,
            std::vector<TZipEntry>* entries = nullptr);
