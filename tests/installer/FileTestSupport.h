// Ways to hold a file in use the way a running program does, and a guard for
// the system's queue of deletions at restart, shared by the file operation
// tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A copy of a program image mapped as a module: the file cannot be deleted
// or overwritten, but it can be renamed, as with a running program.
class HeldImage {
public:
    explicit HeldImage(const std::wstring& path);
    ~HeldImage() { Release(); }
    HeldImage(const HeldImage&) = delete;
    HeldImage& operator=(const HeldImage&) = delete;

    bool IsHeld() const { return m_module != nullptr; }
    void Release();

private:
    HMODULE m_module = nullptr;
};

// A file opened with the given sharing (0: no other access at all).
class OpenFileHandle {
public:
    OpenFileHandle(const std::wstring& path, DWORD share);
    ~OpenFileHandle() { Release(); }
    OpenFileHandle(const OpenFileHandle&) = delete;
    OpenFileHandle& operator=(const OpenFileHandle&) = delete;

    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    void Release();

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// The entries of "PendingFileRenameOperations" (source, target, source,
// target...). The guard puts the value back as it found it.
std::vector<std::wstring> ReadPendingRenames();

class PendingRenamesGuard {
public:
    PendingRenamesGuard();
    ~PendingRenamesGuard();
    PendingRenamesGuard(const PendingRenamesGuard&) = delete;
    PendingRenamesGuard& operator=(const PendingRenamesGuard&) = delete;

private:
    bool m_bExisted = false;
    std::vector<BYTE> m_value;
};

// True when a deletion at restart is queued for the file ("\??\" + path
// followed by an empty target).
bool IsQueuedForDeletion(const std::wstring& path);

// Puts files and folders of the user's profile back as they were: saved
// files get their content back, files and folders that were not there are
// removed (folders only when empty, the last named first).
class ProfileFilesGuard {
public:
    ProfileFilesGuard(std::vector<std::wstring> folders, std::vector<std::wstring> files);
    ~ProfileFilesGuard();
    ProfileFilesGuard(const ProfileFilesGuard&) = delete;
    ProfileFilesGuard& operator=(const ProfileFilesGuard&) = delete;

private:
    struct SavedFile {
        std::wstring path;
        bool existed;
        std::string content;
    };
    std::vector<std::wstring> m_newFolders;
    std::vector<SavedFile> m_files;
};

// The local data folder of the product: CSIDL_LOCAL_APPDATA + "TDXdata".
std::wstring LocalDataFolder();

// Writes INSTALL.lcfg into the log configuration folder (created when
// missing): every event goes to the file `log` in the given pattern layout;
// `extra` adds property lines.
bool WriteFileAppenderConfig(const std::wstring& log,
                             const std::string& pattern,
                             const std::string& extra = std::string());

// Names of the entries directly in a folder, sorted, without "." and "..".
std::vector<std::wstring> FolderEntries(const std::wstring& folder);
