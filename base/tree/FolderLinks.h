// Links to folders: junctions and symbolic links, and on Wine the Unix
// symbolic links made inside a prefix, all reparse points. A tree operation
// treats them as leaves: it never enters one, and removes only the link
// itself, never what it points to.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// True for the attributes of an entry that is a reparse point (false for
// INVALID_FILE_ATTRIBUTES): the one test of a link by its name.
bool IsLinkAttributes(DWORD attributes);
// True when the path exists and is a reparse point.
bool IsLinkPath(const std::wstring& path);

// Adds the links anywhere in the folder tree, hidden ones included, found
// without entering any link; each named "<folder>\...\<name>". False when
// a folder of the tree could not be listed (what it holds is then unknown)
// or a path in the tree has MAX_PATH characters or more: either way the
// tree is not moved by copying it (see MoveTree in base/tree/TreeWalk.h).
bool FindTreeLinks(const std::wstring& folder, std::vector<std::wstring>& links);

// Removes the link itself. The link is opened without being followed, and
// removed only when the opened object reports itself as a reparse point;
// otherwise nothing is touched. True when the link was removed.
//
// On Wine 8 every Windows call on a Unix link acts on what it points to:
// RemoveDirectoryW removes the target folder when it is empty (and fails
// with ERROR_DIR_NOT_EMPTY otherwise), DeleteFileW fails with access
// denied, MoveFileW moves the target, and a handle opened without following
// reports the target's attributes. There this function leaves such a link
// in place and returns false.
bool RemoveLinkItself(const std::wstring& path);
