// Ways to hold a file in use the way a running program does, a guard for
// the system's queue of deletions at restart, and folder links and drive
// letters made from Wine's Unix side, shared by the file operation tests.
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

// Every entry of the folder tree by its name relative to the folder,
// sorted; folders end in '\'. Links to folders are listed but not entered.
std::vector<std::wstring> TreeEntries(const std::wstring& folder);

// The Unix path of a Windows path, from Wine's wine_get_unix_file_name; the
// last name need not exist. Empty when there is none.
std::string UnixPath(const std::wstring& path);

// Runs a command through the Unix shell. Wine starts a Unix program from
// CreateProcessW but hands back no process to wait for, so the command
// writes its exit status to a marker file that is waited for. True when the
// command ran and exited with 0 within the time.
bool RunUnixCommand(const std::string& command, DWORD timeoutMs = 10000);

// A Unix symbolic link at `link` to the folder `target`, which Wine lists
// as a link to a folder (attributes 0x410); no Windows call on Wine 8 makes
// such a link. True when the link is there.
bool PlantFolderLink(const std::wstring& link, const std::wstring& target);

// A Unix link at `link` to the file `target`, symbolic or hard, made from
// the Unix side. Wine 8 shows either as a plain file. True when made.
bool PlantFileLink(const std::wstring& link, const std::wstring& target, bool hard);

// Removes such a link from the Unix side: every Windows call on Wine acts
// on its target instead. True when no link is left at `link`.
bool RemoveFolderLink(const std::wstring& link);

// A link planted for the life of the object. It must go before the scratch
// folder that holds it: a tree removal that follows links would empty the
// target and still leave the link behind.
class PlantedFolderLink {
public:
    PlantedFolderLink(const std::wstring& link, const std::wstring& target)
        : m_link(link), m_planted(PlantFolderLink(link, target)) {}
    ~PlantedFolderLink() { RemoveFolderLink(m_link); }
    PlantedFolderLink(const PlantedFolderLink&) = delete;
    PlantedFolderLink& operator=(const PlantedFolderLink&) = delete;

    bool IsPlanted() const { return m_planted; }
    const std::wstring& Path() const { return m_link; }

private:
    std::wstring m_link;
    bool m_planted;
};

// A free drive letter mapped to a folder for the life of the object, as a
// link in the prefix's dosdevices folder: DefineDosDeviceW reports success
// on Wine 8 but its file system never sees the mapping.
class MappedDrive {
public:
    explicit MappedDrive(const std::wstring& folder);
    ~MappedDrive();
    MappedDrive(const MappedDrive&) = delete;
    MappedDrive& operator=(const MappedDrive&) = delete;

    bool IsMapped() const { return m_letter != 0; }
    // "Q:\" for the mapped letter.
    std::wstring Root() const;

private:
    wchar_t m_letter = 0;
    std::string m_unixLink;
};
