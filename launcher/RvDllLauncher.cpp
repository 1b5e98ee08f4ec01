// RvDllLauncher: a windowless program that starts a library export through
// rundll32.exe and reports the outcome only through its exit code, e.g.
//   RvDllLauncher.exe -loadtype:rundll -dllPath:"C:\a b\x.dll" -expFunc:Run -dllParam:"p q"
#include <windows.h>

#include "diagnostics/DebugTrace.h"
#include "diagnostics/ExceptHandler.h"
#include "launcher/DispatchLoadType.h"

#ifdef RV_LAUNCHER_CRASH_TEST
namespace {

// Only in the RvDllLauncherCrashTest build: a write to address 0, so tests
// can watch the crash handler report a crash and end the process.
void CrashOnPurpose() {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

}  // namespace
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Process-wide: a crash anywhere is reported and ends the process.
    RV_ExceptHandlerInit(RV_T("RvDllLauncher"), true);
    RV_TRACE_INFO("RvDllLauncher", 26) << L"launcher start";
#ifdef RV_LAUNCHER_CRASH_TEST
    CrashOnPurpose();
#endif
    const LaunchResult result = DispatchLoadType();
    RV_TRACE_INFO("RvDllLauncher", 32) << L"launcher end";
    return static_cast<int>(result);
}
