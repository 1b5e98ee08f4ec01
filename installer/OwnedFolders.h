// The product's own record of the install folders that its installs
// created or took over, kept under HKEY_LOCAL_MACHINE, where only an
// administrator can write. The INI records that name a folder lie where
// every user can write: this record is what proves a folder ours. Each
// entry holds the folder's full path and its file-system identity, so that
// a folder planted later under the same name is not taken for ours.
#pragma once

#include <string>

// Where the record lives under HKEY_LOCAL_MACHINE.
constexpr wchar_t kOwnedFoldersKey[] = L"SOFTWARE\\PuShellExt\\InstallFolders";

// Records an existing folder (not a link) as ours. True when it is recorded.
bool RecordOwnedFolder(const std::wstring& folder);
// Drops every entry for `folder` (by its text and by its identity).
void ForgetOwnedFolder(const std::wstring& folder);
// True when `folder` exists, is not a link, and the record names it with
// its present identity.
bool IsRecordedOwnedFolder(const std::wstring& folder);
// True once any install of this version has recorded a folder on this
// machine (the record exists, even when empty).
bool HasOwnedFolderRecord();
// Drops the entries whose folder no longer exists.
void PruneOwnedFolders();
