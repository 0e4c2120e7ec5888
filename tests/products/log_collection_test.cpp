// The product log collection, the antivirus version files and the mini dumps
// on installations in the test's prefix: program folders in the 32-bit
// Program Files with their uninstall keys in the 32-bit registry branch,
// per-user and machine-wide data folders, the Windows Minidump folder, the
// BDLogging tree with a link loop and a link to a folder outside (planted by
// log_collection.cmake from the Linux side). Each step runs on its own and the
// files it adds below the gather folder are compared, path by path, with what
// its table says. The product names and ProductAppPath are process-wide, so
// each case runs in a process and prefix of its own.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <stdexcept>
#include <string>

#include "platform/fs_redirection.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "products/antivirus_files.h"
#include "products/log_collection.h"
#include "products/product_detection.h"
#include "tests/products/install_fixture.h"
#include "tests/support/test_folder.h"

using namespace install_fixture;

namespace {

using Files = std::set<std::wstring>;

std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE));
    return IncludeTrailingBackslash(path);
}

// The folders of this prefix the steps read, found here without the code under test.
struct TPlaces {
    std::wstring AppData = ShellFolder(CSIDL_APPDATA);
    std::wstring ProgramData = ShellFolder(CSIDL_COMMON_APPDATA);
    std::wstring Windows = ShellFolder(CSIDL_WINDOWS);
    std::wstring ProgramFiles = ShellFolder(CSIDL_PROGRAM_FILESX86);
};

// Each planted file holds its own path, so a copy shows where it came from.
void Plant(const std::wstring& path)
{
    MakeFile(path, ToUtf8(path));
}

void PlantAll(const std::wstring& folder, std::initializer_list<const wchar_t*> names)
{
    for (const wchar_t* name : names)
        Plant(folder + name);
}

// The gather folder and what each step adds to it.
class TGather {
public:
    const std::wstring& Path() const { return FPath; }
    Files Run(const std::function<void(const std::wstring&)>& step)
    {
        const Files before = FilesBelow(FPath);
        step(FPath);
        return Added(before, FilesBelow(FPath));
    }
    std::string Read(const std::wstring& relative) const { return ReadFileBytes(FPath + relative); }

private:
    TTestFolder FFolder;
    std::wstring FPath = FFolder / L"GetInfoDir\\";
};

void CopyAntivirusOf(const wchar_t* keyName, const std::wstring& destination)
{
    CopyVersionFiles(IncludeTrailingBackslash(GetInstallLocation(keyName)) + L"Antivirus\\", destination);
}

void CopyDumpOf(const wchar_t* keyName, const wchar_t* dumpName, const std::wstring& destination)
{
    const std::wstring dump = IncludeTrailingBackslash(GetInstallLocation(keyName)) + dumpName;
    ASSERT_TRUE(FileExists(dump));
    CopyDump(dump, destination);
}

}  // namespace

TEST(ProductFiles, EachStepOfAWholeInstallation)
{
    const TPlaces at;
    ASSERT_TRUE(EndsWithText(at.ProgramFiles, L"\\Program Files (x86)\\")) << at.ProgramFiles;
    const DWORD loop = GetFileAttributesW((at.ProgramData + L"BDLogging\\loop").c_str());
    ASSERT_TRUE(loop != INVALID_FILE_ATTRIBUTES && (loop & FILE_ATTRIBUTE_REPARSE_POINT))
        << "run through with_links.py";

    // The main product, installed as its 32-bit installer does it.
    const std::wstring program = at.ProgramFiles + L"Vexlo\\Tramblex\\";
    InstallKey(L"Tramblex_is1", program);
    PlantAll(program, {L"a.log", L"SelfRefresh.log", L"notes.txt", L"Antivirus\\Plugins\\update.txt",
                       L"Antivirus\\Plugins\\other.txt", L"Antivirus\\Sightings.ini", L"tbx_Antivirus_Faultnote.txt",
                       L"Faultnote.txt", L"Faultnote_new.txt", L"scanstate.txt", L"qv.dat", L"TBXService_Log.txt",
                       L"Screen_log.txt", L"TBXServiceLog\\s1.txt", L"TBXServiceLog\\deeper\\no.txt",
                       L"Boottimelog\\b1.txt", L"Update\\u.ini", L"Update\\u.txt", L"DumpFile\\crash.dmp",
                       L"DumpFile\\crash.txt"});
    // The same key of the 64-bit view is not the product's.
    InstallKey(L"Tramblex_is1", L"C:\\Decoy64\\", Native64);
    PlantAll(L"C:\\Decoy64\\", {L"TBXService_Log.txt", L"decoy.log"});
    ProductAppPath = program;

    const std::wstring userData = at.AppData + L"Vexlo\\Tramblex\\";
    PlantAll(userData, {L"settings.ini", L"desktop.ini", L"user.log", L"Log\\l.txt", L"Log\\Thumbs.db",
                        L"Log\\sub\\x.log", L"Backup\\bk.dat", L"Boottime\\bt.txt", L"Netquell\\n.txt",
                        L"Memfolio\\m.txt", L"Onsetter\\o.txt", L"Onsetter\\o.ini", L"Haltwise\\h.txt",
                        L"Hivescrub\\hs.txt", L"Hivescrub\\backup\\hb.txt", L"Downloader\\d.txt",
                        L"Pagewarden\\p.txt"});
    const std::wstring machineData = at.ProgramData + L"Vexlo\\Tramblex\\";
    PlantAll(machineData, {L"c.dat", L"c.ini", L"Log\\pl.txt", L"App.bk", L"AppAV.bk", L"BDLog\\bd.log",
                           L"BDLog\\bd.txt", L"Pagewarden\\pw.log", L"Onsetter\\po.txt", L"Rousemark\\r.txt"});
    PlantAll(at.ProgramData + L"Vexlo\\", {L"TBXDownloader\\dl.log", L"namewatch.ini", L"LocalSkip.ini",
                                          L"LocalChosen.ini", L"other.ini"});
    PlantAll(at.Windows + L"Minidump\\", {L"m1.dmp", L"m1.txt"});
    PlantAll(at.ProgramData + L"BDLogging\\", {L"top.log", L"a\\b\\c.log"});
    Plant(L"C:\\VexloOutside\\secret.log");  // behind the link "outside"
    PlantAll(at.ProgramFiles + L"Vexlo\\Fetchwell\\", {L"f.log", L"f.txt"});
    Plant(L"C:\\Program Files\\Vexlo\\Fetchwell\\native.log");  // the 64-bit Program Files: not the updater's

    // The Ultimate edition holds the main product's antivirus and its dump.
    const std::wstring ultimate = L"C:\\VexloTest\\Tramblex Ultimate\\";
    InstallKey(L"Tramblex Ultimate_is1", ultimate);
    const struct {
        const wchar_t* Name;
        WORD Hour;
    } versions[] = {{L"versions.dat", 10}, {L"versions.dat.bak", 11}, {L"versions.dat.upd", 12},
                    {L"versions.id", 10},  {L"versions.id2", 11},     {L"other.dat", 13}};
    for (const auto& v : versions) {
        Plant(ultimate + L"Antivirus\\" + v.Name);
        StampLocal(ultimate + L"Antivirus\\" + v.Name, 2021, 5, 6, v.Hour, 0);
    }
    Plant(ultimate + L"tbx_Antivirus_mini.dmp");

    // The anti-malware product; its program folder holds a link back to itself
    // (planted by log_collection.cmake) and working-copy folders.
    const std::wstring grendax = at.ProgramFiles + L"Vexlo\\Grendax\\";
    InstallKey(L"Grendax_is1", grendax);
    PlantAll(grendax, {L"log\\l1.log", L"log\\l2.txt", L"selfrefresh.log", L"gdx_Antivirus_Faultnote.txt",
                       L"engine.log", L"deep\\x.log", L"deep\\x.txt", L"update\\g.ini", L"update\\g.txt",
                       L".svn\\s.log", L"deep\\.svn\\z.log", L"Antivirus\\versions.dat", L"Antivirus\\versions.id",
                       L"gdx_Antivirus_mini.dmp"});
    PlantAll(at.AppData + L"Vexlo\\Grendax\\", {L"g.ini", L"desktop.ini", L"sub\\deep.txt", L".svn\\entries"});
    PlantAll(at.ProgramData + L"Vexlo\\Grendax\\", {L"cg.dat", L"sub\\c2.txt"});

    TGather g;
    EXPECT_EQ(g.Run(LoadLog), (Files{
        L"AppPath\\a.log", L"AppPath\\SelfRefresh.log",  // rows 1 and 18 name SelfRefresh.log: one copy
        L"AppPath\\Antivirus\\Plugins\\update.txt", L"AppPath\\Antivirus\\Sightings.ini",
        L"AppPath\\tbx_Antivirus_Faultnote.txt", L"AppPath\\Faultnote.txt", L"AppPath\\Faultnote_new.txt",
        L"ProgramData\\c.dat", L"ProgramData\\c.ini", L"ProgramData\\Log\\pl.txt", L"ProgramData\\App.bk",
        L"ProgramData\\AppAV.bk", L"AppPath\\scanstate.txt", L"AppPath\\qv.dat", L"AppPath\\TBXService_Log.txt",
        L"AppPath\\TBXServiceLog\\s1.txt", L"AppPath\\Boottimelog\\b1.txt", L"AppPath\\Update\\u.ini",
        L"AppPath\\Screen_log.txt", L"AppPath\\DumpFile\\crash.dmp",
        L"AppData\\settings.ini", L"AppData\\desktop.ini", L"AppData\\user.log", L"AppData\\Log\\l.txt",
        L"AppData\\Log\\Thumbs.db", L"AppData\\Backup\\bk.dat", L"AppData\\Boottime\\bt.txt",
        L"AppData\\Netquell\\n.txt", L"AppData\\Memfolio\\m.txt", L"AppData\\Onsetter\\o.txt",
        L"AppData\\Onsetter\\o.ini", L"AppData\\Haltwise\\h.txt", L"AppData\\Hivescrub\\hs.txt",
        L"AppData\\Hivescrub\\backup\\hb.txt", L"AppData\\Downloader\\d.txt",
        L"ProgramData\\BDLog\\bd.log", L"ProgramData\\Pagewarden\\pw.log", L"AppData\\Pagewarden\\p.txt",
        L"TBXDownloader\\dl.log", L"namewatch.ini", L"LocalSkip.ini", L"LocalChosen.ini",
        L"ProgramData\\Onsetter\\po.txt", L"ProgramData\\Rousemark\\r.txt", L"Minidump\\m1.dmp",
    }));
    EXPECT_EQ(g.Read(L"AppPath\\SelfRefresh.log"), ToUtf8(program + L"SelfRefresh.log"));
    EXPECT_EQ(g.Read(L"LocalSkip.ini"), ToUtf8(at.ProgramData + L"Vexlo\\LocalSkip.ini"));

    EXPECT_EQ(g.Run([](const std::wstring& folder) { LoadOtherInfo(folder, 0); }),
              (Files{L"OtherInfo\\BDLogging\\top.log", L"OtherInfo\\BDLogging\\a\\b\\c.log"}));
    EXPECT_EQ(g.Run(LoadOnlyForVireRuriTool), (Files{L"Program Files(x86)\\Fetchwell\\f.log"}));

    // Files already copied are kept: the newer text of settings.ini is not taken.
    MakeFile(userData + L"settings.ini", "changed after LoadLog");
    Plant(userData + L"Log\\late.txt");
    Plant(machineData + L"late.ini");
    EXPECT_EQ(g.Run(GenTBXLogFiles), (Files{
        L"TBX9AppPath\\TBXService_Log.txt", L"TBX9AppPath\\scanstate.txt", L"TBX9AppPath\\qv.dat",
        L"TBX9AppPath\\Screen_log.txt", L"TBX9AppPath\\a.log", L"TBX9AppPath\\SelfRefresh.log",
        L"TBX9AppPath\\Update\\u.ini", L"TBX9AppPath\\TBXServiceLog\\s1.txt", L"TBX9AppPath\\Boottimelog\\b1.txt",
        L"AppData\\Log\\late.txt", L"ProgramData\\late.ini",
    }));
    EXPECT_EQ(g.Read(L"AppData\\settings.ini"), ToUtf8(userData + L"settings.ini"));
    EXPECT_EQ(g.Read(L"TBX9AppPath\\TBXService_Log.txt"), ToUtf8(program + L"TBXService_Log.txt"));

    EXPECT_EQ(g.Run([](const std::wstring& folder) {
                  CopyAntivirusOf(L"Tramblex Ultimate_is1", folder + L"AppPath\\Antivirus\\");
              }),
              (Files{L"AppPath\\Antivirus\\versions.dat.bak", L"AppPath\\Antivirus\\versions.id2"}));

    EXPECT_EQ(g.Run(GenGDXLogFiles), (Files{
        L"GDX\\AppData\\g.ini", L"GDX\\AppData\\desktop.ini", L"GDX\\AppData\\sub\\deep.txt",
        L"GDX\\ProgramData\\cg.dat", L"GDX\\ProgramData\\sub\\c2.txt",
        L"GDX\\AppPath\\log\\l1.log", L"GDX\\AppPath\\log\\l2.txt", L"GDX\\AppPath\\selfrefresh.log",
        L"GDX\\AppPath\\gdx_Antivirus_Faultnote.txt", L"GDX\\AppPath\\engine.log", L"GDX\\AppPath\\deep\\x.log",
        L"GDX\\AppPath\\update\\g.ini",
    }));
    EXPECT_EQ(g.Run([](const std::wstring& folder) {
                  CopyAntivirusOf(L"Grendax_is1", folder + L"GDX\\AppPath\\Antivirus\\");
              }),
              (Files{L"GDX\\AppPath\\Antivirus\\versions.dat", L"GDX\\AppPath\\Antivirus\\versions.id"}));

    EXPECT_EQ(g.Run([](const std::wstring& folder) {
                  CopyDumpOf(L"Tramblex Ultimate_is1", L"tbx_Antivirus_mini.dmp", folder + L"AppPath\\");
                  CopyDumpOf(L"Grendax_is1", L"gdx_Antivirus_mini.dmp", folder + L"GDX\\AppPath\\");
              }),
              (Files{L"AppPath\\tbx_Antivirus_mini.dmp", L"GDX\\AppPath\\gdx_Antivirus_mini.dmp"}));
}

// After the switch to the previous major version the names follow it: the
// data folder "Tramblex V8", the key "Tramblex 8_is1" and TBX8AppPath\.
TEST(ProductFiles, AfterAVersionSwitch)
{
    const TPlaces at;
    const std::wstring program = L"C:\\VexloTest\\Tramblex 8\\";
    InstallKey(L"Tramblex 8_is1", program);
    PlantAll(program, {L"TBXService_Log.txt", L"a.log"});
    InstallKey(L"Tramblex_is1", L"C:\\VexloTest\\Tramblex 9\\");
    PlantAll(L"C:\\VexloTest\\Tramblex 9\\", {L"TBXService_Log.txt", L"nine.log"});
    Plant(at.AppData + L"Vexlo\\Tramblex V8\\v8.ini");
    Plant(at.AppData + L"Vexlo\\Tramblex\\current.ini");
    Plant(at.ProgramData + L"Vexlo\\Tramblex V8\\Log\\v8.txt");
    ProductAppPath = program;
    CurMajor = L"8";
    PrevMajor = L"7";

    TGather g;
    EXPECT_EQ(g.Run(LoadLog), (Files{L"AppPath\\TBXService_Log.txt", L"AppPath\\a.log", L"AppData\\v8.ini",
                                     L"ProgramData\\Log\\v8.txt"}));
    EXPECT_EQ(g.Run(GenTBXLogFiles), (Files{L"TBX8AppPath\\TBXService_Log.txt", L"TBX8AppPath\\a.log"}));
}

// Without a program folder the "%AppPath%" rows copy nothing; the others still run.
TEST(ProductFiles, WithoutAProductFolder)
{
    const TPlaces at;
    Plant(L"C:\\a.log");  // what an empty folder text must not turn into
    Plant(at.AppData + L"Vexlo\\Tramblex\\settings.ini");
    Plant(at.ProgramData + L"Vexlo\\LocalSkip.ini");
    ProductAppPath.clear();

    TGather g;
    EXPECT_EQ(g.Run(LoadLog), (Files{L"AppData\\settings.ini", L"LocalSkip.ini"}));
    EXPECT_TRUE(g.Run(GenTBXLogFiles).empty());
    EXPECT_TRUE(g.Run(GenGDXLogFiles).empty());
    // Neither product installed: the antivirus folders are made and stay empty.
    EXPECT_TRUE(g.Run([](const std::wstring& folder) {
                     CopyAntivirusOf(L"Tramblex Ultimate_is1", folder + L"AppPath\\Antivirus\\");
                     CopyAntivirusOf(L"Grendax_is1", folder + L"GDX\\AppPath\\Antivirus\\");
                 }).empty());
    EXPECT_TRUE(DirectoryExists(g.Path() + L"AppPath\\Antivirus"));
    EXPECT_TRUE(DirectoryExists(g.Path() + L"GDX\\AppPath\\Antivirus"));
}

// A registry value of another kind than text counts as missing: the rest of
// the list is still copied.
TEST(ProductFiles, AnInstallLocationOfAnotherKindCountsAsMissing)
{
    const TPlaces at;
    SetDword(UninstallKeys + L"Tramblex_is1", L"InstallLocation", 1);
    SetDword(UninstallKeys + L"Grendax_is1", L"InstallLocation", 1);
    Plant(at.AppData + L"Vexlo\\Tramblex\\Log\\l.txt");
    Plant(at.AppData + L"Vexlo\\Grendax\\g.ini");
    Plant(at.ProgramData + L"Vexlo\\Grendax\\not-without-the-program.dat");

    TGather g;
    EXPECT_EQ(g.Run(GenTBXLogFiles), (Files{L"AppData\\Log\\l.txt"}));
    EXPECT_EQ(g.Run(GenGDXLogFiles), (Files{L"GDX\\AppData\\g.ini"}));
}

// A file held open without sharing cannot be copied: it is passed over, and
// the files after it are copied all the same.
TEST(ProductFiles, ALockedFileIsPassedOver)
{
    const TPlaces at;
    const std::wstring program = at.ProgramFiles + L"Vexlo\\Tramblex\\";
    InstallKey(L"Tramblex_is1", program);
    PlantAll(program, {L"a.log", L"b.log", L"c.log", L"qv.dat"});
    ProductAppPath = program;
    const UniqueFile held(CreateFileW((program + L"b.log").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);

    // Each step copies everything else, then names the held file (for the
    // driver's log) by raising once at its end.
    const auto namesHeldFile = [&](const std::function<void(const std::wstring&)>& step) {
        return [&, step](const std::wstring& folder) {
            try {
                step(folder);
                ADD_FAILURE() << "the step does not say that b.log was not copied";
            } catch (const std::runtime_error& error) {
                const std::wstring text = FromUtf8(error.what());
                EXPECT_EQ(text.rfind(L"not copied: " + program + L"b.log: ", 0), 0u) << error.what();
            }
        };
    };
    TGather g;
    EXPECT_EQ(g.Run(namesHeldFile(LoadLog)), (Files{L"AppPath\\a.log", L"AppPath\\c.log", L"AppPath\\qv.dat"}));
    EXPECT_EQ(g.Run(namesHeldFile(GenTBXLogFiles)),
              (Files{L"TBX9AppPath\\a.log", L"TBX9AppPath\\c.log", L"TBX9AppPath\\qv.dat"}));
}

// The tree of LoadOtherInfo is taken whole or not at all.
TEST(ProductFiles, OtherInfoSizeLimit)
{
    const TPlaces at;
    MakeFile(at.ProgramData + L"BDLogging\\big.log", std::string(1536 * 1024, 'b'));
    MakeFile(at.ProgramData + L"BDLogging\\sub\\more.log", std::string(1024 * 1024, 'm'));  // 2.5 MiB in all
    const Files all{L"OtherInfo\\BDLogging\\big.log", L"OtherInfo\\BDLogging\\sub\\more.log"};
    for (const int limit : {1, 3, 0, 2}) {
        TGather g;
        const Files copied = g.Run([limit](const std::wstring& folder) { LoadOtherInfo(folder, limit); });
        EXPECT_EQ(copied, limit == 1 ? Files{} : all) << "limit " << limit << " MiB";
    }
}

// Folders and files deeper than MAX_PATH are found, listed and copied, and
// land deep below the gather folder.
TEST(ProductFiles, LongPathsAreCopied)
{
    const TPlaces at;
    const std::wstring program = LongFolder(L"C:\\VexloTest\\Tramblex", 270);
    InstallKey(L"Tramblex_is1", program);
    PlantAll(program, {L"a.log", L"Update\\u.ini"});
    ProductAppPath = program;
    const std::wstring grendax = L"C:\\VexloTest\\Grendax\\";
    InstallKey(L"Grendax_is1", grendax);
    const std::wstring deep = LongFolder(grendax + L"deep", 300).substr(grendax.size());
    Plant(grendax + deep + L"x.log");
    const std::wstring deepData = LongFolder(L"logs", 280);
    Plant(at.ProgramData + L"BDLogging\\" + deepData + L"b.log");

    TGather g;
    EXPECT_EQ(g.Run(LoadLog), (Files{L"AppPath\\a.log", L"AppPath\\Update\\u.ini"}));
    EXPECT_EQ(g.Run([](const std::wstring& folder) { LoadOtherInfo(folder, 0); }),
              (Files{L"OtherInfo\\BDLogging\\" + deepData + L"b.log"}));
    EXPECT_EQ(g.Run(GenTBXLogFiles), (Files{L"TBX9AppPath\\a.log", L"TBX9AppPath\\Update\\u.ini"}));
    EXPECT_EQ(g.Run(GenGDXLogFiles), (Files{L"GDX\\AppPath\\" + deep + L"x.log"}));
    EXPECT_EQ(g.Read(L"GDX\\AppPath\\" + deep + L"x.log"), ToUtf8(grendax + deep + L"x.log"));
}

// The pattern steps switch file-system redirection off: a 32-bit process then
// reads the real System32, not SysWOW64 (the shipped 32-bit build is where
// this shows), and gets it back afterwards. The shell's folders are pointed
// into System32 before anything asks for them.
TEST(ProductFiles, RedirectionIsOffAroundThePatternSteps)
{
#ifdef _WIN64
    const std::wstring native = L"C:\\windows\\system32\\";
#else
    const std::wstring native = L"C:\\windows\\sysnative\\";
#endif
    const std::wstring wow = L"C:\\windows\\syswow64\\";
    const std::wstring system32 = L"C:\\windows\\system32\\";
    const std::wstring folders = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    const std::wstring current = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    for (const REGSAM view : {Installer32, Native64})
        SetText(HKEY_LOCAL_MACHINE, folders, L"Common AppData", system32 + L"VexloData", view);
    SetText(HKEY_LOCAL_MACHINE, current, L"ProgramFilesDir", system32 + L"VexloPrograms", Installer32);
    SetText(HKEY_LOCAL_MACHINE, current, L"ProgramFilesDir (x86)", system32 + L"VexloPrograms", Native64);

    for (const std::wstring& base : {native, wow}) {
        const std::wstring mark = base == native ? L"native" : L"wow";
        Plant(base + L"VexloApp\\" + mark + L".log");
        Plant(base + L"VexloData\\Vexlo\\" + (base == native ? L"LocalSkip.ini" : L"LocalChosen.ini"));
        Plant(base + L"VexloData\\BDLogging\\" + mark + L".log");
        Plant(base + L"VexloPrograms\\Vexlo\\Fetchwell\\" + mark + L".log");
    }
    ProductAppPath = system32 + L"VexloApp\\";
    LoadWOW64Funcs();  // as the driver does before any step

    TGather g;
    Files copied = g.Run(LoadLog);
    EXPECT_EQ(copied, (Files{L"AppPath\\native.log", L"LocalSkip.ini"}));
    copied = g.Run([](const std::wstring& folder) { LoadOtherInfo(folder, 0); });
    EXPECT_EQ(copied, (Files{L"OtherInfo\\BDLogging\\native.log"}));
    copied = g.Run(LoadOnlyForVireRuriTool);
    EXPECT_EQ(copied, (Files{L"Program Files(x86)\\Fetchwell\\native.log"}));
    EXPECT_EQ(g.Read(L"AppPath\\native.log"), ToUtf8(native + L"VexloApp\\native.log"));
#ifndef _WIN64
    // Redirection is back on for this thread.
    EXPECT_TRUE(FileExists(system32 + L"VexloApp\\wow.log"));
    EXPECT_FALSE(FileExists(system32 + L"VexloApp\\native.log"));
#endif
}
