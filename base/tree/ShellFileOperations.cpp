#include "base/tree/ShellFileOperations.h"

#include <windows.h>

#include "base/PathString.h"
#include "base/tree/DeleteGuard.h"
#include "base/tree/FolderLinks.h"
#include "base/tree/TreeWalk.h"

namespace {

bool FitsPathBuffer(const std::wstring& path) {
    return path.size() < MAX_PATH;
}

// Gone for sure: the system reports the name, or a folder on its way, as not
// found. Any other failure (access denied, a delete still pending) says
// nothing about whether it is there.
bool IsGone(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool ShellDelete(const std::wstring& path, bool recursive) {
    if (!FitsPathBuffer(path))
        return false;
    const std::wstring target = StripTrailingSeparators(path);
    if (!IsDeletableTarget(target))
        return false;
    if (IsGone(target))
        return true;
    // Never the shell's own delete: it follows links, and Wine's reads a
    // name that starts with ".." as a step up ("F\..X" as the parent of F
    // joined with X). The walk deletes by handle instead.
    TreeDeleteOptions options;
    options.topLevelFilesOnly = !recursive;
    DeleteTree(target, options);
    return IsGone(target);
}

bool MoveFileOrFolder(const std::wstring& source, const std::wstring& destination) {
    if (!FitsPathBuffer(source) || !FitsPathBuffer(destination))
        return false;
    // Moving takes the source away from where it was: it gets the checks of
    // a delete. A link is not moved either: Wine moves what it points to.
    if (!IsDeletableTarget(source) || IsLinkPath(StripTrailingSeparators(source)))
        return false;
    return MoveTree(StripTrailingSeparators(source), destination);
}
