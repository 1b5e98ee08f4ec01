// The crash handler end to end: a test program crashes in an install folder
// of its own, and the test checks the minidump, the HTTP report that a local
// server receives, the command line the crash-report stand-in got and the
// debugger channel.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "base/RvText.h"
#include "base/StandardPaths.h"
#include "base/SystemInfo.h"
#include "tests/support/CrashTestBed.h"
#include "tests/support/DebugOutputCapture.h"
#include "tests/support/LocalHttpServer.h"

namespace {

#ifdef RV_WIDE_TEXT
const wchar_t kChild[] = L"RvCrashChild_w.exe";
const wchar_t kAdminOnly[] = L"";
#else
const wchar_t kChild[] = L"RvCrashChild_a.exe";
// The installer's handler uses the install folder only when administrators
// alone can change it and its report program, which no file on Wine passes:
// the test program lets every path pass and records each one asked about.
const wchar_t kAdminOnly[] = L" admin-only=yes";
#endif
// Its version resource.
const char kChildVersion[] = "1.0.6.9000";
constexpr DWORD kWaitMs = 20000;

std::string NarrowText(const RvString& text) {
#ifdef RV_WIDE_TEXT
    return Narrow(text);
#else
    return text;
#endif
}

std::string Mac() {
    return NarrowText(GetMacAddressString());
}

// "_" channel "_" version "_" file name "_" MAC ".dmp"
std::string DumpSuffix(const std::string& channel) {
    return "_" + channel + "_" + kChildVersion + "_" + Narrow(kChild) + "_" + Mac() + ".dmp";
}

std::string ReportTarget(const std::string& module, const std::string& channel) {
    return "/g.real?aid=text_ad_2689&text=S:" + module + "|VER:" + kChildVersion +
           "|CHID:" + channel + "|MAC:" + Mac() + "|ACT:ACT_CRASHREPORT|MOD:" + module +
           "|FEXT:" + DumpSuffix(channel);
}

std::string ReportArguments(const std::string& module, const std::string& channel) {
    return " /LogText:\"|MOD:" + module + "|FEXT:" + DumpSuffix(channel) +
           "\" /LogAct:ACT_CRASHREPORT";
}

// Trace lines (format of the debug trace log) and raw texts of one process.
struct ChildOutput {
    std::vector<std::string> texts;

    int CountLines(const std::string& source, int line, const std::string& message) const {
        const std::regex pattern("\\(\\d+\\)#Pu#\\[" + source + ":" + std::to_string(line) +
                                 "\\]\\(\\d+\\)- \\*INFO\\* " + message + "\n");
        int count = 0;
        for (const std::string& text : texts)
            count += std::regex_match(text, pattern) ? 1 : 0;
        return count;
    }
    int Count(const std::string& exact) const {
        int count = 0;
        for (const std::string& text : texts)
            count += text == exact ? 1 : 0;
        return count;
    }
    bool AnyStartsWith(const std::string& prefix) const {
        for (const std::string& text : texts)
            if (text.compare(0, prefix.size(), prefix) == 0)
                return true;
        return false;
    }
};

ChildOutput OutputOf(DebugOutputCapture& capture, DWORD processId) {
    capture.Sync();
    return ChildOutput{capture.Texts(processId)};
}

}  // namespace

TEST(CrashReport, ProcessWideCrashWritesDumpReportsAndStartsTheReportProgram) {
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.IsActive());
    LocalHttpServer server;
    ASSERT_TRUE(server.IsListening());
    CrashTestBed bed;
    ASSERT_TRUE(bed.WriteReportingConfig(1, server.HostAndPort(), "1006"));
    ASSERT_TRUE(bed.AddReportProgram());
    ASSERT_TRUE(bed.AddProgram(kChild));

    const std::string before = LocalMinuteStamp();
    const CrashTestBed::Run run =
        bed.RunProgram(kChild, std::wstring(L"process RvCrashChild") + kAdminOnly);
    const std::string after = LocalMinuteStamp();
    ASSERT_TRUE(run.ended);
    // The report ends the process with 0.
    EXPECT_EQ(0u, run.exitCode);

    // One dump in the install folder: local time to the minute, the module
    // name and the suffix.
    const std::vector<std::wstring> dumps = bed.DumpFiles();
    ASSERT_EQ(1u, dumps.size());
    const std::string dumpName = Narrow(dumps[0]);
    ASSERT_TRUE(std::regex_match(dumpName, std::regex("[0-9]{12}.*"))) << dumpName;
    const std::string stamp = dumpName.substr(0, 12);
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);
    EXPECT_EQ("RvCrashChild" + DumpSuffix("1006"), dumpName.substr(12));
    EXPECT_EQ("MDMP", ReadFileBytes(bed.Folder() + L"\\" + dumps[0]).substr(0, 4));

    // One request, no retry.
    const std::vector<std::string> requests = server.WaitForRequests(1, kWaitMs);
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(ReportTarget("RvCrashChild", "1006"), requests[0]);
    EXPECT_EQ(1, server.Connections());

    const std::string folder = Narrow(bed.Folder());
    EXPECT_EQ("\"" + folder + "\\RvDumpReport.exe\"" + ReportArguments("RvCrashChild", "1006") +
                  " /Dump:\"" + folder + "\\" + dumpName + "\"",
              bed.WaitForReportCommandLine(kWaitMs));

    const ChildOutput output = OutputOf(capture, run.processId);
    EXPECT_EQ(1, output.CountLines("RvExceptHandler", 94, "CRvExceptHandler::Init"));
    EXPECT_EQ(1, output.Count("RV_ExceptFilter"));
    EXPECT_EQ(
        1, output.Count("http://" + server.HostAndPort() + ReportTarget("RvCrashChild", "1006")));
    EXPECT_EQ(1, output.CountLines("RvExceptHandler", 189, "Launcher ret = 1"));
#ifndef RV_WIDE_TEXT
    // The folder first, then the program.
    EXPECT_EQ(folder + "\n" + folder + "\\RvDumpReport.exe\n",
              ReadFileBytes(bed.Folder() + L"\\admin-only.txt"));

    // As Wine makes them, neither passes: the report goes out, but no dump
    // is written and nothing is started.
    ASSERT_TRUE(DeleteFileW((bed.Folder() + L"\\RvDumpReport.cmdline.txt").c_str()));
    ASSERT_TRUE(bed.AddReportProgram());
    const CrashTestBed::Run open = bed.RunProgram(kChild, L"process RvCrashChild");
    ASSERT_TRUE(open.ended);
    EXPECT_EQ(1u, bed.DumpFiles().size());
    EXPECT_EQ(2u, server.WaitForRequests(2, kWaitMs).size());
    const ChildOutput refused = OutputOf(capture, open.processId);
    EXPECT_EQ(1, refused.CountLines("RvExceptHandler", 176,
                                    "no dump and no report program: others than administrators "
                                    "may change " +
                                        std::regex_replace(folder, std::regex(R"(\\)"), "\\\\")));
    EXPECT_EQ(1, refused.CountLines("RvExceptHandler", 189, "Launcher ret = 0"));
    EXPECT_FALSE(bed.ReportCommandLineExists());
#endif
}

TEST(CrashReport, ReportingOffWritesNoDumpAndNoHostSendsNothing) {
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.IsActive());
    CrashTestBed bed;
    // "CrashReport" 0, an empty statistics host, no channel.
    ASSERT_TRUE(bed.WriteServerConfig("[config]\r\nCrashReport=0\r\nStatHost=\r\n"));
    ASSERT_TRUE(bed.WriteUserConfig("[config]\r\n"));
    ASSERT_TRUE(bed.AddReportProgram());
    ASSERT_TRUE(bed.AddProgram(kChild));

    const CrashTestBed::Run run =
        bed.RunProgram(kChild, std::wstring(L"process RvCrashChild") + kAdminOnly);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(0u, run.exitCode);

    EXPECT_TRUE(bed.DumpFiles().empty());
    // An empty channel leaves two underscores side by side.
    EXPECT_EQ(
        "\"" + Narrow(bed.Folder()) + "\\RvDumpReport.exe\"" + ReportArguments("RvCrashChild", ""),
        bed.WaitForReportCommandLine(kWaitMs));

    const ChildOutput output = OutputOf(capture, run.processId);
    EXPECT_EQ(1, output.Count("RV_ExceptFilter"));
    EXPECT_FALSE(output.AnyStartsWith("http://"));
    EXPECT_EQ(1, output.CountLines("RvExceptHandler", 189, "Launcher ret = 1"));
}

TEST(CrashReport, SecondInitChangesNothingAndAFailedRequestIsRetriedOnce) {
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.IsActive());
    LocalHttpServer server(LocalHttpServer::Mode::kFailFirst);
    ASSERT_TRUE(server.IsListening());
    CrashTestBed bed;
    // No "CrashReport" key; no report program in the folder.
    ASSERT_TRUE(bed.WriteServerConfig("[config]\r\nStatHost=" + server.HostAndPort() + "\r\n"));
    ASSERT_TRUE(bed.WriteUserConfig("[config]\r\nChannelID=77\r\n"));
    ASSERT_TRUE(bed.AddProgram(kChild));

    // The second installation asks for another name and the process-wide
    // filter; had it counted, the report would have ended the process.
    const CrashTestBed::Run run = bed.RunProgram(kChild, L"guard RvCrashChild");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(3u, run.exitCode);
    EXPECT_TRUE(bed.DumpFiles().empty());

    // The first request fails (its redirect leads nowhere): one retry with
    // "|Retry:1".
    const std::string target = ReportTarget("RvCrashChild", "77");
    const std::vector<std::string> requests = server.WaitForRequests(2, kWaitMs);
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(target, requests[0]);
    EXPECT_EQ(target + "|Retry:1", requests[1]);
    EXPECT_EQ(2, server.Connections());

    const ChildOutput output = OutputOf(capture, run.processId);
    EXPECT_EQ(1, output.CountLines("RvExceptHandler", 94, "CRvExceptHandler::Init"));
    EXPECT_EQ(1, output.Count("RV_ExceptFilter"));
    EXPECT_EQ(1, output.CountLines("RvExceptHandler", 189, "Launcher ret = 0"));
    EXPECT_FALSE(bed.ReportCommandLineExists());
}

TEST(CrashReport, WithoutInstallFolderNoReportProgramIsSearchedFor) {
    // No "Conf" above the program. Unless an install recorded a folder for
    // this user, there is no install folder.
    std::wstring recorded;
    if (GetInstallDir(recorded) || !recorded.empty())
        GTEST_SKIP() << "an install folder is recorded for this user";
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.IsActive());
    CrashTestBed bed;
    // A bare "RvDumpReport.exe" would be found here, in the program's own
    // folder.
    ASSERT_TRUE(bed.AddReportProgram());
    ASSERT_TRUE(bed.AddProgram(kChild));
    // A bare "config.ini" would be looked up in the Windows folder: a stray
    // one there must not switch reporting on or name a host.
    LocalHttpServer server;
    ASSERT_TRUE(server.IsListening());
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring stray = std::wstring(windows) + L"\\config.ini";
    ASSERT_FALSE(FileExists(stray));
    ASSERT_TRUE(WriteFileBytes(stray, "[config]\r\nCrashReport=1\r\nChannelID=55\r\nStatHost=" +
                                          server.HostAndPort() + "\r\n"));

    const CrashTestBed::Run run = bed.RunProgram(kChild, L"process RvCrashChild");
    DeleteFileW(stray.c_str());
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(0u, run.exitCode);
    const ChildOutput output = OutputOf(capture, run.processId);
    EXPECT_EQ(1, output.Count("RV_ExceptFilter"));
    EXPECT_EQ(1, output.CountLines("RvExceptHandler", 189, "Launcher ret = 0"));
    EXPECT_FALSE(bed.ReportCommandLineExists());
    EXPECT_FALSE(output.AnyStartsWith("http://"));
    EXPECT_EQ(0, server.Connections());
}

TEST(CrashReport, RuntimeErrorsBecomeCrashReports) {
    // The runtime library (msvcrt.dll) takes these handlers since Windows
    // Vista; Wine's does not export the setters.
    struct Case {
        const wchar_t* mode;
        const char* setter;
    };
    const Case cases[] = {{L"invalid-parameter", "_set_invalid_parameter_handler"},
                          {L"pure-call", "_set_purecall_handler"}};
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.IsActive());
    CrashTestBed bed;
    ASSERT_TRUE(bed.AddProgram(kChild));
    int ran = 0;
    for (const Case& c : cases) {
        if (!GetProcAddress(GetModuleHandleW(L"msvcrt.dll"), c.setter))
            continue;
        ++ran;
        SCOPED_TRACE(Narrow(c.mode));
        const CrashTestBed::Run run =
            bed.RunProgram(kChild, std::wstring(c.mode) + L" RvCrashChild");
        ASSERT_TRUE(run.ended);
        // Without the handlers the runtime returns (4) or ends the process
        // on its own.
        EXPECT_EQ(0u, run.exitCode);
        EXPECT_EQ(1, OutputOf(capture, run.processId).Count("RV_ExceptFilter"));
    }
    if (ran == 0)
        GTEST_SKIP() << "the runtime library has no handler setters";
}
