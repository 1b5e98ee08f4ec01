// Files of the system folder by full path, and functions of system DLLs
// looked up when first needed instead of imported. Every DLL a program
// imports is loaded, with all the DLLs it imports in turn, before the
// program's entry point runs; for DLLs that only a crash report or another
// rare path needs, that start cost is paid on every run.
#pragma once

#include <windows.h>

// "<system folder>\<name>" into `path`: the folder GetSystemDirectoryW
// names, which for a 32-bit process on 64-bit Windows is the 32-bit one.
// A bare name would be searched for in the program's folder and the current
// folder first, where a file of the same name could be planted. False, with
// an empty path, when the folder is unknown (the thread's last error is the
// system's) or the full path does not fit (ERROR_FILENAME_EXCED_RANGE).
bool SystemFolderFile(const wchar_t* name, wchar_t (&path)[MAX_PATH]);

// The export `name` of the system DLL `library` (a file name such as
// L"iphlpapi.dll", loaded from the system folder, never from the program's
// folder or the current one), or null when either is missing. The DLL stays
// loaded for the rest of the process, so the address stays valid.
FARPROC GetSystemFunction(const wchar_t* library, const char* name);

// The same, as a function pointer of type Function.
template <typename Function>
Function GetSystemFunctionAs(const wchar_t* library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetSystemFunction(library, name)));
}
