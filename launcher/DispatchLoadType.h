// The launcher's decision on "loadtype" and the exit code it ends with.
#pragma once

#include <windows.h>

// The process exit code: low 16 bits the result code, high 16 bits the low
// 16 bits of the system error for a failed "rundll" start (0 otherwise).
using LaunchResult = DWORD;

// Result codes in the low word.
enum LaunchResultCode : DWORD {
    kLaunchOk = 0,
    kLaunchNoLoadType = 1,
    kLaunchUnknownLoadType = 2,
};

// Parses the process command line and acts on "loadtype": "rundll" starts
// the export through rundll32.exe, "loaddll" is accepted and does nothing
// more, anything else is refused. Values are compared case-sensitively.
LaunchResult DispatchLoadType();
