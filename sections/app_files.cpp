#include "sections/app_files.h"

#include <vector>

#include "platform/locale_text.h"
#include "platform/md5.h"
#include "platform/paths.h"
#include "platform/version_resource.h"
#include "products/product_detection.h"
#include "sections/collect_files.h"

std::wstring AppFileLine(const std::wstring& relativePath, const std::wstring& version, const std::wstring& digest,
                         const std::wstring& dateTime)
{
    return relativePath + L"   Ver:" + version + L"   MD5:" + digest + L"   DT:" + dateTime;
}

void GetAppFileInfo(TReportLines& lines)
{
    try {
        if (ProductAppPath.empty() || !DirectoryExists(ProductAppPath))
            return;
        const std::wstring folder = IncludeTrailingBackslash(ProductAppPath);
        std::vector<std::wstring> files;
        CollectFiles(folder, files, cmFiles, true, std::wstring());
        if (files.empty())
            return;
        lines.push_back(AsteriskRow);
        for (const std::wstring& path : files) {
            // Deep files of a product folder may pass MAX_PATH: the readers get the long form.
            const std::wstring target = ExtendedLengthPath(path);
            const std::wstring relative = path.compare(0, folder.size(), folder) == 0 ? path.substr(folder.size()) : path;
            lines.push_back(AppFileLine(relative, FixedFileVersion(target), FileMd5Hex(target),
                                        DateTimeToStr(FileTimeLocal(path, ftLastWrite))));
        }
    } catch (...) {
        // The lines already added stay; the block simply ends here.
    }
}
