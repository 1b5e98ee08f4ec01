#include "diagnostics/DebugTrace.h"

namespace {

RvString WidenSourceName(const char* sourceFile) {
    // Source names are ASCII; the wide flavor widens them character by
    // character.
    RvString name;
    for (const char* p = sourceFile ? sourceFile : ""; *p; ++p)
        name.push_back(static_cast<RvChar>(static_cast<unsigned char>(*p)));
    return name;
}

}  // namespace

RvString FormatTraceLine(DWORD tick, const char* sourceFile, int line, DWORD threadId, bool info,
                         const RvString& message) {
    std::basic_ostringstream<RvChar> stream;
    stream << RV_T("(") << tick << RV_T(")#Pu#[") << WidenSourceName(sourceFile) << RV_T(":")
           << line << RV_T("](") << threadId << RV_T(")- ");
    if (info)
        stream << RV_T("*INFO* ");
    stream << message << RV_T("\n");
    return stream.str();
}

void WriteTraceLine(const char* sourceFile, int line, bool info, const RvString& message) {
    RvString text =
        FormatTraceLine(GetTickCount(), sourceFile, line, GetCurrentThreadId(), info, message);
    OutputDebugString(text.c_str());
}
