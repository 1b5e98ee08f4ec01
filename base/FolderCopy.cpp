#include "base/FolderCopy.h"

#include <windows.h>

#include <algorithm>
#include <new>
#include <vector>

#include "base/FolderLinks.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/ScopedHandle.h"

namespace {

struct TreeEntry {
    std::wstring relative;  // below the top folder, no leading separator
    bool folder;
};

// Adds what lies below `top`\`relative` to `entries`, each folder before
// what it holds, and raises `longest` to the longest relative path. Links
// to folders are left out. False when a folder cannot be listed completely.
bool ListTree(const std::wstring& top,
              const std::wstring& relative,
              std::vector<TreeEntry>& entries,
              size_t& longest) {
    const std::wstring folder = relative.empty() ? top : top + L"\\" + relative;
    WIN32_FIND_DATAW data;
    ScopedFind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find.IsValid())
        return false;  // a folder lists at least "." and ".."
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            continue;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        longest = std::max(longest, path.size());
        entries.push_back(TreeEntry{path, isFolder});
        if (isFolder && !ListTree(top, path, entries, longest))
            return false;
    } while (FindNextFileW(find.Get(), &data));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

bool CopyListedTree(const std::wstring& from, const std::wstring& to) {
    std::vector<TreeEntry> entries;
    size_t longest = 0;
    if (!ListTree(from, std::wstring(), entries, longest))
        return false;
    // Each path below a folder is the folder, a separator and the relative
    // path; every one of them has to stay under MAX_PATH.
    const size_t below = longest == 0 ? 0 : longest + 1;
    if (from.size() + below >= MAX_PATH || to.size() + below >= MAX_PATH)
        return false;
    if (!CreateDirectoryW(to.c_str(), nullptr))
        return false;
    for (const TreeEntry& entry : entries) {
        const std::wstring target = to + L"\\" + entry.relative;
        const bool copied = entry.folder ? CreateDirectoryW(target.c_str(), nullptr) != FALSE
                                         : CopyFileW((from + L"\\" + entry.relative).c_str(),
                                                     target.c_str(), TRUE) != FALSE;
        if (!copied)
            return false;
    }
    return true;
}

}  // namespace

bool CopyFolderTree(const std::wstring& source, const std::wstring& destination) {
    const std::wstring from = StripTrailingSeparators(source);
    const std::wstring to = StripTrailingSeparators(destination);
    if (from.empty() || to.empty() || from.size() >= MAX_PATH || to.size() >= MAX_PATH ||
        !IsDirectory(from) || IsLinkPath(from))
        return false;
    try {
        return CopyListedTree(from, to);
    } catch (const std::bad_alloc&) {
        return false;
    }
}
