// Small helpers the test programs share: where the built binaries lie,
// scratch folders that clean up after themselves, files, child processes.
#pragma once

#include <windows.h>

#include <string>

#include "base/ScopedHandle.h"

// Folder of the running test program; every built program and library
// lies there too.
std::wstring BinFolder();
std::wstring BinFile(const std::wstring& name);

// True when this 32-bit process runs on 64-bit Windows (the win64 prefix).
bool RunsUnderWow64();

// A new, empty folder below the user's temporary folder, deleted with
// everything in it when the object goes away.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }
    std::string Narrow() const;

private:
    std::wstring m_path;
};

// Deletes a folder tree; true when nothing is left.
bool RemoveTree(const std::wstring& path);

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);

std::string Narrow(const std::wstring& text);  // ANSI code page
std::wstring Widen(const std::string& text);   // ANSI code page

// Starts a command line and waits for it; returns false when it could not
// be started or did not end in time. The program starts in `currentFolder`,
// or in this process's current folder when none is given.
bool RunAndWait(const std::wstring& commandLine,
                DWORD timeoutMs,
                DWORD* exitCode,
                DWORD* processId = nullptr,
                const wchar_t* currentFolder = nullptr);

// The process's token with BUILTIN\Administrators made deny-only, as in a
// non-elevated UAC token: Wine 8 starts every process elevated, and its
// linked limited token still holds the group enabled. A primary token, for
// CreateProcessAsUserW and ImpersonateLoggedOnUser; null when it cannot be
// made.
ScopedHandle NonElevatedToken();
