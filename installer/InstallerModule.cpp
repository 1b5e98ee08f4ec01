#include "installer/InstallerModule.h"

#include "base/StandardPaths.h"

namespace {
HMODULE g_hInstallerModule = nullptr;
}

void SetInstallerModule(HMODULE module) {
    g_hInstallerModule = module;
}

HMODULE GetInstallerModule() {
    return g_hInstallerModule ? g_hInstallerModule : GetCurrentModuleHandle();
}
