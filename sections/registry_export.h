#pragma once
// Registry exports in .reg text layout: the uninstall keys and the TCP/IP
// interface keys, each key followed by its values and then its subkeys.
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "sections/report_lines.h"

// The uninstall keys of the machine and of the user, both registry branches
// (the Wow6432Node ones only on 64-bit Windows).
void DoCollectEx(TReportLines& lines);
// The TCP/IP interface keys.
void DoCollectDNS(TReportLines& lines);

// Appends the key at `path` (below the registry object's root, no leading
// backslash) and everything below it, depth first: an empty line, the key
// line "[<rootName>\<path>]", its values in enumeration order, then each
// subkey. A key that cannot be opened is left out with everything below it.
void ExportKey(TRegistry& registry, TReportLines& lines, const std::wstring& path, const std::wstring& rootName);

// The line of a string value: "name"="text", every backslash of the text
// doubled and nothing else escaped.
std::wstring RegStringLine(const std::wstring& name, std::wstring_view text);
// The line of any other value: "name"=text, the text as the registry reader
// renders it in .reg notation.
std::wstring RegOtherLine(const std::wstring& name, const std::wstring& text);
