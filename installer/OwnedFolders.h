// The product's own record of the install folders that its installs
// created or took over, kept under HKEY_LOCAL_MACHINE, where only an
// administrator can write. The INI records that name a folder lie where
// every user can write: this record is what proves a folder ours. Each
// entry holds the folder's full path and its file-system identity, so that
// a folder planted later under the same name is not taken for ours.
#pragma once

#include <string>
#include <vector>

// Where the record lives under HKEY_LOCAL_MACHINE.
constexpr wchar_t kOwnedFoldersKey[] = L"SOFTWARE\\PuShellExt\\InstallFolders";

// Records an existing folder (not a link) as ours, all of it. True when it
// is recorded.
bool RecordOwnedFolder(const std::wstring& folder);
// Records `destination`, where nothing stands yet, as ours with the
// identity of `folder`, which is about to be moved there: a move keeps a
// folder's identity, so the record holds once the move is done, and never
// for anything else put at that name.
bool RecordFolderToMove(const std::wstring& folder, const std::wstring& destination);
// Records of an existing folder only the entries directly in it that the
// product placed there (an earlier release's installation, proven by its
// registration, in a folder that may hold other files). A folder recorded
// whole stays recorded whole.
bool RecordProductEntries(const std::wstring& folder, const std::vector<std::wstring>& names);
// True when `folder` is recorded ours (IsRecordedOwnedFolder); `names`
// then holds the entries recorded ours, empty when all of it is.
bool ReadRecordedEntries(const std::wstring& folder, std::vector<std::wstring>& names);
// The folders the record names, as it names them.
std::vector<std::wstring> RecordedOwnedFolders();
// True when an entry of the record names `folder`, by its text only: the
// folder itself may be gone.
bool IsNamedByOwnedRecord(const std::wstring& folder);
// Drops every entry for `folder` (by its text and by its identity).
void ForgetOwnedFolder(const std::wstring& folder);
// True when `folder` exists, is not a link, and the record names it with
// its present identity.
bool IsRecordedOwnedFolder(const std::wstring& folder);
// True once any install of this version has recorded a folder on this
// machine (the record exists, even when empty).
bool HasOwnedFolderRecord();
// Drops the entries whose folder no longer exists; returns the folders
// they named.
std::vector<std::wstring> PruneOwnedFolders();
