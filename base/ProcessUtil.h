// Programs started with a bounded wait: directly, suspended as a probe,
// through the shell, and the system's COM registration tool; program-image
// tests and export checks.
#pragma once

#include <windows.h>

#include <string>

#include "base/RvText.h"

// Command lines are built in buffers of this many characters and may hold
// at most kCommandLineBufferSize - 2 characters; longer ones are refused,
// never cut.
constexpr size_t kCommandLineBufferSize = 2048;

// Exit codes reported when the started program gave none. Both are non-zero
// so that a tool that never ran (the registration tool above all, whose
// success code is 0) can never read as having succeeded.
// Not started: the program could not be started, or its input was refused.
constexpr DWORD kExitCodeNotStarted = 0xFFFFFFFF;
// Started, but its exit code could not be read.
constexpr DWORD kExitCodeUnknown = 0xFFFFFFFE;

// True when the file starts with the DOS header signature "MZ".
bool IsValidPEImage(const RvString& path);
// The same test on a file the caller holds open for reading, read from its
// start.
bool IsPEImageFile(HANDLE file);

// Starts the command line hidden and waits up to timeoutMs; the exit code
// (optional) reads STILL_ACTIVE (259) for a program still running, which is
// left running. False when it could not be started (including a command
// line too long for the buffer).
// Without `program` the system takes the program from the command line and
// searches for it (the caller's folder, the current folder, the system
// folders, the path). With it, that file (a full path) is started and the
// command line is only what it receives, its first word included.
bool RunProcessAndWait(const RvChar* commandLine,
                       DWORD* exitCode,
                       DWORD timeoutMs,
                       const RvChar* program = nullptr);

#ifdef RV_WIDE_TEXT
// Creates the process suspended, waits 100 ms and terminates it. `program`
// as for RunProcessAndWait.
bool ProbeProcessStart(const wchar_t* commandLine, const wchar_t* program = nullptr);
// The library loads and, when a name is given, exports it. A name is looked
// up even when it is empty; on failure the thread's last error is the one
// the failing step left (ERROR_PROC_NOT_FOUND for an export that is not
// there), after the library has been unloaded again.
bool CheckDllExport(const wchar_t* libraryPath, const wchar_t* exportName);
#else
// Starts the file through the shell (default verb, no error dialog) and
// waits up to timeoutMs. Returns the process's exit code (STILL_ACTIVE, 259,
// when it is still running), kExitCodeNotStarted when it could not be
// started, kExitCodeUnknown when its exit code cannot be read.
DWORD ShellExecuteAndWait(HWND owner,
                          const char* file,
                          const char* parameters,
                          const char* folder,
                          int showCommand,
                          DWORD timeoutMs);

enum RegisterServerMode { kUnregisterServer = 0, kRegisterServer = 1 };
// The registration tool for the module: regsvr32.exe in "<Windows
// folder>\Sysnative" (the 64-bit tool) for a 64-bit module when this 32-bit
// process runs on 64-bit Windows, "<system folder>\regsvr32.exe" otherwise
// (the 32-bit tool under WoW64, which registers a 32-bit module in the
// 32-bit view). False, with an empty path, when none can be named.
bool RegistrationToolPath(const char* modulePath, char (&program)[MAX_PATH]);
// Runs that tool with "/i /s" (or "/u /s") on the quoted path,
// hidden, waiting up to 15 s, and returns the tool's exit code: 0 only when
// the tool ran and reported success. An absent path, parameters of more than
// kRegisterParametersMax characters or a system folder path that does not
// fit give kExitCodeNotStarted without starting anything.
constexpr size_t kRegisterParametersMax = 258;
DWORD RegisterServer(const char* modulePath, int mode);

// Full access for everyone (the world SID, S-1-1-0) on a file or folder,
// inherited by files and sub-folders. True only when the access list was
// changed: false when the world SID cannot be built, the path is longer
// than MAX_PATH - 1 characters (refused), or the object's access list
// cannot be read or written (a missing object among them).
bool GrantEveryoneAccess(const std::string& path);
#endif
