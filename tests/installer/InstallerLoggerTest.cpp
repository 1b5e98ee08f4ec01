// The installer logger set up and torn down the way each doInst call does
// it: silence without a configuration, the events' level, file, line and
// function in a file appender, and a fresh reading of the file every time.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <log4cplus/helpers/loglog.h>

#include "diagnostics/InstallerLogger.h"
#include "tests/installer/FileTestSupport.h"
#include "tests/support/DebugOutputCapture.h"
#include "tests/support/TestEnvironment.h"

namespace {

const char kEntryFunction[] = "int __cdecl _seh_DoInstall(const char *,char *&)";

// Keeps the log configuration folder and file as they were, and writes the
// file for a test.
class LogConfigTest : public testing::Test {
protected:
    LogConfigTest()
        : m_guard({LocalDataFolder(), LocalDataFolder() + L"\\log_cfg"},
                  {LocalDataFolder() + L"\\log_cfg\\INSTALL.lcfg"}) {}

    void SetUp() override {
        ASSERT_EQ(InstallerLogConfigPath(), LocalDataFolder() + L"\\log_cfg\\INSTALL.lcfg");
        DeleteFileW(InstallerLogConfigPath().c_str());
    }

    // A configuration that sends every event to `log` as
    // "level|file|line|function|message"; `extra` adds property lines.
    void WriteConfig(const std::wstring& log, const std::string& extra = std::string()) {
        ASSERT_TRUE(WriteFileAppenderConfig(log, "%p|%b|%L|%M|%m%n", extra));
    }

    // One install call's logging frame around `body`.
    template <typename Body>
    void RunLoggingFrame(Body body) {
        InstallerLoggingScope scope;
        body();
    }

    static std::vector<std::string> LogLines(const std::wstring& log) {
        std::vector<std::string> lines;
        std::istringstream stream(ReadFileBytes(log));
        std::string line;
        while (std::getline(stream, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }

    static std::string StartLine() {
        return std::string("INFO|dllmain|19|") + kEntryFunction + "|installer start";
    }
    static std::string EndLine() {
        return std::string("INFO|dllmain|25|") + kEntryFunction + "|installer end";
    }

    ProfileFilesGuard m_guard;
    ScratchFolder m_scratch;
};

// Redirects what log4cplus prints on the standard streams.
class StandardStreamCapture {
public:
    StandardStreamCapture()
        : m_out(std::cout.rdbuf(m_outText.rdbuf())), m_err(std::cerr.rdbuf(m_errText.rdbuf())) {}
    ~StandardStreamCapture() {
        std::cout.rdbuf(m_out);
        std::cerr.rdbuf(m_err);
    }
    std::string Text() const { return m_outText.str() + m_errText.str(); }

private:
    std::ostringstream m_outText;
    std::ostringstream m_errText;
    std::streambuf* m_out;
    std::streambuf* m_err;
};

}  // namespace

TEST_F(LogConfigTest, WithoutAConfigurationNothingIsPrintedAndTheTraceLinesAreSent) {
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.IsActive());
    std::string printed;
    std::string probe;
    {
        StandardStreamCapture streams;
        RunLoggingFrame(
            [] { RV_LOG_DEBUG("RvInstallerMain", 120, "void Step()", "no appender for " << 1); });
        printed = streams.Text();

        // The capture does see what log4cplus prints when it is not quiet.
        log4cplus::helpers::LogLog& logLog = log4cplus::helpers::getLogLog();
        logLog.setQuietMode(false);
        logLog.error("probe");
        logLog.setQuietMode(true);
        probe = streams.Text();
    }
    EXPECT_EQ(printed, "");
    EXPECT_NE(probe.find("probe"), std::string::npos);

    ASSERT_TRUE(capture.Sync());
    const std::vector<std::string> texts = capture.Texts(GetCurrentProcessId());
    ASSERT_EQ(texts.size(), 2u);
    const std::regex start(R"(^\(\d+\)#Pu#\[dllmain:19\]\(\d+\)- \*INFO\* installer start\n$)");
    const std::regex end(R"(^\(\d+\)#Pu#\[dllmain:25\]\(\d+\)- \*INFO\* installer end\n$)");
    EXPECT_TRUE(std::regex_match(texts[0], start)) << texts[0];
    EXPECT_TRUE(std::regex_match(texts[1], end)) << texts[1];
}

TEST_F(LogConfigTest, FileAppenderGetsLevelFileLineAndFunction) {
    const std::wstring log = m_scratch / L"install.log";
    WriteConfig(log);
    RunLoggingFrame([] {
        RV_LOG_DEBUG("RvInstallerMain", 120, "void CRvInstallerMain::Step()", "value = " << 5);
        RV_LOG_INFO("RvInstallerMain", 121, "void CRvInstallerMain::Step()", "info");
    });

    EXPECT_EQ(LogLines(log),
              (std::vector<std::string>{
                  StartLine(), "DEBUG|RvInstallerMain|120|void CRvInstallerMain::Step()|value = 5",
                  "INFO|RvInstallerMain|121|void CRvInstallerMain::Step()|info", EndLine()}));
    // The shutdown closed the file.
    EXPECT_TRUE(DeleteFileW(log.c_str()));
}

// Three calls in one process, each reading the file as it is then: a level
// that one file sets does not outlive its call.
TEST_F(LogConfigTest, EachSetUpReadsTheFileAfresh) {
    const std::wstring first = m_scratch / L"first.log";
    const std::wstring second = m_scratch / L"second.log";
    const std::wstring third = m_scratch / L"third.log";

    WriteConfig(first);
    RunLoggingFrame([] { RV_LOG_DEBUG("RvInstallerMain", 1, "f", "one"); });
    WriteConfig(second, "log4cplus.logger.1006_installer=WARN\n");
    RunLoggingFrame([] { RV_LOG_DEBUG("RvInstallerMain", 2, "f", "two"); });
    WriteConfig(third);
    RunLoggingFrame([] { RV_LOG_DEBUG("RvInstallerMain", 3, "f", "three"); });

    EXPECT_EQ(LogLines(first),
              (std::vector<std::string>{StartLine(), "DEBUG|RvInstallerMain|1|f|one", EndLine()}));
    EXPECT_TRUE(LogLines(second).empty());
    EXPECT_EQ(LogLines(third), (std::vector<std::string>{
                                   StartLine(), "DEBUG|RvInstallerMain|3|f|three", EndLine()}));
}
