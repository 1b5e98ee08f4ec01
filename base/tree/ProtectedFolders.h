// Folder identity as Windows sees it, and the folders that no install may
// take as its own: drive and share roots, the system's special folders, the
// Windows folder, the users' folders and every profile, also those that a
// 32-bit process is not shown (the 64-bit Program Files, Sysnative).
// Installer library only.
#pragma once

#include <string>
#include <vector>

#include "base/PathFileSystem.h"
#include "base/tree/FileIdentity.h"

// The full path and each of its parents up to its root, longest first
// ("C:\a\b", "C:\a", "C:\"); empty for a path without an absolute root.
std::vector<std::wstring> PathAndParents(const std::wstring& fullPath);

// True when both texts name one folder: their full forms are equal without
// regard to case, or both exist and are the same file-system object (which
// also catches 8.3 short names and other spellings).
bool IsSameFolder(const std::wstring& a, const std::wstring& b);

// True for a drive root, a share root ("\\server\share") and a "\\?\" or
// "\\.\" root, judged on the full form.
bool IsRootFolder(const std::wstring& path);

// The Windows folder (GetSystemWindowsDirectoryW); empty when unknown.
std::wstring WindowsFolder();

// Every protected folder the system names, as it names it: the special
// folders (CSIDL 0 to 0x3F, those that resolve), the Windows and system
// folders with "Sysnative", the Program Files and Common Files folders of
// both registry views, the users' root and every profile in the profile
// list. Some may not exist.
std::vector<std::wstring> ProtectedFolderPaths();

// True when the folder is a root or one of ProtectedFolderPaths.
bool IsProtectedFolder(const std::wstring& path);

// True when the object with id `target` is a protected folder or a folder
// above one, along the protected folder's name or along where it really
// is (links on the way resolved).
bool HoldsProtectedFolder(const FileObjectId& target);

// While one lives on a thread, the protected folders and their ids are
// looked up once, at the first question, instead of at every question
// (each look-up costs Wine tens of milliseconds). An install holds one for
// its whole run: the folders must not change under it anyway.
class ProtectedFolderScope {
public:
    ProtectedFolderScope();
    ~ProtectedFolderScope();
    ProtectedFolderScope(const ProtectedFolderScope&) = delete;
    ProtectedFolderScope& operator=(const ProtectedFolderScope&) = delete;

    struct Snapshot;

private:
    Snapshot* m_snapshot;
    Snapshot* m_previous;
};
