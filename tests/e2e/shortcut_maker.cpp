// Saves a shell shortcut, as an installer makes one in a Startup folder:
//   shortcut_maker.exe <shortcut.lnk> <target> [arguments]
// Exits 0 when the shortcut was saved.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/com.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    const TComApartment apartment;
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.put()))))
        return 1;
    ComPtr<IPersistFile> file;
    if (FAILED(link.get()->SetPath(argv[2])) || FAILED(link.get()->SetArguments(argc > 3 ? argv[3] : L"")) ||
        FAILED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) ||
        FAILED(file.get()->Save(argv[1], TRUE)))
        return 1;
    return 0;
}
