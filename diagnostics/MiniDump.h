// Minidumps of the running process through "MiniDumpWriteDump" of
// "DBGHELP.DLL". The library is loaded when the module is initialised (a
// crash is no time to load libraries) and unloaded when the module ends.
#pragma once

#include <windows.h>

#include "base/RvText.h"

// True when "DBGHELP.DLL" loaded and exports "MiniDumpWriteDump".
bool IsMiniDumpAvailable();

// Writes a dump of this process, with indirectly referenced memory, for the
// exception on the calling thread into `path` (created anew, no sharing).
// False when the entry is missing, the pointers are null, or the file or
// the dump fails.
bool WriteMiniDump(const RvString& path, EXCEPTION_POINTERS* pointers);
