// Starts a library export in its own rundll32.exe process, after checking
// that rundll32.exe can be started and that the library loads and has the
// export.
#pragma once

#include <windows.h>

#include <string>

class CCmdLineParser;

// Outcome codes of LaunchViaRundll.
enum RundllLaunchCode : int {
    kRundllStarted = 0,
    kRundllMissingKey = 1,       // "dllPath" or "expFunc" absent
    kRundllNotStartable = 4,     // the system folder's rundll32.exe cannot be started at all
    kRundllLibraryRejected = 5,  // not a program image, not loadable, or no such export
    kRundllStartFailed = 6,      // the composed command line did not start
};

// Composes  rundll32.exe "<library>",<export> <parameters>  with nothing
// escaped. False, with *commandLine left empty, when the result would not
// fit the command-line buffer of the process utilities: a cut command line
// would start something other than what was asked for.
bool ComposeRundllCommandLine(const std::wstring& libraryPath,
                              const std::wstring& exportName,
                              const std::wstring& parameters,
                              std::wstring* commandLine);

// Runs the export named by "dllPath" and "expFunc" with the text of
// "dllParam" (empty when absent) and returns a RundllLaunchCode. For codes
// other than 0, *lastError receives the system error that settled it, read
// after the attempt has released everything it held; it is 0 on success.
int LaunchViaRundll(const CCmdLineParser& parser, DWORD* lastError);
