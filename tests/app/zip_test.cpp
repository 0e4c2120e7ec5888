// The archive writer: names, time stamps, header bytes, deflate pieces, sinks,
// and whole archives packed from scratch folders and read back by a small
// reader below that checks every header against the data.
#include <windows.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/zip_archive.h"
#include "app/zip_verify.h"
#include "platform/win32_error.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "tests/support/test_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// ---- A strict reader for the archives under test ----------------------------

uint64_t Get(const Bytes& b, uint64_t at, int size)
{
    if (at + static_cast<uint64_t>(size) > b.size())
        throw std::runtime_error("read past the end at " + std::to_string(at));
    uint64_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = v << 8 | b[static_cast<size_t>(at) + static_cast<size_t>(i)];
    return v;
}

struct TReadEntry {
    std::string Name;
    uint16_t MadeBy = 0, Needed = 0, Flags = 0, Method = 0, Time = 0, Date = 0;
    uint32_t Crc = 0, External = 0;
    uint64_t Compressed = 0, Uncompressed = 0, Offset = 0;
    bool Zip64Extra = false;
    std::string Data;
};

struct TReadArchive {
    std::vector<TReadEntry> Entries;
    bool Zip64End = false;
    std::map<std::string, const TReadEntry*> ByName() const
    {
        std::map<std::string, const TReadEntry*> m;
        for (const auto& e : Entries)
            m[e.Name] = &e;
        return m;
    }
};

std::string Inflate(const Bytes& b, uint64_t at, uint64_t size, uint64_t expected)
{
    std::string out(static_cast<size_t>(expected) + 1, '\0');
    z_stream s{};
    if (inflateInit2(&s, -15) != Z_OK)
        throw std::runtime_error("inflateInit2");
    s.next_in = const_cast<Bytef*>(b.data() + at);
    s.avail_in = static_cast<uInt>(size);
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    const int r = inflate(&s, Z_FINISH);
    const bool whole = s.avail_in == 0;
    out.resize(out.size() - s.avail_out);
    inflateEnd(&s);
    if (r != Z_STREAM_END || !whole)
        throw std::runtime_error("deflate stream broken");
    return out;
}

// Reads the ZIP64 extra field (tag 1) of a header: the values whose classic
// field holds the marker, in the order uncompressed, compressed, offset.
bool ReadZip64Extra(const Bytes& b, uint64_t at, uint64_t size, std::vector<uint64_t*> fields)
{
    const uint64_t end = at + size;
    while (at + 4 <= end) {
        const uint64_t tag = Get(b, at, 2), length = Get(b, at + 2, 2);
        if (tag == 1) {
            uint64_t p = at + 4;
            for (uint64_t* f : fields) {
                if (*f != 0xFFFFFFFF)
                    continue;
                if (p + 8 > at + 4 + length)
                    throw std::runtime_error("short ZIP64 extra field");
                *f = Get(b, p, 8);
                p += 8;
            }
            if (p != at + 4 + length)
                throw std::runtime_error("ZIP64 extra field holds more than the markers ask for");
            return true;
        }
        at += 4 + length;
    }
    for (uint64_t* f : fields)
        if (*f == 0xFFFFFFFF)
            throw std::runtime_error("marker without ZIP64 extra field");
    return false;
}

TReadArchive ReadZip(const Bytes& b)
{
    TReadArchive archive;
    if (b.size() < 22)
        throw std::runtime_error("too short");
    const uint64_t eocd = b.size() - 22;
    if (Get(b, eocd, 4) != 0x06054b50 || Get(b, eocd + 20, 2) != 0)
        throw std::runtime_error("no end record without comment at the end");
    uint64_t count = Get(b, eocd + 10, 2), cdSize = Get(b, eocd + 12, 4), cdOffset = Get(b, eocd + 16, 4);
    if (Get(b, eocd + 8, 2) != count || Get(b, eocd + 4, 4) != 0)
        throw std::runtime_error("multi-disk fields set");
    uint64_t cdEnd = eocd;
    if (eocd >= 20 && Get(b, eocd - 20, 4) == 0x07064b50) {
        archive.Zip64End = true;
        const uint64_t record = Get(b, eocd - 12, 8);
        if (record != eocd - 20 - 56 || Get(b, record, 4) != 0x06064b50 || Get(b, record + 4, 8) != 44)
            throw std::runtime_error("ZIP64 end record misplaced");
        const uint64_t count64 = Get(b, record + 32, 8);
        if (count != 0xFFFF && count != count64)
            throw std::runtime_error("entry counts disagree");
        if (cdSize != 0xFFFFFFFF && cdSize != Get(b, record + 40, 8))
            throw std::runtime_error("directory sizes disagree");
        if (cdOffset != 0xFFFFFFFF && cdOffset != Get(b, record + 48, 8))
            throw std::runtime_error("directory offsets disagree");
        count = count64;
        cdSize = Get(b, record + 40, 8);
        cdOffset = Get(b, record + 48, 8);
        cdEnd = record;
    }
    if (cdOffset + cdSize != cdEnd)
        throw std::runtime_error("central directory does not end at the end records");

    uint64_t at = cdOffset, expectedOffset = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (Get(b, at, 4) != 0x02014b50)
            throw std::runtime_error("bad central header signature");
        TReadEntry e;
        e.MadeBy = static_cast<uint16_t>(Get(b, at + 4, 2));
        e.Needed = static_cast<uint16_t>(Get(b, at + 6, 2));
        e.Flags = static_cast<uint16_t>(Get(b, at + 8, 2));
        e.Method = static_cast<uint16_t>(Get(b, at + 10, 2));
        e.Time = static_cast<uint16_t>(Get(b, at + 12, 2));
        e.Date = static_cast<uint16_t>(Get(b, at + 14, 2));
        e.Crc = static_cast<uint32_t>(Get(b, at + 16, 4));
        e.Compressed = Get(b, at + 20, 4);
        e.Uncompressed = Get(b, at + 24, 4);
        const uint64_t nameLength = Get(b, at + 28, 2), extraLength = Get(b, at + 30, 2);
        if (Get(b, at + 32, 2) != 0 || Get(b, at + 34, 2) != 0)
            throw std::runtime_error("comment or disk set");
        e.External = static_cast<uint32_t>(Get(b, at + 38, 4));
        e.Offset = Get(b, at + 42, 4);
        e.Name.assign(b.begin() + static_cast<std::ptrdiff_t>(at + 46),
                      b.begin() + static_cast<std::ptrdiff_t>(at + 46 + nameLength));
        e.Zip64Extra = ReadZip64Extra(b, at + 46 + nameLength, extraLength,
                                      {&e.Uncompressed, &e.Compressed, &e.Offset});
        at += 46 + nameLength + extraLength;

        // The local header must agree with the central one.
        const uint64_t lh = e.Offset;
        if (lh != expectedOffset)
            throw std::runtime_error("gap or overlap before " + e.Name);
        if (Get(b, lh, 4) != 0x04034b50 || Get(b, lh + 4, 2) != e.Needed || Get(b, lh + 6, 2) != e.Flags ||
            Get(b, lh + 8, 2) != e.Method || Get(b, lh + 10, 2) != e.Time || Get(b, lh + 12, 2) != e.Date ||
            Get(b, lh + 14, 4) != e.Crc)
            throw std::runtime_error("local header disagrees for " + e.Name);
        uint64_t lc = Get(b, lh + 18, 4), lu = Get(b, lh + 22, 4);
        const uint64_t ln = Get(b, lh + 26, 2), le = Get(b, lh + 28, 2);
        if (std::string(b.begin() + static_cast<std::ptrdiff_t>(lh + 30),
                        b.begin() + static_cast<std::ptrdiff_t>(lh + 30 + ln)) != e.Name)
            throw std::runtime_error("local name differs for " + e.Name);
        if ((lc == 0xFFFFFFFF) != (lu == 0xFFFFFFFF))
            throw std::runtime_error("local ZIP64 must carry both sizes");
        ReadZip64Extra(b, lh + 30 + ln, le, {&lu, &lc});
        if (lc != e.Compressed || lu != e.Uncompressed)
            throw std::runtime_error("local sizes disagree for " + e.Name);
        const uint64_t data = lh + 30 + ln + le;
        if (e.Method == 8)
            e.Data = Inflate(b, data, e.Compressed, e.Uncompressed);
        else if (e.Method == 0 && e.Compressed == e.Uncompressed)
            e.Data.assign(b.begin() + static_cast<std::ptrdiff_t>(data),
                          b.begin() + static_cast<std::ptrdiff_t>(data + e.Compressed));
        else
            throw std::runtime_error("unexpected method");
        if (e.Data.size() != e.Uncompressed ||
            crc32(0, reinterpret_cast<const Bytef*>(e.Data.data()), static_cast<uInt>(e.Data.size())) != e.Crc)
            throw std::runtime_error("size or CRC wrong for " + e.Name);
        expectedOffset = data + e.Compressed;
        archive.Entries.push_back(std::move(e));
    }
    if (at != cdOffset + cdSize || expectedOffset != cdOffset)
        throw std::runtime_error("central directory size or data end wrong");
    return archive;
}

// ---- Fixture data ----------------------------------------------------------

std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (auto& c : s)
        c = static_cast<char>(rng());
    return s;
}

// Text-like data that compresses well but not trivially.
std::string LogText(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    const char* words[] = {"scan ", "update ", "engine ", "ok ", "error ", "file ", "C:\\Program Files\\ ", "\r\n"};
    std::string s;
    while (s.size() < size) {
        s += words[rng() % 8];
        s += std::to_string(rng() % 100000);
    }
    s.resize(size);
    return s;
}

void MakeFile(const std::wstring& path, const std::string& bytes, DWORD attributes = 0)
{
    ForceDirectories(ParentFolder(path));
    WriteFileBytes(path, bytes);
    if (attributes) {
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes)) << GetLastError();
    }
}

void SetLocalWriteTime(const std::wstring& path, WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s)
{
    SYSTEMTIME local{};
    local.wYear = y;
    local.wMonth = mo;
    local.wDay = d;
    local.wHour = h;
    local.wMinute = mi;
    local.wSecond = s;
    FILETIME localTime{}, utc{};
    ASSERT_TRUE(SystemTimeToFileTime(&local, &localTime));
    ASSERT_TRUE(LocalFileTimeToFileTime(&localTime, &utc));
    UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr));
    ASSERT_TRUE(file);
    ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &utc));
}

Bytes Pack(const std::wstring& root, TPackOptions options = {})
{
    TMemorySink sink;
    PackFolder(sink, root, options);
    return sink.Bytes();
}

// ---- Names, times, root and log line ---------------------------------------

struct TNameCase {
    const wchar_t* Path;
    UINT CodePage;
    const char* Bytes;
    bool Utf8;
};

class EncodeEntryNameTest : public testing::TestWithParam<TNameCase> {};

TEST_P(EncodeEntryNameTest, ChoosesOemOrUtf8)
{
    const TNameCase& c = GetParam();
    const TEncodedName name = EncodeEntryName(c.Path, c.CodePage);
    EXPECT_EQ(name.Bytes, c.Bytes);
    EXPECT_EQ(name.Utf8, c.Utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Names, EncodeEntryNameTest,
    testing::Values(TNameCase{L"uninstall.txt", 437, "uninstall.txt", false},
                    TNameCase{L"AppPath\\Antivirus\\x.txt", 437, "AppPath/Antivirus/x.txt", false},
                    TNameCase{L"caf\u00e9.txt", 437, "caf\x82.txt", false},
                    TNameCase{L"\u03a9.txt", 437, "\xea.txt", false},
                    // Best fit would give "a"; the round trip refuses it.
                    TNameCase{L"\u0101.txt", 437, "\xc4\x81.txt", true},
                    TNameCase{L"\u65e5\u5fd7.txt", 437, "\xe6\x97\xa5\xe5\xbf\x97.txt", true},
                    TNameCase{L"\u65e5\u5fd7.txt", 936, "\xc8\xd5\xd6\xbe.txt", false},
                    TNameCase{L"log\\\u03a9\U0001F600.txt", 437, "log/\xce\xa9\xf0\x9f\x98\x80.txt", true},
                    TNameCase{L"plain.txt", CP_UTF8, "plain.txt", false},
                    TNameCase{L"caf\u00e9.txt", CP_UTF8, "caf\xc3\xa9.txt", true}));

struct TTimeCase {
    WORD Year, Month, Day, Hour, Minute, Second;
    uint16_t Date, Time;
};

class PackDosDateTimeTest : public testing::TestWithParam<TTimeCase> {};

TEST_P(PackDosDateTimeTest, Packs)
{
    const TTimeCase& c = GetParam();
    SYSTEMTIME t{};
    t.wYear = c.Year;
    t.wMonth = c.Month;
    t.wDay = c.Day;
    t.wHour = c.Hour;
    t.wMinute = c.Minute;
    t.wSecond = c.Second;
    const TDosDateTime packed = PackDosDateTime(t);
    EXPECT_EQ(packed.Date, c.Date);
    EXPECT_EQ(packed.Time, c.Time);
}

INSTANTIATE_TEST_SUITE_P(
    Times, PackDosDateTimeTest,
    testing::Values(TTimeCase{2021, 6, 15, 13, 45, 58, (41 << 9) | (6 << 5) | 15, (13 << 11) | (45 << 5) | 29},
                    TTimeCase{2021, 6, 15, 13, 45, 59, (41 << 9) | (6 << 5) | 15, (13 << 11) | (45 << 5) | 29},
                    TTimeCase{1980, 1, 1, 0, 0, 0, 0x0021, 0x0000},
                    TTimeCase{2107, 12, 31, 23, 59, 58, 0xFF9F, 0xBF7D},
                    TTimeCase{1979, 12, 31, 23, 59, 59, 0x0021, 0x0000},
                    TTimeCase{2108, 1, 1, 0, 0, 0, 0xFF9F, 0xBF7D}));

TEST(ZipRootTest, OneTrailingBackslash)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Temp\\GetInfoDir\\", L"C:\\Temp\\GetInfoDir\\"},
        {L"C:\\Temp\\GetInfoDir", L"C:\\Temp\\GetInfoDir\\"},
        {L"C:\\Temp\\GetInfoDir\\\\", L"C:\\Temp\\GetInfoDir\\"},
        {L"C:\\", L"C:\\"},
    };
    for (const auto& [folder, root] : cases)
        EXPECT_EQ(ZipRoot(folder), root) << folder;
}

TEST(ZipLogLineTest, JoinsWithoutSeparators)
{
    EXPECT_EQ(ZipLogLine(L"C:\\Temp\\GetInfoDir\\", L"C:\\Temp\\Vexlo_Debug_Info.zip", 23),
              L"zip:root=C:\\Temp\\GetInfoDir\\zipName=C:\\Temp\\Vexlo_Debug_Info.zipret=23");
}

// ---- Header bytes ----------------------------------------------------------

TZipEntry SampleEntry()
{
    TZipEntry e;
    e.Name = "a.txt";
    e.Method = 8;
    e.DosTime = 0x1234;
    e.DosDate = 0x5678;
    e.Crc = 0xAABBCCDD;
    e.CompressedSize = 10;
    e.UncompressedSize = 20;
    e.LocalHeaderOffset = 0x01020304;
    e.ExternalAttributes = 0x21;
    return e;
}

std::string Sig(const char* s) { return std::string(s, 4); }

TEST(BuildEntryHeaderTest, ClassicLocalHeaderBytes)
{
    const std::string want = Sig("PK\x03\x04") + std::string("\x14\x00\x02\x00\x08\x00\x34\x12\x78\x56", 10) +
                             std::string("\xDD\xCC\xBB\xAA\x0A\x00\x00\x00\x14\x00\x00\x00\x05\x00\x00\x00", 16) +
                             "a.txt";
    EXPECT_EQ(BuildEntryHeader(SampleEntry(), THeaderKind::Local), B(want));
}

TEST(BuildEntryHeaderTest, ClassicCentralHeaderBytes)
{
    const std::string want = Sig("PK\x01\x02") + std::string("\x14\x00\x14\x00\x02\x00\x08\x00\x34\x12\x78\x56", 12) +
                             std::string("\xDD\xCC\xBB\xAA\x0A\x00\x00\x00\x14\x00\x00\x00\x05\x00\x00\x00", 16) +
                             std::string("\x00\x00\x00\x00\x00\x00\x21\x00\x00\x00\x04\x03\x02\x01", 14) + "a.txt";
    EXPECT_EQ(BuildEntryHeader(SampleEntry(), THeaderKind::Central), B(want));
}

TEST(BuildEntryHeaderTest, Utf8NameWithZip64OffsetInCentralHeader)
{
    TZipEntry e = SampleEntry();
    e.Utf8Name = true;
    e.Zip64Offset = true;
    e.LocalHeaderOffset = 0x1122334455ull;
    const Bytes central = BuildEntryHeader(e, THeaderKind::Central);
    const std::string want = Sig("PK\x01\x02") + std::string("\x2D\x0B\x2D\x00\x02\x08\x08\x00\x34\x12\x78\x56", 12) +
                             std::string("\xDD\xCC\xBB\xAA\x0A\x00\x00\x00\x14\x00\x00\x00\x05\x00\x0C\x00", 16) +
                             std::string("\x00\x00\x00\x00\x00\x00\x21\x00\x00\x00\xFF\xFF\xFF\xFF", 14) + "a.txt" +
                             std::string("\x01\x00\x08\x00\x55\x44\x33\x22\x11\x00\x00\x00", 12);
    EXPECT_EQ(central, B(want));
    // The offset lives only in the central header; the local one has no extra field.
    const Bytes local = BuildEntryHeader(e, THeaderKind::Local);
    EXPECT_EQ(local.size(), 30u + 5u);
    EXPECT_EQ(local[4], 45);
}

TEST(BuildEntryHeaderTest, Zip64SizesInBothHeaders)
{
    TZipEntry e = SampleEntry();
    e.Zip64Sizes = true;
    e.UncompressedSize = 0x100000000ull;
    e.CompressedSize = 0x1FFFFFFFFull;
    const std::string sizes = std::string("\x01\x00\x10\x00", 4) + std::string("\x00\x00\x00\x00\x01\x00\x00\x00", 8) +
                              std::string("\xFF\xFF\xFF\xFF\x01\x00\x00\x00", 8);
    for (THeaderKind kind : {THeaderKind::Local, THeaderKind::Central}) {
        const Bytes h = BuildEntryHeader(e, kind);
        const size_t fixed = kind == THeaderKind::Local ? 30 : 46;
        const size_t sizeAt = kind == THeaderKind::Local ? 18 : 20;
        ASSERT_EQ(h.size(), fixed + 5 + 20);
        EXPECT_EQ(Bytes(h.begin() + static_cast<std::ptrdiff_t>(sizeAt), h.begin() + static_cast<std::ptrdiff_t>(sizeAt + 8)),
                  Bytes(8, 0xFF));
        EXPECT_EQ(Bytes(h.end() - 20, h.end()), B(sizes));
        EXPECT_EQ(h[kind == THeaderKind::Local ? 4 : 6], 45);
    }
}

struct TEndCase {
    uint64_t Count, Offset, Size;
    size_t Length;
    uint16_t CountField;
    uint32_t OffsetField;
};

TEST(BuildEndRecordsTest, Zip64OnlyWhenALimitIsReached)
{
    const TEndCase cases[] = {
        {3, 1000, 150, 22, 3, 1000},
        {0, 0, 0, 22, 0, 0},
        {0xFFFE, 0xFFFFFFFE, 150, 22, 0xFFFE, 0xFFFFFFFE},
        {0xFFFF, 1000, 150, 98, 0xFFFF, 1000},
        {3, 0xFFFFFFFF, 150, 98, 3, 0xFFFFFFFF},
        {3, 0x123456789ull, 150, 98, 3, 0xFFFFFFFF},
    };
    for (const TEndCase& c : cases) {
        const Bytes r = BuildEndRecords(c.Count, c.Offset, c.Size, TZip64Limits{});
        ASSERT_EQ(r.size(), c.Length) << c.Count << " " << c.Offset;
        const uint64_t eocd = r.size() - 22;
        EXPECT_EQ(Get(r, eocd, 4), 0x06054b50u);
        EXPECT_EQ(Get(r, eocd + 10, 2), c.CountField);
        EXPECT_EQ(Get(r, eocd + 12, 4), c.Size);
        EXPECT_EQ(Get(r, eocd + 16, 4), c.OffsetField);
        if (c.Length == 98) {
            EXPECT_EQ(Get(r, 0, 4), 0x06064b50u);
            EXPECT_EQ(Get(r, 32, 8), c.Count);
            EXPECT_EQ(Get(r, 48, 8), c.Offset);
            EXPECT_EQ(Get(r, 56, 4), 0x07064b50u);
            EXPECT_EQ(Get(r, 64, 8), c.Offset + c.Size);  // where the ZIP64 end record starts
        }
    }
}

// ---- Deflate pieces --------------------------------------------------------

TEST(DeflatePieceTest, PiecesFormOneStreamAsSmallAsOne)
{
    const std::string data = LogText(300000, 1) + RandomBytes(70000, 2) + LogText(100000, 3);
    const auto* p = reinterpret_cast<const uint8_t*>(data.data());
    const Bytes whole = DeflatePiece(p, data.size(), nullptr, 0, true);
    for (size_t piece : {size_t{4096}, size_t{40000}, size_t{65536}, size_t{1} << 20}) {
        Bytes joined;
        size_t pieces = 0;
        for (size_t at = 0; at < data.size(); at += piece, ++pieces) {
            const size_t n = std::min(piece, data.size() - at);
            const size_t dict = std::min<size_t>(at, 32768);
            const Bytes part = DeflatePiece(p + at, n, p + at - dict, dict, at + n == data.size());
            joined.insert(joined.end(), part.begin(), part.end());
        }
        EXPECT_EQ(Inflate(joined, 0, joined.size(), data.size()), data) << piece;
        EXPECT_LE(joined.size(), whole.size() + whole.size() / 100 + 8 * pieces) << piece;
        EXPECT_LE(joined.size(), MaxDeflatedSize(data.size(), piece)) << piece;
    }
}

TEST(DeflatePieceTest, EmptyLastPieceAfterDictionaryEndsTheStream)
{
    const std::string data = LogText(5000, 4);
    const auto* p = reinterpret_cast<const uint8_t*>(data.data());
    Bytes joined = DeflatePiece(p, data.size(), nullptr, 0, false);
    const Bytes end = DeflatePiece(nullptr, 0, p, data.size(), true);
    joined.insert(joined.end(), end.begin(), end.end());
    EXPECT_EQ(Inflate(joined, 0, joined.size(), data.size()), data);
}

TEST(MaxDeflatedSizeTest, BoundsIncompressibleData)
{
    const std::string data = RandomBytes(200000, 5);
    const Bytes out = DeflatePiece(reinterpret_cast<const uint8_t*>(data.data()), data.size(), nullptr, 0, true);
    EXPECT_GT(out.size(), data.size());
    EXPECT_LE(out.size(), MaxDeflatedSize(data.size(), 1 << 20));
}

// ---- Sinks and the writer --------------------------------------------------

TEST(FileSinkTest, OverwritesInsideTheBufferAndOnDisk)
{
    TTestFolder folder;
    const std::wstring path = folder / L"sink.bin";
    std::string expected;
    {
        TFileSink sink(path);
        const std::string big = RandomBytes(3 << 20, 6);
        sink.Write("headerXX", 8);
        sink.Write(big.data(), big.size());  // flushes the header to disk
        sink.Write("tailYY", 6);
        sink.Overwrite(8 + big.size() + 4, "tt", 2);   // still buffered
        sink.Overwrite(6, "hh", 2);                    // on disk
        EXPECT_EQ(sink.Position(), 14 + big.size());
        sink.Close();
        expected = "header" + std::string("hh") + big + "tail" + "tt";
    }
    EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(FileSinkTest, UnclosedSinkDeletesItsFile)
{
    TTestFolder folder;
    const std::wstring path = folder / L"partial.zip";
    {
        TFileSink sink(path);
        sink.Write("PK", 2);
        EXPECT_TRUE(FileExists(path));
    }
    EXPECT_FALSE(FileExists(path));
}

TEST(FileSinkTest, CannotCreateRaises)
{
    TTestFolder folder;
    EXPECT_THROW(TFileSink(folder / L"missing\\a.zip"), EZipError);
}

TEST(ZipWriterTest, EmptyArchiveIsOnlyTheEndRecord)
{
    TMemorySink sink;
    TZipWriter writer(sink);
    writer.Finish();
    const std::string want = Sig("PK\x05\x06") + std::string(18, '\0');
    EXPECT_EQ(sink.Bytes(), B(want));
    EXPECT_TRUE(ReadZip(sink.Bytes()).Entries.empty());
}

TEST(ZipWriterTest, DataLargerThanAnnouncedIsRefused)
{
    TMemorySink sink;
    TZip64Limits limits;
    limits.Size = 100;
    TZipWriter writer(sink, limits);
    TZipEntry e;
    e.Name = "x";
    e.Method = 0;
    writer.BeginEntry(e, 10, 10);
    const std::string data(120, 'x');
    writer.WriteData(data.data(), data.size());
    EXPECT_THROW(writer.EndEntry(0, data.size()), EZipError);
}

// ---- Whole folders ---------------------------------------------------------

class PackFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        MakeFile(F / L"uninstall.txt", LogText(20000, 10));
        MakeFile(F / L"AppPath\\Antivirus\\x.txt", "antivirus version 1.2.3");
        MakeFile(F / L"AppPath\\Antivirus\\deep\\y.bin", RandomBytes(5000, 11));
        MakeFile(F / L"empty.log", "");
        MakeFile(F / L"multi.dmp", LogText(50000, 12) + RandomBytes(30000, 13) + LogText(20000, 14));
        MakeFile(F / L"readonly.txt", "read only", FILE_ATTRIBUTE_READONLY);
        MakeFile(F / L"caf\u00e9.txt", "oem name");
        MakeFile(F / L"\u65e5\u5fd7.txt", "utf-8 name");
        MakeFile(F / L"hidden.txt", "hidden", FILE_ATTRIBUTE_HIDDEN);
        MakeFile(F / L"system.dat", "system", FILE_ATTRIBUTE_SYSTEM);
        MakeFile(F / L"HiddenDir\\inner.txt", "inside hidden folder");
        ASSERT_TRUE(SetFileAttributesW((F / L"HiddenDir").c_str(), FILE_ATTRIBUTE_HIDDEN));
        MakeFile(F / L"SystemDir\\inner.txt", "inside system folder");
        ASSERT_TRUE(SetFileAttributesW((F / L"SystemDir").c_str(), FILE_ATTRIBUTE_SYSTEM));
        CreateDirectoryW((F / L"EmptyDir").c_str(), nullptr);
        SetLocalWriteTime(F / L"uninstall.txt", 2021, 6, 15, 13, 45, 58);
    }

    void TearDown() override
    {
        SetFileAttributesW((F / L"readonly.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    }

    static TPackOptions Small(unsigned threads)
    {
        TPackOptions options;
        options.PieceSize = 4096;  // several pieces per larger file
        options.Threads = threads;
        return options;
    }

    TTestFolder F;
    const std::set<std::string> Expected{"uninstall.txt", "AppPath/Antivirus/x.txt", "AppPath/Antivirus/deep/y.bin",
                                         "empty.log",     "multi.dmp",               "readonly.txt",
                                         "caf\x82.txt",   "\xe6\x97\xa5\xe5\xbf\x97.txt"};
};

TEST_F(PackFolderTest, EntriesNamesContentsAndMetadata)
{
    const TReadArchive archive = ReadZip(Pack(F.Path(), Small(2)));
    EXPECT_FALSE(archive.Zip64End);
    std::set<std::string> names;
    for (const TReadEntry& e : archive.Entries)
        names.insert(e.Name);
    EXPECT_EQ(names, Expected);
    ASSERT_EQ(archive.Entries.size(), Expected.size());

    for (const TReadEntry& e : archive.Entries) {
        SCOPED_TRACE(e.Name);
        const bool utf8 = e.Name == "\xe6\x97\xa5\xe5\xbf\x97.txt";
        std::wstring relative = utf8 ? L"\u65e5\u5fd7.txt" : e.Name == "caf\x82.txt" ? L"caf\u00e9.txt"
                                                                                     : std::wstring(e.Name.begin(), e.Name.end());
        std::replace(relative.begin(), relative.end(), L'/', L'\\');
        const std::wstring path = F / relative;
        EXPECT_EQ(e.Data, ReadFileBytes(path));
        EXPECT_EQ(e.External, GetFileAttributesW(path.c_str()));
        EXPECT_FALSE(e.Zip64Extra);
        EXPECT_EQ(e.Needed, 20);
        EXPECT_EQ(e.Flags & ZipFlagUtf8, utf8 ? ZipFlagUtf8 : 0);
        EXPECT_EQ(e.MadeBy >> 8, utf8 ? 11 : 0);
        EXPECT_EQ(e.Method, e.Data.empty() ? 0 : 8);

        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
        const TDosDateTime stamp = DosDateTimeOf(data.ftLastWriteTime);
        EXPECT_EQ(e.Date, stamp.Date);
        EXPECT_EQ(e.Time, stamp.Time);
    }
    const auto byName = archive.ByName();
    EXPECT_EQ(byName.at("uninstall.txt")->Date, (41 << 9) | (6 << 5) | 15);
    EXPECT_EQ(byName.at("uninstall.txt")->Time, (13 << 11) | (45 << 5) | 29);
    EXPECT_EQ(byName.at("readonly.txt")->External & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
}

TEST_F(PackFolderTest, SameBytesWhateverTheThreadCount)
{
    const Bytes one = Pack(F.Path(), Small(1));
    EXPECT_EQ(Pack(F.Path(), Small(3)), one);
    EXPECT_EQ(Pack(F.Path(), Small(8)), one);
}

TEST_F(PackFolderTest, ForcedZip64ReadsBackTheSame)
{
    TPackOptions forced = Small(2);
    forced.Limits = TZip64Limits{1, 1, 1};
    const TReadArchive plain = ReadZip(Pack(F.Path(), Small(2)));
    const TReadArchive big = ReadZip(Pack(F.Path(), forced));
    EXPECT_TRUE(big.Zip64End);
    ASSERT_EQ(big.Entries.size(), plain.Entries.size());
    for (size_t i = 0; i < big.Entries.size(); ++i) {
        const TReadEntry& e = big.Entries[i];
        SCOPED_TRACE(e.Name);
        EXPECT_EQ(e.Name, plain.Entries[i].Name);
        EXPECT_EQ(e.Data, plain.Entries[i].Data);
        // Every entry but an empty first one has something in ZIP64 fields.
        EXPECT_EQ(e.Zip64Extra, !(i == 0 && e.Data.empty()));
        EXPECT_EQ(e.Needed, e.Zip64Extra ? 45 : 20);
    }
}

TEST_F(PackFolderTest, FileThatCannotBeOpenedIsLeftOutWithItsReason)
{
    UniqueFile lock(CreateFileW((F / L"multi.dmp").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    TMemorySink sink;
    TPackOptions options = Small(2);
    std::vector<std::pair<std::wstring, std::wstring>> skipped;
    options.OnSkipped = [&](const std::wstring& path, const std::wstring& reason) { skipped.emplace_back(path, reason); };
    EXPECT_EQ(PackFolder(sink, F.Path(), options), static_cast<int>(Expected.size()) - 1);
    const auto names = ReadZip(sink.Bytes()).ByName();
    EXPECT_EQ(names.count("multi.dmp"), 0u);
    EXPECT_EQ(names.size(), Expected.size() - 1);
    // Every file left out is named with the reason: the held one, and those
    // the archive leaves out by rule (hidden and system files and folders).
    std::map<std::wstring, std::wstring> reasons(skipped.begin(), skipped.end());
    EXPECT_EQ(reasons.size(), 5u);
    EXPECT_EQ(reasons[F / L"multi.dmp"], L"cannot be opened: " + SystemErrorText(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(reasons[F / L"hidden.txt"], L"a hidden or system file, left out");
    EXPECT_EQ(reasons[F / L"system.dat"], L"a hidden or system file, left out");
    EXPECT_EQ(reasons[F / L"HiddenDir"], L"a hidden or system folder, left out with what it holds");
    EXPECT_EQ(reasons[F / L"SystemDir"], L"a hidden or system folder, left out with what it holds");
}

// A tree deeper than MAX_PATH is packed with its relative names.
TEST(PackFolderNamesTest, DeepTrees)
{
    TTestFolder folder;
    std::wstring deep = L"";
    while ((folder.Path() + deep).size() < 320)
        deep += L"a_rather_long_folder_name\\";
    ASSERT_TRUE(ForceDirectories(folder / deep));
    WriteFileBytes(ExtendedLengthPath(folder / (deep + L"deep.txt")), "deep");
    WriteFileBytes(folder / L"top.txt", "top");

    TMemorySink sink;
    EXPECT_EQ(PackFolder(sink, folder.Path(), TPackOptions{}), 2);
    const auto names = ReadZip(sink.Bytes()).ByName();
    std::string deepName(deep.begin(), deep.end());
    std::replace(deepName.begin(), deepName.end(), '\\', '/');
    ASSERT_EQ(names.count(deepName + "deep.txt"), 1u);
    EXPECT_EQ(names.at(deepName + "deep.txt")->Data, "deep");
    EXPECT_EQ(names.at("top.txt")->Data, "top");
}

TEST_F(PackFolderTest, ZipFileWritesTheArchiveAndNeverPacksItself)
{
    TTestFolder out;
    const std::wstring outside = out / L"Vexlo_Debug_Info.zip";
    EXPECT_EQ(ZipFile(F.Path(), outside), static_cast<int>(Expected.size()));
    const std::string bytes = ReadFileBytes(outside);
    EXPECT_EQ(ReadZip(B(bytes)).Entries.size(), Expected.size());

    const std::wstring inside = F / L"AppPath\\inside.zip";
    EXPECT_EQ(ZipFile(F.Path(), inside), static_cast<int>(Expected.size()));
    EXPECT_EQ(ReadZip(B(ReadFileBytes(inside))).ByName().count("AppPath/inside.zip"), 0u);
}

TEST(ZipFileTest, ArchiveInMissingFolderRaisesAndLeavesNothing)
{
    TTestFolder folder;
    MakeFile(folder / L"a.txt", "a");
    const std::wstring archive = folder / L"missing\\out.zip";
    EXPECT_THROW(ZipFile(folder.Path(), archive), EZipError);
    EXPECT_FALSE(FileExists(archive));
}

// The read-back finds what a damaged disk or a short copy would leave.
TEST(ZipFileTest, TheReadBackFindsDamageAndTruncation)
{
    TTestFolder folder, out;
    MakeFile(folder / L"a.txt", LogText(20000, 3));
    MakeFile(folder / L"b.bin", RandomBytes(4000, 4));
    const std::wstring archive = out / L"good.zip";
    std::vector<TZipEntry> written;
    ASSERT_EQ(ZipFile(folder.Path(), archive, &written), 2);
    EXPECT_NO_THROW(VerifyArchive(archive, written));
    EXPECT_EQ(ReadArchiveEntries(archive).size(), 2u);
    const std::string good = ReadFileBytes(archive);

    std::string damaged = good;
    damaged[static_cast<size_t>(written[0].LocalHeaderOffset) + 30 + written[0].Name.size() + 5] ^= 0x55;
    WriteFileBytes(out / L"damaged.zip", damaged);
    EXPECT_THROW(VerifyArchive(out / L"damaged.zip", written), EZipError);

    WriteFileBytes(out / L"short.zip", good.substr(0, good.size() / 2));
    EXPECT_THROW(VerifyArchive(out / L"short.zip", written), EZipError);
    WriteFileBytes(out / L"empty.zip", "");
    EXPECT_THROW(VerifyArchive(out / L"empty.zip", written), EZipError);

    std::vector<TZipEntry> other = written;
    other.pop_back();
    EXPECT_THROW(VerifyArchive(archive, other), EZipError);
}

TEST(ZipFileTest, EmptyFolderGivesEmptyArchive)
{
    TTestFolder folder, out;
    const std::wstring archive = out / L"empty.zip";
    EXPECT_EQ(ZipFile(folder.Path(), archive), 0);
    EXPECT_EQ(ReadFileBytes(archive), Sig("PK\x05\x06") + std::string(18, '\0'));
}

}  // namespace
