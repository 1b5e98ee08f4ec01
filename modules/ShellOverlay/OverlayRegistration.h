// Registration of the shell module under HKEY_LOCAL_MACHINE, in the
// registry view of the module's own bitness: the class with this file as
// its in-process server, and Explorer's overlay identifier key naming the
// class. Class id and key name come from the module's Config.ini.
#pragma once

#include <windows.h>

// Writes the class and the overlay key. The environment variable
// RV_TEST_SHELL_REGISTRATION changes this for tests: "fail" fails without
// writing anything, "nokey" writes the class but no overlay key.
HRESULT RegisterOverlay();

// Removes only what still belongs to this very file: the class when its
// server is this file, the overlay key when it names this class and the
// class is not served by another file. A newer copy registered under the
// same class id or key name therefore survives the older copy's removal.
HRESULT UnregisterOverlay();
