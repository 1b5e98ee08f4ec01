// Debug trace lines on the debugger channel (OutputDebugString), one call
// per line:
//   "(" tick ")#Pu#[" source ":" line "](" thread ")- " ["*INFO* "] message "\n"
// Narrow in the installer library, UTF-16 in the launcher.
#pragma once

#include <windows.h>

#include <sstream>
#include <string>

#include "base/RvText.h"

// Composes one line; pure formatting, used by the writer and by tests.
RvString FormatTraceLine(DWORD tick, const char* sourceFile, int line, DWORD threadId, bool info,
                         const RvString& message);

// Composes the line for the calling thread now and sends it.
void WriteTraceLine(const char* sourceFile, int line, bool info, const RvString& message);

// Collects a message with operator<< and writes it as one line when it goes
// out of scope.
class TraceLineStream {
public:
    TraceLineStream(const char* sourceFile, int line, bool info)
        : m_sourceFile(sourceFile), m_line(line), m_info(info) {}
    ~TraceLineStream() { WriteTraceLine(m_sourceFile, m_line, m_info, m_stream.str()); }
    TraceLineStream(const TraceLineStream&) = delete;
    TraceLineStream& operator=(const TraceLineStream&) = delete;

    template <typename T>
    TraceLineStream& operator<<(const T& value) {
        m_stream << value;
        return *this;
    }

private:
    const char* m_sourceFile;
    int m_line;
    bool m_info;
    std::basic_ostringstream<RvChar> m_stream;
};

// Trace sites name their source and line explicitly: viewers and scripts
// filter on these, so they stay fixed when the code around them moves.
#define RV_TRACE_INFO(source, line) TraceLineStream(source, line, true)
#define RV_TRACE_ERROR(source, line) TraceLineStream(source, line, false)
