// Programs started with a bounded wait: directly, suspended as a probe,
// through the shell, and the system's COM registration tool; program-image
// tests and export checks.
#pragma once

#include <windows.h>

#include <string>

#include "base/RvText.h"

// Command lines are built in buffers of this many characters and may hold
// at most kCommandLineBufferSize - 2 characters.
constexpr size_t kCommandLineBufferSize = 2048;

// True when the file starts with the DOS header signature "MZ".
bool IsValidPEImage(const RvString& path);

// Starts the command line hidden and waits up to timeoutMs; the exit code
// reads STILL_ACTIVE (259) for a program still running. False when it could
// not be started (including a command line too long for the buffer).
bool RunProcessAndWait(const RvChar* commandLine, DWORD* exitCode, DWORD timeoutMs);

#ifdef RV_WIDE_TEXT
// Creates the process suspended, waits 100 ms and terminates it.
bool ProbeProcessStart(const wchar_t* commandLine);
// The library loads and, when a name is given, exports it.
bool CheckDllExport(const wchar_t* libraryPath, const wchar_t* exportName);
#else
// The process's exit code, 0 when none can be read.
DWORD ShellExecuteAndWait(HWND owner, const char* file, const char* parameters,
                          const char* folder, int showCommand, DWORD timeoutMs);

enum RegisterServerMode { kUnregisterServer = 0, kRegisterServer = 1 };
// Runs "<system folder>\regsvr32.exe /i /s" (or "/u /s") on the quoted path
// and returns the tool's exit code.
DWORD RegisterServer(const char* modulePath, int mode);

// Full access for everyone on a file or folder, inherited by files and
// sub-folders.
bool GrantEveryoneAccess(const std::string& path);
#endif
