// MD5 (RFC 1321) and whole-file digests through read-only file mapping views.
#include "platform/md5.h"

#include <windows.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <thread>

#include "platform/handles.h"

static_assert(std::endian::native == std::endian::little,
              "MD5 words are loaded with plain little-endian loads");
static_assert(sizeof(TMd5Context) == 88, "context has no padding");

namespace {

// ---------------------------------------------------------------------------
// Block transform. The four auxiliary functions are written in the forms that
// need the fewest dependent operations; each step reads its message word
// straight from the block (memcpy compiles to a plain load, alignment free).

inline std::uint32_t Word(const std::uint8_t* block, int index) noexcept
{
    std::uint32_t w;
    std::memcpy(&w, block + 4 * index, sizeof w);
    return w;
}

inline std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept
{
    return z ^ (x & (y ^ z));
}
inline std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept
{
    return (x & z) + (y & ~z);  // the two terms share no bits
}
inline std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept
{
    return x ^ y ^ z;
}
inline std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept
{
    return y ^ (x | ~z);
}

#define MD5_STEP(f, a, b, c, d, k, t, s)                     \
    a += f(b, c, d) + Word(p, k) + static_cast<std::uint32_t>(t); \
    a = std::rotl(a, s) + b

// Processes `blocks` consecutive 64-byte blocks starting at p.
void Md5Blocks(std::uint32_t state[4], const std::uint8_t* p, std::size_t blocks) noexcept
{
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks != 0; --blocks, p += 64) {
        const std::uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

        MD5_STEP(F, a, b, c, d, 0, 0xd76aa478, 7);
        MD5_STEP(F, d, a, b, c, 1, 0xe8c7b756, 12);
        MD5_STEP(F, c, d, a, b, 2, 0x242070db, 17);
        MD5_STEP(F, b, c, d, a, 3, 0xc1bdceee, 22);
        MD5_STEP(F, a, b, c, d, 4, 0xf57c0faf, 7);
        MD5_STEP(F, d, a, b, c, 5, 0x4787c62a, 12);
        MD5_STEP(F, c, d, a, b, 6, 0xa8304613, 17);
        MD5_STEP(F, b, c, d, a, 7, 0xfd469501, 22);
        MD5_STEP(F, a, b, c, d, 8, 0x698098d8, 7);
        MD5_STEP(F, d, a, b, c, 9, 0x8b44f7af, 12);
        MD5_STEP(F, c, d, a, b, 10, 0xffff5bb1, 17);
        MD5_STEP(F, b, c, d, a, 11, 0x895cd7be, 22);
        MD5_STEP(F, a, b, c, d, 12, 0x6b901122, 7);
        MD5_STEP(F, d, a, b, c, 13, 0xfd987193, 12);
        MD5_STEP(F, c, d, a, b, 14, 0xa679438e, 17);
        MD5_STEP(F, b, c, d, a, 15, 0x49b40821, 22);

        MD5_STEP(G, a, b, c, d, 1, 0xf61e2562, 5);
        MD5_STEP(G, d, a, b, c, 6, 0xc040b340, 9);
        MD5_STEP(G, c, d, a, b, 11, 0x265e5a51, 14);
        MD5_STEP(G, b, c, d, a, 0, 0xe9b6c7aa, 20);
        MD5_STEP(G, a, b, c, d, 5, 0xd62f105d, 5);
        MD5_STEP(G, d, a, b, c, 10, 0x02441453, 9);
        MD5_STEP(G, c, d, a, b, 15, 0xd8a1e681, 14);
        MD5_STEP(G, b, c, d, a, 4, 0xe7d3fbc8, 20);
        MD5_STEP(G, a, b, c, d, 9, 0x21e1cde6, 5);
        MD5_STEP(G, d, a, b, c, 14, 0xc33707d6, 9);
        MD5_STEP(G, c, d, a, b, 3, 0xf4d50d87, 14);
        MD5_STEP(G, b, c, d, a, 8, 0x455a14ed, 20);
        MD5_STEP(G, a, b, c, d, 13, 0xa9e3e905, 5);
        MD5_STEP(G, d, a, b, c, 2, 0xfcefa3f8, 9);
        MD5_STEP(G, c, d, a, b, 7, 0x676f02d9, 14);
        MD5_STEP(G, b, c, d, a, 12, 0x8d2a4c8a, 20);

        MD5_STEP(H, a, b, c, d, 5, 0xfffa3942, 4);
        MD5_STEP(H, d, a, b, c, 8, 0x8771f681, 11);
        MD5_STEP(H, c, d, a, b, 11, 0x6d9d6122, 16);
        MD5_STEP(H, b, c, d, a, 14, 0xfde5380c, 23);
        MD5_STEP(H, a, b, c, d, 1, 0xa4beea44, 4);
        MD5_STEP(H, d, a, b, c, 4, 0x4bdecfa9, 11);
        MD5_STEP(H, c, d, a, b, 7, 0xf6bb4b60, 16);
        MD5_STEP(H, b, c, d, a, 10, 0xbebfbc70, 23);
        MD5_STEP(H, a, b, c, d, 13, 0x289b7ec6, 4);
        MD5_STEP(H, d, a, b, c, 0, 0xeaa127fa, 11);
        MD5_STEP(H, c, d, a, b, 3, 0xd4ef3085, 16);
        MD5_STEP(H, b, c, d, a, 6, 0x04881d05, 23);
        MD5_STEP(H, a, b, c, d, 9, 0xd9d4d039, 4);
        MD5_STEP(H, d, a, b, c, 12, 0xe6db99e5, 11);
        MD5_STEP(H, c, d, a, b, 15, 0x1fa27cf8, 16);
        MD5_STEP(H, b, c, d, a, 2, 0xc4ac5665, 23);

        MD5_STEP(I, a, b, c, d, 0, 0xf4292244, 6);
        MD5_STEP(I, d, a, b, c, 7, 0x432aff97, 10);
        MD5_STEP(I, c, d, a, b, 14, 0xab9423a7, 15);
        MD5_STEP(I, b, c, d, a, 5, 0xfc93a039, 21);
        MD5_STEP(I, a, b, c, d, 12, 0x655b59c3, 6);
        MD5_STEP(I, d, a, b, c, 3, 0x8f0ccc92, 10);
        MD5_STEP(I, c, d, a, b, 10, 0xffeff47d, 15);
        MD5_STEP(I, b, c, d, a, 1, 0x85845dd1, 21);
        MD5_STEP(I, a, b, c, d, 8, 0x6fa87e4f, 6);
        MD5_STEP(I, d, a, b, c, 15, 0xfe2ce6e0, 10);
        MD5_STEP(I, c, d, a, b, 6, 0xa3014314, 15);
        MD5_STEP(I, b, c, d, a, 13, 0x4e0811a1, 21);
        MD5_STEP(I, a, b, c, d, 4, 0xf7537e82, 6);
        MD5_STEP(I, d, a, b, c, 11, 0xbd3af235, 10);
        MD5_STEP(I, c, d, a, b, 2, 0x2ad7d2bb, 15);
        MD5_STEP(I, b, c, d, a, 9, 0xeb86d391, 21);

        a += a0;
        b += b0;
        c += c0;
        d += d0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#undef MD5_STEP

void StoreLe32(std::uint8_t* out, std::uint32_t value) noexcept
{
    std::memcpy(out, &value, sizeof value);
}

// ---------------------------------------------------------------------------
// File digest through successive views of one read-only mapping.

constexpr std::uint64_t kMaxViewSize = 1ull << 30;

// Views at least this long get their pages touched ahead by a helper thread.
constexpr std::uint32_t kTouchAheadMin = 4u << 20;

DWORD HighPart(std::uint64_t value) noexcept { return static_cast<DWORD>(value >> 32); }
DWORD LowPart(std::uint64_t value) noexcept { return static_cast<DWORD>(value & 0xffffffffu); }

// View offsets must be multiples of the allocation granularity (64 KiB).
std::uint32_t AlignedViewSize(std::uint32_t requested, const SYSTEM_INFO& info) noexcept
{
    const std::uint64_t granule = info.dwAllocationGranularity ? info.dwAllocationGranularity : 0x10000u;
    std::uint64_t size = (std::uint64_t{requested} + granule - 1) / granule * granule;
    size = std::clamp(size, granule, kMaxViewSize);
    return static_cast<std::uint32_t>(size);
}

// The pages of a fresh view are mapped in by page faults on first read, which
// can cost a third as much as digesting them. The helper thread reads one
// byte per page ahead of the digest, so that the faults are taken on another
// core while this one digests.
void TouchPages(const std::uint8_t* begin, std::uint32_t length, std::uint32_t pageSize) noexcept
{
    const volatile std::uint8_t* pages = begin;
    std::uint8_t sink = 0;
    for (std::uint32_t at = 0; at < length; at += pageSize)
        sink = static_cast<std::uint8_t>(sink ^ pages[at]);
    static_cast<void>(sink);
}

std::jthread StartTouchingPages(const void* view, std::uint32_t length, std::uint32_t pageSize) noexcept
{
    if (length < kTouchAheadMin)
        return {};
    try {
        return std::jthread(TouchPages, static_cast<const std::uint8_t*>(view), length, pageSize);
    } catch (...) {
        return {};  // no thread: the digest takes the faults itself
    }
}

// Adds the whole file to the context. False when any part of it could not be
// read; the context then holds a partial digest the caller must discard.
bool AddFileThroughViews(TMd5Context& context, const std::wstring& path, std::uint32_t viewSize,
                         std::uint32_t& viewCount)
{
    const UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;

    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0)
        return false;  // an empty file cannot be mapped; its digest is the empty one anyway
    const auto total = static_cast<std::uint64_t>(size.QuadPart);

    // The mapping is sized to the length just read, so a file that grows
    // meanwhile (a log being written) is digested as it was at that moment.
    const UniqueHandle mapping(
        ::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, HighPart(total), LowPart(total), nullptr));
    if (!mapping)
        return false;

    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    const std::uint32_t pageSize = info.dwPageSize ? info.dwPageSize : 4096u;
    const std::uint32_t step = AlignedViewSize(viewSize, info);
    for (std::uint64_t offset = 0; offset < total; offset += step) {
        const auto length = static_cast<std::uint32_t>(std::min<std::uint64_t>(step, total - offset));
        const UniqueView view(
            ::MapViewOfFile(mapping.get(), FILE_MAP_READ, HighPart(offset), LowPart(offset), length));
        if (!view)
            return false;
        ++viewCount;
        // Declared after the view: joined before the view is unmapped.
        const std::jthread toucher = StartTouchingPages(view.get(), length, pageSize);
        Md5Add(context, view.get(), length);
    }
    return true;
}

}  // namespace

void Md5Begin(TMd5Context& context)
{
    context.FState[0] = 0x67452301;
    context.FState[1] = 0xefcdab89;
    context.FState[2] = 0x98badcfe;
    context.FState[3] = 0x10325476;
    context.FCount[0] = 0;
    context.FCount[1] = 0;
    std::memset(context.FBuffer, 0, sizeof context.FBuffer);
}

void Md5Add(TMd5Context& context, const void* bytes, std::uint32_t length)
{
    auto p = static_cast<const std::uint8_t*>(bytes);
    const std::uint32_t held = (context.FCount[0] >> 3) & 63;

    const std::uint32_t low = context.FCount[0] + (length << 3);
    context.FCount[1] += (length >> 29) + (low < context.FCount[0] ? 1 : 0);
    context.FCount[0] = low;

    if (held != 0) {
        const std::uint32_t room = 64 - held;
        if (length < room) {
            std::memcpy(context.FBuffer + held, p, length);
            return;
        }
        std::memcpy(context.FBuffer + held, p, room);
        Md5Blocks(context.FState, context.FBuffer, 1);
        p += room;
        length -= room;
    }
    if (length >= 64) {
        Md5Blocks(context.FState, p, length / 64);
        p += length & ~63u;
        length &= 63;
    }
    if (length != 0)
        std::memcpy(context.FBuffer, p, length);
}

TMd5Digest Md5End(TMd5Context& context)
{
    static constexpr std::uint8_t kPadding[64] = {0x80};

    std::uint8_t bitCount[8];
    StoreLe32(bitCount, context.FCount[0]);
    StoreLe32(bitCount + 4, context.FCount[1]);

    const std::uint32_t held = (context.FCount[0] >> 3) & 63;
    Md5Add(context, kPadding, held < 56 ? 56 - held : 120 - held);
    Md5Add(context, bitCount, sizeof bitCount);

    TMd5Digest digest{};
    for (int i = 0; i < 4; ++i)
        StoreLe32(digest.data() + 4 * i, context.FState[i]);

    ::SecureZeroMemory(&context, sizeof context);
    return digest;
}

TMd5Digest md5_detail::Md5OfFileInViews(const std::wstring& path, std::uint32_t viewSize,
                                        std::uint32_t* viewCount)
{
    TMd5Context context;
    Md5Begin(context);
    std::uint32_t views = 0;
    if (!AddFileThroughViews(context, path, viewSize, views))
        Md5Begin(context);  // a partly read file must not pass for its digest
    if (viewCount)
        *viewCount = views;
    return Md5End(context);
}

TMd5Digest Md5OfFile(const std::wstring& path)
{
    return md5_detail::Md5OfFileInViews(path, md5_detail::kFileViewSize);
}

std::wstring DigestToHex(const TMd5Digest& digest)
{
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text(2 * digest.size(), L'0');
    for (std::size_t i = 0; i < digest.size(); ++i) {
        text[2 * i] = kDigits[digest[i] >> 4];
        text[2 * i + 1] = kDigits[digest[i] & 0x0f];
    }
    return text;
}

std::wstring FileMd5Hex(const std::wstring& path)
{
    return DigestToHex(Md5OfFile(path));
}
