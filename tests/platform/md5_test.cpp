// MD5 digests: RFC 1321 vectors, block and padding boundaries, chunked
// feeding, the text form, and whole-file digests through mapping views.
#include "platform/md5.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/handles.h"

namespace fs = std::filesystem;

namespace {

const std::wstring kEmptyHex = L"d41d8cd98f00b204e9800998ecf8427e";

std::wstring HexOf(const void* bytes, std::size_t length)
{
    TMd5Context context;
    Md5Begin(context);
    Md5Add(context, bytes, static_cast<std::uint32_t>(length));
    return DigestToHex(Md5End(context));
}

// Feeds the bytes in pieces of `chunk` bytes (the last one shorter).
std::wstring ChunkedHexOf(const std::vector<std::uint8_t>& bytes, std::size_t chunk)
{
    TMd5Context context;
    Md5Begin(context);
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
        const std::size_t n = std::min(chunk, bytes.size() - at);
        Md5Add(context, bytes.data() + at, static_cast<std::uint32_t>(n));
    }
    return DigestToHex(Md5End(context));
}

// Deterministic bytes with no short period (an LCG's top byte), so that a
// block or view read from the wrong offset changes the digest. The expected
// digests below were computed independently with Python's hashlib over the
// same sequence.
std::vector<std::uint8_t> Pattern(std::size_t length)
{
    std::vector<std::uint8_t> bytes(length);
    std::uint32_t x = 12345;
    for (auto& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return bytes;
}

// A scratch folder below the temporary folder, removed with its contents.
class ScratchDir {
public:
    ScratchDir()
    {
        FPath = fs::temp_directory_path() /
                (L"vexlo-md5-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                 std::to_wstring(::GetTickCount()));
        fs::create_directories(FPath);
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        fs::remove_all(FPath, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::wstring Write(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const
    {
        const fs::path file = FPath / name;
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        EXPECT_TRUE(out) << "could not write " << file;
        return file.wstring();
    }
    std::wstring PathOf(const std::wstring& name) const { return (FPath / name).wstring(); }

private:
    fs::path FPath;
};

// ---------------------------------------------------------------------------

TEST(Md5, Rfc1321TestSuite)
{
    struct Case {
        const char* input;
        const wchar_t* hex;
    };
    const Case cases[] = {
        {"", L"d41d8cd98f00b204e9800998ecf8427e"},
        {"a", L"0cc175b9c0f1b6a831c399e269772661"},
        {"abc", L"900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", L"f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", L"c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         L"d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890"
         "1234567890123456789012345678901234567890",
         L"57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(HexOf(c.input, std::strlen(c.input)), c.hex);
    }
}

TEST(Md5, PaddingBoundariesWholeAndChunked)
{
    struct Case {
        std::size_t length;
        const wchar_t* hex;
    };
    const Case cases[] = {
        {0, L"d41d8cd98f00b204e9800998ecf8427e"},   {1, L"8bb6c17838643f9691cc6a4de6c51709"},
        {55, L"57e035a680a1a8d37710d8ecf407fbf6"},  {56, L"92d74458b2503e5c50da814560e18276"},
        {57, L"ff18cd7f2d817e9be6a4e87241b2c0d0"},  {63, L"783d58edb8659b0d884a1d0975163e82"},
        {64, L"96fe0fe913274bb829980fb9d0dd4fae"},  {65, L"a2a0b0abef2e84e5df057a598896c91f"},
        {119, L"6d24dc4c515de0a3c5aeab6d6d8b86b4"}, {120, L"5e55b96651b9a9ad9ee02835e702047d"},
        {127, L"ce0e42a6a105c8f3e096910de156c823"}, {128, L"548f23d354420ddced170623d5622dd0"},
        {129, L"85169d8056e86347b2bb4163ff637968"}, {1000, L"c4b44fd5ee393c45afb909969ebc80a0"},
    };
    // Chunk sizes that leave the block buffer at every kind of fill level.
    const std::size_t chunks[] = {1, 3, 55, 63, 64, 65, 127};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length);
        const auto bytes = Pattern(c.length);
        EXPECT_EQ(HexOf(bytes.data(), bytes.size()), c.hex);
        for (const std::size_t chunk : chunks) {
            SCOPED_TRACE(testing::Message() << "chunk " << chunk);
            EXPECT_EQ(ChunkedHexOf(bytes, chunk), c.hex);
        }
    }
}

TEST(Md5, BitCountCarriesIntoHighWord)
{
    // 2^32 bits = 512 MiB added so far, minus one byte: the next byte wraps
    // the low word, completes a block and must carry into the high word.
    TMd5Context context;
    Md5Begin(context);
    context.FCount[0] = 0xfffffff8u;
    const std::uint8_t byte = 0x5a;
    Md5Add(context, &byte, 1);
    EXPECT_EQ(context.FCount[0], 0u);
    EXPECT_EQ(context.FCount[1], 1u);
}

TEST(Md5, EndZeroesTheWholeContext)
{
    TMd5Context context;
    Md5Begin(context);
    Md5Add(context, "abc", 3);
    EXPECT_EQ(DigestToHex(Md5End(context)), L"900150983cd24fb0d6963f7d28e17f72");

    TMd5Context zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&context, &zero, sizeof context), 0);
}

TEST(Md5, DigestToHexIsLowerCaseHighNibbleFirst)
{
    struct Case {
        TMd5Digest digest;
        const wchar_t* hex;
    };
    const Case cases[] = {
        {{0xab}, L"ab000000000000000000000000000000"},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0f}, L"0000000000000000000000000000000f"},
        {{0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef, 0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10},
         L"0123456789abcdeffedcba9876543210"},
        {{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff},
         L"ffffffffffffffffffffffffffffffff"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DigestToHex(c.digest), c.hex);
}

// ---------------------------------------------------------------------------

TEST(Md5File, ContentsOrEmptyDigest)
{
    ScratchDir dir;
    const auto abc = std::vector<std::uint8_t>{'a', 'b', 'c'};
    const auto pattern = Pattern(1000);
    struct Case {
        const char* what;
        std::wstring path;
        std::wstring hex;
    };
    const Case cases[] = {
        {"three bytes", dir.Write(L"abc.txt", abc), L"900150983cd24fb0d6963f7d28e17f72"},
        {"wide file name", dir.Write(L"d\u00fcgest \u6587\u4ef6.bin", pattern),
         L"c4b44fd5ee393c45afb909969ebc80a0"},
        {"empty file", dir.Write(L"empty.bin", {}), kEmptyHex},
        {"missing file", dir.PathOf(L"no-such-file.bin"), kEmptyHex},
        {"missing folder", dir.PathOf(L"no-such-dir\\x.bin"), kEmptyHex},
        {"a folder", dir.PathOf(L""), kEmptyHex},
        {"empty path", L"", kEmptyHex},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FileMd5Hex(c.path), c.hex);
        EXPECT_EQ(DigestToHex(Md5OfFile(c.path)), c.hex);
    }
}

TEST(Md5File, SharingOfAnotherOpenHandle)
{
    ScratchDir dir;
    const std::wstring path = dir.PathOf(L"log.txt");
    struct Case {
        const char* what;
        DWORD writerShare;
        std::wstring hex;
    };
    const Case cases[] = {
        {"writer shares reading", FILE_SHARE_READ, L"900150983cd24fb0d6963f7d28e17f72"},
        {"writer shares nothing", 0, kEmptyHex},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UniqueFile writer(::CreateFileW(path.c_str(), GENERIC_WRITE, c.writerShare, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(writer) << "CreateFileW error " << ::GetLastError();
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(writer.get(), "abc", 3, &written, nullptr));
        ASSERT_EQ(written, 3u);

        EXPECT_EQ(FileMd5Hex(path), c.hex);
    }
}

TEST(Md5File, SuccessiveViewsDigestTheWholeFile)
{
    ScratchDir dir;
    constexpr std::uint32_t K = 64 * 1024;  // the allocation granularity
    struct Case {
        std::size_t length;
        std::uint32_t viewSize;
        std::uint32_t views;
        const wchar_t* hex;
    };
    const Case cases[] = {
        {K - 1, K, 1, L"2ddcc449e901df32897263f0d79c6df3"},
        {K, K, 1, L"f6a150312dbcfc97db996964a008cd7d"},
        {K + 1, K, 2, L"c96e7813ea1347be2d329fe86f1912ba"},
        {4 * K, K, 4, L"272293d6c28d7ee029d5cc37a01be24a"},
        {4 * K, 1, 4, L"272293d6c28d7ee029d5cc37a01be24a"},        // rounded up to one granule
        {3 * 1024 * 1024 + 1037, K, 49, L"975d2c72f548c2111e57c2d0f28d5530"},
        {3 * 1024 * 1024 + 1037, 3 * K - 5, 17, L"975d2c72f548c2111e57c2d0f28d5530"},  // 192 KiB views
        {3 * 1024 * 1024 + 1037, md5_detail::kFileViewSize, 1, L"975d2c72f548c2111e57c2d0f28d5530"},
        // Views of 4 MiB and more have their pages touched ahead by a helper thread.
        {5 * 1024 * 1024 + 37, 4 * 1024 * 1024, 2, L"81839bbd45af7d9ea4dbb768f104ea48"},
        {5 * 1024 * 1024 + 37, md5_detail::kFileViewSize, 1, L"81839bbd45af7d9ea4dbb768f104ea48"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length << ", view " << c.viewSize);
        const std::wstring path = dir.Write(L"views.bin", Pattern(c.length));
        std::uint32_t views = 0;
        EXPECT_EQ(DigestToHex(md5_detail::Md5OfFileInViews(path, c.viewSize, &views)), c.hex);
        EXPECT_EQ(views, c.views);
        EXPECT_EQ(FileMd5Hex(path), c.hex);
    }
}

}  // namespace
