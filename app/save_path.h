#pragma once
// Where the report is saved for the user: the interactive user's desktop.
#include <string>

// The desktop path of the interactive user: every "\\ProcUser\\" in the path
// becomes "\\LogUser\\" (ignoring case) when both names are known and differ.
std::wstring ReplaceUserInPath(const std::wstring& path, const std::wstring& logUser, const std::wstring& procUser);
