#pragma once
// Antivirus version files and crash dumps: the newest "versions.dat*" and
// "versions.id*" of a product's Antivirus folder, and the engine's mini dump.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Creates `destination` (trailing backslash) first, then copies the newest
// versions.dat* and the newest versions.id* of `source` (trailing backslash)
// into it, each under the name it has in the source folder, overwriting.
// Raises (see TCopyFailures) when a chosen file cannot be copied.
void CopyVersionFiles(const std::wstring& source, const std::wstring& destination);
// The full path of the newest file of `folder` whose name starts with
// `prefix` (letter case ignored), files named "*.upd" left out; empty when
// there is none.
std::wstring NewestMatch(const std::wstring& folder, const std::wstring& prefix);
// Creates `destination` (trailing backslash) and copies the dump into it,
// overwriting; raises (see TCopyFailures) when it cannot be copied.
void CopyDump(const std::wstring& dumpFile, const std::wstring& destination);

// One entry of a folder listing as NewestMatch weighs it.
struct TVersionCandidate {
    std::wstring Name;
    bool Folder = false;
    uint32_t DosTime = 0;  // last write, local time, DOS date (high word) and time (low word); 0 when unknown
};
// The last-write time as NewestMatch compares it: local time at the 2-second
// resolution of DOS time stamps, the DOS date in the high word; 0 for a time
// DOS cannot hold.
uint32_t DosTimeOf(const FILETIME& lastWriteUtc);
// The name NewestMatch takes from candidates in listing order: the newest by
// DOS time; of equal times the first one listed. Empty when none matches.
std::wstring ChooseNewest(const std::vector<TVersionCandidate>& candidates, const std::wstring& prefix);
