#include "diagnostics/InstallerLogger.h"

#include <log4cplus/configurator.h>
#include <log4cplus/hierarchy.h>
#include <log4cplus/helpers/loglog.h>
#include <log4cplus/helpers/property.h>
#include <log4cplus/initializer.h>

#include <sstream>

#include "base/PathString.h"
#include "base/ScopedHandle.h"
#include "base/StandardPaths.h"
#include "diagnostics/DebugTrace.h"
#include "diagnostics/LogFileConfinement.h"

namespace {

// The whole log configuration, read through its UTF-16 path: the local
// data folder may lie in a profile the ANSI code page cannot name, where
// log4cplus's own (ANSI) file open would not find it. Files larger than
// 1 MiB are not log configurations.
bool ReadLogConfiguration(const std::wstring& path, std::string& text) {
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > (1 << 20))
        return false;
    text.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() &&
        (!ReadFile(file.Get(), &text[0], static_cast<DWORD>(text.size()), &read, nullptr)))
        return false;
    text.resize(read);
    return true;
}

}  // namespace

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
    std::string configuration;
    const bool haveConfiguration = ReadLogConfiguration(InstallerLogConfigPath(), configuration);
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
        if (haveConfiguration) {
            std::istringstream stream(configuration);
            log4cplus::helpers::Properties properties(stream);
            // The elevated install writes only below the local data folder.
            if (IsElevatedToken())
                ConfineLogFiles(properties);
            log4cplus::PropertyConfigurator configurator(properties, hierarchy, 0);
            configurator.configure();
        }
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
