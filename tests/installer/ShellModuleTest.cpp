// The product's shell and core modules as the installer uses them: the
// shell module registered and removed by the system's regsvr32 and created
// through COM by a probe of the system's bitness, the core module run by
// rundll32 until its exit event is set.
#include <gtest/gtest.h>

#include "base/ProcessUtil.h"
#include "base/ScopedHandle.h"
#include "tests/support/TestEnvironment.h"

namespace {

const std::wstring kClassId = L"{5D1C7E2A-0B3F-4C6D-8E9A-1B2C3D4E5F60}";
const std::wstring kExplorerKey = L"RvShellModuleTest";
const std::wstring kClassKey = L"Software\\Classes\\CLSID\\" + kClassId;
const std::wstring kOverlayKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\" +
    kExplorerKey;

// The shell module registers in the registry view of its own bitness,
// which is the system's: the 64-bit one on the win64 prefix.
REGSAM NativeView() {
    return RunsUnderWow64() ? KEY_WOW64_64KEY : 0;
}

// A value of HKLM\<path> in the native view; false when key or value is
// missing.
bool ReadText(const std::wstring& path, const wchar_t* name, std::wstring* text) {
    ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | NativeView(),
                      key.Receive()) != ERROR_SUCCESS)
        return false;
    wchar_t value[MAX_PATH + 1] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    *text = value;
    return true;
}

bool KeyExists(const std::wstring& path) {
    ScopedRegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | NativeView(),
                         key.Receive()) == ERROR_SUCCESS;
}

void RemoveKey(const std::wstring& path) {
    ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | NativeView(),
                      key.Receive()) == ERROR_SUCCESS)
        RegDeleteTreeW(key.Get(), nullptr);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), NativeView(), 0);
}

// Selects the shell module's registration behaviour for the regsvr32
// processes started while the object lives.
class ScopedRegistrationMode {
public:
    explicit ScopedRegistrationMode(const wchar_t* mode) {
        SetEnvironmentVariableW(L"RV_TEST_SHELL_REGISTRATION", mode);
    }
    ~ScopedRegistrationMode() { SetEnvironmentVariableW(L"RV_TEST_SHELL_REGISTRATION", nullptr); }
};

class ShellModule : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        RemoveKey(kClassKey);
        RemoveKey(kOverlayKey);
    }

    // A copy of the native shell module under its installed name in
    // <scratch>\<folder>, with the Config.ini the installer writes.
    std::wstring PlaceModule(const std::wstring& folder) {
        const std::wstring root = m_scratch / folder;
        EXPECT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
        EXPECT_TRUE(CreateDirectoryW((root + L"\\Conf").c_str(), nullptr));
        EXPECT_TRUE(CreateDirectoryW((root + L"\\Conf\\User").c_str(), nullptr));
        const std::string ini = "[config]\r\nCLSID=" + Narrow(kClassId.substr(1, 36)) +
                                "\r\nExplorerKey=" + Narrow(kExplorerKey) + "\r\n";
        EXPECT_TRUE(WriteFileBytes(root + L"\\Conf\\User\\Config.ini", ini));
        const std::wstring module = root + L"\\Dovadi.dll";
        const wchar_t* built = RunsUnderWow64() ? L"PuShellExtDllx.dll" : L"PuShellExtDll.dll";
        EXPECT_TRUE(CopyFileW(BinFile(built).c_str(), module.c_str(), FALSE));
        return module;
    }

    // The icon file the registered overlay identifier names, as the
    // native probe reports it; empty when the probe failed.
    std::string ProbedIconFile(DWORD* exitCode) {
        const std::wstring output = m_scratch / L"probe.txt";
        DeleteFileW(output.c_str());
        const wchar_t* probe = RunsUnderWow64() ? L"RvOverlayProbe64.exe" : L"RvOverlayProbe.exe";
        const std::wstring command =
            L"\"" + BinFile(probe) + L"\" " + kExplorerKey + L" \"" + output + L"\"";
        EXPECT_TRUE(RunAndWait(command, 30000, exitCode));
        return *exitCode == 0 ? ReadFileBytes(output) : std::string();
    }

    ScratchFolder m_scratch;
};

}  // namespace

TEST_F(ShellModule, RegistersForExplorerAndRemovesOnlyWhatStillNamesItself) {
    const std::wstring first = PlaceModule(L"First");
    const std::wstring second = PlaceModule(L"Second");

    ASSERT_EQ(0u, RegisterServer(Narrow(first).c_str(), kRegisterServer));
    std::wstring text;
    EXPECT_TRUE(ReadText(kOverlayKey, nullptr, &text));
    EXPECT_EQ(kClassId, text);
    EXPECT_TRUE(ReadText(kClassKey + L"\\InprocServer32", nullptr, &text));
    EXPECT_EQ(first, text);
    EXPECT_TRUE(ReadText(kClassKey + L"\\InprocServer32", L"ThreadingModel", &text));
    EXPECT_EQ(L"Apartment", text);
    DWORD probeCode = 0;
    EXPECT_EQ(Narrow(first), ProbedIconFile(&probeCode));

    // An upgrade registers the new copy under the same names; removing the
    // old copy afterwards must leave the new registration working.
    ASSERT_EQ(0u, RegisterServer(Narrow(second).c_str(), kRegisterServer));
    EXPECT_EQ(0u, RegisterServer(Narrow(first).c_str(), kUnregisterServer));
    EXPECT_EQ(Narrow(second), ProbedIconFile(&probeCode));

    EXPECT_EQ(0u, RegisterServer(Narrow(second).c_str(), kUnregisterServer));
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(kOverlayKey));
    EXPECT_EQ("", ProbedIconFile(&probeCode));
    EXPECT_EQ(2u, probeCode);  // the probe's "overlay key missing"
}

TEST_F(ShellModule, TestModesFailTheRegistrationOrLeaveOutTheOverlayKey) {
    const std::wstring module = PlaceModule(L"Product");
    {
        ScopedRegistrationMode mode(L"fail");
        // Wine's regsvr32 ends with 5 when DllRegisterServer fails.
        EXPECT_NE(0u, RegisterServer(Narrow(module).c_str(), kRegisterServer));
        EXPECT_FALSE(KeyExists(kClassKey));
        EXPECT_FALSE(KeyExists(kOverlayKey));
    }
    {
        ScopedRegistrationMode mode(L"nokey");
        EXPECT_EQ(0u, RegisterServer(Narrow(module).c_str(), kRegisterServer));
        EXPECT_TRUE(KeyExists(kClassKey));
        EXPECT_FALSE(KeyExists(kOverlayKey));
    }
    EXPECT_EQ(0u, RegisterServer(Narrow(module).c_str(), kUnregisterServer));
    EXPECT_FALSE(KeyExists(kClassKey));
}

TEST(CoreModule, StaysLoadedInRundll32UntilItsExitEventIsSet) {
    ScratchFolder scratch;
    const std::wstring module = scratch / L"CoreModule.dll";
    ASSERT_TRUE(CopyFileW(BinFile(L"PuTaskService.dll").c_str(), module.c_str(), FALSE));
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(0u, GetSystemDirectoryW(system, MAX_PATH));
    std::wstring command =
        L"\"" + std::wstring(system) + L"\\rundll32.exe\" \"" + module + L"\",RunCore x";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &started));
    ScopedHandle process(started.hProcess);
    ScopedHandle thread(started.hThread);

    const wchar_t* eventName = L"Global\\PuShellExt_CoredllExitEvent_20150504";
    ScopedHandle exitEvent;
    for (int i = 0; i < 100 && !exitEvent; ++i) {
        exitEvent.Reset(OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName));
        if (!exitEvent)
            Sleep(100);
    }
    ASSERT_TRUE(exitEvent);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(process.Get(), 300));
    EXPECT_FALSE(DeleteFileW(module.c_str())) << "the running core keeps its file loaded";

    ASSERT_TRUE(SetEvent(exitEvent.Get()));
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(process.Get(), 10000));
}
