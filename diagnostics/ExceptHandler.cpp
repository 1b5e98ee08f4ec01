#include "diagnostics/ExceptHandler.h"

#include <cstdlib>
#include <initializer_list>

#include "base/PathString.h"
#include "base/StandardPaths.h"
#include "base/SystemInfo.h"
#include "base/TextConvert.h"
#include "diagnostics/CrashReport.h"
#include "diagnostics/DebugTrace.h"
#include "diagnostics/MiniDump.h"
#include "diagnostics/SehGuard.h"
#ifndef RV_WIDE_TEXT
#include "base/AdminOnlyRights.h"
#include "diagnostics/CrashPrompt.h"
#include "diagnostics/ExceptHandlerTesting.h"
#endif

namespace {

using CrashCallback = int (*)(unsigned int code, EXCEPTION_POINTERS* pointers, const char* origin);

int ReportCrash(unsigned int, EXCEPTION_POINTERS* pointers, const char*) {
    return CRvExceptHandler::GetInstance().Report(pointers);
}

// Set by the first RV_ExceptHandlerInit; nothing later changes them. The
// installation runs first thing on the main path, before other threads.
bool g_bInstalled = false;
bool g_bEndProcess = false;
CrashCallback g_pfnCrashCallback = ReportCrash;
#ifndef RV_WIDE_TEXT
AdminOnlyCheckFunction g_pfnAdminOnlyCheck = nullptr;

// The installer runs elevated: the report program would run with its
// rights and the dump holds the host's memory. Both go only into an install
// folder where no one but an administrator can have placed or changed
// anything: the folder itself and the program in it. Traces the first one
// that fails.
bool IsReportFolderProtected(const std::wstring& folder, const std::wstring& program) {
    for (const std::wstring* path : {&folder, &program}) {
        const bool adminOnly = g_pfnAdminOnlyCheck != nullptr
                                   ? g_pfnAdminOnlyCheck(*path)
                                   : IsChangeableOnlyByAdministrators(*path);
        if (!adminOnly) {
            RV_TRACE_INFO("RvExceptHandler", 176)
                << "no dump and no report program: others than administrators may change "
                << WideToRv(*path);
            return false;
        }
    }
    return true;
}
#endif

// The runtime's invalid-parameter and pure-virtual-call handlers land here:
// a write to address 0 turns both into an access violation that reaches the
// crash filter.
void FaultAtAddressZero() {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 0;
}

void __cdecl OnInvalidParameter(const wchar_t*,
                                const wchar_t*,
                                const wchar_t*,
                                unsigned int,
                                uintptr_t) {
    FaultAtAddressZero();
}

void __cdecl OnPureVirtualCall() {
    FaultAtAddressZero();
}

LONG WINAPI ProcessWideFilter(EXCEPTION_POINTERS* pointers) {
    const unsigned int code = pointers != nullptr && pointers->ExceptionRecord != nullptr
                                  ? pointers->ExceptionRecord->ExceptionCode
                                  : 0;
    RV_ExceptFilter(code, pointers, "Exception_Filter");
    return EXCEPTION_EXECUTE_HANDLER;
}

void Install(const RvChar* moduleName, bool processWide) {
    if (g_bInstalled)
        return;
    g_bInstalled = true;
    _set_invalid_parameter_handler(OnInvalidParameter);
    _set_purecall_handler(OnPureVirtualCall);
    if (processWide)
        SetUnhandledExceptionFilter(ProcessWideFilter);
    g_bEndProcess = processWide;
    g_pfnCrashCallback = ReportCrash;
    CRvExceptHandler& handler = CRvExceptHandler::GetInstance();
    handler.Init();
    if (moduleName != nullptr)
        handler.SetModuleName(moduleName);
}

// The configuration files lie below the install folder. Without one their
// names would be bare relative names, which the profile functions look up
// in the Windows folder: a stray file there must not set the channel or the
// statistics host.
RvString ReadUserChannel(const std::wstring& installDir) {
    if (installDir.empty())
        return RvString();
    std::wstring userConfig;
    GetStandardPath(userConfig, kPathUserConfigIni);
    return CAtlIniExt(userConfig).GetString(RV_T("config"), RV_T("ChannelID"));
}

}  // namespace

CRvExceptHandler& CRvExceptHandler::GetInstance() {
    static CRvExceptHandler instance;
    return instance;
}

void CRvExceptHandler::Init() {
    RV_TRACE_INFO("RvExceptHandler", 94) << RV_T("CRvExceptHandler::Init");
    if (m_bInitialized)
        return;
    m_bInitialized = true;
#ifndef RV_WIDE_TEXT
    // The installer library rewrites the records these facts come from
    // (config.dat above all) during an install: a report keeps the facts of
    // the call's start. The launcher changes none of them, so it reads them
    // when a crash needs them, and its starts pay neither for the reads nor
    // for loading the shell, version and adapter libraries behind them.
    GatherReportFacts();
#endif
}

void CRvExceptHandler::GatherReportFacts() {
    if (m_bFactsGathered)
        return;
    m_bFactsGathered = true;

    GetStandardPath(m_strDumpDir, kPathInstallDir);
    const RvString channel = ReadUserChannel(m_strDumpDir);
    std::wstring modulePath;
    GetStandardPath(modulePath, kPathRunningModule);
    RvString version;
    GetFileVersionString(modulePath, version);
    const RvString fileName = WideToRv(LastPathComponent(modulePath));
    const RvString mac = GetMacAddressString();

    m_strDumpSuffix = RV_T("_") + channel + RV_T("_") + version + RV_T("_") + fileName + RV_T("_") +
                      mac + RV_T(".dmp");
    m_strReportInfo = RV_T("|VER:") + version + RV_T("|CHID:") + channel + RV_T("|MAC:") + mac;
    m_strModulePath = modulePath;

    if (!m_strDumpDir.empty()) {
        std::wstring serverConfig;
        GetStandardPath(serverConfig, kPathServerConfigIni);
        m_crashConfig.SetFileName(serverConfig);
    }
    m_strReportProgram = JoinPath(m_strDumpDir, L"RvDumpReport.exe");
}

void CRvExceptHandler::SetModuleName(const RvChar* name) {
    if (name != nullptr)
        m_strModuleName = name;
}

int CRvExceptHandler::Report(EXCEPTION_POINTERS* pointers) {
    GatherReportFacts();
    const RvString logText = RV_T("|MOD:") + m_strModuleName + RV_T("|FEXT:") + m_strDumpSuffix;
    RvString arguments = RV_T(" /LogText:\"") + logText + RV_T("\" /LogAct:ACT_CRASHREPORT");

    // Without an install folder there is nowhere to put a dump and no report
    // program of ours to start: a bare name would land in the drive's root
    // and be searched for along the path.
    bool useFolder = !m_strDumpDir.empty();
#ifndef RV_WIDE_TEXT
    useFolder = useFolder && IsReportFolderProtected(m_strDumpDir, m_strReportProgram);
#endif
    if (useFolder && pointers != nullptr &&
        m_crashConfig.GetInt(RV_T("config"), RV_T("CrashReport"), 0) != 0) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        const RvString dumpPath = WideToRv(m_strDumpDir) + RV_T("\\") + FormatDumpTimestamp(now) +
                                  m_strModuleName + m_strDumpSuffix;
        WriteMiniDump(dumpPath, pointers);
        arguments += RV_T(" /Dump:\"") + dumpPath + RV_T("\"");
    }

    SendCrashReport(m_crashConfig.GetString(RV_T("config"), RV_T("StatHost")), m_strModuleName,
                    m_strReportInfo, RV_T("ACT_CRASHREPORT"), logText);
    StartReportProgram(useFolder ? m_strReportProgram : std::wstring(), arguments);
    return 1;
}

#ifndef RV_WIDE_TEXT
AdminOnlyCheckFunction SetAdminOnlyCheckForTesting(AdminOnlyCheckFunction check) {
    const AdminOnlyCheckFunction previous = g_pfnAdminOnlyCheck;
    g_pfnAdminOnlyCheck = check;
    return previous;
}
#endif

bool RV_ExceptHandlerInit(const RvChar* moduleName, bool processWide) {
    if (!SehTry([&] { Install(moduleName, processWide); }, SehHandleAll))
        OutputDebugString(RV_T(" RV_ExceptHandlerInit failed"));
    return true;
}

int RV_ExceptFilter(unsigned int code, EXCEPTION_POINTERS* pointers, const char* origin) {
#ifndef RV_WIDE_TEXT
    // The installer asks first; "Yes" skips the whole report.
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (ShowCrashPrompt(program) == IDYES)
        return EXCEPTION_EXECUTE_HANDLER;
#endif
    OutputDebugString(RV_T("RV_ExceptFilter"));
    if (CrashCallback callback = g_pfnCrashCallback) {
        // Whatever goes wrong while reporting stays inside the report.
        SehTry(
            [&] {
                try {
                    callback(code, pointers, origin);
                } catch (...) {
                }
            },
            SehHandleAll);
    }
    if (g_bEndProcess)
        ExitProcess(0);
    return EXCEPTION_EXECUTE_HANDLER;
}
