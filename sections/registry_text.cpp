#include "sections/registry_text.h"

bool IsNonTextValue(const TRegistry& reg, const std::wstring& name)
{
    const auto info = reg.QueryValueInfo(name);
    return info && info->Kind != vkText && info->Kind != vkExpandText;
}

std::wstring ReportValueText(const TRegistry& reg, const std::wstring& name)
{
    return IsNonTextValue(reg, name) ? reg.ValueAsText(name, true) : reg.ReadText(name);
}
