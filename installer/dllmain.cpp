// Entry points of the installer library: the loader's DllMain and the one
// export, doInst.
#include <windows.h>

#include <memory>

#include "diagnostics/ExceptHandler.h"
#include "diagnostics/InstallerLogger.h"
#include "diagnostics/SehGuard.h"
#include "installer/InstallLock.h"
#include "installer/InstallResult.h"
#include "installer/InstallerModule.h"
#include "installer/RvInstallerMain.h"

// The logging frame of one install: log4cplus configured from
// "INSTALL.lcfg" and "installer start" logged, the install, then
// "installer end" and the shutdown of log4cplus.
int _seh_DoInstall(const char* request, char*& result) {
    InstallerLoggingScope logging;
    std::unique_ptr<CRvInstallerMain> installer(new CRvInstallerMain);
    const int code = installer->DoInstall(request, result);
    installer.reset();
    return code;
}

// Runs the install under a structured-exception guard whose filter is the
// crash handler's: a crash anywhere in the call is reported and the call
// returns -1 to the host, which carries on.
extern "C" int __cdecl doInst(const char* request, char*& result) {
    int code = kInstallCrashed;
    const bool completed = SehTry(
        [&] {
            // A C++ exception must not leave this extern "C" entry: it would
            // end the host.
            try {
                RV_ExceptHandlerInit("RvInstaller", false);
                // Installs share the disk, the registry, the log
                // configuration and the product configuration: one at a time.
                const InstallLock lock(InstallLockWaitMs());
                code = lock.MayRun()
                           ? _seh_DoInstall(request, result)
                           : CRvInstallerMain().ReportBusy(request, result, lock.Refusal());
            } catch (...) {
                code = kInstallCrashed;
            }
        },
        [](DWORD exceptionCode, EXCEPTION_POINTERS* pointers) -> LONG {
            return RV_ExceptFilter(exceptionCode, pointers, "doInst");
        });
    return completed ? code : kInstallCrashed;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH)
        SetInstallerModule(instance);
    return TRUE;
}

// The C runtime's entry, which calls DllMain and, at DLL_PROCESS_DETACH,
// runs the destructors of the library's static objects.
extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE instance, DWORD reason, LPVOID reserved);

// The library's entry point (linked with --entry). At process exit (detach
// with a non-null reserved pointer) the system has already ended every other
// thread, possibly one inside doInst that held a log4cplus lock; the static
// destructors of log4cplus take those locks again and would wait forever.
// The process is going away and the system reclaims memory, handles and
// files, so the library returns at once. An unload by FreeLibrary still runs
// the full clean-up.
extern "C" BOOL WINAPI RvInstallerEntry(HANDLE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr)
        return TRUE;
    return DllMainCRTStartup(instance, reason, reserved);
}
