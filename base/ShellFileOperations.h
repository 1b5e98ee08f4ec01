// Copies, moves and deletes of files and folders on UTF-16 paths through the
// Windows shell's file operation, which handles whole folder trees. Paths of
// MAX_PATH (260) characters or more are refused without touching anything.
// Installer library only; none of them throws.
#pragma once

#include <string>

// Deletes the file or folder (with its contents when recursive, otherwise
// only the files on its own level). True on success or when the path is not
// there.
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
// moved.
bool MoveFileOrFolder(const std::wstring& source, const std::wstring& destination);
