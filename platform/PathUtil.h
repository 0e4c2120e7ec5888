#pragma once
// Small path and file-system helpers shared by the whole program.
#include <string>

std::wstring IncludeTrailingBackslash(const std::wstring& path);
std::wstring ExcludeTrailingBackslash(const std::wstring& path);
// The folder that holds a file or folder, with its trailing backslash
// ("C:\a\b\" and "C:\a\b" both give "C:\a\"); empty without a backslash.
std::wstring ParentFolder(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
// Creates the folder with all missing parents; true when it exists afterwards.
bool ForceDirectories(const std::wstring& folder);
