#include "base/tree/TreeGuard.h"

#include <windows.h>

#include <vector>

#include "base/PathString.h"
#include "base/StandardPaths.h"
#include "base/TextConvert.h"
#include "base/tree/DeleteGuard.h"
#include "base/tree/FolderLinks.h"
#include "base/tree/ProtectedFolders.h"
#include "diagnostics/DebugTrace.h"

namespace {

constexpr char kNotATreePath[] = "not a path a tree operation takes";
constexpr char kLink[] = "a link";
constexpr char kBelowLink[] = "reached through a link";
constexpr char kInsideWindows[] = "inside the Windows folder";
constexpr char kHoldsProtected[] = "a protected folder, or a folder that holds one";
constexpr char kHoldsDataFolder[] = "the product's data folder, or a folder that holds it";

// Whether the object at `path` is the one with id `target`: the index
// first, which Wine answers quickly, the volume only where it agrees.
bool IsObject(const std::wstring& path, const FileObjectId& target) {
    std::uint64_t index = 0;
    FileObjectId id;
    return ReadFileIndex(path, index) && index == target.index && ReadFileObjectId(path, id) &&
           id == target;
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
            if (IsObject(path, windows))
                return kInsideWindows;
        }
    }
    if (HoldsProtectedFolder(target))
        return kHoldsProtected;
    std::wstring dataFolder;
    if (GetStandardPath(dataFolder, kPathLocalDataDir)) {
        for (const std::wstring& path : PathAndParents(FullFolderPath(dataFolder))) {
            if (IsObject(path, target))
                return kHoldsDataFolder;
        }
    }
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
