// The installer library's crash question: "Yes" skips the whole report,
// "No" runs it; either way the guarded call returns to its caller. The test
// program answers through the test seam instead of a message box.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/CrashTestBed.h"
#include "tests/support/DebugOutputCapture.h"
#include "tests/support/LocalHttpServer.h"

namespace {

const wchar_t kChild[] = L"RvCrashChild_a.exe";
constexpr DWORD kWaitMs = 20000;

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
    return out;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
    for (const std::string& t : texts)
        if (t == text)
            return true;
    return false;
}

}  // namespace

TEST(CrashPrompt, YesSkipsTheReportAndNoRunsIt) {
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.IsActive());
    LocalHttpServer server;
    ASSERT_TRUE(server.IsListening());
    CrashTestBed bed;
    ASSERT_TRUE(bed.WriteReportingConfig(1, server.HostAndPort(), "1006"));
    ASSERT_TRUE(bed.AddReportProgram());
    ASSERT_TRUE(bed.AddProgram(kChild));
    const std::wstring prompt = bed.Folder() + L"\\prompt.txt";
    // The question names the host program, the crashing process's own file.
    const std::string question = Utf8(bed.Folder() + L"\\" + kChild) +
                                 "\ncrash now call coder please\n" + std::to_string(MB_YESNO);

    // Yes: no dump, no request, no report program, and no "RV_ExceptFilter".
    CrashTestBed::Run run = bed.RunProgram(kChild, L"guard RvInstaller prompt=yes");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(3u, run.exitCode);
    EXPECT_EQ(question, ReadFileBytes(prompt));
    EXPECT_TRUE(bed.DumpFiles().empty());
    capture.Sync();
    EXPECT_FALSE(Contains(capture.Texts(run.processId), "RV_ExceptFilter"));
    EXPECT_TRUE(server.WaitForRequests(1, 0).empty());
    EXPECT_EQ(0, server.Connections());
    EXPECT_FALSE(bed.ReportCommandLineExists());

    // No: all three, and the guard still returns. (No folder passes as
    // changeable only by administrators on Wine; the test program lets it.)
    DeleteFileW(prompt.c_str());
    run = bed.RunProgram(kChild, L"guard RvInstaller prompt=no admin-only=yes");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(3u, run.exitCode);
    EXPECT_EQ(question, ReadFileBytes(prompt));
    EXPECT_EQ(1u, bed.DumpFiles().size());
    EXPECT_EQ(1u, server.WaitForRequests(1, kWaitMs).size());
    EXPECT_NE(std::string::npos,
              bed.WaitForReportCommandLine(kWaitMs).find("/LogText:\"|MOD:RvInstaller|FEXT:"));
    capture.Sync();
    EXPECT_TRUE(Contains(capture.Texts(run.processId), "RV_ExceptFilter"));
}
