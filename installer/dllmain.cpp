// Entry points of the installer library: the loader's DllMain and the one
// export, doInst.
#include <windows.h>

#include <memory>

#include "diagnostics/InstallerLogger.h"
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

extern "C" int __cdecl doInst(const char* request, char*& result) {
    return _seh_DoInstall(request, result);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH)
        SetInstallerModule(instance);
    return TRUE;
}
