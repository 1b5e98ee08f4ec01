// Programs started through the shell, and the system's COM registration
// tool. Installer only.
#include "base/ProcessUtil.h"

#include <shellapi.h>

#include "base/ScopedHandle.h"
#include "base/TextConvert.h"

namespace {

constexpr DWORD kRegisterServerTimeoutMs = 15000;

}  // namespace

DWORD ShellExecuteAndWait(HWND owner,
                          const char* file,
                          const char* parameters,
                          const char* folder,
                          int showCommand,
                          DWORD timeoutMs) {
    SHELLEXECUTEINFOA execute = {};
    static_assert(sizeof(execute) == 60, "the 32-bit shell execution record");
    execute.cbSize = sizeof(execute);
    // No error dialog: the caller runs unattended and learns of the failure
    // from the result.
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.hwnd = owner;
    execute.lpFile = file;
    execute.lpParameters = parameters;
    execute.lpDirectory = folder;
    execute.nShow = showCommand;
    if (file == nullptr || !ShellExecuteExA(&execute))
        return kExitCodeNotStarted;
    ScopedHandle process(execute.hProcess);
    if (!process)
        return kExitCodeUnknown;
    // A program still running at the timeout is left running; its exit code
    // then reads STILL_ACTIVE.
    WaitForSingleObject(process.Get(), timeoutMs);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.Get(), &code))
        return kExitCodeUnknown;
    return code;
}

DWORD RegisterServer(const char* modulePath, int mode) {
    if (modulePath == nullptr)
        return kExitCodeNotStarted;
    // The parameter buffer holds kRegisterParametersMax characters and its
    // NUL; a longer path is refused, a cut one would register something else.
    char parameters[kRegisterParametersMax + 1] = {};
    if (FormatToPathBuffer(parameters, sizeof(parameters), "%s \"%s\"",
                           mode == kRegisterServer ? "/i /s" : "/u /s", modulePath) < 0)
        return kExitCodeNotStarted;
    char systemFolder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(systemFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return kExitCodeNotStarted;
    char program[MAX_PATH] = {};
    if (FormatToPathBuffer(program, MAX_PATH, "%s\\regsvr32.exe", systemFolder) < 0)
        return kExitCodeNotStarted;
    return ShellExecuteAndWait(nullptr, program, parameters, nullptr, SW_HIDE,
                               kRegisterServerTimeoutMs);
}
