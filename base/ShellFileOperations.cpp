#include "base/ShellFileOperations.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "base/DeleteGuard.h"
#include "base/FolderLinks.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/ScopedHandle.h"
#include "base/SystemInfo.h"
#include "base/TreeWalk.h"

namespace {

constexpr FILEOP_FLAGS kCopyRecursiveFlags =
    FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
constexpr FILEOP_FLAGS kCopyLevelFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_FILESONLY |
                                         FOF_NOCONFIRMMKDIR | FOF_NOERRORUI | FOF_NORECURSION;
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

// Raises `longest` to the length of each path below `folder`, counted from
// the separator after the top folder (`below` characters deep already).
// Links are not entered. False when a folder cannot be listed.
bool MeasureTree(const std::wstring& folder, size_t below, bool recursive, size_t& longest) {
    WIN32_FIND_DATAW data;
    ScopedFind find(FindFirstFileW(JoinPath(folder, L"*").c_str(), &data));
    if (!find.IsValid())
        return false;
    bool complete = true;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const size_t length = below + 1 + name.size();
        longest = std::max(longest, length);
        if (recursive && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
            complete = MeasureTree(JoinPath(folder, name), length, true, longest) && complete;
    } while (FindNextFileW(find.Get(), &data));
    return complete;
}

// Whether every path the copy names fits MAX_PATH, below the source and
// below the destination. The shell builds each path in a MAX_PATH buffer;
// Wine's copy goes on with an empty path when one does not fit and writes
// into the current folder of the process.
bool FitsCopy(const std::wstring& source, const std::wstring& destination, bool recursive) {
    std::wstring folder = StripTrailingSeparators(source);
    std::wstring target = StripTrailingSeparators(destination);
    const std::wstring name = LastPathComponent(folder);
    const bool pattern = name.find_first_of(L"*?") != std::wstring::npos;
    if (pattern)
        folder = ParentPath(folder);
    else if (IsDirectory(target))
        target = JoinPath(target, name);  // the source lands inside
    size_t longest = 0;
    if ((pattern || IsDirectory(folder)) && !MeasureTree(folder, 0, recursive || !pattern, longest))
        return false;
    return folder.size() + longest < MAX_PATH && target.size() + longest < MAX_PATH;
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

bool ShellCopy(const std::wstring& source, const std::wstring& destination, bool recursive) {
    if (!FitsPathBuffer(source) || !FitsPathBuffer(destination) ||
        !FitsCopy(source, destination, recursive))
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
    return MoveTree(StripTrailingSeparators(source), destination);
}
