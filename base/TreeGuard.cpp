#include "base/TreeGuard.h"

#include <windows.h>

#include <set>
#include <vector>

#include "base/DeleteGuard.h"
#include "base/PathString.h"
#include "base/ProtectedFolders.h"
#include "base/ScopedHandle.h"
#include "base/StandardPaths.h"
#include "base/TextConvert.h"
#include "diagnostics/DebugTrace.h"

namespace {

constexpr char kNotATreePath[] = "not a path a tree operation takes";
constexpr char kLink[] = "a link";
constexpr char kBelowLink[] = "reached through a link";
constexpr char kInsideWindows[] = "inside the Windows folder";
constexpr char kHoldsProtected[] = "a protected folder, or a folder that holds one";
constexpr char kHoldsDataFolder[] = "the product's data folder, or a folder that holds it";

bool IsLinkAttributes(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The path and each of its parents up to its root, longest first.
std::vector<std::wstring> PathAndParents(const std::wstring& fullPath) {
    std::vector<std::wstring> chain;
    const size_t root = AbsoluteRootLength(fullPath);
    if (root == 0)
        return chain;
    for (std::wstring walk = fullPath;;) {
        chain.push_back(walk);
        if (walk.size() <= root)
            break;
        const size_t separator = walk.find_last_of(L"\\/");
        walk =
            walk.substr(0, separator == std::wstring::npos || separator < root ? root : separator);
    }
    return chain;
}

// Where the system says the object named by `path` really is (links on the
// way resolved); empty when it cannot say.
std::wstring FinalPath(const std::wstring& path) {
    ScopedFile file(CreateFileW(path.c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.IsValid())
        return std::wstring();
    wchar_t final[MAX_PATH + 8] = {};
    const DWORD length =
        GetFinalPathNameByHandleW(file.Get(), final, MAX_PATH + 8, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= MAX_PATH + 8)
        return std::wstring();
    std::wstring result(final, length);
    if (result.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\\\" + result.substr(8);
    if (result.compare(0, 4, L"\\\\?\\") == 0)
        return result.substr(4);
    return result;
}

// Adds the ids of `folder` and of every folder above it, both along its
// name and along where it really is.
void AddHoldingIds(const std::wstring& folder,
                   std::set<std::wstring>& seen,
                   std::set<FileObjectId>& ids) {
    const std::wstring full = FullFolderPath(folder);
    for (const std::wstring& start : {full, FinalPath(full)}) {
        for (const std::wstring& path : PathAndParents(start)) {
            std::wstring key = path;
            CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
            if (!seen.insert(key).second)
                continue;
            FileObjectId id;
            if (ReadFileObjectId(path, id))
                ids.insert(id);
        }
    }
}

bool HoldsAny(const std::vector<std::wstring>& folders, const FileObjectId& target) {
    std::set<std::wstring> seen;
    std::set<FileObjectId> ids;
    for (const std::wstring& folder : folders)
        AddHoldingIds(folder, seen, ids);
    return ids.count(target) != 0;
}

}  // namespace

const char* TreeTargetRefusal(const std::wstring& fullPath, const FileObjectId& target) {
    if (!IsDeletableTarget(fullPath))
        return kNotATreePath;
    const std::vector<std::wstring> chain = PathAndParents(FullFolderPath(fullPath));
    if (chain.empty())
        return kNotATreePath;
    // Below a link the name says nothing about where the tree really is.
    if (IsLinkAttributes(GetFileAttributesW(chain.front().c_str())))
        return kLink;
    for (size_t i = 1; i < chain.size(); ++i) {
        if (IsLinkAttributes(GetFileAttributesW(chain[i].c_str())))
            return kBelowLink;
    }
    // Everything below the Windows folder belongs to the system, also
    // what a 32-bit process reaches only as "Sysnative".
    FileObjectId windows;
    if (ReadFileObjectId(WindowsFolder(), windows)) {
        for (const std::wstring& path : chain) {
            FileObjectId id;
            if (ReadFileObjectId(path, id) && id == windows)
                return kInsideWindows;
        }
    }
    if (HoldsAny(ProtectedFolderPaths(), target))
        return kHoldsProtected;
    std::wstring dataFolder;
    if (GetStandardPath(dataFolder, kPathLocalDataDir) && HoldsAny({dataFolder}, target))
        return kHoldsDataFolder;
    return nullptr;
}

const char* TreeTargetRefusal(const std::wstring& path) {
    if (!IsDeletableTarget(path))
        return kNotATreePath;
    const std::wstring full = FullFolderPath(path);
    FileObjectId target;
    if (!ReadFileObjectId(full, target))
        return nullptr;  // nothing there to act on
    return TreeTargetRefusal(full, target);
}

void TraceTreeRefusal(const std::wstring& path, const char* reason) {
    RV_TRACE_ERROR("TreeGuard", 1)
        << "tree operation refused: " << WideToAnsi(path) << " (" << reason << ")";
}
