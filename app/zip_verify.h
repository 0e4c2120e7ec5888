#pragma once
// Reading an archive back before it is reported: every entry's local header,
// data, CRC-32 and sizes checked against what was written.
#include <string>
#include <vector>

#include "app/zip_archive.h"

// Opens the archive at `path`, reads its end records and central directory,
// and for each entry its local header and data (inflated, CRC-32 taken),
// comparing name, method, CRC-32 and both sizes with `written`, entry by entry
// in order. Raises EZipError naming the first difference or read error.
void VerifyArchive(const std::wstring& path, const std::vector<TZipEntry>& written);

// The entries an archive's central directory lists, as the writer records
// them (name, method, CRC-32, sizes, local header offset). Raises EZipError
// when the end records or the directory cannot be read.
std::vector<TZipEntry> ReadArchiveEntries(const std::wstring& path);
