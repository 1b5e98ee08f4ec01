// What the shell module reads about itself: its own file, and the class id
// and overlay key name that the installer wrote into Conf\User\Config.ini
// in the module's folder before registering it.
#pragma once

#include <windows.h>

#include <string>

// Used when Config.ini has no value (or no file).
constexpr wchar_t kDefaultClassId[] = L"3F6A2C91-5B7E-4D08-9A41-C2E7F05B1D63";
constexpr wchar_t kDefaultExplorerKey[] = L"PuShellIconOverlay";

struct OverlayConfig {
    CLSID classId = {};
    std::wstring classIdText;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case
    std::wstring explorerKey;
};

// The module's own handle, set once when it is loaded.
void SetThisModule(HMODULE module);
HMODULE ThisModule();

// Full path of this module's file; empty when it cannot be read.
std::wstring ThisModulePath();

// Reads section "config" of Conf\User\Config.ini next to this module:
// "CLSID" (36 characters, no braces) and "ExplorerKey". Missing or empty
// values take the defaults above. False when a value is present but
// unusable: a class id of another form, or a key name holding a backslash
// (it would name a key below another one).
bool ReadOverlayConfig(OverlayConfig* config);
