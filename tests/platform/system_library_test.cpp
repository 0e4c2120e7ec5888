// Runs as a program of its own: the tests depend on which libraries this
// process has loaded so far, and on the order they run in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/fs_redirection.h"
#include "platform/modules.h"
#include "platform/process_identity.h"
#include "platform/sessions.h"
#include "platform/version_resource.h"
#include "tests/support/test_folder.h"

namespace {
bool Is32BitBuild()
{
    const char* arch = std::getenv("VEXLO_ARCH");
    return arch && std::string(arch) == "i686";
}

// The machine field of a PE file's header, or 0.
WORD MachineOf(const std::wstring& path)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return 0;
    BYTE dos[0x40] = {};
    DWORD got = 0;
    if (!ReadFile(file.get(), dos, sizeof(dos), &got, nullptr) || got != sizeof(dos) || dos[0] != 'M' || dos[1] != 'Z')
        return 0;
    LONG peOffset = 0;
    memcpy(&peOffset, dos + 0x3C, sizeof(peOffset));
    BYTE pe[6] = {};
    if (SetFilePointer(file.get(), peOffset, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !ReadFile(file.get(), pe, sizeof(pe), &got, nullptr) || got != sizeof(pe) || memcmp(pe, "PE\0\0", 4) != 0)
        return 0;
    return static_cast<WORD>(pe[4] | (pe[5] << 8));
}

std::wstring GetModuleFileNameOf(HMODULE module)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, n < MAX_PATH ? n : 0);
}

// Switches redirection off for the scope (where there is any to switch).
class RedirectionOff {
public:
    RedirectionOff() { FOff = DisableFsRedirection(&FOld); }
    ~RedirectionOff() { RevertFsRedirection(FOld); }
    bool Off() const { return FOff; }

private:
    void* FOld = nullptr;
    bool FOff = false;
};
}  // namespace

// The first version and terminal-services calls of the process: libraries of
// the same names are planted on the search path (as in a download folder),
// and the thread has redirection off, as in the services report. The
// libraries must come from the system folder of our own kind all the same.
TEST(SystemLibrary, ComesFromTheSystemFolderOnly)
{
    LoadWOW64Funcs();
    const std::wstring here = ParentFolder(GetModuleName());
    const std::wstring withVersion = here + L"version_fx_verstrings.dll";
    const std::wstring plain = here + L"version_fx_noversion.dll";
    ASSERT_TRUE(FileExists(withVersion));
    ASSERT_TRUE(FileExists(plain));
    const std::wstring user = GetCurrentUserName();

    TTestFolder planted;
    for (const wchar_t* name : {L"version.dll", L"wtsapi32.dll", L"imagehlp.dll", L"routines_probe_a.dll",
                                L"routines_probe_b.dll"})
        ASSERT_TRUE(CopyFileW(plain.c_str(), (planted / name).c_str(), FALSE));
    ASSERT_TRUE(SetDllDirectoryW(planted.Path().c_str()));

    RedirectionOff off;
    EXPECT_EQ(off.Off(), Is32BitBuild());
    // Our kind of system library: the 32-bit build's in SysWOW64, where a
    // 64-bit file of the same name waits in System32.
    const std::wstring system = GetSystemDir() + L"\\";
    std::wstring ownSystem = system;
    if (Is32BitBuild()) {
        wchar_t wow[MAX_PATH] = {};
        ASSERT_GT(GetSystemWow64DirectoryW(wow, MAX_PATH), 0u);
        ownSystem = std::wstring(wow) + L"\\";
        const std::wstring sixtyFour = system + L"notepad.exe";
        ASSERT_EQ(MachineOf(sixtyFour), IMAGE_FILE_MACHINE_AMD64);
        ASSERT_TRUE(CopyFileW(sixtyFour.c_str(), (system + L"routines_probe_b.dll").c_str(), FALSE));
    }
    for (const wchar_t* name : {L"routines_probe_a.dll", L"routines_probe_b.dll"})
        ASSERT_TRUE(CopyFileW(withVersion.c_str(), (ownSystem + name).c_str(), FALSE));

    // By name, the planted library wins: the hazard is real here.
    const UniqueModule byName(LoadLibraryW(L"routines_probe_a.dll"));
    ASSERT_TRUE(byName);
    EXPECT_EQ(GetModuleFileNameOf(byName.get()), planted / L"routines_probe_a.dll");

    const UniqueModule library = LoadSystemLibrary(L"routines_probe_b.dll");
    ASSERT_TRUE(library) << GetLastError();
    EXPECT_NE(ParentFolder(GetModuleFileNameOf(library.get())), planted.Path());
    EXPECT_EQ(GetFileVersion(GetModuleFileNameOf(library.get()), fvFileVersion), L"9.8.7.6 (text build)");

    EXPECT_EQ(GetFileVersion(withVersion, fvFileVersion), L"9.8.7.6 (text build)");
    EXPECT_EQ(GetLogonUserName(), user);
    EXPECT_TRUE(LoadSystemLibrary(L"imagehlp.dll"));
    EXPECT_FALSE(LoadSystemLibrary(L"routines_no_such_library.dll"));
    EXPECT_FALSE(LoadSystemLibrary(L""));
    SetDllDirectoryW(nullptr);
}

// Libraries loaded at run time must not come in through the import table,
// where the loader would search for them by name.
TEST(SystemLibrary, NotInTheImportTable)
{
    const auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    ASSERT_NE(imports.VirtualAddress, 0u);
    std::vector<std::string> names;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name;
         ++entry) {
        std::string name = reinterpret_cast<const char*>(base + entry->Name);
        for (char& c : name)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        names.push_back(name);
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "kernel32.dll"), names.end());  // the walk works
    for (const char* loaded : {"version.dll", "wtsapi32.dll", "psapi.dll"})
        EXPECT_EQ(std::find(names.begin(), names.end(), loaded), names.end()) << loaded;
}

TEST(Redirection, SystemFilesAreSixtyFourBitOnlyWhileRedirectionIsOff)
{
    LoadWOW64Funcs();
    const std::wstring kernel = GetSystemDir() + L"\\kernel32.dll";
    const WORD native = IMAGE_FILE_MACHINE_AMD64;  // 0x8664
    const WORD own = Is32BitBuild() ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
    EXPECT_EQ(MachineOf(kernel), own);
    {
        RedirectionOff off;
        EXPECT_EQ(off.Off(), Is32BitBuild());
        EXPECT_EQ(MachineOf(kernel), native);
    }
    EXPECT_EQ(MachineOf(kernel), own);  // reverted
}
