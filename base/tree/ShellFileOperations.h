// Moves and deletes of files and folders on UTF-16 paths, through the tree
// walk of base/tree/TreeWalk.h, never through the Windows shell, whose delete
// follows links and (on Wine) reads names that start with ".." as a step
// up. Paths of MAX_PATH (260) characters or more are refused without
// touching anything.
// Deletes and moves refuse, without touching anything, a path that
// IsDeletableTarget (base/tree/DeleteGuard.h) or TreeTargetRefusal
// (base/tree/TreeGuard.h) turns down: not absolute, with a "." or ".." part or a
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

// Moves a file or folder by renaming it through its handle, copying when
// the file system cannot rename; a folder that cannot be renamed is copied
// whole (links inside left out) and then deleted. True when moved. The
// source gets the checks of a delete; a source that is a link is not moved.
bool MoveFileOrFolder(const std::wstring& source, const std::wstring& destination);
