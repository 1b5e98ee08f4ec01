#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "base/ProcessUtil.h"
#include "launcher/CmdLineParser.h"
#include "launcher/DllLaunch.h"
#include "tests/support/TestEnvironment.h"

namespace {

TEST(DllLaunchTest, CommandLineQuotesOnlyThePathAndKeepsTheSeparatingSpace) {
    std::wstring commandLine;
    ASSERT_TRUE(ComposeRundllCommandLine(L"C:\\a b\\x.dll", L"Run", L"p  \"q\" r", &commandLine));
    EXPECT_EQ(commandLine, L"rundll32.exe \"C:\\a b\\x.dll\",Run p  \"q\" r");

    ASSERT_TRUE(ComposeRundllCommandLine(L"x.dll", L"Run", L"", &commandLine));
    EXPECT_EQ(commandLine, L"rundll32.exe \"x.dll\",Run ");
}

TEST(DllLaunchTest, CommandLineLongerThanTheBufferAllowsIsRefusedNotCut) {
    const std::wstring fixed = L"rundll32.exe \"x.dll\",Run ";
    const size_t limit = kCommandLineBufferSize - 2;
    std::wstring commandLine;

    const std::wstring fits(limit - fixed.size(), L'p');
    ASSERT_TRUE(ComposeRundllCommandLine(L"x.dll", L"Run", fits, &commandLine));
    EXPECT_EQ(commandLine.size(), limit);

    const std::wstring tooLong = fits + L"p";
    EXPECT_FALSE(ComposeRundllCommandLine(L"x.dll", L"Run", tooLong, &commandLine));
    EXPECT_TRUE(commandLine.empty());
}

// LaunchViaRundll on a command line with the test library and `exportName`:
// its code, and the error it reports through its out parameter.
std::pair<int, DWORD> LaunchExport(const std::wstring& exportName) {
    CCmdLineParser parser;
    parser.ParseCommandLine((L"-loadtype:rundll -dllPath:\"" + BinFile(L"RundllRecorder.dll") +
                             L"\" -expFunc:" + exportName)
                                .c_str());
    DWORD lastError = 0xDEADBEEF;
    const int code = LaunchViaRundll(parser, &lastError);
    return {code, lastError};
}

TEST(DllLaunchTest, EveryRejectedExportNameCarriesTheLookupError) {
    // Whatever the thread's error was before, the failed lookup sets it.
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(LaunchExport(L"NoSuchExport"),
              std::make_pair(static_cast<int>(kRundllLibraryRejected),
                             static_cast<DWORD>(ERROR_PROC_NOT_FOUND)));
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(LaunchExport(L""), std::make_pair(static_cast<int>(kRundllLibraryRejected),
                                                static_cast<DWORD>(ERROR_PROC_NOT_FOUND)));
    // Nothing of the test library stays loaded in this process.
    EXPECT_EQ(GetModuleHandleW(L"RundllRecorder.dll"), nullptr);
}

}  // namespace
