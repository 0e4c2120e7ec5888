#include "sections/browser_helpers.h"

#include <vector>

#include "platform/registry.h"
#include "sections/registry_text.h"

namespace {

const std::wstring HelpersKey = L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\";
const std::wstring ClassesKey = L"\\SOFTWARE\\Classes\\CLSID\\";

// The default value of a key, or empty when the key cannot be opened.
std::wstring DefaultValueOf(TRegistry& reg, const std::wstring& path)
{
    if (!reg.OpenPath(path))
        return {};
    std::wstring text = ReportValueText(reg, std::wstring());
    reg.CloseCurrent();
    return text;
}

}  // namespace

TReportLines ListBrowserHelpers()
{
    TReportLines block{L"", L"===== BHOs =====", L""};
    TRegistry reg;  // all access; the path names the native view
    reg.SetRoot(HKEY_LOCAL_MACHINE);
    if (!reg.OpenPath(HelpersKey))
        return block;
    std::vector<std::wstring> classIds;
    reg.ListSubKeyNames(classIds);
    reg.CloseCurrent();
    for (const std::wstring& classId : classIds) {
        const std::wstring name = DefaultValueOf(reg, ClassesKey + classId);
        const std::wstring library = DefaultValueOf(reg, ClassesKey + classId + L"\\InprocServer32");
        block.push_back(name + L", " + library);
    }
    return block;
}

void GetBHOItemListEx(TReportLines& lines)
{
    const TReportLines block = ListBrowserHelpers();
    lines.push_back(AsteriskRow);
    lines.insert(lines.end(), block.begin(), block.end());
}
