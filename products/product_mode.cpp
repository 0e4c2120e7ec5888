#include "products/product_mode.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "products/product_detection.h"

TProductMode ProductMode = pmAll;

namespace {

const wchar_t* const UltimateKey = L"Tramblex Ultimate_is1";

bool IsLibraryModuleName(const std::wstring& moduleName)
{
    const std::wstring name = FileNamePart(moduleName);
    const auto dot = name.find_last_of(L'.');
    return dot != std::wstring::npos && SameText(name.substr(dot), L".dll");
}

}  // namespace

bool RunsAsLibrary()
{
    return IsLibraryModuleName(GetModuleName());
}

int ProductSwitchFromArgs(const std::vector<std::wstring>& args, const std::function<bool()>& ultimateInstalled)
{
    if (args.empty())
        return 0;
    std::wstring name;
    for (size_t i = 0; i < args.size(); ++i) {
        if (SameText(args[i], L"/Product")) {
            if (i + 1 < args.size())
                name = args[i + 1];
            break;
        }
    }
    if (SameText(name, L"Grendax"))
        return 3;
    if (SameText(name, L"Clarvix"))
        return 4;
    if (SameText(name, L"Mervalo"))
        return 5;
    return ultimateInstalled() ? 2 : 1;
}

int ReadProductSwitch()
{
    std::vector<std::wstring> args;
    int count = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            args.emplace_back(argv[i]);
        LocalFree(argv);
    }
    return ProductSwitchFromArgs(args, [] { return !GetInstallLocation(UltimateKey).empty(); });
}

TProductMode ProductModeFor(const std::wstring& moduleName, const std::function<int()>& readSwitch)
{
    if (!IsLibraryModuleName(moduleName))
        return pmAll;
    switch (readSwitch()) {
    case 1:
    case 2: return pmMainProduct;
    case 3: return pmAntiMalware;
    case 4: return pmUninstaller;
    case 5: return pmDefrag;
    default: return pmAll;
    }
}

TProductMode GetProductMode()
{
    return ProductModeFor(GetModuleName(), ReadProductSwitch);
}

