// The shell's icon-overlay identifiers in the registry.
#pragma once

#include <string>

// Where the overlay identifiers live under HKEY_LOCAL_MACHINE.
constexpr char kOverlayIdentifiersKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers";

// True when the overlay identifier key `name` can be opened for reading, in
// the 64-bit view on 64-bit Windows (where Explorer looks). The registry's
// result code of the open goes to *error when given (0 on success).
bool IsOverlayKeyRegistered(const std::string& name, int* error);

// The module file that the class `clsid` (36 characters, without braces)
// is registered to: the default value of its "InprocServer32" key under
// HKEY_LOCAL_MACHINE, in the view Explorer uses, quotes removed and
// environment variables expanded. Empty when the class is not registered.
std::wstring ClassServerModule(const std::string& clsid);
// The default value of the overlay identifier key `name` (a class id in
// braces); empty when the key does not exist.
std::string OverlayKeyClass(const std::string& name);

// Removes a registration without running the module's code: the class
// `clsid` (its whole key below SOFTWARE\Classes\CLSID) when its
// "InprocServer32" names a module directly in `folder`, and the overlay
// identifier key `key` when it names that class, each in the view Explorer
// uses. An empty key name is left alone. Returns what went, for the log
// ("class", "key", "class and key" or "nothing").
const char* RemoveRegistrationOf(const std::string& clsid,
                                 const std::string& key,
                                 const std::wstring& folder);
