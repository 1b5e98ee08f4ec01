// The crash handler that both deliverables carry. When a crash reaches it,
// it writes a minidump into the install folder (when "CrashReport" in the
// server configuration is not 0), sends a one-line crash report to the
// statistics host and starts the crash-report program RvDumpReport.exe.
// The installer library, which runs elevated, writes the dump and starts
// the program only when the install folder and the program in it can be
// changed only by administrators (base/AdminOnlyRights.h); otherwise it
// sends the report alone.
//
// The launcher installs it process-wide and the process ends with exit
// code 0 after a report. The installer library installs it without the
// process-wide filter and reaches it through the structured-exception guard
// of its entry, which then returns to its caller:
//
//   int code = -1;
//   const bool completed = SehTry(
//       [&] {
//           RV_ExceptHandlerInit("RvInstaller", false);
//           code = _seh_DoInstall(request, result);
//       },
//       [](DWORD exceptionCode, EXCEPTION_POINTERS* pointers) -> LONG {
//           return RV_ExceptFilter(exceptionCode, pointers, "doInst");
//       });
//   return completed ? code : -1;
//
// The statistics host is ours to configure: key "StatHost" in section
// "config" of the server configuration (install folder +
// Conf\Server\config.ini, the file that holds "CrashReport"), as
// "host[:port]". Absent or empty, no report request is made at all.
//
// Text is narrow (ANSI code page) in the installer library and UTF-16 in the
// launcher; paths are UTF-16 in both.
#pragma once

#include <windows.h>

#include <string>

#include "base/AtlIniExt.h"
#include "base/RvText.h"
#include "diagnostics/SehGuard.h"

// One per module, created on first use, destroyed when the module ends.
class CRvExceptHandler {
public:
    static CRvExceptHandler& GetInstance();

    // Traces "CRvExceptHandler::Init"; the first time, the installer
    // library's handler also gathers the facts a report names (install
    // folder, channel, version, adapter address), which the launcher's
    // gathers at its first report.
    void Init();
    void SetModuleName(const RvChar* name);

    // The report routine: dump, report request, report program. Returns 1.
    int Report(EXCEPTION_POINTERS* pointers);

    // The facts, gathered first when they are not yet.
    const RvString& GetDumpSuffix() {
        GatherReportFacts();
        return m_strDumpSuffix;
    }
    const RvString& GetModuleName() const { return m_strModuleName; }
    const RvString& GetReportInfo() {
        GatherReportFacts();
        return m_strReportInfo;
    }
    const std::wstring& GetModulePath() {
        GatherReportFacts();
        return m_strModulePath;
    }
    const std::wstring& GetDumpDir() {
        GatherReportFacts();
        return m_strDumpDir;
    }
    const std::wstring& GetReportProgram() {
        GatherReportFacts();
        return m_strReportProgram;
    }

private:
    CRvExceptHandler() = default;
    CRvExceptHandler(const CRvExceptHandler&) = delete;
    CRvExceptHandler& operator=(const CRvExceptHandler&) = delete;

    // Fills the fields below (except the module name) once.
    void GatherReportFacts();

    // "_" channel "_" version "_" module file name "_" MAC ".dmp"
    RvString m_strDumpSuffix;
    RvString m_strModuleName;
    // "|VER:" version "|CHID:" channel "|MAC:" MAC
    RvString m_strReportInfo;
    std::wstring m_strModulePath;
    // The install folder, and RvDumpReport.exe in it.
    std::wstring m_strDumpDir;
    std::wstring m_strReportProgram;
    // Conf\Server\config.ini of the install folder: "CrashReport" and
    // "StatHost" in section "config", read at the time of a crash.
    CAtlIniExt m_crashConfig;
    bool m_bInitialized = false;
    bool m_bFactsGathered = false;
};

// Installs the handler once per module: later calls change nothing, not
// even the module name or the process-wide flag. With processWide the
// handler becomes the process's unhandled-exception filter and a crash
// report ends the process. Always returns true.
bool RV_ExceptHandlerInit(const RvChar* moduleName, bool processWide);

// The crash filter, for structured-exception guards and the process-wide
// filter: reports the crash (the installer library first asks whether to
// skip the report), ends the process when installed process-wide, and
// returns EXCEPTION_EXECUTE_HANDLER. Only the pointers are used; origin names
// the caller ("doInst", "Exception_Filter").
int RV_ExceptFilter(unsigned int code, EXCEPTION_POINTERS* pointers, const char* origin);
