#include "installer/InstallJournal.h"

#include <windows.h>

#include <algorithm>

#include "base/FileOperations.h"
#include "base/FolderRights.h"
#include "base/FolderLinks.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/ShellFileOperations.h"
#include "base/TextConvert.h"
#include "base/TreeWalk.h"
#include "installer/ModuleProof.h"
#include "installer/OwnedFolders.h"

bool InstallJournal::CreateFolder(const std::wstring& folder) {
    // The missing folders on the way down from the first existing parent,
    // outermost first: everything from there down is this install's own,
    // and each gets the install folder's rights from its creation on.
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

void InstallJournal::BeforePlacing(const std::wstring& path) {
    if (!PathExists(path) && std::find(m_placed.begin(), m_placed.end(), path) == m_placed.end())
        m_placed.push_back(path);
}

bool InstallJournal::RemovePlaced() const {
    if (!m_strCreatedTop.empty())
        return ShellDelete(m_strCreatedTop, true);
    bool allGone = true;
    // A file in use is renamed aside and deleted at restart; a name that
    // leads elsewhere goes as a name (base/TreeWalk.h).
    TreeDeleteOptions inUseAside;
    inUseAside.renameInUseAside = true;
    for (auto it = m_placed.rbegin(); it != m_placed.rend(); ++it) {
        if (!PathExists(*it))
            continue;
        // The folder is open to every user: what stands at a placed path
        // now may be a link planted since, and only the link goes then. A
        // folder that was not there goes with what is in it now (the data
        // carried into it); the walk never follows a link inside.
        if (IsLinkPath(*it))
            RemoveLinkItself(*it);
        else
            DeleteTree(*it, inUseAside);
        allGone = allGone && !PathExists(*it);
    }
    return allGone;
}

bool InstallJournal::RecordOwnership(const std::wstring& folder) {
    if (IsRecordedOwnedFolder(folder))
        return true;
    if (!RecordOwnedFolder(folder))
        return false;
    m_strOwnershipRecorded = folder;
    return true;
}

void InstallJournal::UndoOwnershipRecord() const {
    // A folder this install created and could not remove whole stays ours.
    if (!m_strOwnershipRecorded.empty() &&
        (m_strCreatedTop.empty() || !PathExists(m_strOwnershipRecorded)))
        ForgetOwnedFolder(m_strOwnershipRecorded);
}

bool InstallJournal::RecordModuleDigest(const std::wstring& module, const std::string& digest) {
    m_digestsRecorded.push_back(module);
    return ::RecordModuleDigest(module, digest);
}

void InstallJournal::UndoModuleDigests() const {
    for (const std::wstring& module : m_digestsRecorded) {
        if (!PathExists(module))
            ForgetModuleDigest(module);
    }
}

void InstallJournal::BackUpRegistryKey(const std::wstring& path, REGSAM view) {
    RegistryTreeBackup backup;
    if (backup.Save(HKEY_LOCAL_MACHINE, path, view))
        m_registryBackups.push_back(std::move(backup));
}

std::vector<std::wstring> InstallJournal::RestoreRegistryBackups() const {
    std::vector<std::wstring> restored;
    for (const RegistryTreeBackup& backup : m_registryBackups) {
        if (backup.Restore())
            restored.push_back(backup.Path());
    }
    return restored;
}
