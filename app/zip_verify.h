#pragma once
// Reading an archive back before it is reported: its end records, central
// directory and local headers (names, methods, CRC-32s, sizes, offsets), and
// every byte of every entry's data, checked against what was written.
#include <string>
#include <vector>

#include "app/zip_archive.h"

// Opens the archive at `path`, reads its end records and central directory,
// and for each entry its local header and stored data, comparing name,
// method, CRC-32, both sizes, offset and the CRC-32 of the stored data with
// `written`, entry by entry in order. Raises EZipError naming the first
// difference or read error. (The stored data is compared, not inflated: what
// is checked is that the disk holds what the writer produced, fast enough for
// archives of hundreds of megabytes.)
void VerifyArchive(const std::wstring& path, const std::vector<TZipEntry>& written);

// The entries an archive's central directory lists, as the writer records
// them (name, method, CRC-32, sizes, local header offset, CRC-32 of the
// stored data), for checking a copy of it. Raises EZipError when the archive
// cannot be read.
std::vector<TZipEntry> ReadArchiveEntries(const std::wstring& path);
