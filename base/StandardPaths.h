// The product's folders and files: the install folder (the folder holding
// "Conf", searched upward from the running module), its configuration
// folders and files, the per-user local data folder, the default install
// location below a special folder, and file versions.
#pragma once

#include <windows.h>

#include <string>

#include "base/RvText.h"

enum StandardPathType {
    kPathInstallDir = 0,
    kPathConfDir = 1,
    kPathUserConfDir = 2,
    kPathUserConfigIni = 3,
    kPathUserCfgDb = 4,
    kPathServerConfDir = 5,
    kPathServerConfigIni = 6,
    kPathServerTaskList = 7,
    kPathDataConfig = 8,
    kPathTaskDir = 9,
    kPathLocalDataDir = 10,
    kPathLogConfigDir = 11,
    kPathRunningModule = 12,
    kPathCoreModule = 13,
    kPathShellModule = 14,
    kPathCommonData = 15,
};

// Resolves one of the sixteen kinds into `path` (overwritten); the result is
// the kind's truth value. Any other value clears the path and gives false.
bool GetStandardPath(std::wstring& path, int type);
// The folder holding "Conf", searched from the running module's folder
// upward; when there is none, the folder recorded as "Config"/"installDir"
// in config.dat, and then the result tells whether that folder exists.
// A module file name longer than 259 characters is not searched from.
bool GetInstallDir(std::wstring& path);
bool GetConfDir(std::wstring& path);
bool GetUserConfDir(std::wstring& path);
bool GetServerConfDir(std::wstring& path);

// The module whose code is running: the installer library inside it, the
// launcher program inside the launcher, a test program in its tests.
HMODULE GetCurrentModuleHandle();

// Major.minor.build.revision of a file's version resource. False, with the
// output unchanged, for a missing file, no version resource, or a resource
// larger than 8191 bytes (it is read into a fixed 8192-byte buffer).
bool GetFileVersionString(const std::wstring& file, RvString& version);

// The special folder `csidl` as UTF-16 (created when `create` and the
// system can); false when the system has none.
BOOL SpecialFolderPath(wchar_t* buffer, int csidl, BOOL create);

#ifndef RV_WIDE_TEXT
// The special folder `csidl` (created when the system can), falling back to
// the common application-data folder, joined with "Dovadi". True when that
// folder exists; it is not created.
bool GetDefaultInstallPath(std::wstring& path, int csidl);
// The file version of a loaded module's file.
bool GetModuleVersionString(HMODULE module, std::string& version);
#endif
