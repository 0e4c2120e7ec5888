#pragma once
// CRC-32 of files (reflected polynomial 0xEDB88320, as ZIP and PNG use it).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Continues a CRC-32 over `size` more bytes. Start with 0xFFFFFFFF and
// complement the end result (Crc32 does both).
uint32_t Crc32Update(uint32_t crc, const void* data, size_t size);
// The CRC-32 of a block of bytes.
uint32_t Crc32(const void* data, size_t size);
// The CRC-32 of a whole file, read through successive read-only views of
// 1 MiB; nothing when the file cannot be opened, mapped or viewed (an empty
// file cannot be mapped).
std::optional<uint32_t> FileCrc32(const std::wstring& path);
