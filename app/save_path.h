#pragma once
// Where the report is saved for the user: the interactive user's desktop.
#include <string>

// The desktop path of the interactive user: every "\\ProcUser\\" in the path
// becomes "\\LogUser\\" (ignoring case) when both names are known and differ.
std::wstring ReplaceUserInPath(const std::wstring& path, const std::wstring& logUser, const std::wstring& procUser);

// The archive's name at the save path.
inline constexpr wchar_t ArchiveFileName[] = L"Vexlo_Debug_Info.zip";

// The full path where the user will find the archive: the interactive user's
// desktop (the process user's name replaced as above), or the executable's
// folder when there is no desktop; every decision is logged.
std::wstring DecideSaveFile();
