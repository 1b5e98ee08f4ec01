// Minidumps of the running process through "MiniDumpWriteDump" of
// "DBGHELP.DLL". The library is loaded from the system folder when a dump
// is first asked for and then stays loaded: only a crash needs it, and
// loading it with every start of the launcher or the installer library
// cost each start its load. (The crash report loads the URL library at the
// time of the crash in the same way.)
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
