// Entry points of the installer library: the loader's DllMain and the one
// export, doInst.
#include <windows.h>

#include <memory>

#include "diagnostics/DebugTrace.h"
#include "installer/InstallerModule.h"
#include "installer/RvInstallerMain.h"

int _seh_DoInstall(const char* request, char*& result) {
    RV_TRACE_INFO("dllmain", 19) << "installer start";
    int code = 0;
    {
        std::unique_ptr<CRvInstallerMain> installer(new CRvInstallerMain);
        code = installer->DoInstall(request, result);
    }
    RV_TRACE_INFO("dllmain", 25) << "installer end";
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
