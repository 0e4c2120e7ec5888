#include "app/zip_archive.h"

#include "app/diagnostic_log.h"
#include "app/log_words.h"
#include "app/zip_verify.h"
#include "platform/folder_walk.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win32_error.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace {

constexpr uint16_t Zip64ExtraTag = 0x0001;
constexpr uint16_t VersionClassic = 20;
constexpr uint16_t VersionZip64 = 45;
constexpr uint16_t HostMsDos = 0;
constexpr uint16_t HostNtfs = 11;
constexpr size_t DeflateWindow = 32 * 1024;

// Little-endian appender.
class TBytes {
public:
    explicit TBytes(std::vector<uint8_t>& out) : FOut(out) {}
    void U16(uint16_t v) { Put(v, 2); }
    void U32(uint32_t v) { Put(v, 4); }
    void U64(uint64_t v) { Put(v, 8); }
    void Raw(const std::string& s) { FOut.insert(FOut.end(), s.begin(), s.end()); }

private:
    void Put(uint64_t v, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            FOut.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    std::vector<uint8_t>& FOut;
};

uint32_t Field32(uint64_t value, bool inZip64)
{
    return inZip64 ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
}

std::wstring LastErrorText(const wchar_t* what, const std::wstring& path)
{
    return std::wstring(what) + L" " + path + L": " + SystemErrorText(GetLastError());
}

[[noreturn]] void Fail(const std::wstring& message)
{
    throw EZipError(ToUtf8(message));
}

// ---- Compression ---------------------------------------------------------

// A raw deflate stream at level 9 that is reset for every piece.
class TDeflater {
public:
    TDeflater()
    {
        if (deflateInit2(&FStream, 9, Z_DEFLATED, -15, MAX_MEM_LEVEL, Z_DEFAULT_STRATEGY) != Z_OK)
            throw EZipError("deflateInit2 failed");
    }
    ~TDeflater() { deflateEnd(&FStream); }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;

    // Deflates one piece and appends its bytes to `out`.
    void Piece(const uint8_t* data, size_t size, const uint8_t* dictionary, size_t dictionarySize, bool last,
               std::vector<uint8_t>& out)
    {
        if (size > UINT_MAX || dictionarySize > UINT_MAX)
            throw EZipError("deflate piece too large");
        deflateReset(&FStream);
        if (dictionarySize > 0 &&
            deflateSetDictionary(&FStream, dictionary, static_cast<uInt>(dictionarySize)) != Z_OK)
            throw EZipError("deflateSetDictionary failed");
        const size_t start = out.size();
        out.resize(start + deflateBound(&FStream, static_cast<uLong>(size)) + 64);
        FStream.next_in = const_cast<Bytef*>(data);
        FStream.avail_in = static_cast<uInt>(size);
        FStream.next_out = out.data() + start;
        FStream.avail_out = static_cast<uInt>(out.size() - start);
        const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
        for (;;) {
            const int result = deflate(&FStream, flush);
            if (result == Z_STREAM_ERROR)
                throw EZipError("deflate failed");
            const bool done = last ? result == Z_STREAM_END
                                   : FStream.avail_in == 0 && FStream.avail_out != 0;
            if (done)
                break;
            const size_t used = out.size() - FStream.avail_out;
            out.resize(start + (out.size() - start) * 2);
            FStream.next_out = out.data() + used;
            FStream.avail_out = static_cast<uInt>(out.size() - used);
        }
        out.resize(out.size() - FStream.avail_out);
    }

private:
    z_stream FStream{};
};

// ---- The packing pipeline --------------------------------------------------
//
// The walk feeds the pipeline as it goes, so that no list of the whole tree is
// kept. The packing thread opens the files in walk order and reads them into
// jobs of at most one piece's worth of data: a piece of a large file (each file
// is cut at the same offsets whatever else happens, so the archive's bytes do
// not depend on the thread count), or many small files together, so that one
// hand-over to a worker serves many files. Workers compress each segment of a
// job on its own; the packing thread writes the results in order.

struct TEntryPlan {
    TZipEntry Header;
    uint64_t MaxUncompressed = 0;
    uint64_t MaxCompressed = 0;
};

// One stretch of one file within a job: a whole small file or one piece.
struct TSegment {
    std::shared_ptr<const TEntryPlan> Entry;
    bool First = false;
    bool Last = false;
    size_t Offset = 0;                // where its bytes lie in the job's input
    size_t InputSize = 0;
    std::vector<uint8_t> Dictionary;  // the 32 KiB before it in its file
    // Results, valid once the job is done.
    size_t OutputOffset = 0;          // where its bytes lie in the job's output
    size_t OutputSize = 0;
    uint32_t Crc = 0;
};

// A job's input and output are one buffer each, not one per file: many small
// allocations that outlive each other would scatter the heap, and the archive
// of a large tree would then take memory in proportion to its files.
struct TJob {
    std::vector<TSegment> Segments;
    std::vector<uint8_t> Input;   // the segments' bytes one after another; released once compressed
    std::vector<uint8_t> Output;  // the segments' results one after another
    bool Done = false;            // under the pool's lock
    std::exception_ptr Error;
};

// Small files that share one job: at most this many.
constexpr size_t MaxSegmentsPerJob = 256;

void CompressJob(TDeflater& deflater, TJob& job)
{
    // Room for deflateBound's worst case of every segment, so that the output
    // is allocated once.
    size_t room = 0;
    for (const TSegment& segment : job.Segments)
        room += segment.InputSize + (segment.InputSize >> 3) + (segment.InputSize >> 6) + 128;
    job.Output.reserve(room);
    for (TSegment& segment : job.Segments) {
        const uint8_t* data = job.Input.data() + segment.Offset;
        segment.Crc = static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(segment.InputSize)));
        segment.OutputOffset = job.Output.size();
        if (segment.Entry->Header.Method == 0)
            job.Output.insert(job.Output.end(), data, data + segment.InputSize);
        else
            deflater.Piece(data, segment.InputSize, segment.Dictionary.data(), segment.Dictionary.size(),
                           segment.Last, job.Output);
        segment.OutputSize = job.Output.size() - segment.OutputOffset;
        segment.Dictionary = {};
    }
    job.Input = {};
}

class TDeflatePool {
public:
    explicit TDeflatePool(unsigned threads)
    {
        try {
            for (unsigned i = 0; i < threads; ++i)
                FThreads.emplace_back([this] { Run(); });
        } catch (...) {
            Stop();
            throw;
        }
    }
    ~TDeflatePool() { Stop(); }
    TDeflatePool(const TDeflatePool&) = delete;
    TDeflatePool& operator=(const TDeflatePool&) = delete;

    void Submit(std::shared_ptr<TJob> job)
    {
        {
            std::lock_guard<std::mutex> lock(FLock);
            FQueue.push_back(std::move(job));
        }
        FWork.notify_one();
    }

    void Wait(const TJob& job)
    {
        std::unique_lock<std::mutex> lock(FLock);
        FDone.wait(lock, [&job] { return job.Done; });
        if (job.Error)
            std::rethrow_exception(job.Error);
    }

private:
    void Stop()
    {
        {
            std::lock_guard<std::mutex> lock(FLock);
            FStop = true;
        }
        FWork.notify_all();
        for (std::thread& thread : FThreads)
            if (thread.joinable())
                thread.join();
    }

    void Run()
    {
        std::unique_ptr<TDeflater> deflater;
        for (;;) {
            std::shared_ptr<TJob> job;
            {
                std::unique_lock<std::mutex> lock(FLock);
                FWork.wait(lock, [this] { return FStop || !FQueue.empty(); });
                if (FStop)
                    return;
                job = std::move(FQueue.front());
                FQueue.pop_front();
            }
            try {
                if (!deflater)
                    deflater = std::make_unique<TDeflater>();
                CompressJob(*deflater, *job);
            } catch (...) {
                job->Error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(FLock);
                job->Done = true;
            }
            FDone.notify_all();
        }
    }

    std::mutex FLock;
    std::condition_variable FWork;
    std::condition_variable FDone;
    std::deque<std::shared_ptr<TJob>> FQueue;
    bool FStop = false;
    std::vector<std::thread> FThreads;
};

// Opens the files it is given one after another and reads them into jobs. A
// file is read up to the size it had when it was opened; a file that cannot be
// opened is left out, and a read error ends the file's data where it happened.
class TPieceReader {
public:
    TPieceReader(size_t pieceSize, const std::function<void(const std::wstring&, const std::wstring&)>& onSkipped)
        : FPieceSize(pieceSize), FOemCodePage(GetOEMCP()), FOnSkipped(onSkipped)
    {
    }

    void Add(const TWalkItem& item) { FPending.push_back(item); }

    // The next full job. Null when it needs more files first; with `finishing`
    // (no more files will come) the last, partly filled job, then null.
    std::shared_ptr<TJob> Next(bool finishing)
    {
        for (;;) {
            if (!FFile && !OpenNext())
                break;
            const size_t want = static_cast<size_t>(std::min<uint64_t>(FPieceSize, FRemaining));
            if (FJob && (FJob->Input.size() + want > FPieceSize || FJob->Segments.size() >= MaxSegmentsPerJob))
                return std::exchange(FJob, nullptr);
            if (!FJob) {
                FJob = std::make_shared<TJob>();
                FJob->Input.reserve(FPieceSize);
            }
            ReadSegment(*FJob, want);
        }
        if (finishing || (FJob && FJob->Segments.size() >= MaxSegmentsPerJob))
            return std::exchange(FJob, nullptr);
        return nullptr;
    }

private:
    void ReadSegment(TJob& job, size_t want)
    {
        TSegment segment;
        segment.Entry = FPlan;
        segment.First = std::exchange(FFirst, false);
        segment.Offset = job.Input.size();
        job.Input.resize(segment.Offset + want);
        uint8_t* const into = job.Input.data() + segment.Offset;
        size_t got = 0;
        while (got < want) {
            const DWORD ask = static_cast<DWORD>(std::min<size_t>(want - got, 1u << 30));
            DWORD read = 0;
            if (!ReadFile(FFile.get(), into + got, ask, &read, nullptr) || read == 0)
                break;
            got += read;
        }
        if (got < want)
            Skipped(FPath, L"read error after " + std::to_wstring(FRead + got) + L" bytes, the rest left out: " +
                               SystemErrorText(GetLastError()));
        FRead += got;
        job.Input.resize(segment.Offset + got);
        segment.InputSize = got;
        FRemaining -= got;
        segment.Last = FRemaining == 0 || got < want;

        segment.Dictionary = std::move(FTail);
        FTail.clear();
        if (segment.Last) {
            FFile.reset();
            FPlan.reset();
        } else {
            // The last 32 KiB of the stream so far prime the next piece.
            if (got < DeflateWindow) {
                const size_t keep = std::min(segment.Dictionary.size(), DeflateWindow - got);
                FTail.assign(segment.Dictionary.end() - static_cast<std::ptrdiff_t>(keep), segment.Dictionary.end());
            }
            const size_t take = std::min(got, DeflateWindow);
            FTail.insert(FTail.end(), into + got - take, into + got);
        }
        job.Segments.push_back(std::move(segment));
    }

    bool OpenNext()
    {
        while (!FPending.empty()) {
            const TWalkItem item = std::move(FPending.front());
            FPending.pop_front();
            TEncodedName name = EncodeEntryName(item.RelativePath, FOemCodePage);
            if (name.Bytes.empty() || name.Bytes.size() > 0xFFFF) {
                Skipped(item.Path, L"its name cannot be stored in the archive");
                continue;
            }
            // The literal form: a file named like a device (con, nul, ...) is
            // opened as the file it is.
            UniqueFile file(CreateFileW(LiteralPath(item.Path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
            // Size and time from the open file; the attributes as the walk found
            // them. (GetFileInformationByHandle would ask for the volume's
            // serial number too, which costs more than the rest of a small file.)
            LARGE_INTEGER length{};
            FILETIME written{};
            if (!file || !GetFileSizeEx(file.get(), &length) || !GetFileTime(file.get(), nullptr, nullptr, &written)) {
                Skipped(item.Path, L"cannot be opened: " + SystemErrorText(GetLastError()));
                continue;
            }
            const auto size = static_cast<uint64_t>(length.QuadPart);

            auto plan = std::make_shared<TEntryPlan>();
            plan->Header.Name = std::move(name.Bytes);
            plan->Header.Utf8Name = name.Utf8;
            plan->Header.Method = size == 0 ? 0 : 8;
            const TDosDateTime stamp = DosDateTimeOf(written);
            plan->Header.DosDate = stamp.Date;
            plan->Header.DosTime = stamp.Time;
            plan->Header.ExternalAttributes = item.Attributes;
            plan->MaxUncompressed = size;
            plan->MaxCompressed = size == 0 ? 0 : MaxDeflatedSize(size, FPieceSize);

            FPlan = std::move(plan);
            FFile = std::move(file);
            FPath = item.Path;
            FRemaining = size;
            FRead = 0;
            FFirst = true;
            FTail.clear();
            return true;
        }
        return false;
    }

    void Skipped(const std::wstring& path, const std::wstring& reason) const
    {
        if (FOnSkipped)
            FOnSkipped(path, reason);
    }

    size_t FPieceSize;
    UINT FOemCodePage;
    const std::function<void(const std::wstring&, const std::wstring&)>& FOnSkipped;
    std::deque<TWalkItem> FPending;
    std::shared_ptr<TJob> FJob;  // being filled
    UniqueFile FFile;
    std::wstring FPath;
    uint64_t FRead = 0;
    std::shared_ptr<const TEntryPlan> FPlan;
    uint64_t FRemaining = 0;
    bool FFirst = false;
    std::vector<uint8_t> FTail;
};

// Reader, workers and writer of one archive: Add gives it the walk's files one
// by one, Finish the end of the walk.
class TPackPipeline {
public:
    TPackPipeline(TZipWriter& writer, const TPackOptions& options, size_t pieceSize, unsigned threads)
        : FWriter(writer), FReader(pieceSize, options.OnSkipped), FPool(threads),
          FWindow(2 * static_cast<size_t>(threads) + 2)
    {
    }

    void Add(const TWalkItem& item)
    {
        FReader.Add(item);
        Pump(false);
    }

    int Finish()
    {
        Pump(true);
        return FCount;
    }

private:
    // Keeps up to FWindow jobs with the workers and writes the finished ones in
    // order. Before the end of the walk it returns as soon as the reader wants
    // more files and the window has room.
    void Pump(bool finishing)
    {
        for (;;) {
            while (FInFlight.size() < FWindow) {
                std::shared_ptr<TJob> job = FReader.Next(finishing);
                if (!job)
                    break;
                FInFlight.push_back(job);
                FPool.Submit(std::move(job));
            }
            if (FInFlight.empty() || (!finishing && FInFlight.size() < FWindow))
                return;
            WriteFront();
        }
    }

    void WriteFront()
    {
        const std::shared_ptr<TJob> job = std::move(FInFlight.front());
        FInFlight.pop_front();
        FPool.Wait(*job);
        for (const TSegment& segment : job->Segments) {
            const TEntryPlan& plan = *segment.Entry;
            if (segment.First) {
                FWriter.BeginEntry(plan.Header, plan.MaxUncompressed, plan.MaxCompressed);
                FCrc = 0;
                FSize = 0;
            }
            FWriter.WriteData(job->Output.data() + segment.OutputOffset, segment.OutputSize);
            FCrc = static_cast<uint32_t>(crc32_combine(FCrc, segment.Crc, static_cast<z_off_t>(segment.InputSize)));
            FSize += segment.InputSize;
            if (segment.Last) {
                FWriter.EndEntry(FCrc, FSize);
                ++FCount;
            }
        }
    }

    TZipWriter& FWriter;
    TPieceReader FReader;
    TDeflatePool FPool;
    size_t FWindow;
    std::deque<std::shared_ptr<TJob>> FInFlight;
    int FCount = 0;
    uint32_t FCrc = 0;
    uint64_t FSize = 0;
};

}  // namespace

// ---- Headers and records ---------------------------------------------------

uint16_t ZipVersionNeeded(const TZipEntry& entry)
{
    return entry.Zip64Sizes || entry.Zip64Offset ? VersionZip64 : VersionClassic;
}

uint16_t ZipVersionMadeBy(const TZipEntry& entry)
{
    const uint16_t host = entry.Utf8Name ? HostNtfs : HostMsDos;
    return static_cast<uint16_t>(host << 8 | ZipVersionNeeded(entry));
}

uint16_t ZipFlags(const TZipEntry& entry)
{
    uint16_t flags = 0;
    if (entry.Method == 8)
        flags |= ZipFlagMaxCompression;
    if (entry.Utf8Name)
        flags |= ZipFlagUtf8;
    return flags;
}

std::vector<uint8_t> BuildEntryHeader(const TZipEntry& entry, THeaderKind kind)
{
    if (entry.Name.size() > 0xFFFF)
        throw EZipError("entry name too long");
    const bool central = kind == THeaderKind::Central;
    const bool offsetInExtra = central && entry.Zip64Offset;
    const uint16_t extraSize =
        static_cast<uint16_t>((entry.Zip64Sizes ? 16 : 0) + (offsetInExtra ? 8 : 0));

    std::vector<uint8_t> out;
    TBytes b(out);
    b.U32(central ? ZipCentralHeaderSignature : ZipLocalHeaderSignature);
    if (central)
        b.U16(ZipVersionMadeBy(entry));
    b.U16(ZipVersionNeeded(entry));
    b.U16(ZipFlags(entry));
    b.U16(entry.Method);
    b.U16(entry.DosTime);
    b.U16(entry.DosDate);
    b.U32(entry.Crc);
    b.U32(Field32(entry.CompressedSize, entry.Zip64Sizes));
    b.U32(Field32(entry.UncompressedSize, entry.Zip64Sizes));
    b.U16(static_cast<uint16_t>(entry.Name.size()));
    b.U16(static_cast<uint16_t>(extraSize ? extraSize + 4 : 0));
    if (central) {
        b.U16(0);  // comment length
        b.U16(0);  // disk number start
        b.U16(0);  // internal attributes
        b.U32(entry.ExternalAttributes);
        b.U32(Field32(entry.LocalHeaderOffset, entry.Zip64Offset));
    }
    b.Raw(entry.Name);
    if (extraSize) {
        b.U16(Zip64ExtraTag);
        b.U16(extraSize);
        if (entry.Zip64Sizes) {
            b.U64(entry.UncompressedSize);
            b.U64(entry.CompressedSize);
        }
        if (offsetInExtra)
            b.U64(entry.LocalHeaderOffset);
    }
    return out;
}

std::vector<uint8_t> BuildEndRecords(uint64_t entryCount, uint64_t directoryOffset,
                                     uint64_t directorySize, const TZip64Limits& limits)
{
    const bool bigCount = entryCount >= limits.Entries;
    const bool bigOffset = directoryOffset >= limits.Offset;
    const bool bigSize = directorySize >= limits.Size;

    std::vector<uint8_t> out;
    TBytes b(out);
    if (bigCount || bigOffset || bigSize) {
        const uint64_t recordOffset = directoryOffset + directorySize;
        b.U32(Zip64EndSignature);
        b.U64(44);  // size of the rest of the record
        b.U16(VersionZip64);
        b.U16(VersionZip64);
        b.U32(0);  // this disk
        b.U32(0);  // disk with the central directory
        b.U64(entryCount);
        b.U64(entryCount);
        b.U64(directorySize);
        b.U64(directoryOffset);

        b.U32(Zip64LocatorSignature);
        b.U32(0);  // disk with the ZIP64 end record
        b.U64(recordOffset);
        b.U32(1);  // number of disks
    }
    const uint16_t count = bigCount ? 0xFFFF : static_cast<uint16_t>(entryCount);
    b.U32(ZipEndSignature);
    b.U16(0);  // this disk
    b.U16(0);  // disk with the central directory
    b.U16(count);
    b.U16(count);
    b.U32(Field32(directorySize, bigSize));
    b.U32(Field32(directoryOffset, bigOffset));
    b.U16(0);  // comment length
    return out;
}

TEncodedName EncodeEntryName(const std::wstring& relativePath, UINT oemCodePage)
{
    std::wstring name = relativePath;
    std::replace(name.begin(), name.end(), L'\\', L'/');
    TEncodedName result;
    if (name.empty())
        return result;
    const int length = static_cast<int>(name.size());

    const bool ascii = std::all_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x80; });
    if (oemCodePage == CP_UTF8 && ascii) {
        result.Bytes.assign(name.begin(), name.end());
        return result;
    }
    if (oemCodePage != CP_UTF8) {
        const int n = WideCharToMultiByte(oemCodePage, WC_NO_BEST_FIT_CHARS, name.c_str(), length,
                                          nullptr, 0, nullptr, nullptr);
        if (n > 0) {
            std::string bytes(static_cast<size_t>(n), '\0');
            WideCharToMultiByte(oemCodePage, WC_NO_BEST_FIT_CHARS, name.c_str(), length, bytes.data(), n,
                                nullptr, nullptr);
            const int m = MultiByteToWideChar(oemCodePage, 0, bytes.data(), n, nullptr, 0);
            std::wstring back(static_cast<size_t>(std::max(m, 0)), L'\0');
            if (m > 0)
                MultiByteToWideChar(oemCodePage, 0, bytes.data(), n, back.data(), m);
            if (back == name) {
                result.Bytes = std::move(bytes);
                return result;
            }
        }
    }
    result.Bytes = ToUtf8(name);
    result.Utf8 = true;
    return result;
}

TDosDateTime PackDosDateTime(const SYSTEMTIME& local)
{
    TDosDateTime result;
    if (local.wYear < 1980) {
        result.Date = (1 << 5) | 1;
        return result;
    }
    if (local.wYear > 2107) {
        result.Date = static_cast<uint16_t>(127 << 9 | 12 << 5 | 31);
        result.Time = static_cast<uint16_t>(23 << 11 | 59 << 5 | 29);
        return result;
    }
    result.Date = static_cast<uint16_t>((local.wYear - 1980) << 9 | local.wMonth << 5 | local.wDay);
    result.Time = static_cast<uint16_t>(local.wHour << 11 | local.wMinute << 5 | local.wSecond / 2);
    return result;
}

TDosDateTime DosDateTimeOf(const FILETIME& utc)
{
    FILETIME local{};
    SYSTEMTIME time{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) {
        time = SYSTEMTIME{};
        time.wYear = 1980;
        time.wMonth = 1;
        time.wDay = 1;
    }
    return PackDosDateTime(time);
}

std::wstring ZipRoot(const std::wstring& gatherFolder)
{
    std::wstring root = gatherFolder;
    while (!root.empty() && root.back() == L'\\')
        root.pop_back();
    return root + L'\\';
}

std::wstring ZipLogLine(const std::wstring& root, const std::wstring& archivePath, int count)
{
    return L"zip:root=" + root + L"zipName=" + archivePath + L"ret=" + std::to_wstring(count);
}

uint64_t MaxDeflatedSize(uint64_t size, uint64_t pieceSize)
{
    // Deflate's worst case (stored blocks) adds 5 bytes per block of at least
    // 16 KiB; each piece adds its sync flush and block headers.
    const uint64_t pieces = size / std::max<uint64_t>(pieceSize, 1) + 1;
    return size + (size >> 10) + 64 * pieces;
}

std::vector<uint8_t> DeflatePiece(const uint8_t* data, size_t size, const uint8_t* dictionary,
                                  size_t dictionarySize, bool last)
{
    TDeflater deflater;
    std::vector<uint8_t> out;
    deflater.Piece(data, size, dictionary, dictionarySize, last, out);
    return out;
}

// ---- Sinks -----------------------------------------------------------------

void TMemorySink::Write(const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    FBytes.insert(FBytes.end(), p, p + size);
}

void TMemorySink::Overwrite(uint64_t offset, const void* data, size_t size)
{
    if (offset > FBytes.size() || size > FBytes.size() - offset)
        throw EZipError("overwrite beyond the end");
    std::memcpy(FBytes.data() + offset, data, size);
}

namespace {
constexpr size_t FileBufferSize = 1024 * 1024;
}

TFileSink::TFileSink(const std::wstring& path) : FPath(path)
{
    FFile.reset(CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    if (!FFile)
        Fail(LastErrorText(L"cannot create the archive", path));
    FBuffer.reserve(FileBufferSize);
}

TFileSink::~TFileSink()
{
    if (!FClosed) {
        FFile.reset();
        DeleteFileW(ExtendedLengthPath(FPath).c_str());
    }
}

void TFileSink::Write(const void* data, size_t size)
{
    if (FBuffer.size() + size > FileBufferSize)
        Flush();
    if (size >= FileBufferSize) {
        WriteThrough(data, size);
        FFlushed += size;
        return;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    FBuffer.insert(FBuffer.end(), p, p + size);
}

void TFileSink::Overwrite(uint64_t offset, const void* data, size_t size)
{
    if (offset > Position() || size > Position() - offset)
        throw EZipError("overwrite beyond the end");
    if (offset >= FFlushed) {
        std::memcpy(FBuffer.data() + (offset - FFlushed), data, size);
        return;
    }
    Flush();
    Seek(offset);
    WriteThrough(data, size);
    Seek(FFlushed);
}

void TFileSink::Close()
{
    Flush();
    if (!CloseHandle(FFile.release()))
        Fail(LastErrorText(L"cannot close the archive", FPath));
    FClosed = true;
}

void TFileSink::Flush()
{
    if (FBuffer.empty())
        return;
    WriteThrough(FBuffer.data(), FBuffer.size());
    FFlushed += FBuffer.size();
    FBuffer.clear();
}

void TFileSink::WriteThrough(const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const DWORD ask = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(FFile.get(), p, ask, &written, nullptr) || written != ask)
            Fail(LastErrorText(L"cannot write the archive", FPath));
        p += ask;
        size -= ask;
    }
}

void TFileSink::Seek(uint64_t offset)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(FFile.get(), to, nullptr, FILE_BEGIN))
        Fail(LastErrorText(L"cannot seek in the archive", FPath));
}

// ---- Writer ----------------------------------------------------------------

TZipWriter::TZipWriter(TByteSink& sink, TZip64Limits limits) : FSink(sink), FLimits(limits) {}

void TZipWriter::BeginEntry(const TZipEntry& entry, uint64_t maxUncompressed, uint64_t maxCompressed)
{
    if (FInEntry)
        throw EZipError("entry already open");
    FCurrent = entry;
    FCurrent.Crc = 0;
    FCurrent.StoredCrc = 0;
    FCurrent.CompressedSize = 0;
    FCurrent.UncompressedSize = 0;
    FCurrent.LocalHeaderOffset = FSink.Position();
    FCurrent.Zip64Offset = FCurrent.LocalHeaderOffset >= FLimits.Offset;
    FCurrent.Zip64Sizes = std::max(maxUncompressed, maxCompressed) >= FLimits.Size;
    const std::vector<uint8_t> header = BuildEntryHeader(FCurrent, THeaderKind::Local);
    FSink.Write(header.data(), header.size());
    FDataStart = FSink.Position();
    FInEntry = true;
}

void TZipWriter::WriteData(const void* data, size_t size)
{
    if (!FInEntry)
        throw EZipError("no open entry");
    FSink.Write(data, size);
    FCurrent.StoredCrc = static_cast<uint32_t>(
        crc32(FCurrent.StoredCrc, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
}

void TZipWriter::EndEntry(uint32_t crc, uint64_t uncompressedSize)
{
    if (!FInEntry)
        throw EZipError("no open entry");
    FCurrent.Crc = crc;
    FCurrent.UncompressedSize = uncompressedSize;
    FCurrent.CompressedSize = FSink.Position() - FDataStart;
    if (!FCurrent.Zip64Sizes &&
        (FCurrent.UncompressedSize >= FLimits.Size || FCurrent.CompressedSize >= FLimits.Size))
        throw EZipError("entry larger than announced");
    const std::vector<uint8_t> header = BuildEntryHeader(FCurrent, THeaderKind::Local);
    FSink.Overwrite(FCurrent.LocalHeaderOffset, header.data(), header.size());
    FEntries.push_back(FCurrent);
    FInEntry = false;
}

void TZipWriter::Finish()
{
    if (FInEntry)
        throw EZipError("entry still open");
    const uint64_t directoryOffset = FSink.Position();
    for (const TZipEntry& entry : FEntries) {
        const std::vector<uint8_t> header = BuildEntryHeader(entry, THeaderKind::Central);
        FSink.Write(header.data(), header.size());
    }
    const uint64_t directorySize = FSink.Position() - directoryOffset;
    const std::vector<uint8_t> end =
        BuildEndRecords(FEntries.size(), directoryOffset, directorySize, FLimits);
    FSink.Write(end.data(), end.size());
}

// ---- Packing ---------------------------------------------------------------

int PackFolder(TByteSink& sink, const std::wstring& root, const TPackOptions& options, std::vector<TZipEntry>* entries)
{
    const size_t pieceSize = options.PieceSize ? options.PieceSize : TPackOptions{}.PieceSize;
    // One worker per processor, at most 16: each job in flight holds about
    // 2 MiB, and the shipped program is a 32-bit process.
    unsigned threads = options.Threads ? options.Threads : std::min(std::thread::hardware_concurrency(), 16u);
    threads = std::max(threads, 1u);

    TZipWriter writer(sink, options.Limits);
    TPackPipeline pipeline(writer, options, pieceSize, threads);
    const std::wstring skip = UpperInvariant(FullPath(options.SkipPath));
    TWalkVisitor visitor;
    visitor.OnFile = [&](const TWalkItem& item) {
        if (skip.empty() || UpperInvariant(item.Path) != skip)
            pipeline.Add(item);
    };
    visitor.OnLink = [&](const TWalkItem& item) {
        if (options.OnSkipped)
            options.OnSkipped(item.Path, log_words::NotFollowed);
    };
    visitor.OnUnselected = [&](const TWalkItem& item) {
        if (options.OnSkipped)
            options.OnSkipped(item.Path, (item.Attributes & FILE_ATTRIBUTE_DIRECTORY)
                                             ? L"a hidden or system folder, left out with what it holds"
                                             : L"a hidden or system file, left out");
    };
    visitor.OnSkipped = [&](const std::wstring& folder, DWORD error) {
        if (options.OnSkipped)
            options.OnSkipped(folder, L"cannot be listed: " + SystemErrorText(error));
    };
    WalkTree(FullPath(root), TWalkOptions{}, visitor);
    const int count = pipeline.Finish();
    writer.Finish();
    if (entries)
        *entries = writer.ReleaseEntries();
    return count;
}

int ZipFile(const std::wstring& gatherFolder, const std::wstring& archivePath, std::vector<TZipEntry>* entries)
{
    const std::wstring root = ZipRoot(gatherFolder);
    TPackOptions options;
    options.SkipPath = archivePath;
    options.OnSkipped = [](const std::wstring& path, const std::wstring& reason) {
        WriteLog(log_words::ZipSkipped + path + L": " + reason);
    };
    std::vector<TZipEntry> written;
    int count = 0;
    {
        TFileSink sink(archivePath);
        count = PackFolder(sink, root, options, &written);
        sink.Close();
    }
    // Only an archive that reads back as written counts as made.
    try {
        VerifyArchive(archivePath, written);
    } catch (...) {
        DeleteFileW(ExtendedLengthPath(archivePath).c_str());
        throw;
    }
    WriteLog(ZipLogLine(root, archivePath, count));
    if (entries)
        *entries = std::move(written);
    return count;
}
