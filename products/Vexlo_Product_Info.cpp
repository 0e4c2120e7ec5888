#include "products/Vexlo_Product_Info.h"

void MakeFilesInfo(const std::wstring& /*gatherFolder*/)
{
    // The inventory is written here.
}
