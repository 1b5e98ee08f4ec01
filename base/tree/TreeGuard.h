// The check in front of every operation that deletes or moves away a tree:
// it never acts on a root, a protected folder (base/tree/ProtectedFolders.h) or
// a folder that holds one, on anything inside the Windows folder, on the
// product's local data folder (it holds config.dat) or a folder that holds
// it, and on a link or anything reached through one. "Holds" and "inside"
// are decided by file identity on the way up from each folder, not by
// comparing text, so no spelling (8.3 names, "Sysnative", other case)
// slips through. Installer library only.
#pragma once

#include <string>

#include "base/tree/FileIdentity.h"

// Why a tree operation must not act on `path`; nullptr when it may. A path
// that does not exist is refused only for its text (IsDeletableTarget).
const char* TreeTargetRefusal(const std::wstring& path);

// The same for an object the caller holds open by handle, with the id read
// from that handle; `fullPath` is its full path.
const char* TreeTargetRefusal(const std::wstring& fullPath, const FileObjectId& target);

// Writes one debug trace line for a refused operation: the path and why.
void TraceTreeRefusal(const std::wstring& path, const char* reason);
