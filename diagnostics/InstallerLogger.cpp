#include "diagnostics/InstallerLogger.h"

#include <log4cplus/configurator.h>
#include <log4cplus/hierarchy.h>
#include <log4cplus/helpers/loglog.h>
#include <log4cplus/initializer.h>

#include "base/PathString.h"
#include "base/StandardPaths.h"
#include "base/TextConvert.h"
#include "diagnostics/DebugTrace.h"

log4cplus::Logger& InstallerLogger() {
    // Made on first use rather than at load time, so that it never depends
    // on the order in which the static objects of log4cplus come up.
    static log4cplus::Logger logger = log4cplus::Logger::getInstance(kInstallerLoggerName);
    return logger;
}

std::wstring InstallerLogConfigPath() {
    std::wstring folder;
    GetStandardPath(folder, kPathLogConfigDir);
    return JoinPath(folder, kInstallerLogConfigName);
}

void ConfigureInstallerLogging() {
    const std::string path = WideToAnsi(InstallerLogConfigPath());
    // Logging must never fail the install: whatever log4cplus throws over a
    // faulty file ends here.
    try {
        log4cplus::initialize();
        log4cplus::helpers::LogLog& logLog = log4cplus::helpers::getLogLog();
        logLog.setInternalDebugging(false);
        logLog.setQuietMode(true);
        // Levels and additivity that an earlier call's file set would
        // otherwise outlive the shutdown; each call starts from the
        // defaults so that only the current file counts.
        log4cplus::Hierarchy& hierarchy = log4cplus::Logger::getDefaultHierarchy();
        hierarchy.resetConfiguration();
        log4cplus::PropertyConfigurator::doConfigure(path, hierarchy, 0);
    } catch (...) {
    }
}

void ShutdownInstallerLogging() {
    try {
        log4cplus::Logger::shutdown();
    } catch (...) {
    }
}

void LogInstallerStart() {
    try {
        RV_LOG_INFO(kInstallerEntrySource, kInstallerStartLine, kInstallerEntryFunction,
                    "installer start");
    } catch (...) {
    }
    RV_TRACE_INFO(kInstallerEntrySource, kInstallerStartLine) << "installer start";
}

void LogInstallerEnd() {
    try {
        RV_LOG_INFO(kInstallerEntrySource, kInstallerEndLine, kInstallerEntryFunction,
                    "installer end");
    } catch (...) {
    }
    RV_TRACE_INFO(kInstallerEntrySource, kInstallerEndLine) << "installer end";
}

InstallerLoggingScope::InstallerLoggingScope() {
    ConfigureInstallerLogging();
    LogInstallerStart();
}

InstallerLoggingScope::~InstallerLoggingScope() {
    LogInstallerEnd();
    ShutdownInstallerLogging();
}
