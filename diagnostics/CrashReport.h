// The pieces of a crash report after the dump: the one-line HTTP request to
// the statistics host and the start of the crash-report program.
#pragma once

#include <windows.h>

#include <string>

#include "base/RvText.h"

// Twelve digits of local time, year to minute: "%04d%02d%02d%02d%02d".
RvString FormatDumpTimestamp(const SYSTEMTIME& time);

// Sends "http://" host "/g.real?aid=text_ad_2689&text=S:" module info
// "|ACT:" action text, nothing escaped, and traces the address on the
// debugger channel. A request that fails to connect is sent once more with
// "|Retry:1" appended. The host is "host[:port]"; an empty one sends
// nothing. The response is not used.
void SendCrashReport(const RvString& host,
                     const RvString& moduleName,
                     const RvString& reportInfo,
                     const RvString& action,
                     const RvString& text);

// Starts "\"" program "\"" arguments hidden and waits up to 200 ms, then
// traces "Launcher ret = " with 1 when it started and 0 when not. An empty
// program path starts nothing.
bool StartReportProgram(const std::wstring& programPath, const RvString& arguments);
