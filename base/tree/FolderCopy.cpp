#include "base/tree/FolderCopy.h"

#include <windows.h>

#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/tree/FolderLinks.h"
#include "base/tree/TreeWalk.h"

bool CopyFolderTree(const std::wstring& source, const std::wstring& destination) {
    const std::wstring from = StripTrailingSeparators(source);
    const std::wstring to = StripTrailingSeparators(destination);
    if (from.empty() || to.empty() || from.size() >= MAX_PATH || to.size() >= MAX_PATH ||
        !IsDirectory(from) || IsLinkPath(from))
        return false;
    return CopyTree(from, to, MAX_PATH);
}
