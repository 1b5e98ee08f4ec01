// A host that returns from main with the installer library still loaded
// (RvExitProbe.exe) must end: after no call, after several, with log4cplus
// writing to a file, and while another thread is inside doInst. The probe
// also checks that the library starts no thread of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/ScopedHandle.h"
#include "tests/installer/FileTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace {

// Generous for a process start under Wine; a hang at exit never ends.
constexpr DWORD kProbeTimeoutMs = 20000;
// Reported instead of an exit code when the probe did not end in time.
constexpr DWORD kDidNotEnd = 0xDEAD;

// Runs RvExitProbe.exe with the arguments and returns its exit code. A probe
// that has not ended in time is ended here, so that it cannot hold the
// prefix, and counts as kDidNotEnd. The probe runs without elevation: an
// elevated install logs only below the local data folder, never into the
// pipe of the last test.
DWORD RunProbe(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + BinFile(L"RvExitProbe.exe") + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessAsUserW(NonElevatedToken().Get(), nullptr, &commandLine[0], nullptr, nullptr,
                              FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "cannot start the probe: " << GetLastError();
        return kDidNotEnd;
    }
    ScopedGeneric<KernelHandleTraits> processHandle(process.hProcess);
    ScopedGeneric<KernelHandleTraits> threadHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, kProbeTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, kDidNotEnd);
        WaitForSingleObject(process.hProcess, kProbeTimeoutMs);
        return kDidNotEnd;
    }
    DWORD exitCode = kDidNotEnd;
    GetExitCodeProcess(process.hProcess, &exitCode);
    return exitCode;
}

class LibraryLifetimeTest : public testing::Test {
protected:
    const std::wstring m_logFolder = LocalDataFolder() + L"\\log_cfg";
    const std::wstring m_config = m_logFolder + L"\\INSTALL.lcfg";
    const std::wstring m_log = m_logFolder + L"\\install.log";
    ProfileFilesGuard m_guard{{LocalDataFolder(), m_logFolder}, {m_config, m_log}};
};

// Probe exit codes: 0 ended as expected, 1 the thread count changed after
// the load or the calls, 4 the call was not held in its log write, 57005 did
// not end.
TEST_F(LibraryLifetimeTest, HostEndsWithoutUnloadingAndTheLibraryStartsNoThread) {
    DeleteFileW(m_config.c_str());
    for (const wchar_t* calls : {L"0", L"3"})
        EXPECT_EQ(RunProbe(calls), 0u) << calls << " calls without log configuration";

    // With a file appender, log4cplus objects exist from the first call on.
    ASSERT_TRUE(WriteFileAppenderConfig(m_log, "%p|%b|%m%n"));
    for (const wchar_t* calls : {L"0", L"3"})
        EXPECT_EQ(RunProbe(calls), 0u) << calls << " calls with a file appender";
    EXPECT_NE(ReadFileBytes(m_log).find("INFO|dllmain|installer end"), std::string::npos);
}

TEST_F(LibraryLifetimeTest, HostEndsWhileAnotherThreadIsInsideDoInst) {
    const std::wstring pipeName = L"RvExitProbe-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(WriteFileAppenderConfig(L"\\\\.\\pipe\\" + pipeName, "%p|%b|%m%n"));
    EXPECT_EQ(RunProbe(L"--exit-during-call " + pipeName), 0u);
}

}  // namespace
