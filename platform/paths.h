#pragma once
// Path texts and the existence tests every part of the program shares.
//
// Paths longer than MAX_PATH work wherever a helper here is used: the file
// APIs get them in the extended-length form (\\?\C:\... or \\?\UNC\server\...)
// from ExtendedLengthPath, which leaves ordinary paths as they are.
#include <string>

// With exactly one trailing backslash added when there is none.
std::wstring IncludeTrailingBackslash(const std::wstring& path);
// Without trailing backslashes, except that a drive root stays a root
// ("C:\" stays "C:\", never "C:").
std::wstring ExcludeTrailingBackslash(const std::wstring& path);
// The folder that holds a file or folder, with its trailing backslash
// ("C:\a\b\" and "C:\a\b" both give "C:\a\"); empty without a backslash and
// for a drive root.
std::wstring ParentFolder(const std::wstring& path);
// The part after the last "\", "/" or ":".
std::wstring FileNamePart(const std::wstring& path);
// "C:" of "C:\Windows\...", "\\server\share" of a UNC path, else empty.
std::wstring DrivePart(const std::wstring& path);
// True for "X:\...", "\\server\share\..." and the extended forms; false for
// anything a working directory would complete ("a\b", "\a", "C:a").
bool IsAbsolutePath(const std::wstring& path);
// True for "X:\" (or "X:") and "\\server\share\" alone.
bool IsDriveRoot(const std::wstring& path);
// The full, normalised form ("." and ".." resolved, separators collapsed);
// the path unchanged when it cannot be formed.
std::wstring FullPath(const std::wstring& path);
// The form to hand to the file APIs: an absolute path of MAX_PATH - 12
// characters or more becomes \\?\X:\... or \\?\UNC\server\share\...
// (normalised first, since that form is taken literally); anything else is
// returned as it is.
std::wstring ExtendedLengthPath(const std::wstring& path);

// The extended-length form of any absolute path, short or long: the file APIs
// then take the name literally, so a file named like a device ("con", "nul")
// or ending in a dot or blank is opened as the file it is. The path must be
// full and normalised already (as a folder walk builds them); relative paths
// are returned as they are.
std::wstring LiteralPath(const std::wstring& path);

bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
// Creates the folder with all missing parents; true when it exists afterwards.
bool ForceDirectories(const std::wstring& folder);
