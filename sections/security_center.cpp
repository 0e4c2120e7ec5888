#include "sections/security_center.h"

#include <atomic>
#include <cwchar>

#include "platform/windows_version.h"
#include "sections/firewall.h"

namespace {

// {4590F811-1D3A-11D0-891F-00AA004B2E24}
constexpr CLSID WbemLocatorClass = {0x4590F811, 0x1D3A, 0x11D0, {0x89, 0x1F, 0x00, 0xAA, 0x00, 0x4B, 0x2E, 0x24}};

// COM security can be set once per process; it stays set.
std::atomic<bool> SecurityInitialised{false};

// Each product of a query waits at most this long for WMI (a hung WMI
// service must not hold the report).
constexpr long ProductWaitMs = 60 * 1000;

std::wstring BoolText(bool value)
{
    return value ? L"True" : L"False";
}

// A WMI object's properties.
class TWbemProperties : public TProductProperties {
public:
    explicit TWbemProperties(IWbemClassObject* object) : FObject(object) {}

    std::wstring Text(const wchar_t* name) const override
    {
        TVariant value;
        Read(name, value, VT_BSTR);
        const BSTR text = value.get().bstrVal;
        return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    }
    bool Flag(const wchar_t* name) const override
    {
        TVariant value;
        Read(name, value, VT_BOOL);
        return value.get().boolVal != VARIANT_FALSE;
    }

private:
    void Read(const wchar_t* name, TVariant& value, VARTYPE type) const
    {
        TVariant raw;
        CheckCom(FObject->Get(name, 0, raw.put(), nullptr, nullptr), std::wstring(L"property ") + name);
        CheckCom(VariantChangeType(value.put(), const_cast<VARIANT*>(&raw.get()), 0, type), std::wstring(L"property ") + name);
    }

    IWbemClassObject* FObject;
};

bool ConnectNamespace(TSecurityCenterConnection& connection, const wchar_t* name)
{
    const UniqueBstr path = MakeBstr(name);
    return SUCCEEDED(connection.Locator.get()->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                                       connection.Services.put())) &&
           connection.Services;
}

}  // namespace

uint32_t ProductStateFromText(std::wstring_view text)
{
    if (text.empty() || text.size() > 11)
        return 0;
    size_t i = 0;
    const bool negative = text[0] == L'-';
    if (negative || text[0] == L'+')
        ++i;
    if (i == text.size())
        return 0;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return 0;
        value = value * 10 + (text[i] - L'0');
    }
    if (negative)
        value = -value;
    if (value < -2147483648LL || value > 4294967295LL)
        return 0;
    return static_cast<uint32_t>(value);
}

void AppendProductLines(TReportLines& lines, bool newSchema, const TProductProperties& product)
{
    lines.emplace_back();
    lines.push_back(L"Name:" + product.Text(L"displayName"));
    if (newSchema) {
        const uint32_t state = ProductStateFromText(product.Text(L"productState"));
        wchar_t hex[9];
        swprintf(hex, 9, L"%08X", static_cast<unsigned>(state));
        lines.push_back(L"Enabled=" + BoolText((state & 0x1000) != 0) + L"(" + hex + L")");
        lines.push_back(L"UptoDate=" + BoolText((state & 0x10) == 0));
    } else {
        lines.push_back(L"Enabled=" + BoolText(product.Flag(L"onAccessScanningEnabled")));
        lines.push_back(L"UptoDate=" + BoolText(product.Flag(L"productUptoDate")));
    }
}

bool ConnectSecurityCenter(TSecurityCenterConnection& connection)
{
    if (connection.Connected)
        return true;
    const DWORD major = WindowsVersion().dwMajorVersion;
    if (!SecurityInitialised) {
        const HRESULT result = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
        if (FAILED(result) && result != RPC_E_TOO_LATE)
            return false;
        SecurityInitialised = true;
    }
    if (!connection.Locator &&
        FAILED(CoCreateInstance(WbemLocatorClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWbemLocator),
                                reinterpret_cast<void**>(connection.Locator.put()))))
        return false;
    if (!connection.Locator)
        return false;
    if (!connection.Services) {
        if (major > 5 && ConnectNamespace(connection, L"ROOT/SecurityCenter2"))
            connection.NewSchema = true;
        else if (!ConnectNamespace(connection, L"ROOT/SecurityCenter"))
            return false;
    }
    if (FAILED(CoSetProxyBlanket(connection.Services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE)))
        return false;
    connection.Connected = true;
    return true;
}

void ListSecurityProducts(TReportLines& lines, const std::wstring& header, const std::wstring& wmiClass,
                          TSecurityCenterConnection& connection)
{
    if (wmiClass != L"AntiVirusProduct")
        lines.emplace_back();
    lines.push_back(header);
    if (!ConnectSecurityCenter(connection))
        return;
    const UniqueBstr language = MakeBstr(L"WQL");
    const UniqueBstr query = MakeBstr(L"SELECT * FROM " + wmiClass);
    ComPtr<IEnumWbemClassObject> products;
    if (FAILED(connection.Services.get()->ExecQuery(language.get(), query.get(),
                                              WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr,
                                              products.put())) ||
        !products)
        return;
    for (;;) {
        ComPtr<IWbemClassObject> product;
        ULONG returned = 0;
        if (FAILED(products.get()->Next(ProductWaitMs, 1, product.put(), &returned)) || returned == 0 || !product)
            return;
        AppendProductLines(lines, connection.NewSchema, TWbemProperties(product.get()));
    }
}

void ListWindowsFirewall(TReportLines& lines)
{
    lines.emplace_back();
    lines.push_back(L"[Windows FireWall]");
    TFireWallMgr firewall;
    try {
        lines.push_back(L"HomeNetFwEnabled=" + BoolText(firewall.HomeProfileEnabled()));
    } catch (...) {
    }
    try {
        lines.push_back(L"PublicNetFwEnabled=" + BoolText(firewall.PublicProfileEnabled()));
    } catch (...) {
    }
    try {
        lines.push_back(L"FireWallEnabled=" + BoolText(firewall.FirewallOn()));
    } catch (...) {
    }
}

void GetWSCInfo(TReportLines& lines)
{
    const TComApartment apartment;
    TSecurityCenterConnection connection;  // released before the apartment
    const struct {
        const wchar_t* header;
        const wchar_t* wmiClass;
    } blocks[] = {
        {L"[AntiVirusProduct]", L"AntiVirusProduct"},
        {L"[AntiSpywareProduct]", L"AntiSpywareProduct"},
        {L"[FirewallProduct]", L"FirewallProduct"},
    };
    for (const auto& block : blocks) {
        try {
            ListSecurityProducts(lines, block.header, block.wmiClass, connection);
        } catch (...) {
        }
    }
    try {
        ListWindowsFirewall(lines);
    } catch (...) {
    }
}
