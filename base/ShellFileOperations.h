// Copies, moves and deletes of files and folders on UTF-16 paths through the
// Windows shell's file operation, which handles whole folder trees. Paths of
// MAX_PATH (260) characters or more are refused without touching anything,
// and so are a copy that would name such a path below its source or its
// destination and a delete of a tree that holds one.
// Deletes and moves refuse, without touching anything, a path that
// IsDeletableTarget (base/DeleteGuard.h) turns down: not absolute, with a
// "." or ".." part or a wildcard, or a drive or share root in its full form.
// Installer library only; none of them throws.
#pragma once

#include <string>

// Deletes the file or folder (with its contents when recursive, otherwise
// only the files on its own level). True when the path is gone afterwards,
// or was not there at all. A link (reparse point) is refused; links inside a
// folder are removed as themselves first (see base/FolderLinks.h), and a
// folder whose links cannot be removed is left as it is.
bool ShellDelete(const std::wstring& path, bool recursive);

// Copies the source (a file, a folder or a wildcard pattern) to the
// destination; recursive copies folders with their contents. True when the
// shell reports success.
bool ShellCopy(const std::wstring& source, const std::wstring& destination, bool recursive);

// With wholeFolder set, copies the source folder itself, which lands inside
// an existing destination. Otherwise makes sure the destination exists and
// copies the files directly in the source into it.
bool CopyFolder(const std::wstring& source, const std::wstring& destination, bool wholeFolder);

// Moves a file or folder, copying when the file system cannot rename; a
// folder that cannot be moved is copied whole and then deleted. True when
// moved. The source gets the checks of a delete; a source that is a link,
// or a folder holding one that cannot be renamed, is not moved.
bool MoveFileOrFolder(const std::wstring& source, const std::wstring& destination);
