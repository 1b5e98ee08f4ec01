// The installer logger set up and torn down the way each doInst call does
// it: silence without a configuration, the events' level, file, line and
// function in a file appender, a fresh reading of the file every time, and
// an elevated process's files kept below the local data folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <log4cplus/helpers/loglog.h>

#include "base/ScopedHandle.h"
#include "diagnostics/InstallerLogger.h"
#include "diagnostics/LogFileConfinement.h"
#include "diagnostics/LogFileRules.h"
#include "tests/installer/FileTestSupport.h"
#include "tests/support/DebugOutputCapture.h"
#include "tests/support/TestEnvironment.h"

namespace {

const char kEntryFunction[] = "int __cdecl _seh_DoInstall(const char *,char *&)";

// The logs the tests write, below the local data folder.
std::wstring LogFile(const wchar_t* name) {
    return LocalDataFolder() + L"\\log_cfg\\" + name;
}

// A path for a configuration file: '/' separators, ANSI code page.
std::string ConfigPath(const std::wstring& path) {
    std::string text = Narrow(path);
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

std::string AppenderLines(const std::string& name,
                          const std::string& type,
                          const std::string& key,
                          const std::string& file) {
    const std::string prefix = "log4cplus.appender." + name;
    return prefix + "=log4cplus::" + type + "\n" + prefix + "." + key + "=" + file + "\n";
}

// Keeps the log configuration folder and files as they were, and writes the
// configuration for a test.
class LogConfigTest : public testing::Test {
protected:
    LogConfigTest()
        : m_guard({LocalDataFolder(), LocalDataFolder() + L"\\log_cfg"},
                  {LocalDataFolder() + L"\\log_cfg\\INSTALL.lcfg", LogFile(L"install.log"),
                   LogFile(L"first.log"), LogFile(L"second.log"), LogFile(L"third.log"),
                   LocalDataFolder() + L"\\..\\up.log", LocalDataFolder() + L"\\..\\env.log"}) {}

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
    const std::wstring log = LogFile(L"install.log");
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
    const std::wstring first = LogFile(L"first.log");
    const std::wstring second = LogFile(L"second.log");
    const std::wstring third = LogFile(L"third.log");

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

// The process runs elevated on Wine. Every appender that may write outside
// the local data folder is dropped, each with one trace line, while the one
// below it still logs; without elevation nothing is dropped.
TEST_F(LogConfigTest, AnElevatedInstallLogsOnlyBelowTheLocalDataFolder) {
    ASSERT_TRUE(IsElevatedToken());
    const std::string data = ConfigPath(LocalDataFolder());
    const std::string scratch = ConfigPath(m_scratch.Path());
    const std::string outside = AppenderLines("O", "FileAppender", "File", scratch + "/o.log");
    WriteConfig(LogFile(L"install.log"),
                "log4cplus.rootLogger=DEBUG, F, O, Up, Rel, Env, Roll, Link\n" + outside +
                    AppenderLines("Up", "FileAppender", "File", data + "/log_cfg/../../up.log") +
                    AppenderLines("Rel", "FileAppender", "File", "relative.log") +
                    AppenderLines("Env", "FileAppender", "File", data + "/${RV_LOG_ESCAPE}.log") +
                    AppenderLines("Roll", "RollingFileAppender", "File", scratch + "/roll.log") +
                    AppenderLines("Link", "FileAppender", "File", data + "/log_cfg/link/in.log"));
    PlantedFolderLink link(LogFile(L"link"), m_scratch.Path());
    ASSERT_TRUE(link.IsPlanted());
    _putenv("RV_LOG_ESCAPE=../env");  // log4cplus reads it through the C runtime
    DebugOutputCapture capture;
    RunLoggingFrame([] {});
    _putenv("RV_LOG_ESCAPE=");
    EXPECT_EQ(LogLines(LogFile(L"install.log")),
              (std::vector<std::string>{StartLine(), EndLine()}));
    EXPECT_EQ(FolderEntries(m_scratch.Path()), std::vector<std::wstring>());
    EXPECT_FALSE(FileExists(LocalDataFolder() + L"\\..\\up.log"));
    EXPECT_FALSE(FileExists(L"relative.log"));
    EXPECT_FALSE(FileExists(LocalDataFolder() + L"\\..\\env.log"));
    ASSERT_TRUE(capture.Sync());
    const std::vector<std::string> texts = capture.Texts(GetCurrentProcessId());
    ASSERT_EQ(texts.size(), 8u);  // the drops by name (Env, Link, O, ...), start, end
    EXPECT_NE(texts[2].find(")- *INFO* log configuration: log4cplus.appender.O dropped: File \"" +
                            scratch + "/o.log\" is not below the local data folder\n"),
              std::string::npos)
        << texts[2];

    WriteConfig(LogFile(L"install.log"), "log4cplus.rootLogger=DEBUG, F, O\n" + outside);
    ScopedHandle token = NonElevatedToken();
    ASSERT_TRUE(ImpersonateLoggedOnUser(token.Get()));
    const bool elevated = IsElevatedToken();
    RunLoggingFrame([] {});
    RevertToSelf();
    EXPECT_FALSE(elevated);
    EXPECT_EQ(LogLines(m_scratch / L"o.log"),
              (std::vector<std::string>{"INFO - installer start", "INFO - installer end"}));
}

// The text rules: whole names, the date conversions of rolling files,
// nested appenders and substituted names.
TEST(LogFileRulesTest, PathsPatternsAndNames) {
    EXPECT_TRUE(IsPathBelowFolder(L"c:/users/U/tdxdata/a/../b.log", L"C:\\Users\\u\\TDXdata"));
    EXPECT_FALSE(IsPathBelowFolder(L"C:\\Users\\u\\TDXdata2\\b.log", L"C:\\Users\\u\\TDXdata"));

    const auto permitted = [](const std::string& text) { return text.compare(0, 3, "in/") == 0; };
    std::vector<std::string> prefixes;
    for (const LogConfigDrop& drop :
         LogConfigDrops({{"log4cplus.appender.File", "log4cplus::FileAppender"},
                         {"log4cplus.appender.A.FilenamePattern", "in/%d{yyyy-MM-dd}/x%H.log"},
                         {"log4cplus.appender.A.DatePattern", "%Y-%m"},
                         {"log4cplus.appender.B.FilenamePattern", "in/%d{.}./../x.log"},
                         {"log4cplus.appender.C.DatePattern", "%Y/../x"},
                         {"log4cplus.appender.D.FilenamePattern", "in/%Z.log"},
                         {"log4cplus.appender.E.Appender.File", "out/x.log"},
                         {"log4cplus.appender.E.File", "out/y.log"},
                         {"log4cplus.appender.F.${X}", "out/x.log"},
                         {"log4cplus.${A}.G.File", "out/x.log"}},
                        permitted))
        prefixes.push_back(drop.prefix);
    EXPECT_EQ(prefixes,
              (std::vector<std::string>{"log4cplus.appender.B", "log4cplus.appender.C",
                                        "log4cplus.appender.D", "log4cplus.appender.E",
                                        "log4cplus.appender.F", "log4cplus.${A}.G.File"}));
}
