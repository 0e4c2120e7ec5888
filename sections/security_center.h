#pragma once
// What the Security Center knows about security products, and the firewall state.
#include <windows.h>
#include <wbemcli.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com.h"
#include "sections/report_lines.h"

// The "[AntiVirusProduct]", "[AntiSpywareProduct]", "[FirewallProduct]" and
// "[Windows FireWall]" blocks. A failing block ends there; the next follows.
void GetWSCInfo(TReportLines& lines);

// The Security Center's WMI namespace, connected once and reused by the
// blocks of one GetWSCInfo call (the objects belong to that call's COM
// apartment and go with it).
struct TSecurityCenterConnection {
    ComPtr<IWbemLocator> Locator;
    ComPtr<IWbemServices> Services;
    bool NewSchema = false;  // "ROOT/SecurityCenter2": products carry "productState"
    bool Connected = false;
};

// Sets up the connection, or reuses it when it is complete.
bool ConnectSecurityCenter(TSecurityCenterConnection& connection);
// One product block: "[AntiVirusProduct]" for the WMI class AntiVirusProduct,
// and so on; the header alone without a connection or when the query fails.
void ListSecurityProducts(TReportLines& lines, const std::wstring& header, const std::wstring& wmiClass,
                          TSecurityCenterConnection& connection);
// The "[Windows FireWall]" block.
void ListWindowsFirewall(TReportLines& lines);

// The properties of one product as the blocks read them; each read raises
// when the property is missing or cannot be converted.
class TProductProperties {
public:
    virtual ~TProductProperties() = default;
    virtual std::wstring Text(const wchar_t* name) const = 0;
    virtual bool Flag(const wchar_t* name) const = 0;
};

// A "productState" text as a number: decimal, 32 bits (a negative number
// stands for its two's complement); 0 for anything else.
uint32_t ProductStateFromText(std::wstring_view text);
// The lines of one product: an empty line, "Name:" with its display name,
// then "Enabled=" and "UptoDate=" from "productState" (new schema) or from
// "onAccessScanningEnabled" and "productUptoDate" (old schema). A property
// that cannot be read ends the lines there and its error passes on.
void AppendProductLines(TReportLines& lines, bool newSchema, const TProductProperties& product);
