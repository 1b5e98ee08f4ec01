#include "launcher/DispatchLoadType.h"

#include <cwchar>

#include "launcher/CmdLineParser.h"
#include "launcher/DllLaunch.h"

LaunchResult DispatchLoadType() {
    CCmdLineParser parser;
    // The whole command line, program path included: the parser finds the
    // switches wherever they stand.
    parser.ParseCommandLine(GetCommandLineW());

    const wchar_t* loadType = parser.GetValue(L"loadtype");
    if (loadType == nullptr)
        return kLaunchNoLoadType;

    if (std::wcscmp(loadType, L"rundll") == 0) {
        DWORD lastError = 0;
        const int code = LaunchViaRundll(parser, &lastError);
        if (code == kRundllStarted)
            return kLaunchOk;
        return ((lastError & 0xFFFF) << 16) | static_cast<DWORD>(code);
    }
    // "loaddll" is accepted but runs nothing in this process: no calling
    // convention is agreed for an in-process call, so callers that need the
    // export to run use "rundll".
    if (std::wcscmp(loadType, L"loaddll") == 0)
        return kLaunchOk;
    return kLaunchUnknownLoadType;
}
