#pragma once
// The modules loaded into this process, with version and (outside the
// Windows directory) CRC-32, for crash reports.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/version_resource.h"

struct TModuleItem {
    uintptr_t Base = 0;
    std::wstring Name;    // file name
    std::wstring Folder;  // its folder without the trailing backslash
    std::wstring Info;    // version, then "," and the CRC-32 for modules outside Windows
};

// One line per module: the base as (at least) 8 lower-case hexadecimal
// digits, the name and the info each padded to the longest plus one, the
// folder; joined by CR LF without a final line break.
std::wstring ModuleListText(const std::vector<TModuleItem>& modules);
// The version a module line shows: the fixed block's file version when it is
// not zero, else the declared translation's "FileVersion" text trimmed of
// characters outside 33..255, else empty.
std::wstring ModuleVersionText(const TVersionSummary& summary);
// ModuleVersionText of a file's version resource; empty without one.
std::wstring GetModuleVersion(const std::wstring& path);
// The modules of this process in address order.
std::wstring GetModuleList();
