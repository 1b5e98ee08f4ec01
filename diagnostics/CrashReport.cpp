#include "diagnostics/CrashReport.h"

#include <urlmon.h>

#include "base/ProcessUtil.h"
#include "base/SystemFunction.h"
#include "base/TextConvert.h"
#include "diagnostics/DebugTrace.h"

namespace {

constexpr DWORD kReportProgramWaitMs = 200;

#ifdef RV_WIDE_TEXT
using OpenBlockingStreamFn =
    HRESULT(WINAPI*)(LPUNKNOWN, LPCWSTR, LPSTREAM*, DWORD, LPBINDSTATUSCALLBACK);
constexpr char kOpenBlockingStreamName[] = "URLOpenBlockingStreamW";
#else
using OpenBlockingStreamFn =
    HRESULT(WINAPI*)(LPUNKNOWN, LPCSTR, LPSTREAM*, DWORD, LPBINDSTATUSCALLBACK);
constexpr char kOpenBlockingStreamName[] = "URLOpenBlockingStreamA";
#endif

// Opens the address and drops what comes back. The blocking stream returns
// once the request has been answered, or with an error when it could not be
// made. URLOpenStream is not used: Wine returns from it before the request
// has left (a process that ends right after a crash report would drop it)
// and later calls a callback proxy it kept on the returned call's stack.
//
// The URL library is looked up when the first report is sent: only a crash
// needs it, and importing it would load it, with the many libraries it
// needs, at every start.
bool OpenReportAddress(const RvString& address) {
    static const OpenBlockingStreamFn openBlockingStream =
        GetSystemFunctionAs<OpenBlockingStreamFn>(L"urlmon.dll", kOpenBlockingStreamName);
    if (openBlockingStream == nullptr)
        return false;
    IStream* stream = nullptr;
    const HRESULT result = openBlockingStream(nullptr, address.c_str(), &stream, 0, nullptr);
    if (stream != nullptr)
        stream->Release();
    return SUCCEEDED(result);
}

}  // namespace

RvString FormatDumpTimestamp(const SYSTEMTIME& time) {
    RvChar buffer[kPathBufferSize];
    FormatToPathBuffer(buffer, kPathBufferSize, RV_T("%04d%02d%02d%02d%02d"), time.wYear,
                       time.wMonth, time.wDay, time.wHour, time.wMinute);
    return buffer;
}

void SendCrashReport(const RvString& host,
                     const RvString& moduleName,
                     const RvString& reportInfo,
                     const RvString& action,
                     const RvString& text) {
    // No statistics host configured: nothing to send and nothing to wait for.
    if (host.empty())
        return;
    const RvString address = RV_T("http://") + host + RV_T("/g.real?aid=text_ad_2689&text=S:") +
                             moduleName + reportInfo + RV_T("|ACT:") + action + text;
    OutputDebugString(address.c_str());
    if (!OpenReportAddress(address))
        OpenReportAddress(address + RV_T("|Retry:1"));
}

bool StartReportProgram(const std::wstring& programPath, const RvString& arguments) {
    bool started = false;
    // Without an install folder the bare program name would be searched for
    // along the path; only the one in the install folder is started.
    if (!programPath.empty()) {
        const RvString commandLine = RV_T("\"") + WideToRv(programPath) + RV_T("\"") + arguments;
        DWORD exitCode = 0;
        started = RunProcessAndWait(commandLine.c_str(), &exitCode, kReportProgramWaitMs);
    }
    RV_TRACE_INFO("RvExceptHandler", 189) << RV_T("Launcher ret = ") << (started ? 1 : 0);
    return started;
}
