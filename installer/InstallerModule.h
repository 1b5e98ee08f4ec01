// The installer library's own module handle, stored by its entry point on
// process attach; it names the library's file for the version text.
#pragma once

#include <windows.h>

void SetInstallerModule(HMODULE module);
// The stored handle, or the module this code is linked into when the entry
// point has not run (the code linked into a test program).
HMODULE GetInstallerModule();
