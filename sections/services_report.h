#pragma once
// The services and drivers with their image paths and versions.
#include <windows.h>

#include <string>

#include "sections/report_lines.h"

// What the service control manager stores for one service, as the line shows it.
struct TServiceSettings {
    int StartType = -1;     // -1 when the configuration cannot be read
    std::wstring ImagePath;  // as stored; empty when it cannot be read
};

// What one line of the section shows.
struct TServiceLine {
    std::wstring DisplayName;
    DWORD ServiceType = 0;
    DWORD CurrentState = 0;
    DWORD Win32ExitCode = 0;
    int StartType = -1;
    std::wstring ImagePath;
    std::wstring VersionText;
};

// "%-30s %X  %d  %d %d %s %s": the name padded to 30, type in hexadecimal,
// state, exit code (signed), start type, image path, version text.
std::wstring FormatServiceLine(const TServiceLine& line);
// The start type and image path of a service.
TServiceSettings ReadServiceConfig(const std::wstring& serviceName);
// "Ver:" and the file version of the image a service's path names, with
// file-system redirection off; empty when no such file exists (a quoted path
// or one with arguments names none).
std::wstring ServiceFileVersion(const std::wstring& imagePath);
// Appends a row of asterisks and one line per service and driver; nothing
// without access to the service control manager.
void EnumServices(TReportLines& lines);
