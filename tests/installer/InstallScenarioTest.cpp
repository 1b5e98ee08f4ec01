// Installs end to end through the host program, with the built modules and
// the system's registration tool: a fresh install and everything it leaves,
// the refusals, and every failure with its roll-back.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "installer/OwnedFolders.h"
#include "tests/installer/InstallBed.h"
#include "tests/installer/WorldAccess.h"

namespace {

const wchar_t kClsidA[] = L"6D0C1F52-3A9B-4C7E-9E21-5A4B3C2D1E01";
const wchar_t kClsidB[] = L"6D0C1F52-3A9B-4C7E-9E21-5A4B3C2D1E02";

std::string Params(const std::wstring& subDir,
                   const std::wstring& key,
                   const std::wstring& clsid,
                   const std::string& extra = std::string()) {
    std::string escaped;
    for (char c : Narrow(subDir)) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        escaped += c;
    }
    return "{\"subDir\":\"" + escaped + "\",\"ExplorerKey\":\"" + Narrow(key) + "\",\"CLSID\":\"" +
           Narrow(clsid) + "\"" + extra + "}";
}

std::wstring NativeShellSource() {
    return RunsUnderWow64() ? L"PuShellExtDllx.dll" : L"PuShellExtDll.dll";
}

std::vector<std::wstring> Names(std::initializer_list<const wchar_t*> names) {
    return std::vector<std::wstring>(names.begin(), names.end());
}

}  // namespace

TEST(InstallScenario, FreshInstallIsPlacedRegisteredRecordedAndNotRepeated) {
    InstallBed bed;
    const std::wstring key = L"RvTestOverlayFresh";
    const std::wstring folder = InstallBed::FolderIn(CSIDL_COMMON_APPDATA, L"RvE2E_Fresh");
    bed.Track(folder, key, kClsidA);
    const std::string extra =
        R"(,"ShellDllName":"Overlay.dll","ChannelID":"abc","UpdateVersion":"2.0","GroupID":"")";
    bed.EnableInstallLog();
    const long long before = static_cast<long long>(time(nullptr));
    const HostRun run = bed.Install(Params(L"RvE2E_Fresh", key, kClsidA, extra));
    const long long after = static_cast<long long>(time(nullptr));
    ASSERT_EQ(run.code, 0u) << run.desc;
    EXPECT_EQ(run.desc, "success");

    // The module of the system's bitness under its new name, the core
    // module and the crash-report program.
    EXPECT_EQ(FolderEntries(folder),
              Names({L"Conf", L"CoreModule.dll", L"Overlay.dll", L"RvDumpReport.exe", L"Task"}));
    EXPECT_EQ(ReadFileBytes(folder + L"\\Overlay.dll"),
              ReadFileBytes(InstallBed::Payload() + NativeShellSource()));
    EXPECT_EQ(ReadFileBytes(folder + L"\\CoreModule.dll"),
              ReadFileBytes(InstallBed::Payload() + L"PuTaskService.dll"));
    ExpectInstallRights(folder, L"Overlay.dll", L"CoreModule.dll");

    // Each step logged through the installer's logger, with its source and
    // function.
    const std::string main = "RvInstallerMain|";
    const std::string check = main + "int __thiscall CRvInstallerMain::DoCheckValidInstall(void)|";
    const std::string shell = main +
                              "void __thiscall CRvInstallerMain::RegisterShell(const class "
                              "std::basic_string<char> &)|";
    const std::string target = Narrow(folder);
    const std::string source = Narrow(InstallBed::Payload());
    std::string missing;
    EXPECT_TRUE(StartsLinesInOrder(
        bed.InstallLogLines(),
        {"dllmain|int __cdecl _seh_DoInstall(const char *,char *&)|installer start",
         check + "DoCheckValidInstall", check + "InstallFolder: " + target,
         check + "strInstallFolder: " + target + " , strModulePath: " + source +
             "PuTaskService.dll",
         check + "CopyThis: " + source + Narrow(NativeShellSource()) + " to path = " + target +
             "\\Overlay.dll",
         check + "CopyCore: " + source + "PuTaskService.dll  to path = " + target +
             "\\CoreModule.dll",
         shell + "RegisterShell",
         shell + "BeginRegister:folder:" + target + " |CLSID:" + Narrow(kClsidA) +
             " |ExplorerKey:" + Narrow(key),
         shell + "RegisterShellExtDll:" + target + "\\Overlay.dll bret = 0", shell + "checkrunning",
         shell + "RegisterShell Ret dwLastError:0",
         main + "void __thiscall CRvInstallerMain::WriteInstallInfo(void)|write "
                "version:version:PUSHELLEXT_2.0_abc installTime:",
         main + "void __thiscall CRvInstallerMain::WriteInstallInfo(void)|Write Core "
                "Name:CoreModule.dll",
         main + "int __thiscall CRvInstallerMain::WriteInstallFlag(",
         main + "int __thiscall CRvInstallerMain::DoInstall(const char *,char *&)|InstallRet ret = "
                "0 err_desc = success",
         "dllmain|int __cdecl _seh_DoInstall(const char *,char *&)|installer end"},
        &missing))
        << missing;

    // The records, with their exact values.
    EXPECT_EQ(IniValue(InstallBed::DataConfigFile(), "Config", "installDir"), Narrow(folder));
    const std::wstring user = folder + L"\\Conf\\User\\Config.ini";
    EXPECT_EQ(IniValue(user, "config", "CLSID"), Narrow(kClsidA));
    EXPECT_EQ(IniValue(user, "config", "ExplorerKey"), Narrow(key));
    EXPECT_EQ(IniValue(user, "config", "ShellPath"), Narrow(folder + L"\\Overlay.dll"));
    EXPECT_EQ(IniValue(user, "config", "CUpdateVersion"), "2.0");
    EXPECT_EQ(IniValue(user, "config", "version"), "PUSHELLEXT_2.0_abc");
    EXPECT_EQ(IniValue(user, "config", "ChannelID"), "abc");
    EXPECT_EQ(IniValue(user, "config", "GroupID"), "");
    EXPECT_EQ(IniValue(user, "CModuleUpdate", "modulename"), "CoreModule.dll");
    const std::string installTime = IniValue(user, "config", "inst_time");
    ASSERT_EQ(installTime.find_first_not_of("0123456789"), std::string::npos) << installTime;
    EXPECT_GE(std::stoll(installTime), before);
    EXPECT_LE(std::stoll(installTime), after);

    // The overlay key in the view Explorer reads only, and the handler
    // created the way Explorer creates it names the new module.
    std::wstring value;
    ASSERT_TRUE(ReadKeyDefault(NativeView(), OverlayKeyPath(key), &value));
    EXPECT_EQ(value, L"{" + std::wstring(kClsidA) + L"}");
    if (RunsUnderWow64()) {
        EXPECT_FALSE(ReadKeyDefault(ForeignView(), OverlayKeyPath(key)));
    }
    EXPECT_EQ(bed.ProbeOverlayModule(key), folder + L"\\Overlay.dll");

    // The recorded folder, in any spelling Windows takes for it, is refused
    // and nothing changes.
    const InstallSnapshot installed = bed.Snapshot(folder, key, kClsidA);
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(folder.c_str(), shortPath, MAX_PATH), 0u);
    const std::wstring shortFolder = shortPath;
    const std::wstring shortName = shortFolder.substr(shortFolder.rfind(L'\\') + 1);
    ASSERT_NE(shortName, L"RvE2E_Fresh");
    for (const std::wstring& subDir : {std::wstring(L"RvE2E_Fresh"), std::wstring(L"rve2e_FRESH"),
                                       std::wstring(L"RvE2E_Fresh\\"), shortName}) {
        const HostRun again = bed.Install(Params(subDir, key, kClsidA, extra));
        EXPECT_EQ(again.code, 10u) << Narrow(subDir);
        EXPECT_EQ(again.desc, "same folder") << Narrow(subDir);
        EXPECT_TRUE(bed.Snapshot(folder, key, kClsidA) == installed) << Narrow(subDir);
    }
}

TEST(InstallScenario, RefusedFoldersAreNeitherCreatedNorTouched) {
    InstallBed bed;
    wchar_t root[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, root);
    const std::wstring outside = std::wstring(root).substr(0, 3) + L"RvE2E_Out";
    for (const wchar_t* subDir :
         {L"..\\RvE2E_Out", L"C:\\RvE2E_Out", L"\\RvE2E_Out", L"RvE2E|Out"}) {
        const HostRun run = bed.Install(Params(subDir, L"RvTestOverlayOut", kClsidB));
        EXPECT_EQ(run.code, 10u) << Narrow(subDir);
        EXPECT_EQ(run.desc, "invalid subDir") << Narrow(subDir);
    }
    EXPECT_FALSE(FolderExists(outside));

    // A special folder itself is never an install folder: nothing is placed
    // into the desktop folder or the common start menu.
    const std::wstring desktop = InstallBed::FolderIn(CSIDL_DESKTOPDIRECTORY, L"");
    const std::vector<std::wstring> desktopBefore = FolderEntries(desktop);
    EXPECT_EQ(
        bed.Install(Params(L"Desktop", L"RvTestOverlayOut", kClsidB, R"(,"csidlDir":40)")).desc,
        "invalid subDir");
    EXPECT_EQ(FolderEntries(desktop), desktopBefore);
    EXPECT_EQ(
        bed.Install(Params(L"Microsoft\\Windows\\Start Menu", L"RvTestOverlayOut", kClsidB)).desc,
        "invalid subDir");
    EXPECT_FALSE(ReadKeyDefault(NativeView(), OverlayKeyPath(L"RvTestOverlayOut")));
}

// Every failure comes from a real situation. After each, what the failed
// install placed is gone, what was there before it stays, and the previous
// installation's files, records, overlay key and class registration are as
// they were: its overlay handler still loads.
TEST(InstallScenario, EachFailureUndoesOnlyItsOwnWorkAndKeepsThePreviousInstallation) {
    InstallBed bed;
    const std::wstring keyA = L"RvTestOverlayPrev", keyB = L"RvTestOverlayNext";
    const std::wstring folderA = InstallBed::FolderIn(CSIDL_COMMON_APPDATA, L"RvE2E_Prev");
    bed.Track(folderA, keyA, kClsidA);
    bed.Track(L"", keyB, kClsidB);
    ASSERT_EQ(bed.Install(Params(L"RvE2E_Prev", keyA, kClsidA)).code, 0u);
    // Data that the next install must carry over before anything of A goes.
    const std::wstring confData = folderA + L"\\Conf\\carry.dat";
    const std::wstring taskData = folderA + L"\\Task\\carry.dat";
    const std::wstring userA = folderA + L"\\Conf\\User\\Config.ini";
    const std::wstring dataConfig = InstallBed::DataConfigFile();
    ASSERT_TRUE(FolderExists(folderA + L"\\Task"));  // made by the install
    ASSERT_TRUE(WriteFileBytes(confData, "conf data"));
    ASSERT_TRUE(WriteFileBytes(taskData, "task data"));
    const InstallSnapshot previous = bed.Snapshot(folderA, keyA, kClsidA);
    ASSERT_EQ(bed.ProbeOverlayModule(keyA), folderA + L"\\Dovadi.dll");

    const std::wstring native = NativeShellSource();
    const std::wstring noShells = bed.PayloadCopy();
    DeleteFileW((noShells + L"PuShellExtDll.dll").c_str());
    DeleteFileW((noShells + L"PuShellExtDllx.dll").c_str());
    const std::wstring otherBitnessOnly = bed.PayloadCopy();
    DeleteFileW((otherBitnessOnly + native).c_str());
    const std::wstring emptyShell = bed.PayloadCopy();
    WriteFileBytes(emptyShell + native, "");
    const std::wstring notAnImage = bed.PayloadCopy();
    WriteFileBytes(notAnImage + native, "ZM not a program image");
    const std::wstring noCore = bed.PayloadCopy();
    DeleteFileW((noCore + L"PuTaskService.dll").c_str());

    // Folders that exist before the install: a file where the folder should
    // be, and folders an earlier install of the product left (recorded as
    // ours): two whose destination files another process holds open, and
    // one with content of its own.
    const std::wstring fileInTheWay = InstallBed::FolderIn(CSIDL_COMMON_APPDATA, L"RvE2E_File");
    const std::wstring heldShell = InstallBed::FolderIn(CSIDL_COMMON_APPDATA, L"RvE2E_HeldShell");
    const std::wstring heldCore = InstallBed::FolderIn(CSIDL_COMMON_APPDATA, L"RvE2E_HeldCore");
    const std::wstring existing = InstallBed::FolderIn(CSIDL_COMMON_APPDATA, L"RvE2E_Existing");
    for (const std::wstring& folder : {fileInTheWay, heldShell, heldCore, existing})
        bed.Track(folder, L"", L"");
    ASSERT_TRUE(WriteFileBytes(fileInTheWay, "not a folder"));
    ASSERT_TRUE(CreateDirectoryW(heldShell.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(heldShell + L"\\Dovadi.dll", "held"));
    ASSERT_TRUE(CreateDirectoryW(heldCore.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(heldCore + L"\\CoreModule.dll", "held"));
    ASSERT_TRUE(CreateDirectoryW(existing.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((existing + L"\\keep").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(existing + L"\\keep\\inner.txt", "mine"));
    ASSERT_TRUE(WriteFileBytes(existing + L"\\keep.txt", "mine"));
    for (const std::wstring& folder : {heldShell, heldCore, existing})
        ASSERT_TRUE(RecordOwnedFolder(folder));
    OpenFileHandle holdShell(heldShell + L"\\Dovadi.dll", 0);
    OpenFileHandle holdCore(heldCore + L"\\CoreModule.dll", 0);
    ASSERT_TRUE(holdShell.IsOpen() && holdCore.IsOpen());

    const std::wstring wrongBitness = bed.PayloadCopy();
    CopyFileW((wrongBitness + L"PuShellExtDll.dll").c_str(),
              (wrongBitness + L"PuShellExtDllx.dll").c_str(), FALSE);

    struct Case {
        const wchar_t* subDir;
        std::wstring tmpDir;
        const wchar_t* registration;  // the shell module's test switch
        const wchar_t* clsid;
        std::string desc;
        std::vector<std::wstring> leftInFolder;  // empty: the folder is gone
        std::wstring unreadable;                 // held open without sharing meanwhile
    };
    const std::string noKey = "check reg, key:" + Narrow(keyB) + ", lastError:2";
    std::vector<Case> cases = {
        {L"RvE2E_Fail", noShells, L"", kClsidB, "Shell pe error", {}, {}},
        {L"RvE2E_Fail", otherBitnessOnly, L"", kClsidB, "Shell pe error", {}, {}},
        {L"RvE2E_Fail", emptyShell, L"", kClsidB, "Shell pe error", {}, {}},
        {L"RvE2E_Fail", notAnImage, L"", kClsidB, "Shell pe error", {}, {}},
        {L"RvE2E_Fail", noCore, L"", kClsidB, "core pe error", {}, {}},
        {L"RvE2E_File", InstallBed::Payload(), L"", kClsidB, "make dir", {}, {}},
        {L"RvE2E_HeldShell",
         InstallBed::Payload(),
         L"",
         kClsidB,
         "copy shell",
         Names({L"Dovadi.dll"}),
         {}},
        {L"RvE2E_HeldCore",
         InstallBed::Payload(),
         L"",
         kClsidB,
         "copy core",
         Names({L"CoreModule.dll"}),
         {}},
        {L"RvE2E_Fail", InstallBed::Payload(), L"fail", kClsidB, "error regerror", {}, {}},
        {L"RvE2E_Existing",
         InstallBed::Payload(),
         L"fail",
         kClsidB,
         "error regerror",
         Names({L"keep", L"keep.txt"}),
         {}},
        {L"RvE2E_Fail", InstallBed::Payload(), L"nokey", kClsidB, noKey, {}, {}},
        // The new module takes over the previous installation's class before
        // it fails: the roll-back gives the class back.
        {L"RvE2E_Fail", InstallBed::Payload(), L"nokey", kClsidA, noKey, {}, {}},
        // A carry-over that cannot read everything fails before A is touched.
        {L"RvE2E_Fail", InstallBed::Payload(), L"", kClsidB, "copy org files", {}, confData},
        {L"RvE2E_Fail", InstallBed::Payload(), L"", kClsidB, "copy org files", {}, taskData},
        // Records that cannot be read or written.
        {L"RvE2E_Fail", InstallBed::Payload(), L"", kClsidB, "read config.dat", {}, dataConfig},
        {L"RvE2E_Fail", InstallBed::Payload(), L"", kClsidB, "read Config.ini", {}, userA},
        {L"RvE2E_Fail", InstallBed::Payload(), L"", kClsidB, "write config.dat", {}, {}},
        // Past the carry-over, in a folder that was there: the carried
        // trees go too.
        {L"RvE2E_Existing",
         InstallBed::Payload(),
         L"",
         kClsidB,
         "write config.dat",
         Names({L"keep", L"keep.txt"}),
         {}},
    };
    if (RunsUnderWow64()) {
        // A 32-bit module under the 64-bit name registers in the 32-bit view,
        // where Explorer does not look.
        cases.push_back({L"RvE2E_Fail", wrongBitness, L"", kClsidB, noKey, {}, {}});
    }

    bed.EnableInstallLog();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desc + " in " + Narrow(c.subDir));
        const std::wstring folder = InstallBed::FolderIn(CSIDL_COMMON_APPDATA, c.subDir);
        bed.Track(folder, L"", L"");
        ScopedEnvironment registration(L"RV_TEST_SHELL_REGISTRATION", c.registration);
        HostRun run;
        {
            std::unique_ptr<OpenFileHandle> held;
            if (!c.unreadable.empty())
                held.reset(new OpenFileHandle(c.unreadable, 0));
            const bool readOnly = c.desc == "write config.dat";
            SetFileAttributesW(dataConfig.c_str(),
                               readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
            run = bed.Install(Params(c.subDir, keyB, c.clsid), c.tmpDir);
            SetFileAttributesW(dataConfig.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        EXPECT_EQ(run.code, 10u);
        EXPECT_EQ(run.desc, c.desc);
        if (folder == fileInTheWay) {
            EXPECT_EQ(ReadFileBytes(fileInTheWay), "not a folder");
        } else if (c.leftInFolder.empty()) {
            EXPECT_FALSE(FolderExists(folder));
        } else {
            EXPECT_EQ(FolderEntries(folder), c.leftInFolder);
        }
        EXPECT_FALSE(ReadKeyDefault(NativeView(), OverlayKeyPath(keyB)));
        EXPECT_FALSE(ReadKeyDefault(ForeignView(), OverlayKeyPath(keyB)));
        EXPECT_TRUE(bed.Snapshot(folderA, keyA, kClsidA) == previous);
        if (c.desc == "error regerror" && c.leftInFolder.empty()) {
            // The registration's exit code is logged; the roll-back
            // unregisters the new module, registers the previous one again
            // and deletes the folder it created.
            const std::string clear =
                "RvInstallerMain|void __thiscall "
                "CRvInstallerMain::ClearInstalled(void)|";
            const std::string shellB = Narrow(folder) + "\\Dovadi.dll";
            std::string missing;
            EXPECT_TRUE(StartsLinesInOrder(
                bed.InstallLogLines(),
                {"RvInstallerMain|void __thiscall CRvInstallerMain::RegisterShell(const class "
                 "std::basic_string<char> &)|RegisterShellExtDll:" +
                     shellB + " bret = 5",
                 clear + "ClearInstalled", clear + "UnregisterShell:" + shellB + " bret = 0",
                 // (the test switch makes this registration fail too)
                 clear + "RegisterPrevShell:" + Narrow(folderA) + "\\Dovadi.dll bret = ",
                 clear + "DelInstallFolder:" + Narrow(folder) + " bret = 1"},
                &missing))
                << missing;
        }
    }
    EXPECT_EQ(ReadFileBytes(existing + L"\\keep\\inner.txt"), "mine");

    EXPECT_EQ(bed.ProbeOverlayModule(keyA), folderA + L"\\Dovadi.dll");
}
