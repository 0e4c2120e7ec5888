// Stand-in for systeminfo.exe (see standin.h): prints systeminfo.txt, or
// never ends when systeminfo.hang exists.
#include "standin.h"

int wmain(int argc, wchar_t** argv)
{
    standin::Record(L"systeminfo", argc, argv);
    standin::Answer(L"systeminfo");
    return 0;
}
