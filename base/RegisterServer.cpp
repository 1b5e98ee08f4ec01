// Programs started through the shell, and the system's COM registration
// tool. Installer only.
#include "base/ProcessUtil.h"

#include <shellapi.h>

#include "base/ScopedHandle.h"
#include "base/TextConvert.h"

namespace {

constexpr DWORD kRegisterServerTimeoutMs = 15000;

// Whether the file is a 64-bit program image (x64 or Itanium), read from
// its PE header. False for anything else, and when the header cannot be
// read.
bool Is64BitImage(const char* path) {
    ScopedFile file(CreateFileA(path, GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    IMAGE_DOS_HEADER dos = {};
    DWORD read = 0;
    if (!ReadFile(file.Get(), &dos, sizeof(dos), &read, nullptr) || read != sizeof(dos) ||
        dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0)
        return false;
    if (SetFilePointer(file.Get(), dos.e_lfanew, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return false;
    struct {
        DWORD signature;
        IMAGE_FILE_HEADER file;
    } header = {};
    if (!ReadFile(file.Get(), &header, sizeof(header), &read, nullptr) || read != sizeof(header) ||
        header.signature != IMAGE_NT_SIGNATURE)
        return false;
    return header.file.Machine == IMAGE_FILE_MACHINE_AMD64 ||
           header.file.Machine == IMAGE_FILE_MACHINE_IA64;
}

// "<Windows folder>\Sysnative\regsvr32.exe" when this process runs under
// WoW64 and the alias is there (Vista and later); false otherwise.
bool NativeRegistrationTool(char (&program)[MAX_PATH]) {
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64)
        return false;
    char windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH ||
        FormatToPathBuffer(program, MAX_PATH, "%s\\Sysnative\\regsvr32.exe", windows) < 0)
        return false;
    return GetFileAttributesA(program) != INVALID_FILE_ATTRIBUTES;
}

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

bool RegistrationToolPath(const char* modulePath, char (&program)[MAX_PATH]) {
    program[0] = '\0';
    if (modulePath == nullptr)
        return false;
    // The 32-bit tool of a WoW64 process would only start the 64-bit tool
    // again for a 64-bit module and pass its exit code on: a program start
    // whose result nobody needs. Such a module goes to the 64-bit tool.
    if (Is64BitImage(modulePath) && NativeRegistrationTool(program))
        return true;
    char systemFolder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(systemFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH ||
        FormatToPathBuffer(program, MAX_PATH, "%s\\regsvr32.exe", systemFolder) < 0) {
        program[0] = '\0';
        return false;
    }
    return true;
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
    char program[MAX_PATH] = {};
    if (!RegistrationToolPath(modulePath, program))
        return kExitCodeNotStarted;
    return ShellExecuteAndWait(nullptr, program, parameters, nullptr, SW_HIDE,
                               kRegisterServerTimeoutMs);
}
