#include "base/ProcessUtil.h"

#include <cstring>
#include <cwchar>
#include <memory>

#include "base/ScopedHandle.h"
#include "base/TextConvert.h"

namespace {

size_t TextLength(const RvChar* text) {
#ifdef RV_WIDE_TEXT
    return std::wcslen(text);
#else
    return std::strlen(text);
#endif
}

// Starts a command line hidden, with no inherited handles; `program` (null:
// none) is the application name. The creation call may write into the
// command line, so it gets a copy in a buffer of kCommandLineBufferSize
// characters; a command line that does not fit is refused rather than cut,
// since a cut one would start something else.
bool StartHidden(const RvChar* program,
                 const RvChar* commandLine,
                 DWORD creationFlags,
                 PROCESS_INFORMATION& process) {
    if (commandLine == nullptr || TextLength(commandLine) > kCommandLineBufferSize - 2)
        return false;
    RvChar buffer[kCommandLineBufferSize] = {};
    std::memcpy(buffer, commandLine, TextLength(commandLine) * sizeof(RvChar));
    STARTUPINFO startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    process = PROCESS_INFORMATION();
    return CreateProcess(program, buffer, nullptr, nullptr, FALSE, creationFlags, nullptr, nullptr,
                         &startup, &process) != FALSE;
}

}  // namespace

bool RunProcessAndWait(const RvChar* commandLine,
                       DWORD* exitCode,
                       DWORD timeoutMs,
                       const RvChar* program) {
    PROCESS_INFORMATION info;
    if (!StartHidden(program, commandLine, NORMAL_PRIORITY_CLASS, info))
        return false;
    ScopedHandle process(info.hProcess);
    ScopedHandle thread(info.hThread);
    // A program still running at the timeout is left running; its exit code
    // then reads STILL_ACTIVE.
    WaitForSingleObject(process.Get(), timeoutMs);
    DWORD code = kExitCodeUnknown;
    if (!GetExitCodeProcess(process.Get(), &code))
        code = kExitCodeUnknown;
    if (exitCode != nullptr)
        *exitCode = code;
    return true;
}

#ifdef RV_WIDE_TEXT

bool ProbeProcessStart(const wchar_t* commandLine, const wchar_t* program) {
    PROCESS_INFORMATION info;
    if (!StartHidden(program, commandLine, CREATE_SUSPENDED, info))
        return false;
    ScopedHandle process(info.hProcess);
    ScopedHandle thread(info.hThread);
    WaitForSingleObject(process.Get(), 100);
    TerminateProcess(process.Get(), 0);
    return true;
}

bool CheckDllExport(const wchar_t* libraryPath, const wchar_t* exportName) {
    if (libraryPath == nullptr || !IsValidPEImage(libraryPath))
        return false;
    ScopedLibrary library(LoadLibraryW(libraryPath));
    if (!library)
        return false;
    if (exportName == nullptr)
        return true;
    // The loader looks exports up by ANSI name. An empty name (which the
    // conversion turns into no text at all) goes through the same lookup as
    // any other, so that its failure, too, leaves the loader's error.
    char* ansiName = nullptr;
    WideToAnsiBuffer(exportName, &ansiName);
    std::unique_ptr<char[]> name(ansiName);
    const char* lookup = name ? name.get() : (exportName[0] == L'\0' ? "" : nullptr);
    return lookup != nullptr && GetProcAddress(library.Get(), lookup) != nullptr;
}

#endif
