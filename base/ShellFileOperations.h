// Copies, moves and deletes of files and folders on UTF-16 paths. Copies go
// through the Windows shell's file operation; deletes and moves go through
// the tree walk of base/TreeWalk.h, never through the shell, whose delete
// follows links and (on Wine) reads names that start with ".." as a step
// up. Paths of MAX_PATH (260) characters or more are refused without
// touching anything, and so is a copy that would name such a path below its
// source or its destination.
// Deletes and moves refuse, without touching anything, a path that
// IsDeletableTarget (base/DeleteGuard.h) or TreeTargetRefusal
// (base/TreeGuard.h) turns down: not absolute, with a "." or ".." part or a
// wildcard, a root, a protected folder or one that holds one, anything
// inside the Windows folder, a link. Installer library only; none of them
// throws.
#pragma once

#include <string>

// Deletes the file or folder (with its contents when recursive, otherwise
// only the files on its own level). True when the path is gone afterwards,
// or was not there at all. A link (reparse point) is refused; links inside a
// folder are removed as themselves where the system allows, and never
// followed.
bool ShellDelete(const std::wstring& path, bool recursive);

// Copies the source (a file, a folder or a wildcard pattern) to the
// destination; recursive copies folders with their contents. True when the
// shell reports success.
bool ShellCopy(const std::wstring& source, const std::wstring& destination, bool recursive);

// With wholeFolder set, copies the source folder itself, which lands inside
// an existing destination. Otherwise makes sure the destination exists and
// copies the files directly in the source into it.
bool CopyFolder(const std::wstring& source, const std::wstring& destination, bool wholeFolder);

// Moves a file or folder by renaming it through its handle, copying when
// the file system cannot rename; a folder that cannot be renamed is copied
// whole (links inside left out) and then deleted. True when moved. The
// source gets the checks of a delete; a source that is a link is not moved.
bool MoveFileOrFolder(const std::wstring& source, const std::wstring& destination);
