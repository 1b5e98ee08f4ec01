// The data configuration file "config.dat" in the per-user local data
// folder: machine-wide facts that outlive an install folder (the install
// folder itself, a folder still waiting to be deleted). Each call binds the
// file afresh and flushes the system's cached copy afterwards. Installer
// library only.
#pragma once

#include <string>
#include <vector>

#include "base/IniReplace.h"

// The key's value, or the default when it is missing or empty.
std::string ReadDataConfig(const char* section, const char* key, const char* defaultValue);

// Applies the entries to config.dat in one replacement (base/IniReplace.h).
// False when it fails; the file is then as it was.
bool ReplaceDataConfigEntries(const std::vector<IniEntry>& entries);

// False when config.dat exists but cannot be opened for reading (locked
// without sharing, access denied): its records are then unknown.
bool IsDataConfigReadable();
