#include "installer/InstallWorkItems.h"

#include "base/FolderRights.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/tree/FolderLinks.h"
#include "base/tree/ShellFileOperations.h"
#include "base/tree/TreeWalk.h"
#include "installer/ModuleProof.h"
#include "installer/OwnedFolders.h"

bool WorkItemList::Rollback() {
    bool whole = true;
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
        whole = (*it)->Rollback() && whole;
    m_items.clear();
    return whole;
}

bool CreateFolderItem::Create(const std::wstring& folder) {
    // The missing folders on the way down from the first existing parent,
    // outermost first: everything from there down is this install's own.
    std::vector<std::wstring> missing;
    for (std::wstring walk = folder; !walk.empty() && !PathExists(walk);) {
        missing.insert(missing.begin(), walk);
        const std::wstring parent = ParentPath(walk);
        if (parent == walk)
            return false;
        walk = parent;
    }
    for (const std::wstring& step : missing) {
        if (!CreateFolderWithRights(step, FolderRights::kAdministratorsOnly))
            break;
        if (m_strCreatedTop.empty())
            m_strCreatedTop = step;
    }
    return IsDirectory(folder);
}

bool CreateFolderItem::RecordOwnership(const std::wstring& folder) {
    if (IsRecordedOwnedFolder(folder))
        return true;
    if (!RecordOwnedFolder(folder))
        return false;
    m_strOwnershipRecorded = folder;
    return true;
}

bool CreateFolderItem::Rollback() {
    const bool removed = m_strCreatedTop.empty() || ShellDelete(m_strCreatedTop, true);
    if (!m_strOwnershipRecorded.empty() &&
        (m_strCreatedTop.empty() || !PathExists(m_strOwnershipRecorded)))
        ForgetOwnedFolder(m_strOwnershipRecorded);
    return removed;
}

PlacedPathItem::PlacedPathItem(std::wstring path)
    : m_path(std::move(path)), m_bWasThere(PathExists(m_path)) {}

bool PlacedPathItem::Rollback() {
    if (m_bWasThere || !PathExists(m_path))
        return true;
    if (IsLinkPath(m_path)) {
        RemoveLinkItself(m_path);
    } else {
        TreeDeleteOptions inUseAside;
        inUseAside.renameInUseAside = true;
        DeleteTree(m_path, inUseAside);
    }
    return !PathExists(m_path);
}

bool PlacedModuleItem::RecordDigest(const std::string& digest) {
    m_bDigestRecorded = true;
    return RecordModuleDigest(m_path, digest);
}

bool PlacedModuleItem::Rollback() {
    const bool removed = PlacedPathItem::Rollback();
    if (m_bDigestRecorded && !PathExists(m_path))
        ForgetModuleDigest(m_path);
    return removed;
}

RegistryBackupItem::RegistryBackupItem(const std::wstring& path,
                                       REGSAM view,
                                       std::function<void(const std::wstring&)> restored)
    : m_restored(std::move(restored)) {
    m_backup.Save(HKEY_LOCAL_MACHINE, path, view);
}

bool RegistryBackupItem::Rollback() {
    if (!m_backup.IsSaved())
        return true;
    const bool restored = m_backup.Restore();
    if (restored && m_restored)
        m_restored(m_backup.Path());
    return restored;
}

bool CallbackItem::Rollback() {
    if (m_undo)
        m_undo();
    return true;
}
