#include "diagnostics/MiniDump.h"

#include <dbghelp.h>

#include "base/ScopedHandle.h"
#include "base/SystemFunction.h"

namespace {

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE process,
                                                DWORD processId,
                                                HANDLE file,
                                                MINIDUMP_TYPE type,
                                                PMINIDUMP_EXCEPTION_INFORMATION exception,
                                                PMINIDUMP_USER_STREAM_INFORMATION userStreams,
                                                PMINIDUMP_CALLBACK_INFORMATION callback);

// The minidump writer, looked up the first time a dump is asked for: only
// a crash needs the debugging library, and loading it at every start of
// the program (or of the library) would cost that start its load.
MiniDumpWriteDumpFunction MiniDumpWriter() {
    static const MiniDumpWriteDumpFunction write =
        GetSystemFunctionAs<MiniDumpWriteDumpFunction>(L"dbghelp.dll", "MiniDumpWriteDump");
    return write;
}

}  // namespace

bool IsMiniDumpAvailable() {
    return MiniDumpWriter() != nullptr;
}

bool WriteMiniDump(const RvString& path, EXCEPTION_POINTERS* pointers) {
    MiniDumpWriteDumpFunction write = MiniDumpWriter();
    if (!write || !pointers)
        return false;
    ScopedFile file(CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    MINIDUMP_EXCEPTION_INFORMATION exception = {};
    exception.ThreadId = GetCurrentThreadId();
    exception.ExceptionPointers = pointers;
    exception.ClientPointers = FALSE;
    return write(GetCurrentProcess(), GetCurrentProcessId(), file.Get(),
                 MiniDumpWithIndirectlyReferencedMemory, &exception, nullptr, nullptr) != FALSE;
}
