#include "diagnostics/DCheck.h"

#include "diagnostics/DebugTrace.h"

CheckMessageStream::CheckMessageStream(const char* source, int line) {
    m_stream << RV_T(":") << source << RV_T("(") << line << RV_T(")] ");
}

CheckMessageStream::~CheckMessageStream() {
    m_stream << RV_T("\n");
    WriteTraceLine("dcheck", 30, false, m_stream.str());
}
