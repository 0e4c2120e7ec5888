#pragma once
// Antivirus version files and crash dumps.
#include <string>

// Copies the newest antivirus version files from `source` to `destination`.
void CopyVersionFiles(const std::wstring& source, const std::wstring& destination);
// Copies one antivirus mini dump into `destination`.
void CopyDump(const std::wstring& dumpFile, const std::wstring& destination);
