// Upgrades over an installation A whose records, and the folders around
// it, were planted by another user: a foreign folder with a "Conf" of its
// own, links, nested folders, another product's class, overlay key and
// module, and A's own records pointing at them. The install acts only on
// what it can prove its own.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/ProcessUtil.h"
#include "installer/OwnedFolders.h"
#include "tests/installer/InstallBed.h"
#include "tests/installer/WorldAccess.h"

namespace {

const wchar_t kClsidA[] = L"5C4B3A29-1807-4F6E-9D8C-7B6A59483701";
const wchar_t kClsidB[] = L"5C4B3A29-1807-4F6E-9D8C-7B6A59483702";
const wchar_t kClsidForeign[] = L"5C4B3A29-1807-4F6E-9D8C-7B6A594837FF";
const wchar_t kKeyA[] = L"RvTestOwnA", kKeyB[] = L"RvTestOwnB", kKeyForeign[] = L"RvTestOwnForeign";

std::string Escaped(const std::wstring& text) {
    std::string escaped;
    for (char c : Narrow(text))
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

std::string Params(const std::wstring& subDir,
                   const std::wstring& key,
                   const std::wstring& clsid,
                   const std::string& extra = "") {
    return "{\"subDir\":\"" + Escaped(subDir) + "\",\"ExplorerKey\":\"" + Narrow(key) +
           "\",\"CLSID\":\"" + Narrow(clsid) + "\"" + extra + "}";
}

std::wstring AppData(const std::wstring& subDir) {
    return InstallBed::FolderIn(CSIDL_COMMON_APPDATA, subDir);
}

// Sets the default value of a key under HKEY_LOCAL_MACHINE in Explorer's view.
bool SetMachineDefault(const std::wstring& path, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE | NativeView(), nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result =
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// What another install must leave alone of an installation; config.dat
// aside, which a successful install rewrites.
bool Untouched(const InstallSnapshot& before, const InstallSnapshot& after) {
    return before.files == after.files && before.userConfig == after.userConfig &&
           before.overlayValue == after.overlayValue && before.classServer == after.classServer;
}

// A folder below the user's "otdx" folder as the request names it: the
// special folder that holds the temporary folder (the profile or the local
// application data) and the sub-folder below it.
std::string BelowMovedAside() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring target = std::wstring(temp) + L"otdx\\RvOwn";
    for (int csidl : {CSIDL_LOCAL_APPDATA, CSIDL_PROFILE}) {
        const std::wstring base = InstallBed::FolderIn(csidl, L"");
        if (target.compare(0, base.size(), base) == 0)
            return "\"subDir\":\"" + Escaped(target.substr(base.size())) +
                   "\",\"csidlDir\":" + std::to_string(csidl);
    }
    return "";
}

// The recording test module notes every load of itself by file name.
bool WasLoaded(const wchar_t* fileName) {
    DWORD value = 0, size = sizeof(value);
    return RegGetValueW(HKEY_CURRENT_USER, L"Software\\RvTestsLoaded", fileName, RRF_RT_DWORD,
                        nullptr, &value, &size) == ERROR_SUCCESS;
}

void ForgetLoads() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\RvTestsLoaded");
}

// Another product's module in `folder` (the recording test module, made
// with its folder when missing), registered under HKLM for `clsid` with the
// overlay key `key`, and User records there claiming it for an installation
// of this product, with `shellPath` when given.
bool PlantClaimedRegistration(const std::wstring& module,
                              const std::wstring& clsid,
                              const std::wstring& key,
                              const std::wstring& shellPath) {
    const std::wstring folder = module.substr(0, module.find_last_of(L'\\'));
    const std::wstring user = folder + L"\\Conf\\User", records = user + L"\\Config.ini";
    for (const std::wstring& path : {folder, folder + L"\\Conf", user})
        CreateDirectoryW(path.c_str(), nullptr);
    if (!CopyFileW(BinFile(L"RvTestRegServer.dll").c_str(), module.c_str(), FALSE) ||
        !SetMachineDefault(ClassKeyPath(clsid) + L"\\InprocServer32", module) ||
        !SetMachineDefault(OverlayKeyPath(key), L"{" + clsid + L"}"))
        return false;
    WritePrivateProfileStringW(L"config", L"ExplorerKey", key.c_str(), records.c_str());
    WritePrivateProfileStringW(L"config", L"CLSID", clsid.c_str(), records.c_str());
    if (!shellPath.empty())
        WritePrivateProfileStringW(L"config", L"ShellPath", shellPath.c_str(), records.c_str());
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, records.c_str());
    return IniValue(records, "config", "CLSID") == Narrow(clsid);
}

void RecordInstallDir(const std::wstring& folder) {
    WritePrivateProfileStringW(L"Config", L"installDir", folder.c_str(),
                               InstallBed::DataConfigFile().c_str());
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, InstallBed::DataConfigFile().c_str());
}

}  // namespace

TEST(OwnershipScenario, PlantedFoldersRecordsKeysAndModulesAreNeverTakenOver) {
    InstallBed bed;
    const std::wstring folderA = AppData(L"RvOwn_A"), foreign = AppData(L"RvOwn_Foreign");
    bed.Track(folderA, kKeyA, kClsidA);
    bed.Track(foreign, kKeyForeign, kClsidForeign);
    ASSERT_EQ(bed.Install(Params(L"RvOwn_A", kKeyA, kClsidA)).code, 0u);

    // Another product: a folder with a "Conf" and a module that records
    // every call of the registration tool, its class and overlay key.
    // The foreign folder's records claim it is an installation.
    const std::wstring foreignModule = foreign + L"\\Foreign.dll";
    ASSERT_TRUE(PlantClaimedRegistration(foreignModule, kClsidForeign, kKeyForeign, foreignModule));
    ASSERT_TRUE(WriteFileBytes(foreign + L"\\keep.txt", "keep"));
    ASSERT_TRUE(WriteFileBytes(foreign + L"\\Conf\\secret.txt", "theirs"));

    // Planted in advance: a link named like an install folder to an empty
    // folder.
    const std::wstring empty = AppData(L"RvOwn_Empty"), owned = AppData(L"RvOwn_Owned");
    bed.Track(empty, L"", L"");
    bed.Track(owned, L"", L"");
    ASSERT_TRUE(CreateDirectoryW(empty.c_str(), nullptr));
    PlantedFolderLink folderLink(AppData(L"RvOwn_Link"), empty);
    ASSERT_TRUE(folderLink.IsPlanted());

    struct Case {
        const wchar_t* subDir;
        std::string extra;
        const wchar_t* key;
        const wchar_t* clsid;
        std::string desc;
    };
    const std::string localAppData = R"(,"csidlDir":28)";
    const std::string otdx = BelowMovedAside();
    ASSERT_FALSE(otdx.empty());
    const std::vector<Case> cases = {
        {L"RvOwn_Foreign", "", kKeyB, kClsidB, "invalid subDir"},
        {L"RvOwn_Link", "", kKeyB, kClsidB, "invalid subDir"},
        {L"RvOwn_A\\v2", "", kKeyB, kClsidB, "invalid subDir"},
        {L"", "," + otdx, kKeyB, kClsidB, "invalid subDir"},
        {L"TDXdata", localAppData, kKeyB, kClsidB, "invalid subDir"},
        {L"RvOwn_N", "", kKeyB, kClsidForeign, "CLSID in use"},
        {L"RvOwn_N", "", kKeyForeign, kClsidB, "ExplorerKey in use"},
    };
    bed.Track(AppData(L"RvOwn_N"), kKeyB, kClsidB);
    const InstallSnapshot previous = bed.Snapshot(folderA, kKeyA, kClsidA);
    const InstallSnapshot theirs = bed.Snapshot(foreign, kKeyForeign, kClsidForeign);
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.subDir) + " " + c.desc);
        const HostRun run = bed.Install(Params(c.subDir, c.key, c.clsid, c.extra));
        EXPECT_EQ(run.code, 10u);
        EXPECT_EQ(run.desc, c.desc);
        EXPECT_TRUE(bed.Snapshot(folderA, kKeyA, kClsidA) == previous);
        EXPECT_TRUE(bed.Snapshot(foreign, kKeyForeign, kClsidForeign) == theirs);
        EXPECT_EQ(FolderEntries(empty), std::vector<std::wstring>());
        EXPECT_FALSE(FolderExists(AppData(L"RvOwn_N")));
    }

    // config.dat names the foreign folder: nothing of it is retired,
    // carried over or run. A, recorded ours but no longer the recorded
    // installation, goes as what an install cut short leaves would.
    RecordInstallDir(foreign);
    ASSERT_EQ(bed.Install(Params(L"RvOwn_N", kKeyB, kClsidB)).code, 0u);
    EXPECT_TRUE(Untouched(theirs, bed.Snapshot(foreign, kKeyForeign, kClsidForeign)));
    EXPECT_FALSE(FolderExists(folderA));
    EXPECT_FALSE(ReadKeyDefault(NativeView(), OverlayKeyPath(kKeyA)));
    EXPECT_EQ(GetFileAttributesW(AppData(L"RvOwn_N\\Conf\\secret.txt").c_str()),
              INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(bed.Install(Params(L"RvOwn_A", kKeyA, kClsidA)).code, 0u);

    // A folder of the product (recorded as one) in which the shell module's
    // name links to the foreign file.
    ASSERT_TRUE(CreateDirectoryW(owned.c_str(), nullptr));
    ASSERT_TRUE(RecordOwnedFolder(owned));
    // Left open to every user: adopting it takes the rights of a new folder.
    ASSERT_TRUE(GrantEveryoneAccess(Narrow(owned)));
    PlantedFolderLink fileLink(owned + L"\\Dovadi.dll", foreign + L"\\keep.txt");

    // A's own records now claim the foreign key and module: A is retired,
    // and neither the key nor the module is touched. B goes into the folder
    // of the product with the planted link, which is replaced as a name.
    const std::wstring userA = folderA + L"\\Conf\\User\\Config.ini";
    WritePrivateProfileStringW(L"config", L"ExplorerKey", kKeyForeign, userA.c_str());
    WritePrivateProfileStringW(L"config", L"ShellPath", foreignModule.c_str(), userA.c_str());
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, userA.c_str());
    RecordInstallDir(folderA);
    const std::wstring folderB = owned;
    bed.Track(folderB, kKeyB, kClsidB);
    const HostRun run = bed.Install(Params(L"RvOwn_Owned", kKeyB, kClsidB));
    EXPECT_EQ(run.code, 0u) << run.desc;
    EXPECT_FALSE(FolderExists(folderA));
    EXPECT_FALSE(IsRecordedOwnedFolder(folderA));
    EXPECT_TRUE(IsRecordedOwnedFolder(folderB));
    EXPECT_TRUE(Untouched(theirs, bed.Snapshot(foreign, kKeyForeign, kClsidForeign)));
    EXPECT_EQ(ReadFileBytes(foreign + L"\\keep.txt"), "keep");
    EXPECT_EQ(bed.ProbeOverlayModule(kKeyB), folderB + L"\\Dovadi.dll");
    ExpectInstallRights(folderB, L"Dovadi.dll", L"CoreModule.dll");
    // The recording module was never run.
    HKEY record = nullptr;
    EXPECT_NE(
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\RvTests\\Foreign.dll", 0, KEY_READ, &record),
        ERROR_SUCCESS);
}

// Installations whose shell module, or the module their records name, was
// changed by someone else after the install placed it: the registration
// tool never runs it, in an upgrade, a roll-back or an install's own
// registration; its registration goes by removing its keys.
TEST(OwnershipScenario, ModulesChangedSinceTheyWerePlacedAreNeverRun) {
    InstallBed bed;
    const wchar_t kClsidC[] = L"5C4B3A29-1807-4F6E-9D8C-7B6A59483703";
    const wchar_t kClsidD[] = L"5C4B3A29-1807-4F6E-9D8C-7B6A59483704";
    const wchar_t kKeyC[] = L"RvTestOwnC", kKeyD[] = L"RvTestOwnD";
    const std::wstring folderA = AppData(L"RvProof_A"), folderB = AppData(L"RvProof_B");
    const std::wstring folderC = AppData(L"RvProof_C"), folderD = AppData(L"RvProof_D");
    bed.Track(folderA, kKeyA, kClsidA);
    bed.Track(folderB, kKeyB, kClsidB);
    bed.Track(folderC, kKeyC, kClsidC);
    bed.Track(folderD, kKeyD, kClsidD);
    const std::wstring recorder = BinFile(L"RvTestRegServer.dll");
    ASSERT_EQ(bed.Install(Params(L"RvProof_A", kKeyA, kClsidA)).code, 0u);
    ForgetLoads();

    // Another module in place of A's: a failed upgrade does not register it
    // again, and the upgrade that succeeds removes A's class and key
    // without running it.
    ASSERT_TRUE(CopyFileW(recorder.c_str(), (folderA + L"\\Dovadi.dll").c_str(), FALSE));
    {
        ScopedEnvironment failing(L"RV_TEST_SHELL_REGISTRATION", L"fail");
        EXPECT_EQ(bed.Install(Params(L"RvProof_B", kKeyB, kClsidB)).desc, "error regerror");
    }
    EXPECT_TRUE(ReadKeyDefault(NativeView(), OverlayKeyPath(kKeyA)));
    HostRun run = bed.Install(Params(L"RvProof_B", kKeyB, kClsidB));
    EXPECT_EQ(run.code, 0u) << run.desc;
    EXPECT_FALSE(WasLoaded(L"Dovadi.dll"));
    EXPECT_FALSE(ReadKeyDefault(NativeView(), OverlayKeyPath(kKeyA)));
    EXPECT_FALSE(ReadKeyDefault(NativeView(), ClassKeyPath(kClsidA)));
    EXPECT_FALSE(FolderExists(folderA));
    ExpectInstallRights(folderB, L"Dovadi.dll", L"CoreModule.dll");

    // B's records name another file of its folder as its shell module.
    ASSERT_TRUE(CopyFileW(recorder.c_str(), (folderB + L"\\evil.dll").c_str(), FALSE));
    ASSERT_TRUE(WritePrivateProfileStringW(L"config", L"ShellPath",
                                           (folderB + L"\\evil.dll").c_str(),
                                           (folderB + L"\\Conf\\Server\\Config.ini").c_str()));
    WritePrivateProfileStringW(nullptr, nullptr, nullptr,
                               (folderB + L"\\Conf\\Server\\Config.ini").c_str());
    run = bed.Install(Params(L"RvProof_C", kKeyC, kClsidC));
    EXPECT_EQ(run.code, 0u) << run.desc;
    EXPECT_FALSE(WasLoaded(L"evil.dll"));
    EXPECT_FALSE(ReadKeyDefault(NativeView(), OverlayKeyPath(kKeyB)));
    EXPECT_FALSE(ReadKeyDefault(NativeView(), ClassKeyPath(kClsidB)));
    EXPECT_EQ(bed.ProbeOverlayModule(kKeyC), folderC + L"\\Dovadi.dll");

    // The new module is swapped for another between its placement and its
    // registration: the install fails and runs neither, and C stays.
    const InstallSnapshot installedC = bed.Snapshot(folderC, kKeyC, kClsidC);
    const HostRun swapped =
        bed.InstallPausedAt(L"modules placed", Params(L"RvProof_D", kKeyD, kClsidD), [&] {
            EXPECT_TRUE(CopyFileW(recorder.c_str(), (folderD + L"\\Dovadi.dll").c_str(), FALSE));
        });
    EXPECT_EQ(swapped.code, 10u);
    EXPECT_EQ(swapped.desc, "error regerror");
    EXPECT_FALSE(WasLoaded(L"Dovadi.dll"));
    EXPECT_FALSE(FolderExists(folderD));
    EXPECT_FALSE(ReadKeyDefault(NativeView(), OverlayKeyPath(kKeyD)));
    EXPECT_TRUE(bed.Snapshot(folderC, kKeyC, kClsidC) == installedC);

    // An installation the folder record does not know (an earlier release's)
    // proven only by its registered class: a module that a user made of a
    // registration whose file was gone, with records claiming it. Its
    // module has no digest: it is never run.
    const std::wstring foreign = AppData(L"RvProof_Stale");
    bed.Track(foreign, kKeyForeign, kClsidForeign);
    const std::wstring stale = foreign + L"\\Stale.dll";
    ASSERT_TRUE(PlantClaimedRegistration(stale, kClsidForeign, kKeyForeign, stale));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kOwnedFoldersKey);
    RecordInstallDir(foreign);
    const wchar_t kClsidE[] = L"5C4B3A29-1807-4F6E-9D8C-7B6A59483705";
    bed.Track(AppData(L"RvProof_E"), L"RvTestOwnE", kClsidE);
    run = bed.Install(Params(L"RvProof_E", L"RvTestOwnE", kClsidE));
    EXPECT_EQ(run.code, 0u) << run.desc;
    EXPECT_FALSE(WasLoaded(L"Stale.dll"));
    ForgetLoads();
}

// Registrations whose module is gone, and an earlier release's folder that
// holds another product's files: the install takes over only what lay in a
// folder of its own, a roll-back puts back what it replaced, and the
// retirement removes only what the product placed.
TEST(OwnershipScenario, StaleRegistrationsAndEarlierReleasesGiveUpOnlyWhatIsOurs) {
    InstallBed bed;
    const wchar_t kClsidGone[] = L"5C4B3A29-1807-4F6E-9D8C-7B6A59483711";
    const wchar_t kClsidVendor[] = L"5C4B3A29-1807-4F6E-9D8C-7B6A59483722";
    const wchar_t kKeyGone[] = L"RvTestOwnGone", kKeyVendor[] = L"RvTestOwnVendor";
    const std::wstring folderA = AppData(L"RvStale_A"), folderB = AppData(L"RvStale_B");
    const std::wstring vendor = AppData(L"RvStale_Vendor");
    bed.Track(folderA, kKeyA, kClsidA);
    bed.Track(folderB, kKeyB, kClsidB);
    bed.Track(vendor, kKeyVendor, kClsidVendor);
    bed.Track(L"", kKeyGone, kClsidGone);
    ASSERT_EQ(bed.Install(Params(L"RvStale_A", kKeyA, kClsidA)).code, 0u);

    // A's module is gone: its class is stale, in the folder config.dat
    // names. B takes it over and fails after registering; the roll-back
    // puts A's registration back.
    const std::wstring serverA = folderA + L"\\Dovadi.dll";
    ASSERT_TRUE(DeleteFileW(serverA.c_str()));
    {
        ScopedEnvironment noKey(L"RV_TEST_SHELL_REGISTRATION", L"nokey");
        EXPECT_NE(bed.Install(Params(L"RvStale_B", kKeyB, kClsidA)).code, 0u);
    }
    std::wstring named;
    EXPECT_TRUE(ReadKeyDefault(NativeView(), ClassKeyPath(kClsidA) + L"\\InprocServer32", &named));
    EXPECT_EQ(named, serverA);

    // Another product's registrations whose module and folder are gone.
    ASSERT_TRUE(SetMachineDefault(ClassKeyPath(kClsidGone) + L"\\InprocServer32",
                                  AppData(L"RvStale_Gone\\Gone.dll")));
    ASSERT_TRUE(
        SetMachineDefault(OverlayKeyPath(kKeyGone), L"{" + std::wstring(kClsidGone) + L"}"));
    EXPECT_EQ(bed.Install(Params(L"RvStale_B", kKeyB, kClsidGone)).desc, "CLSID in use");
    EXPECT_EQ(bed.Install(Params(L"RvStale_B", kKeyGone, kClsidB)).desc, "ExplorerKey in use");
    EXPECT_TRUE(ReadKeyDefault(NativeView(), OverlayKeyPath(kKeyGone), &named));
    EXPECT_EQ(named, L"{" + std::wstring(kClsidGone) + L"}");

    // A vendor's registered module, with records a user planted claiming
    // it, on a machine without the folder record: proven as an earlier
    // release, and retired by what the product places only.
    ASSERT_TRUE(PlantClaimedRegistration(vendor + L"\\Vendor.dll", kClsidVendor, kKeyVendor, L""));
    ASSERT_TRUE(WriteFileBytes(vendor + L"\\keep.dat", "keep"));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kOwnedFoldersKey);
    RecordInstallDir(vendor);
    const std::wstring folderC = AppData(L"RvStale_C");
    const wchar_t kClsidC[] = L"5C4B3A29-1807-4F6E-9D8C-7B6A59483733";
    bed.Track(folderC, L"RvTestOwnC", kClsidC);
    const HostRun run = bed.Install(Params(L"RvStale_C", L"RvTestOwnC", kClsidC));
    EXPECT_EQ(run.code, 0u) << run.desc;
    EXPECT_EQ(ReadFileBytes(vendor + L"\\keep.dat"), "keep");
    EXPECT_FALSE(FolderExists(vendor + L"\\Conf"));
    EXPECT_EQ(IniValue(folderC + L"\\Conf\\User\\Config.ini", "config", "CLSID"), Narrow(kClsidC));
}

// Unix links in a retired installation (Wine shows a link to a file as the
// file): the retirement removes each link, never what it leads to, and a
// file with a second name elsewhere is not carried into the new folder.
TEST(OwnershipScenario, LinksInARetiredFolderGoAsLinks) {
    InstallBed bed;
    ScratchFolder outside;
    const std::wstring folderA = AppData(L"RvLink_A"), folderB = AppData(L"RvLink_B");
    bed.Track(folderA, kKeyA, kClsidA);
    bed.Track(folderB, kKeyB, kClsidB);
    ASSERT_EQ(bed.Install(Params(L"RvLink_A", kKeyA, kClsidA)).code, 0u);
    const std::wstring user = folderA + L"\\Conf\\User\\Config.ini";
    ASSERT_TRUE(CopyFileW(user.c_str(), (outside / L"Config.ini").c_str(), TRUE));
    ASSERT_TRUE(CreateDirectoryW((folderA + L"\\Task").c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    for (const wchar_t* name : {L"doc.txt", L"vendor.dll", L"sys.txt"})
        ASSERT_TRUE(WriteFileBytes(outside / name, Narrow(name)));
    ASSERT_TRUE(PlantFileLink(folderA + L"\\Task\\f", outside / L"doc.txt", false));
    ASSERT_TRUE(PlantFileLink(folderA + L"\\CoreModule.dll", outside / L"vendor.dll", false));
    ASSERT_TRUE(PlantFileLink(user, outside / L"Config.ini", false));
    ASSERT_TRUE(PlantFileLink(folderA + L"\\Task\\sys.txt", outside / L"sys.txt", true));

    const HostRun run = bed.Install(Params(L"RvLink_B", kKeyB, kClsidB));
    EXPECT_EQ(run.code, 0u) << run.desc;
    for (const wchar_t* name : {L"doc.txt", L"vendor.dll", L"sys.txt"})
        EXPECT_EQ(ReadFileBytes(outside / name), Narrow(name));
    EXPECT_EQ(IniValue(outside / L"Config.ini", "config", "CLSID"), Narrow(kClsidA));
    // Deleted, not moved aside with its links.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    EXPECT_FALSE(FolderExists(folderA));
    EXPECT_EQ(GetFileAttributesW((std::wstring(temp) + L"otdx\\CoreModule.dll").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW((folderB + L"\\Task\\sys.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}
