#include "base/ProcessUtil.h"

#include <gtest/gtest.h>

#include "base/TextConvert.h"
#include "tests/support/TestEnvironment.h"

namespace {

RvString SleeperCommand(const wchar_t* arguments) {
    return WideToRv(L"\"" + BinFile(L"RvTestSleeper.exe") + L"\" " + arguments);
}

}  // namespace

TEST(RunProcessAndWait, ReportsExitCodeOrStillActive) {
    DWORD exitCode = 0;
    EXPECT_TRUE(RunProcessAndWait(SleeperCommand(L"0 7").c_str(), &exitCode, 30000));
    EXPECT_EQ(7u, exitCode);

    // Still running at the timeout: STILL_ACTIVE, and the program runs on.
    exitCode = 0;
    EXPECT_TRUE(RunProcessAndWait(SleeperCommand(L"3000").c_str(), &exitCode, 200));
    EXPECT_EQ(259u, exitCode);

    EXPECT_FALSE(RunProcessAndWait(RV_T("RvNoSuchProgram.exe"), &exitCode, 1000));
    EXPECT_FALSE(RunProcessAndWait(nullptr, &exitCode, 1000));

    // A program named apart from the command line is the one started, and
    // the command line reaches it as it stands: no such program exists
    // under the first word.
    const RvString sleeper = WideToRv(BinFile(L"RvTestSleeper.exe"));
    EXPECT_TRUE(
        RunProcessAndWait(RV_T("RvNoSuchProgram.exe 0 9"), &exitCode, 30000, sleeper.c_str()));
    EXPECT_EQ(9u, exitCode);
}

TEST(RunProcessAndWait, RefusesCommandLinesLongerThan2046Characters) {
    // Trailing blanks do not change the program's arguments, so the longest
    // accepted command line still runs as written.
    RvString command = SleeperCommand(L"0 5");
    ASSERT_LT(command.size(), kCommandLineBufferSize - 2);
    command.append(kCommandLineBufferSize - 2 - command.size(), RV_T(' '));
    DWORD exitCode = 0;
    EXPECT_TRUE(RunProcessAndWait(command.c_str(), &exitCode, 30000));
    EXPECT_EQ(5u, exitCode);

    command.push_back(RV_T(' '));
    EXPECT_FALSE(RunProcessAndWait(command.c_str(), &exitCode, 30000));
}

#ifdef RV_WIDE_TEXT

TEST(ProbeProcessStart, StartsWithoutRunning) {
    EXPECT_TRUE(ProbeProcessStart(L"rundll32.exe"));
    EXPECT_FALSE(ProbeProcessStart(L"rundll32.exe", BinFile(L"RvNoSuchProgram.exe").c_str()));
    EXPECT_FALSE(ProbeProcessStart(L"RvNoSuchProgram.exe"));
    EXPECT_FALSE(ProbeProcessStart(nullptr));
}

TEST(CheckDllExport, LoadsLooksUpAndUnloads) {
    const std::wstring library = BinFile(L"RvTestRegServer.dll");
    EXPECT_TRUE(CheckDllExport(library.c_str(), L"DllRegisterServer"));
    EXPECT_FALSE(CheckDllExport(library.c_str(), L"RvNoSuchExport"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    // An empty name goes through the same lookup and fails with its error.
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CheckDllExport(library.c_str(), L""));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_TRUE(CheckDllExport(library.c_str(), nullptr));
    // Every check unloads the library again.
    EXPECT_EQ(nullptr, GetModuleHandleW(L"RvTestRegServer.dll"));

    ScratchFolder scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"fake.dll", "MZ but not a program"));
    EXPECT_FALSE(CheckDllExport((scratch / L"fake.dll").c_str(), nullptr));
    EXPECT_FALSE(CheckDllExport((scratch / L"missing.dll").c_str(), nullptr));
    EXPECT_FALSE(CheckDllExport(nullptr, nullptr));
}

#endif
