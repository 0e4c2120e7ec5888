#pragma once
// MD5 message digest (RFC 1321) and the whole-file digest the product file
// listings print next to every file.
//
// Digest a buffer:   TMd5Context c; Md5Begin(c); Md5Add(c, p, n); ... d = Md5End(c);
// Digest a file:     FileMd5Hex(L"C:\\dir\\file.dll")  -> 32 lower-case hex chars
//
// A file that cannot be read whole (missing, locked, empty, unmappable) gets
// the digest of empty input, d41d8cd98f00b204e9800998ecf8427e; no error is
// reported.
#include <array>
#include <cstdint>
#include <string>

// The RFC 1321 working state. Lives on the caller's stack; one per digest.
struct TMd5Context {
    std::uint32_t FState[4];   // chaining words A, B, C, D
    std::uint32_t FCount[2];   // bits added so far, low word first
    std::uint8_t FBuffer[64];  // bytes of the incomplete block
};

// 16 bytes in RFC 1321 output order.
using TMd5Digest = std::array<std::uint8_t, 16>;

// Chaining words to the RFC's initial values, bit count 0, buffer zeroed.
void Md5Begin(TMd5Context& context);

// Adds length bytes. Whole 64-byte blocks are processed straight from the
// caller's memory; only a trailing partial block is copied into the buffer.
void Md5Add(TMd5Context& context, const void* bytes, std::uint32_t length);

// Pads, appends the bit count, returns the digest and zeroes the context.
TMd5Digest Md5End(TMd5Context& context);

// Digest of a file's contents, read through read-only views of a file
// mapping. Files of any size are digested whole (64 MiB views, also in the
// 32-bit build); any failure, also one past the first view, gives the digest
// of empty input. While a view of 4 MiB or more is digested, a short-lived
// helper thread reads one byte per page ahead, so that paging it in overlaps
// the digest.
TMd5Digest Md5OfFile(const std::wstring& path);

// 32 characters, two per byte, high nibble first, digits "0123456789abcdef".
std::wstring DigestToHex(const TMd5Digest& digest);

// DigestToHex(Md5OfFile(path)).
std::wstring FileMd5Hex(const std::wstring& path);

namespace md5_detail {
// The view size Md5OfFile uses.
inline constexpr std::uint32_t kFileViewSize = 64u << 20;

// Md5OfFile with a chosen view size, so that tests can cross many view
// boundaries with a small file. viewSize is rounded up to a multiple of the
// allocation granularity (at least one granule, at most 1 GiB). When viewCount
// is given it receives the number of views that were mapped.
TMd5Digest Md5OfFileInViews(const std::wstring& path, std::uint32_t viewSize,
                            std::uint32_t* viewCount = nullptr);
}  // namespace md5_detail
