#include "base/ShellFileOperations.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "base/DeleteGuard.h"
#include "base/FolderLinks.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/SystemInfo.h"

namespace {

constexpr FILEOP_FLAGS kDeleteRecursiveFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
constexpr FILEOP_FLAGS kDeleteLevelFlags =
    FOF_SILENT | FOF_NOCONFIRMATION | FOF_FILESONLY | FOF_NOERRORUI | FOF_NORECURSION;
constexpr FILEOP_FLAGS kCopyRecursiveFlags =
    FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
constexpr FILEOP_FLAGS kCopyLevelFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_FILESONLY |
                                         FOF_NOCONFIRMMKDIR | FOF_NOERRORUI | FOF_NORECURSION;
static_assert(kDeleteRecursiveFlags == 0x0414, "recursive delete flags");
static_assert(kDeleteLevelFlags == 0x1494, "one-level delete flags");
static_assert(kCopyRecursiveFlags == 0x0614, "recursive copy flags");
static_assert(kCopyLevelFlags == 0x1694, "one-level copy flags");

// A shell file list holding one path: the path, then two NULs.
class ShellPathList {
public:
    explicit ShellPathList(const std::wstring& path) { path.copy(m_buffer, path.size()); }
    const wchar_t* Get() const { return m_buffer; }

private:
    wchar_t m_buffer[MAX_PATH + 2] = {};
};

bool FitsPathBuffer(const std::wstring& path) {
    return path.size() < MAX_PATH;
}

int RunShellOperation(UINT function,
                      const ShellPathList& from,
                      const ShellPathList* to,
                      FILEOP_FLAGS flags) {
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = nullptr;
    operation.wFunc = function;
    operation.pFrom = from.Get();
    operation.pTo = to != nullptr ? to->Get() : nullptr;
    operation.fFlags = flags;
    operation.lpszProgressTitle = nullptr;
    return SHFileOperationW(&operation);
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

// A folder may go to the shell's delete only once it holds no link: the
// shell would enter the link (Wine's deletes what it points to). The links
// are removed first, each as itself; a tree that still holds one, or that
// cannot be listed completely, is not handed over.
bool ClearLinksForShell(const std::wstring& folder) {
    std::vector<std::wstring> links;
    if (!FindTreeLinks(folder, links))
        return false;
    for (const std::wstring& link : links) {
        if (!RemoveLinkItself(link))
            return false;
    }
    return true;
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
    if (IsLinkPath(target))
        return false;
    // The shell's delete of a folder reaches into sub-folders even in the
    // one-level mode on some systems (Wine deletes the whole tree), so the
    // links are cleared in both modes.
    if (IsDirectory(target) && !ClearLinksForShell(target))
        return false;
    const ShellPathList from(target);
    RunShellOperation(FO_DELETE, from, nullptr,
                      recursive ? kDeleteRecursiveFlags : kDeleteLevelFlags);
    // The shell's result is not to be trusted either way: it reports success
    // while a file held open with delete sharing is still there.
    return IsGone(target);
}

bool ShellCopy(const std::wstring& source, const std::wstring& destination, bool recursive) {
    if (!FitsPathBuffer(source) || !FitsPathBuffer(destination))
        return false;
    const ShellPathList from(source);
    const ShellPathList to(destination);
    return RunShellOperation(FO_COPY, from, &to,
                             recursive ? kCopyRecursiveFlags : kCopyLevelFlags) == 0;
}

bool CopyFolder(const std::wstring& source, const std::wstring& destination, bool wholeFolder) {
    if (wholeFolder)
        return ShellCopy(source, destination, true);
    if (!PathExists(destination)) {
        // Before Vista the shell creates the destination folder from a copy
        // of the source folder; later systems get it created directly.
        if (GetOsVersion().nKind < kOsVista)
            ShellCopy(source, destination, false);
        else
            CreateDirectoryChain(destination);
    }
    return ShellCopy(JoinPath(source, L"*.*"), destination, false);
}

bool MoveFileOrFolder(const std::wstring& source, const std::wstring& destination) {
    if (!FitsPathBuffer(source) || !FitsPathBuffer(destination))
        return false;
    // Moving takes the source away from where it was: it gets the checks of
    // a delete. A link is not moved either: Wine moves what it points to.
    if (!IsDeletableTarget(source) || IsLinkPath(StripTrailingSeparators(source)))
        return false;
    if (MoveFileExW(source.c_str(), destination.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        return true;
    if (!IsDirectory(source))
        return false;
    // A copy would take in what the links of the source point to, and the
    // delete that follows could not remove them: such a source stays whole.
    std::vector<std::wstring> links;
    if (!FindTreeLinks(source, links) || !links.empty())
        return false;
    return CopyFolder(source, destination, true) && ShellDelete(source, true);
}
