#pragma once
// A registry value as the report sections show it.
#include <string>

#include "platform/registry.h"

// A string value's text as stored (TRegistry::ReadText); a value of any other
// kind in .reg notation (TRegistry::ValueAsText), so that one value of an
// unexpected type never costs the lines around it.
std::wstring ReportValueText(const TRegistry& reg, const std::wstring& name);
// True when the value is present with a kind other than the two string kinds.
bool IsNonTextValue(const TRegistry& reg, const std::wstring& name);
