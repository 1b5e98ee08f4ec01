// Installs that are killed, or run twice at once, through the host. The
// installation carries a custom record and Task files and its core module
// runs; whatever happens, afterwards exactly one installation is recorded,
// registered and loadable, and holds all of that data.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/AdminOnlyRights.h"
#include "base/KillPoint.h"
#include "base/ScopedHandle.h"
#include "installer/InstallLock.h"
#include "tests/installer/InstallBed.h"
#include "tests/support/Base64Encode.h"

namespace {

const wchar_t* const kKeys[] = {L"RvTestKillEven", L"RvTestKillOdd"};
const wchar_t* const kClsids[] = {L"6D5C4B3A-2918-4F7E-8D6C-5B4A39281701",
                                  L"6D5C4B3A-2918-4F7E-8D6C-5B4A39281702"};
const char* const kTaskFiles[] = {"Task\\jobs\\job.dat", "Task\\list.dat"};

std::wstring KillFolder(int generation) {
    return InstallBed::FolderIn(CSIDL_COMMON_APPDATA, L"RvKill_" + std::to_wstring(generation));
}

std::string Params(int generation) {
    return "{\"subDir\":\"RvKill_" + std::to_string(generation) + "\",\"ExplorerKey\":\"" +
           Narrow(kKeys[generation % 2]) + "\",\"CLSID\":\"" + Narrow(kClsids[generation % 2]) +
           "\"}";
}

// Starts the installation's core module, holding its job file.
bool StartCoreModule(const std::wstring& folder) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(system) + L"\\rundll32.exe\" \"" + folder +
                           L"\\CoreModule.dll\",RunCore " + folder + L"\\Task\\jobs\\job.dat";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started))
        return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    for (int i = 0; i < 200; ++i) {
        if (HANDLE event =
                OpenEventW(SYNCHRONIZE, FALSE, L"Global\\PuShellExt_CoredllExitEvent_20150504")) {
            CloseHandle(event);
            return true;
        }
        Sleep(50);
    }
    return false;
}

// The installation of `generation` is the only one: recorded, holding the
// custom record and the Task files, its key naming its class, the other key
// gone, and no folder of an earlier generation left.
void ExpectOnlyInstallation(InstallBed& bed, int generation, bool probe) {
    const std::wstring folder = KillFolder(generation), data = InstallBed::DataConfigFile();
    EXPECT_EQ(IniValue(data, "Config", "installDir"), Narrow(folder));
    EXPECT_EQ(IniValue(data, "config", "waitdel"), "<missing>");
    const std::wstring user = folder + L"\\Conf\\User\\Config.ini";
    EXPECT_EQ(IniValue(user, "custom", "mine"), "kept");
    EXPECT_EQ(IniValue(user, "config", "ShellPath"), Narrow(folder) + "\\Dovadi.dll");
    for (const char* task : kTaskFiles)
        EXPECT_EQ(ReadFileBytes(folder + L"\\" + Widen(task)), task);
    std::wstring named;
    EXPECT_TRUE(ReadKeyDefault(NativeView(), OverlayKeyPath(kKeys[generation % 2]), &named));
    EXPECT_EQ(named, L"{" + std::wstring(kClsids[generation % 2]) + L"}");
    EXPECT_FALSE(ReadKeyDefault(NativeView(), OverlayKeyPath(kKeys[1 - generation % 2])));
    for (int earlier = 0; earlier < generation; ++earlier)
        EXPECT_FALSE(FolderExists(KillFolder(earlier))) << earlier;
    // No copy of a record that a killed write left.
    for (const std::wstring& records : {LocalDataFolder(), folder + L"\\Conf\\User"}) {
        for (const std::wstring& name : FolderEntries(records)) {
            EXPECT_EQ(name.find(L".ini.new"), std::wstring::npos) << Narrow(records + L"\\" + name);
        }
    }
    if (probe) {
        EXPECT_EQ(bed.ProbeOverlayModule(kKeys[generation % 2]), folder + L"\\Dovadi.dll");
    }
}

// Installs `generation` as the first installation, with a custom record and
// Task files; the bed removes the generations up to `last`.
void InstallWithData(InstallBed& bed, int generation, int last) {
    for (int i = 0; i < 2; ++i)
        bed.Track(L"", kKeys[i], kClsids[i]);
    for (int tracked = generation; tracked <= last; ++tracked)
        bed.Track(KillFolder(tracked), L"", L"");
    CreateDirectoryW(LocalDataFolder().c_str(), nullptr);
    WritePrivateProfileStringW(L"Config", L"installDir", KillFolder(-1).c_str(),
                               InstallBed::DataConfigFile().c_str());
    ASSERT_EQ(bed.Install(Params(generation)).code, 0u);
    const std::wstring folder = KillFolder(generation);
    WritePrivateProfileStringW(L"custom", L"mine", L"kept",
                               (folder + L"\\Conf\\User\\Config.ini").c_str());
    CreateDirectoryW((folder + L"\\Task").c_str(), nullptr);
    CreateDirectoryW((folder + L"\\Task\\jobs").c_str(), nullptr);
    for (const char* task : kTaskFiles)
        ASSERT_TRUE(WriteFileBytes(folder + L"\\" + Widen(task), task));
}

// Of two generations installed one after the other, the one that ran last.
int RanLast(int a, int b) {
    return IniValue(InstallBed::DataConfigFile(), "Config", "installDir") == Narrow(KillFolder(a))
               ? a
               : b;
}

}  // namespace

TEST(InterruptedInstall, AKilledUpgradeIsFinishedByItsRetryAndTheNextUpgrade) {
    InstallBed bed;
    const char* const points[] = {
        "folder created", "shell placed",  "modules placed",   "registered",     "carried#1",
        "carried#2",      "ini written#1", "ini written#2",    "ini written#3",  "info written",
        "ini written#4",  "ini written#5", "records switched", "core asked",     "unregistered",
        "tree delete#2",  "tree delete#5", "tree delete#8",    "tree delete#12", "retired",
        "ini written#6"};
    InstallWithData(bed, 0, 2 * static_cast<int>(sizeof(points) / sizeof(points[0])));

    int generation = 0;
    for (const char* point : points) {
        SCOPED_TRACE(point);
        ASSERT_TRUE(StartCoreModule(KillFolder(generation)));
        {
            ScopedEnvironment kill(L"RV_TEST_KILL_AT", Widen(point).c_str());
            EXPECT_EQ(bed.Install(Params(generation + 1)).code, kKilledExitCode);
        }
        const HostRun retry = bed.Install(Params(generation + 1));
        EXPECT_TRUE(retry.code == 0 || retry.desc == "same folder") << retry.desc;
        ExpectOnlyInstallation(bed, generation + 1, true);
        EXPECT_EQ(bed.Install(Params(generation + 2)).code, 0u);
        ExpectOnlyInstallation(bed, generation + 2, false);
        generation += 2;
    }
}

// An install killed on its way is followed by another one, not its retry:
// that one retires the killed install's folder and key as well. A killed
// upgrade that had taken over the previous installation's class leaves no
// second overlay key for it once retried.
TEST(InterruptedInstall, AKilledInstallIsFinishedByADifferentNextUpgrade) {
    InstallBed bed;
    const char* const points[] = {"folder created", "registered", "info written", "ini written#5"};
    InstallWithData(bed, 200, 200 + 2 * static_cast<int>(sizeof(points) / sizeof(points[0])));
    int generation = 200;
    for (const char* point : points) {
        SCOPED_TRACE(point);
        {
            ScopedEnvironment kill(L"RV_TEST_KILL_AT", Widen(point).c_str());
            EXPECT_EQ(bed.Install(Params(generation + 1)).code, kKilledExitCode);
        }
        EXPECT_EQ(bed.Install(Params(generation + 2)).code, 0u);
        ExpectOnlyInstallation(bed, generation + 2, false);
        generation += 2;
    }

    // The upgrade keeps the class under another key name.
    const std::string shared = "{\"subDir\":\"RvKill_300\",\"ExplorerKey\":\"" + Narrow(kKeys[1]) +
                               "\",\"CLSID\":\"" + Narrow(kClsids[generation % 2]) + "\"}";
    bed.Track(KillFolder(300), L"", L"");
    for (const char* point : {"registered", "records switched"}) {
        SCOPED_TRACE(point);
        {
            ScopedEnvironment kill(L"RV_TEST_KILL_AT", Widen(point).c_str());
            EXPECT_EQ(bed.Install(shared).code, kKilledExitCode);
        }
        const HostRun retry = bed.Install(shared);
        EXPECT_TRUE(retry.code == 0 || retry.desc == "same folder") << retry.desc;
        EXPECT_FALSE(ReadKeyDefault(NativeView(), OverlayKeyPath(kKeys[0])));
        EXPECT_TRUE(ReadKeyDefault(NativeView(), OverlayKeyPath(kKeys[1])));
        if (std::string(point) == "registered") {
            ASSERT_EQ(bed.Install(Params(generation)).code, 0u);
        }
    }
}

// Two hosts, and two threads of one process, start installs at the same
// moment: they run one after the other, and nothing of either is lost.
TEST(InterruptedInstall, InstallsStartedTogetherRunOneAfterTheOther) {
    InstallBed bed;
    InstallWithData(bed, 100, 120);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const int base = 100 + 5 * round;
        // The same request twice: one installs, the other finds it recorded.
        std::vector<HostRun> runs = bed.InstallAtOnce({Params(base + 1), Params(base + 1)});
        EXPECT_EQ(runs[0].code + runs[1].code, 10u) << runs[0].desc << " " << runs[1].desc;
        EXPECT_TRUE(runs[0].desc == "same folder" || runs[1].desc == "same folder");
        ExpectOnlyInstallation(bed, base + 1, false);
        // Two different requests: both install, one after the other.
        runs = bed.InstallAtOnce({Params(base + 2), Params(base + 4)});
        EXPECT_EQ(runs[0].code + runs[1].code, 0u) << runs[0].desc << " " << runs[1].desc;
        const int last = RanLast(base + 2, base + 4);
        EXPECT_FALSE(FolderExists(KillFolder(last == base + 2 ? base + 4 : base + 2)));
        ExpectOnlyInstallation(bed, last, round == 2);
    }

    // Two threads of one process, in the library loaded here.
    HMODULE library = LoadLibraryW(BinFile(L"RvInstaller.dll").c_str());
    ASSERT_NE(library, nullptr);
    using DoInst = int(__cdecl*)(const char*, char*&);
    const auto doInst =
        reinterpret_cast<DoInst>(reinterpret_cast<void*>(GetProcAddress(library, "doInst")));
    int codes[2] = {-2, -2};
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&, i] {
            std::string tmpDir;
            for (char c : Narrow(InstallBed::Payload()))
                tmpDir += c == '\\' ? std::string("\\\\") : std::string(1, c);
            const std::string request = "{\"tmpDir\":\"" + tmpDir + "\",\"rspEncode\":\"" +
                                        EncodeBase64(Params(116 + i)) + "\"}";
            char* result = nullptr;
            codes[i] = doInst(request.c_str(), result);
            delete[] result;
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(codes[0], 0);
    EXPECT_EQ(codes[1], 0);
    const int last = RanLast(116, 117);
    EXPECT_FALSE(FolderExists(KillFolder(last == 116 ? 117 : 116)));
    ExpectOnlyInstallation(bed, last, true);

    // Past the wait the second call gives up, changing nothing. The lock
    // another install holds is one only administrators may use.
    {
        const InstallLock first(0);
        ASSERT_TRUE(first.MayRun());
        ScopedEnvironment wait(L"RV_TEST_INSTALL_LOCK_WAIT_MS", L"200");
        const HostRun busy = bed.Install(Params(118));
        EXPECT_EQ(busy.code, 10u);
        EXPECT_EQ(busy.desc, "another install runs");
        const ScopedHandle mutex(OpenMutexW(READ_CONTROL, FALSE, kInstallMutexName));
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(GetSecurityInfo(mutex.Get(), SE_KERNEL_OBJECT,
                                  OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, nullptr, nullptr, &descriptor),
                  0u);
        EXPECT_TRUE(IsDescriptorUsableOnlyByAdministrators(descriptor));
        LocalFree(descriptor);
    }
    // A mutex of that name that any user could have made first, held or
    // not, or one that refuses the install: the install never runs
    // without the lock, and never under another name.
    for (const wchar_t* squatted : {L"O:WDD:(A;;GA;;;WD)", L"D:(D;;GA;;;WD)"}) {
        PSECURITY_DESCRIPTOR raw = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(squatted, SDDL_REVISION_1,
                                                                         &raw, nullptr));
        SECURITY_ATTRIBUTES attributes = {sizeof(attributes), raw, FALSE};
        const ScopedHandle squatter(CreateMutexW(&attributes, FALSE, kInstallMutexName));
        LocalFree(raw);
        ASSERT_TRUE(squatter.IsValid());
        const HostRun refused = bed.Install(Params(118));
        EXPECT_EQ(refused.code, 10u);
        EXPECT_EQ(refused.desc, "install lock refused") << Narrow(squatted);
    }
    EXPECT_FALSE(FolderExists(KillFolder(118)));
    FreeLibrary(library);
}
