// Folder identity as Windows sees it, and the folders that no install may
// take as its own: drive and share roots, the system's special folders and
// the user's profile. Installer library only.
#pragma once

#include <string>

// The full form of a path (GetFullPathNameW): '/' turned into '\', trailing
// separators removed except a root's own. Empty when it cannot be formed.
std::wstring FullFolderPath(const std::wstring& path);

// True when both texts name one folder: their full forms are equal without
// regard to case, or both exist and are the same file-system object (which
// also catches 8.3 short names and other spellings).
bool IsSameFolder(const std::wstring& a, const std::wstring& b);

// True for a drive root, a share root ("\\server\share") and a "\\?\" or
// "\\.\" root, judged on the full form.
bool IsRootFolder(const std::wstring& path);

// True when the folder is a root, the user's profile or one of the special
// folders the system reports (CSIDL 0 to 0x3F, those that resolve).
bool IsProtectedFolder(const std::wstring& path);
