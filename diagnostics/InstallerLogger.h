// The installer library's log4cplus logger, "1006_installer". Every doInst
// call configures log4cplus afresh from "INSTALL.lcfg" in the log
// configuration folder and shuts it down at the end, so a change to the file
// takes effect at the next call; without the file the events go nowhere and
// log4cplus prints nothing about it. Installer library only.
#pragma once

#include <string>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>
#include <log4cplus/loglevel.h>

constexpr char kInstallerLoggerName[] = "1006_installer";
constexpr wchar_t kInstallerLogConfigName[] = L"INSTALL.lcfg";

// The fixed sites of the start and end messages, which go both to the
// logger and to the debug trace.
constexpr char kInstallerEntrySource[] = "dllmain";
constexpr int kInstallerStartLine = 19;
constexpr int kInstallerEndLine = 25;
constexpr char kInstallerEntryFunction[] = "int __cdecl _seh_DoInstall(const char *,char *&)";

// The logger, obtained once and kept for the life of the library.
log4cplus::Logger& InstallerLogger();

// "INSTALL.lcfg" in the log configuration folder.
std::wstring InstallerLogConfigPath();

// Initialises log4cplus, silences its own diagnostics, drops what an earlier
// configuration left behind and configures the default hierarchy from the
// file; in an elevated process without the appenders whose files may lie
// outside the local data folder (diagnostics/LogFileConfinement.h).
void ConfigureInstallerLogging();
// Closes and removes the appenders that the configuration created.
void ShutdownInstallerLogging();

// "installer start" / "installer end" at INFO on the logger and as debug
// trace lines, from the fixed sites above.
void LogInstallerStart();
void LogInstallerEnd();

// The logging frame of one install: configures and logs the start when it
// is made, logs the end and shuts log4cplus down when it goes.
class InstallerLoggingScope {
public:
    InstallerLoggingScope();
    ~InstallerLoggingScope();
    InstallerLoggingScope(const InstallerLoggingScope&) = delete;
    InstallerLoggingScope& operator=(const InstallerLoggingScope&) = delete;
};

// Logs one event when the logger is enabled for the level: the message is
// streamed into the thread's logging stream and forced out with the given
// source file, line and function text, e.g.
//   RV_LOG_DEBUG("RvInstallerMain", 120, kDoInstallSignature, "InstallFolder: " << folder);
#define RV_LOG_EVENT(level, file, line, function, message)                                   \
    do {                                                                                     \
        log4cplus::Logger& rvLogger = InstallerLogger();                                     \
        if (rvLogger.isEnabledFor(level)) {                                                  \
            log4cplus::tostringstream& rvStream = log4cplus::detail::get_macro_body_oss();   \
            rvStream << message;                                                             \
            log4cplus::detail::macro_forced_log(rvLogger, level, rvStream.str(), file, line, \
                                                function);                                   \
        }                                                                                    \
    } while (0)

#define RV_LOG_DEBUG(file, line, function, message) \
    RV_LOG_EVENT(log4cplus::DEBUG_LOG_LEVEL, file, line, function, message)
#define RV_LOG_INFO(file, line, function, message) \
    RV_LOG_EVENT(log4cplus::INFO_LOG_LEVEL, file, line, function, message)
