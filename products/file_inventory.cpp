#include "products/file_inventory.h"

void MakeFilesInfo(const std::wstring& /*gatherFolder*/)
{
    // The inventory is written here.
}
