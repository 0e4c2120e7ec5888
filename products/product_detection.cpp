#include "products/product_detection.h"

std::wstring ProductAppPath;

void FindProductAppPath()
{
    // The main product's folder is looked up here.
}

std::wstring GetInstallLocation(const std::wstring& /*keyName*/)
{
    // The uninstall keys are read here.
    return {};
}
