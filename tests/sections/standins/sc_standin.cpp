// Stand-in for sc.exe (see standin.h): records how it was started.
#include "standin.h"

int wmain(int argc, wchar_t** argv)
{
    standin::Record(L"sc", argc, argv);
    return 0;
}
