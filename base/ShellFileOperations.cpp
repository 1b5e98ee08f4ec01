#include "base/ShellFileOperations.h"

#include <windows.h>
#include <shellapi.h>

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

// What the shell reports for a path that is not there: "file not found"
// and its old code for an invalid path.
constexpr int kShellFileNotFound = 2;
constexpr int kShellInvalidPath = 0x402;

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

}  // namespace

bool ShellDelete(const std::wstring& path, bool recursive) {
    if (!FitsPathBuffer(path))
        return false;
    const std::wstring target = StripTrailingSeparators(path);
    if (target.empty())
        return false;
    const ShellPathList from(target);
    const int result = RunShellOperation(FO_DELETE, from, nullptr,
                                         recursive ? kDeleteRecursiveFlags : kDeleteLevelFlags);
    if (result == 0 || result == kShellFileNotFound || result == kShellInvalidPath)
        return true;
    // Some shells give other codes for a path below a missing folder; what
    // is not there counts as deleted.
    return !PathExists(target);
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
    if (MoveFileExW(source.c_str(), destination.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        return true;
    if (!IsDirectory(source))
        return false;
    return CopyFolder(source, destination, true) && ShellDelete(source, true);
}
