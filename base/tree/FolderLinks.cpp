#include "base/tree/FolderLinks.h"

#include <windows.h>

#include "base/PathString.h"
#include "base/tree/DeleteGuard.h"
#include "base/ScopedHandle.h"

namespace {

bool CollectLinks(const std::wstring& folder, std::vector<std::wstring>& links) {
    WIN32_FIND_DATAW data;
    ScopedFind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find.IsValid())
        return false;  // a folder lists at least "." and ".."
    bool complete = true;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = folder + L"\\" + name;
        // The shell's tree operations build each path in a MAX_PATH buffer;
        // Wine's delete goes on with an empty path, the current folder, when
        // one does not fit. Such a tree must never reach the shell.
        if (path.size() >= MAX_PATH)
            complete = false;
        if (IsLinkAttributes(data.dwFileAttributes))
            links.push_back(path);
        else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            complete = CollectLinks(path, links) && complete;
    } while (FindNextFileW(find.Get(), &data));
    return complete;
}

}  // namespace

bool IsLinkAttributes(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsLinkPath(const std::wstring& path) {
    return IsLinkAttributes(GetFileAttributesW(path.c_str()));
}

bool FindTreeLinks(const std::wstring& folder, std::vector<std::wstring>& links) {
    return CollectLinks(StripTrailingSeparators(folder), links);
}

bool RemoveLinkItself(const std::wstring& path) {
    // The delete guard's text checks: never a root, a "." or ".." part or
    // a wildcard, whatever the name is.
    if (!IsDeletableTarget(path))
        return false;
    BY_HANDLE_FILE_INFORMATION info = {};
    {
        ScopedFile link(CreateFileW(
            path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!link.IsValid() || !GetFileInformationByHandle(link.Get(), &info))
            return false;
    }
    if (!IsLinkAttributes(info.dwFileAttributes))
        return false;  // the system opened what the link points to
    // Both calls remove a link itself, not its target.
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return RemoveDirectoryW(path.c_str()) != FALSE;
    return DeleteFileW(path.c_str()) != FALSE;
}
