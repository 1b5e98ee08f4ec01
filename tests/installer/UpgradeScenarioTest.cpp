// Upgrades over a previous installation end to end: the running core module
// is asked to end, configuration and task data are carried over, the
// previous module, key and folder are retired, and what cannot be removed
// yet goes to "otdx" or waits for the next install. Folders that are not an
// installation of the product are never retired.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "installer/OwnedFolders.h"
#include "tests/installer/InstallBed.h"
#include "tests/installer/WorldAccess.h"

namespace {

const wchar_t kClsidA[] = L"7E1D2C3B-4A59-4B6C-8D7E-9F0A1B2C3D01";
const wchar_t kClsidB[] = L"7E1D2C3B-4A59-4B6C-8D7E-9F0A1B2C3D02";
const wchar_t kCoreExitEvent[] = L"Global\\PuShellExt_CoredllExitEvent_20150504";

std::string Params(const std::wstring& subDir, const std::wstring& key, const std::wstring& clsid) {
    return "{\"subDir\":\"" + Narrow(subDir) + "\",\"ExplorerKey\":\"" + Narrow(key) +
           "\",\"CLSID\":\"" + Narrow(clsid) + "\"}";
}

std::wstring AppData(const std::wstring& subDir) {
    return InstallBed::FolderIn(CSIDL_COMMON_APPDATA, subDir);
}

bool CoreModuleRuns() {
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, kCoreExitEvent);
    if (event == nullptr)
        return false;
    CloseHandle(event);
    return true;
}

bool WaitForCoreModule(bool running) {
    for (int i = 0; i < 200; ++i) {
        if (CoreModuleRuns() == running)
            return true;
        Sleep(50);
    }
    return false;
}

std::wstring MovedAside() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"otdx";
}

std::string WaitDel() {
    return IniValue(InstallBed::DataConfigFile(), "config", "waitdel");
}

}  // namespace

TEST(UpgradeScenario, RunningInstallationIsReplacedWithNothingLost) {
    InstallBed bed;
    const std::wstring keyA = L"RvTestUpgradeA", keyB = L"RvTestUpgradeB";
    const std::wstring folderA = AppData(L"RvUp_A"), folderB = AppData(L"RvUp_B");
    bed.Track(folderA, keyA, kClsidA);
    bed.Track(folderB, keyB, kClsidB);
    bed.Track(MovedAside(), L"", L"");
    ASSERT_EQ(bed.Install(Params(L"RvUp_A", keyA, kClsidA)).code, 0u);

    // A as the current release leaves it, on a machine without the folder
    // record under HKLM: its registered class proves it ours.
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kOwnedFoldersKey);
    const std::wstring userA = folderA + L"\\Conf\\User\\Config.ini";
    ASSERT_TRUE(WritePrivateProfileStringW(L"custom", L"mine", L"kept", userA.c_str()));
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, userA.c_str());
    // Made read-only: the carried copy must still take B's records.
    ASSERT_TRUE(SetFileAttributesW(userA.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(FolderExists(folderA + L"\\Task"));  // made by the install
    ASSERT_TRUE(CreateDirectoryW((folderA + L"\\Task\\jobs").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(folderA + L"\\Task\\jobs\\job.dat", "task data"));

    // A's core module runs, started the way the product starts it, and
    // holds its task data without sharing.
    DWORD launched = 1;
    ASSERT_TRUE(RunAndWait(
        L"\"" + BinFile(L"RvDllLauncher.exe") + L"\" -loadtype:rundll -dllPath:\"" + folderA +
            L"\\CoreModule.dll\" -expFunc:RunCore -dllParam:" + folderA + L"\\Task\\jobs\\job.dat",
        30000, &launched));
    ASSERT_EQ(launched, 0u);
    ASSERT_TRUE(WaitForCoreModule(true));

    // A first attempt fails and is rolled back: A stays proven ours.
    {
        ScopedEnvironment failing(L"RV_TEST_SHELL_REGISTRATION", L"fail");
        ASSERT_EQ(bed.Install(Params(L"RvUp_B", keyB, kClsidB)).desc, "error regerror");
    }
    // While it carries A's data over, a user holds a file of B's own Conf:
    // the carried copy still takes its place (Wine renames a folder with a
    // file open inside; Windows refuses, and the upgrade then fails with
    // B's records whole for its roll-back).
    const std::wstring heldInB = folderB + L"\\Conf\\held.dat";
    std::unique_ptr<OpenFileHandle> held;
    const HostRun run = bed.InstallPausedAt(L"registered", Params(L"RvUp_B", keyB, kClsidB), [&] {
        ASSERT_TRUE(WriteFileBytes(heldInB, "b"));
        held.reset(new OpenFileHandle(heldInB, FILE_SHARE_READ));
    });
    held.reset();
    ASSERT_EQ(run.code, 0u) << run.desc;
    EXPECT_FALSE(FileExists(heldInB));
    EXPECT_TRUE(WaitForCoreModule(false));

    // A's own records and data live on in B, with B's records on top.
    const std::wstring userB = folderB + L"\\Conf\\User\\Config.ini";
    EXPECT_EQ(IniValue(userB, "custom", "mine"), "kept");
    EXPECT_EQ(IniValue(userB, "config", "ShellPath"), Narrow(folderB + L"\\Dovadi.dll"));
    EXPECT_EQ(IniValue(userB, "config", "ExplorerKey"), Narrow(keyB));
    EXPECT_EQ(IniValue(userB, "config", "CLSID"), Narrow(kClsidB));
    EXPECT_EQ(ReadFileBytes(folderB + L"\\Task\\jobs\\job.dat"), "task data");
    EXPECT_EQ(IniValue(InstallBed::DataConfigFile(), "Config", "installDir"), Narrow(folderB));
    ExpectInstallRights(folderB, L"Dovadi.dll", L"CoreModule.dll");

    // A is unregistered and its key gone; B is what Explorer loads.
    EXPECT_FALSE(ReadKeyDefault(NativeView(), ClassKeyPath(kClsidA)));
    EXPECT_FALSE(ReadKeyDefault(NativeView(), OverlayKeyPath(keyA)));
    EXPECT_TRUE(ReadKeyDefault(NativeView(), OverlayKeyPath(keyB)));
    EXPECT_EQ(bed.ProbeOverlayModule(keyB), folderB + L"\\Dovadi.dll");

    // A's folder is gone from its place: deleted, moved aside or pending.
    EXPECT_FALSE(FolderExists(folderA) && WaitDel() != Narrow(folderA));
}

TEST(UpgradeScenario, HeldFilesMoveThePreviousFolderAsideOrLeaveItForTheNextInstall) {
    InstallBed bed;
    const std::wstring key = L"RvTestUpgradeHeld";
    const std::wstring a = AppData(L"RvUp_HeldA"), b = AppData(L"RvUp_HeldB"),
                       c = AppData(L"RvUp_HeldC"), d = AppData(L"RvUp_HeldD");
    for (const std::wstring& folder : {a, b, c, d})
        bed.Track(folder, L"", L"");
    bed.Track(MovedAside(), key, kClsidA);
    RemoveTree(MovedAside());

    ASSERT_EQ(bed.Install(Params(L"RvUp_HeldA", key, kClsidA)).code, 0u);
    ASSERT_TRUE(WriteFileBytes(a + L"\\held.dat", "a"));
    {
        // Readable, but neither deletable nor renamable: A cannot be deleted
        // and moves to "otdx" as a whole.
        OpenFileHandle heldA(a + L"\\held.dat", FILE_SHARE_READ);
        ASSERT_TRUE(heldA.IsOpen());
        ASSERT_EQ(bed.Install(Params(L"RvUp_HeldB", key, kClsidA)).code, 0u);
        EXPECT_FALSE(FolderExists(a));
        EXPECT_EQ(ReadFileBytes(MovedAside() + L"\\held.dat"), "a");
        EXPECT_EQ(WaitDel(), "<missing>");

        // With "otdx" still held as well, B can go nowhere and waits.
        ASSERT_TRUE(WriteFileBytes(b + L"\\held.dat", "b"));
        OpenFileHandle heldB(b + L"\\held.dat", FILE_SHARE_READ);
        ASSERT_EQ(bed.Install(Params(L"RvUp_HeldC", key, kClsidA)).code, 0u);
        EXPECT_EQ(WaitDel(), Narrow(b));
        EXPECT_TRUE(FolderExists(b));
    }
    // Once nothing holds it, the next install deletes it first and drops
    // the record.
    ASSERT_EQ(bed.Install(Params(L"RvUp_HeldD", key, kClsidA)).code, 0u);
    EXPECT_FALSE(FolderExists(b));
    EXPECT_EQ(WaitDel(), "<missing>");
    EXPECT_FALSE(FolderExists(c));
    EXPECT_FALSE(FolderExists(MovedAside()));
    EXPECT_EQ(bed.ProbeOverlayModule(key), d + L"\\Dovadi.dll");
}

TEST(UpgradeScenario, SameExplorerKeyStaysWithTheNewInstallation) {
    InstallBed bed;
    const std::wstring key = L"RvTestUpgradeSame";
    const std::wstring a = AppData(L"RvUp_SameA"), b = AppData(L"RvUp_SameB");
    bed.Track(a, key, kClsidA);
    bed.Track(b, L"", L"");
    ASSERT_EQ(bed.Install(Params(L"RvUp_SameA", key, kClsidA)).code, 0u);
    ASSERT_EQ(bed.Install(Params(L"RvUp_SameB", key, kClsidA)).code, 0u);
    std::wstring value, server;
    ASSERT_TRUE(ReadKeyDefault(NativeView(), OverlayKeyPath(key), &value));
    EXPECT_EQ(value, L"{" + std::wstring(kClsidA) + L"}");
    ASSERT_TRUE(ReadKeyDefault(NativeView(), ClassKeyPath(kClsidA) + L"\\InprocServer32", &server));
    EXPECT_EQ(server, b + L"\\Dovadi.dll");
    EXPECT_EQ(bed.ProbeOverlayModule(key), b + L"\\Dovadi.dll");
}

// config.dat lies in a folder every user can write: what it names is
// retired only when it is an installation of the product, and "waitdel"
// never reaches a root, the profile or a special folder.
TEST(UpgradeScenario, RecordsNamingForeignFoldersRetireNothing) {
    InstallBed bed;
    wchar_t profile[MAX_PATH] = {}, windows[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile);
    SHGetFolderPathW(nullptr, CSIDL_WINDOWS, nullptr, SHGFP_TYPE_CURRENT, windows);
    const std::wstring root = std::wstring(windows).substr(0, 3);
    const std::wstring foreign = AppData(L"RvUp_Foreign");
    bed.Track(foreign, L"RvTestUpgradeForeign", kClsidB);
    ASSERT_TRUE(CreateDirectoryW(foreign.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(foreign + L"\\Dovadi.dll", "not ours"));
    const std::wstring markers[] = {foreign + L"\\Dovadi.dll",
                                    std::wstring(profile) + L"\\rv-marker.txt",
                                    root + L"rv-marker.txt"};
    struct RemoveMarkers {
        const std::wstring* first;
        ~RemoveMarkers() {
            DeleteFileW(first[1].c_str());
            DeleteFileW(first[2].c_str());
        }
    } removeMarkers{markers};
    for (const std::wstring& marker : markers)
        ASSERT_TRUE(WriteFileBytes(marker, "keep"));
    CreateDirectoryW(LocalDataFolder().c_str(), nullptr);

    int n = 0;
    for (const std::wstring& recorded : {foreign, std::wstring(profile), root}) {
        const std::wstring subDir = L"RvUp_Over" + std::to_wstring(++n);
        bed.Track(AppData(subDir), L"", L"");
        ASSERT_TRUE(WritePrivateProfileStringW(L"Config", L"installDir", recorded.c_str(),
                                               InstallBed::DataConfigFile().c_str()));
        ASSERT_TRUE(WritePrivateProfileStringW(L"config", L"waitdel", recorded.c_str(),
                                               InstallBed::DataConfigFile().c_str()));
        const HostRun run = bed.Install(Params(subDir, L"RvTestUpgradeForeign", kClsidB));
        EXPECT_EQ(run.code, 0u) << Narrow(recorded) << " " << run.desc;
        for (const std::wstring& marker : markers)
            EXPECT_EQ(ReadFileBytes(marker), "keep") << Narrow(marker);
    }
}
