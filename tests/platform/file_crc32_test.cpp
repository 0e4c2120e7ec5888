#include <gtest/gtest.h>

#include <zlib.h>

#include <optional>
#include <string>

#include "platform/file_crc32.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "tests/support/test_folder.h"

TEST(Crc32, KnownValues)
{
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
    EXPECT_EQ(Crc32("a", 1), 0xE8B7BE43u);
    // In pieces as in one go.
    const uint32_t pieces = ~Crc32Update(Crc32Update(0xFFFFFFFFu, "1234", 4), "56789", 5);
    EXPECT_EQ(pieces, 0xCBF43926u);
}

TEST(Crc32, FilesOfEverySizeAroundTheViews)
{
    TTestFolder folder;
    // Sizes around the 1 MiB views, compared with zlib's CRC-32.
    for (const size_t size : {size_t(1), size_t(4095), size_t(1) << 20, (size_t(1) << 20) + 1,
                              (size_t(5) << 19) + 7}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
        const std::wstring file = folder / (L"data-" + std::to_wstring(size) + L".bin");
        WriteFileBytes(file, bytes);
        const auto crc = FileCrc32(file);
        ASSERT_TRUE(crc) << size;
        const auto expected = static_cast<uint32_t>(
            crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
        EXPECT_EQ(*crc, expected) << size;
        EXPECT_EQ(Crc32(bytes.data(), bytes.size()), expected) << size;
    }
}

TEST(Crc32, FilesThatCannotBeRead)
{
    TTestFolder folder;
    EXPECT_FALSE(FileCrc32(folder / L"missing.bin"));
    WriteFileBytes(folder / L"empty.bin", "");
    EXPECT_FALSE(FileCrc32(folder / L"empty.bin"));  // an empty file cannot be mapped
    EXPECT_FALSE(FileCrc32(folder.Path()));         // a folder
}

TEST(Crc32, LongPaths)
{
    TTestFolder folder;
    std::wstring deep = folder.Path();
    while (deep.size() < 300)
        deep += L"a-rather-long-folder-name\\";
    ASSERT_TRUE(ForceDirectories(deep));
    const std::wstring file = deep + L"file.bin";
    UniqueFile out(CreateFileW(ExtendedLengthPath(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                     nullptr));
    ASSERT_TRUE(out);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(out.get(), "123456789", 9, &written, nullptr));
    out.reset();
    EXPECT_EQ(FileCrc32(file), std::optional<uint32_t>(0xCBF43926u));
}
