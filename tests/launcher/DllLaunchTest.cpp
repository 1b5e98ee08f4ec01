#include <gtest/gtest.h>

#include <string>

#include "base/ProcessUtil.h"
#include "launcher/DllLaunch.h"

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

}  // namespace
