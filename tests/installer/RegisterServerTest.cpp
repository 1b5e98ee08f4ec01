#include <gtest/gtest.h>

#include "base/ProcessUtil.h"
#include "tests/support/TestEnvironment.h"

namespace {

// Where RvTestRegServer.dll records the calls of the registration tool.
const std::wstring kRecords = L"Software\\RvTests";

bool ReadRecord(const std::wstring& moduleName, const wchar_t* value, DWORD* data) {
    DWORD size = sizeof(*data);
    return RegGetValueW(HKEY_CURRENT_USER, (kRecords + L"\\" + moduleName).c_str(), value,
                        RRF_RT_REG_DWORD, nullptr, data, &size) == ERROR_SUCCESS;
}

bool RecordExists(const std::wstring& moduleName) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, (kRecords + L"\\" + moduleName).c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void RemoveRecord(const std::wstring& moduleName) {
    RegDeleteKeyW(HKEY_CURRENT_USER, (kRecords + L"\\" + moduleName).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, kRecords.c_str());
}

std::string SleeperPath() {
    return Narrow(BinFile(L"RvTestSleeper.exe"));
}

}  // namespace

TEST(RegisterServer, RegistersAndUnregistersAModuleWhosePathHasSpaces) {
    ScratchFolder scratch;
    const std::wstring folder = scratch / L"Shell Ext Folder";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring name = L"Rv Reg Test " + std::to_wstring(GetCurrentProcessId()) + L".dll";
    const std::wstring module = folder + L"\\" + name;
    ASSERT_TRUE(CopyFileW(BinFile(L"RvTestRegServer.dll").c_str(), module.c_str(), FALSE));

    EXPECT_EQ(0u, RegisterServer(Narrow(module).c_str(), kRegisterServer));
    DWORD registered = 0, installed = 0;
    EXPECT_TRUE(ReadRecord(name, L"Registered", &registered));
    EXPECT_TRUE(ReadRecord(name, L"Installed", &installed));
    EXPECT_EQ(1u, registered);
    EXPECT_EQ(1u, installed);

    EXPECT_EQ(0u, RegisterServer(Narrow(module).c_str(), kUnregisterServer));
    EXPECT_FALSE(RecordExists(name));
    RemoveRecord(name);
}

TEST(RegisterServer, ARegistrationThatDidNotHappenNeverReadsAsSuccess) {
    EXPECT_EQ(kExitCodeNotStarted, RegisterServer(nullptr, kRegisterServer));

    // "/i /s", a blank and the quotes take 8 of the 258 characters the
    // parameters may hold. The tool runs on a missing module of the longest
    // path and fails with its own code; one character more is refused
    // without starting anything, rather than registering a cut path.
    ScratchFolder scratch;
    std::string path = scratch.Narrow() + "\\";
    path.append(250 - path.size() - 4, 'm').append(".dll");
    ASSERT_EQ(250u, path.size());
    const DWORD toolCode = RegisterServer(path.c_str(), kRegisterServer);
    EXPECT_NE(0u, toolCode);
    EXPECT_NE(kExitCodeNotStarted, toolCode);
    EXPECT_NE(kExitCodeUnknown, toolCode);
    path.insert(path.size() - 4, "m");
    EXPECT_EQ(kExitCodeNotStarted, RegisterServer(path.c_str(), kRegisterServer));
    EXPECT_EQ(kExitCodeNotStarted, RegisterServer(path.c_str(), kUnregisterServer));
}

TEST(RegisterServer, EachModuleGoesToTheToolOfItsOwnBitness) {
    char folder[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryA(folder, MAX_PATH), 0u);
    const std::string systemTool = std::string(folder) + "\\regsvr32.exe";
    ASSERT_GT(GetWindowsDirectoryA(folder, MAX_PATH), 0u);
    const std::string nativeTool = std::string(folder) + "\\Sysnative\\regsvr32.exe";

    char program[MAX_PATH] = {};
    // A 32-bit module: the tool of this process's system folder.
    ASSERT_TRUE(RegistrationToolPath(Narrow(BinFile(L"RvTestRegServer.dll")).c_str(), program));
    EXPECT_EQ(systemTool, program);
    // A 64-bit module: under WoW64 the 64-bit tool directly, not the 32-bit
    // one that would only start it.
    ASSERT_TRUE(RegistrationToolPath(Narrow(BinFile(L"PuShellExtDllx.dll")).c_str(), program));
    EXPECT_EQ(RunsUnderWow64() ? nativeTool : systemTool, program);

    // What is not a readable 64-bit image goes to the system folder's tool,
    // which reports its own failure.
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"text.dll", "MZ and nothing else"));
    ASSERT_TRUE(RegistrationToolPath((scratch.Narrow() + "\\text.dll").c_str(), program));
    EXPECT_EQ(systemTool, program);
    ASSERT_TRUE(RegistrationToolPath((scratch.Narrow() + "\\missing.dll").c_str(), program));
    EXPECT_EQ(systemTool, program);
    EXPECT_FALSE(RegistrationToolPath(nullptr, program));
    EXPECT_EQ('\0', program[0]);
}

TEST(ShellExecuteAndWait, ExitCodeOrANonZeroReasonWhyThereIsNone) {
    EXPECT_EQ(7u,
              ShellExecuteAndWait(nullptr, SleeperPath().c_str(), "0 7", nullptr, SW_HIDE, 30000));
    EXPECT_EQ(259u,
              ShellExecuteAndWait(nullptr, SleeperPath().c_str(), "3000", nullptr, SW_HIDE, 200));
    // A program that cannot be started has no exit code; it must not look
    // like one that ended with 0.
    ScratchFolder scratch;
    const std::string missing = scratch.Narrow() + "\\RvNoSuchProgram.exe";
    EXPECT_EQ(kExitCodeNotStarted,
              ShellExecuteAndWait(nullptr, missing.c_str(), nullptr, nullptr, SW_HIDE, 5000));
    EXPECT_EQ(kExitCodeNotStarted,
              ShellExecuteAndWait(nullptr, nullptr, nullptr, nullptr, SW_HIDE, 5000));
}
