// File and folder operations on narrow (ANSI) paths that degrade rather than
// fail: a file that cannot be deleted is renamed aside and queued for
// deletion at the next restart, a copy is retried, a folder tree is deleted
// as far as the file system allows. Installer library only; none of them
// throws.
#pragma once

#include <windows.h>

#include <string>

// Deletes the file; when it is in use, renames it to "<file>.<tick>.del" in
// the same folder and queues that name for deletion at restart. Always true
// (a missing file counts as deleted). A file whose aside name would not fit
// in a path buffer is left where it is.
bool DeleteFileOrRenameAside(const char* file);

// As DeleteFileOrRenameAside, used while deleting a folder tree: it also
// tries to move the aside file onto a fresh temporary name. Always true.
bool DeleteFileOrMoveAside(const char* file);

// Copies the source over the destination: the copy goes to a fresh name
// beside it and is renamed onto the destination, which is thereby replaced
// as a name, never written through; a destination in use is renamed aside
// first ("<name>.<tick>.del", deleted now or at restart). Up to three
// attempts. True when the destination holds the copy; false for an absent
// name or a missing source, which leaves the destination as it was.
bool CopyFileWithRetry(const char* destination, const char* source);

// The same from a file the caller holds open for reading (the bytes placed
// are those of the file the caller checked, whatever happens to its name
// meanwhile), read from its start. The new file gets the rights its folder
// hands down. With `digest`, its SHA-256 (lower-case hexadecimal) of the
// bytes placed is stored there on success.
bool CopyOpenFile(HANDLE source, const char* destination, std::string* digest);

// Deletes the folder and everything in it as far as possible, through the
// walk of base/tree/TreeWalk.h: UTF-16 names, by handle, links never followed
// (only removed as themselves where the system allows), and nothing that
// base/tree/TreeGuard.h turns down (a root, a protected folder or one that
// holds one, anything inside the Windows folder, a link or a folder
// reached through one). A file in use
// is renamed to "<name>.<tick>.del" and queued for deletion at restart, and
// every folder emptied goes. True when the folder no longer exists.
bool DeleteFolderTree(const std::string& folder);
