// Entry points of the shell module, an in-process COM server that Explorer
// loads for its icon overlay. The system's registration tool calls
// DllRegisterServer / DllUnregisterServer, and DllInstall for "/i".
#include <windows.h>

#include <olectl.h>

#include "modules/ShellOverlay/OverlayConfig.h"
#include "modules/ShellOverlay/OverlayIdentifier.h"
#include "modules/ShellOverlay/OverlayRegistration.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetThisModule(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

// Serves only the class id that this module's Config.ini names.
STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    OverlayConfig config;
    if (!ReadOverlayConfig(&config) || !IsEqualCLSID(classId, config.classId))
        return CLASS_E_CLASSNOTAVAILABLE;
    return GetOverlayClassFactory(iid, object);
}

STDAPI DllCanUnloadNow() {
    return ModuleInUse() ? S_FALSE : S_OK;
}

STDAPI DllRegisterServer() {
    return RegisterOverlay();
}

STDAPI DllUnregisterServer() {
    return UnregisterOverlay();
}

// "regsvr32 /i" calls this after DllRegisterServer, "/u /i" before
// DllUnregisterServer; "/n /i" calls it alone. Both directions are safe to
// repeat, so it simply does the same work.
STDAPI DllInstall(BOOL install, LPCWSTR) {
    return install ? RegisterOverlay() : UnregisterOverlay();
}
