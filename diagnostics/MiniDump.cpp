#include "diagnostics/MiniDump.h"

#include <dbghelp.h>

#include "base/ScopedHandle.h"

namespace {

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE process,
                                                DWORD processId,
                                                HANDLE file,
                                                MINIDUMP_TYPE type,
                                                PMINIDUMP_EXCEPTION_INFORMATION exception,
                                                PMINIDUMP_USER_STREAM_INFORMATION userStreams,
                                                PMINIDUMP_CALLBACK_INFORMATION callback);

// The module's minidump entry, resolved by a static object before the
// program's entry point (or while the library loads). A library without the
// export is unloaded again at once.
class MiniDumpEntry {
public:
    MiniDumpEntry() : m_library(LoadLibraryA("DBGHELP.DLL")) {
        if (!m_library)
            return;
        m_write = reinterpret_cast<MiniDumpWriteDumpFunction>(
            reinterpret_cast<void*>(GetProcAddress(m_library.Get(), "MiniDumpWriteDump")));
        if (!m_write)
            m_library.Reset();
    }
    MiniDumpEntry(const MiniDumpEntry&) = delete;
    MiniDumpEntry& operator=(const MiniDumpEntry&) = delete;

    MiniDumpWriteDumpFunction Get() const { return m_write; }

private:
    ScopedLibrary m_library;
    MiniDumpWriteDumpFunction m_write = nullptr;
};

const MiniDumpEntry g_miniDumpEntry;

}  // namespace

bool IsMiniDumpAvailable() {
    return g_miniDumpEntry.Get() != nullptr;
}

bool WriteMiniDump(const RvString& path, EXCEPTION_POINTERS* pointers) {
    MiniDumpWriteDumpFunction write = g_miniDumpEntry.Get();
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
