// The one walk over folder trees that every recursive delete, copy and move
// of the installer goes through. It works on UTF-16 names from the file
// system to the call that acts, never through the ANSI code page, and by
// handle: each folder is opened without following links and checked to be
// the folder its parent listed, its entries are listed from that handle,
// and each entry is opened the same way and acted on through its own
// handle. Links are never entered: a link found in a tree is removed as
// itself where the system allows, or left. A link swapped in after an entry
// was listed is caught by the identity check and not touched. Handles stay
// open while the walk is below them, so nobody can rename a folder of the
// chain meanwhile. The shell's file operation is never used.
// Delete and move refuse what TreeTargetRefusal (base/tree/TreeGuard.h) turns
// down, with a trace line. Installer library only; never throws.
#pragma once

#include <cstddef>
#include <string>

struct TreeDeleteOptions {
    // A file that cannot be deleted (a running program) is renamed to
    // "<name>.<tick>.del" in its folder and queued for deletion at restart.
    bool renameInUseAside = false;
    // Deletes only the files directly in the folder, and not the folder.
    bool topLevelFilesOnly = false;
};

// Deletes the file, or the folder with everything in it, as far as the
// options say. True when all of it was deleted (with topLevelFilesOnly:
// every file of that level); a path that is not there counts as deleted.
bool DeleteTree(const std::wstring& path, const TreeDeleteOptions& options);

// Deletes the folder only when nothing is left in it, as itself, never
// through a link. True when it is gone (or was not there).
bool DeleteEmptyFolder(const std::wstring& path);

// Copies the folder `source` with everything below it to `destination`,
// which is created and must not exist. Files keep their contents,
// attributes (read-only aside) and times; links are not copied. With `pathLimit` set, every
// path below the source and below the destination must stay shorter, or
// nothing is created. False when the source is not a folder, cannot be
// listed completely, or anything cannot be created or copied (what was
// copied stays, for the caller to remove).
bool CopyTree(const std::wstring& source, const std::wstring& destination, size_t pathLimit);

// Renames the file or folder to `destination`, where nothing may stand,
// through its handle and nothing else: no copy, no replacement. The source
// gets the guard's checks (base/tree/TreeGuard.h). True when renamed.
bool RenameTree(const std::wstring& source, const std::wstring& destination);

// Moves the file or folder to `destination` (replacing a file or an empty
// folder there) by renaming it through its handle; where the system cannot
// rename it (another volume), a folder is copied and then deleted. True
// when moved.
bool MoveTree(const std::wstring& source, const std::wstring& destination);

// For tests: called with each entry's full name after it was listed and
// before it is opened to be acted on.
using TreeWalkSeam = void (*)(const std::wstring& path, void* context);
void SetTreeWalkSeamForTesting(TreeWalkSeam seam, void* context);
