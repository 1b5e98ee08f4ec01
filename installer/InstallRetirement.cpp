// The hand-over from the previous installation to the new one: its
// configuration and task data are carried over, its core module is asked
// to end, its shell module is unregistered, its overlay key removed when
// the name changes, and its folder deleted, moved aside or recorded for the
// next install.
#include <windows.h>

#include "base/AtlIniExt.h"
#include "base/DataConfig.h"
#include "base/FileOperations.h"
#include "base/FolderRights.h"
#include "base/KillPoint.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/ProcessUtil.h"
#include "base/RegKey.h"
#include "base/ScopedHandle.h"
#include "base/SystemInfo.h"
#include "base/TextConvert.h"
#include "base/tree/FolderCopy.h"
#include "base/tree/ProtectedFolders.h"
#include "base/tree/ShellFileOperations.h"
#include "base/tree/TreeGuard.h"
#include "base/tree/TreeWalk.h"
#include "installer/InstallerLogSites.h"
#include "installer/InstallFolderRules.h"
#include "installer/ModuleProof.h"
#include "installer/OwnedFolders.h"
#include "installer/ProductConfigAccess.h"
#include "installer/RvInstallerMain.h"
#include "installer/RvInstallException.h"
#include "installer/ShellRegistration.h"

namespace {

constexpr wchar_t kCoreExitEvent[] = L"Global\\PuShellExt_CoredllExitEvent_20150504";
constexpr DWORD kCoreExitPauseMs = 20;
// After the core module was asked to end, a carry-over blocked by a file it
// held is tried again this many times, this far apart.
constexpr int kCarryRetries = 10;
constexpr DWORD kCarryRetryPauseMs = 100;

// Sets the event that asks the running core module to end, then pauses
// briefly. False when no core module runs (the event does not exist).
bool AskCoreModuleToExit() {
    ScopedHandle exitEvent(OpenEventW(EVENT_MODIFY_STATE, FALSE, kCoreExitEvent));
    if (!exitEvent)
        return false;
    SetEvent(exitEvent.Get());
    exitEvent.Reset();
    Sleep(kCoreExitPauseMs);
    return true;
}

// Whether two overlay key names name one registry key: the registry sees a
// name up to its first NUL and compares names without regard to case. A
// change of spelling only must not count as a change of name, or the key
// just registered for the new installation would be deleted.
bool IsSameKeyName(const std::string& a, const std::string& b) {
    std::wstring first = AnsiToWide(a.c_str());
    std::wstring second = AnsiToWide(b.c_str());
    CharUpperBuffW(&first[0], static_cast<DWORD>(first.size()));
    CharUpperBuffW(&second[0], static_cast<DWORD>(second.size()));
    return first == second;
}

// Renames `target` (when there) to `replaced`, then `staging` to `target`,
// all within the new folder, each through its handle with the guard's
// checks; puts `target` back when the second rename fails. Neither rename
// replaces anything: `replaced` is cleared first.
bool SwapInCarriedCopy(const std::wstring& staging,
                       const std::wstring& target,
                       const std::wstring& replaced) {
    TreeDeleteOptions inUseAside;
    inUseAside.renameInUseAside = true;
    if (!DeleteTree(replaced, inUseAside) || PathExists(replaced))
        return false;
    const bool aside = PathExists(target);
    if (aside && !RenameTree(target, replaced))
        return false;
    if (RenameTree(staging, target))
        return true;
    if (aside)
        RenameTree(replaced, target);
    return false;
}

}  // namespace

void CRvInstallerMain::CopyOrgFiles() {
    RV_STEP_LOG(kCopyOrgFiles, "CopyOrgFiles");
    // Data is carried over only from an installation proven ours: the new
    // folder is open to every user, and the record naming the previous
    // folder is open to every user too.
    if (!m_policy.IsPreviousOurs()) {
        RV_STEP_LOG(kCopyOrgFiles, "nothing carried over from: " << WideToAnsi(m_strInstalledDir));
        return;
    }
    // A folder without its User records is the skeleton of an installation
    // whose deletion was cut short: it has nothing complete to give, and
    // its leftovers must never replace the new folder's records.
    if (!PathExists(JoinPath(m_strInstalledDir, L"Conf\\User\\Config.ini"))) {
        RV_STEP_LOG(kCopyOrgFiles,
                    "no records to carry over in: " << WideToAnsi(m_strInstalledDir));
        return;
    }
    CheckFolderHeld("copy org files");
    const std::wstring& folder = m_strInstallFolder;
    for (const wchar_t* name : {L"Conf", L"Task"}) {
        const std::wstring source = JoinPath(m_strInstalledDir, name);
        if (!PathExists(source))
            continue;
        // The copy lands beside its target first and replaces it only once
        // it is complete: a failed carry-over leaves the new folder's own
        // files in place, which its roll-back relies on, and the previous
        // folder is never deleted with data that did not reach the new one.
        const std::wstring target = JoinPath(folder, name);
        const std::wstring staging = target + L".carry";
        NotePlacing(target);
        NotePlacing(staging);
        ShellDelete(staging, true);
        bool copied = CopyFolderTree(source, staging);
        // The running core module may hold a file of its data without
        // sharing: it is asked to end, and the copy is tried again while
        // it ends.
        if (!copied && AskCoreModuleToExit()) {
            RV_STEP_LOG(kCopyOrgFiles, "core module asked to exit for: " << WideToAnsi(source));
            for (int attempt = 0; !copied && attempt < kCarryRetries; ++attempt) {
                if (attempt > 0)
                    Sleep(kCarryRetryPauseMs);
                ShellDelete(staging, true);
                copied = CopyFolderTree(source, staging);
            }
        }
        // The carried data stays open to everyone, as the folder it
        // replaces. That folder is renamed aside, not deleted, and the
        // staging copy renamed in its place; should that fail, it is renamed
        // back: the new module's records stay whole for its roll-back.
        const std::wstring replaced = target + L".replaced";
        NotePlacing(replaced);
        if (!copied || !ApplyFolderRights(staging, FolderRights::kEveryoneFull) ||
            !SwapInCarriedCopy(staging, target, replaced)) {
            ShellDelete(staging, true);
            RV_STEP_LOG(kCopyOrgFiles, "CopyOrgFiles failed: " << WideToAnsi(source));
            throw CRvInstallException(10, 0, "copy org files");
        }
        // A file held in what was replaced goes at restart.
        TreeDeleteOptions inUseAside;
        inUseAside.renameInUseAside = true;
        if (!DeleteTree(replaced, inUseAside))
            RV_STEP_LOG(kCopyOrgFiles, "left for restart: " << WideToAnsi(replaced));
        KillPoint("carried");
        if (target == JoinPath(folder, L"Conf")) {
            // The carried-over User file names the previous overlay handler;
            // the new module reads its own identity from there when it is
            // unregistered, so that identity is written back at once.
            WriteUserRecords({{"config", "CLSID", m_request.CLSID},
                              {"config", "ExplorerKey", m_request.ExplorerKey}});
        }
    }
}

std::wstring RecordedShellPath(const std::wstring& folder) {
    const std::wstring conf = JoinPath(folder, L"Conf");
    for (const wchar_t* layer : {L"Server", L"User"}) {
        const CAtlIniExt file(JoinPath(JoinPath(conf, layer), L"Config.ini"));
        const std::string path = file.GetString("config", "ShellPath");
        // A name the code page does not carry back exactly names another
        // file: no module at all then.
        std::wstring wide;
        if (!path.empty())
            return AnsiToWideExact(path, wide) ? wide : std::wstring();
    }
    return JoinPath(folder, L"Dovadi.dll");
}

void CRvInstallerMain::RetireRegistration(const FolderPolicy& policy,
                                          const std::wstring& folder,
                                          const std::string& key,
                                          bool keyChanges) {
    // The registration tool runs code of the module it is given: only the
    // proven installation's own module, directly in its folder, holding the
    // bytes this product placed there, held unchanged until the tool ends.
    const std::wstring shell = RecordedShellPath(folder);
    const std::string shellPath = WideToAnsi(shell);
    {
        const ProvenModule proof(shell);
        if (policy.MayRunPreviousModule(shell) && proof.IsProven()) {
            const DWORD result = RegisterServer(shellPath.c_str(), kUnregisterServer);
            RV_STEP_LOG(kRetireInstalled, "UnregisterShell:" << shellPath << " bret = " << result);
            KillPoint("unregistered");
        } else if (policy.IsPreviousOurs()) {
            // Its class goes without running it, where it still names a
            // module of the folder.
            const char* removed =
                RemoveRegistrationOf(policy.PreviousClass(), std::string(), folder);
            RV_STEP_LOG(kRetireInstalled,
                        "not run: " << shellPath << " ("
                                    << (proof.IsProven() ? "not in its folder" : proof.Refusal())
                                    << "), removed: " << removed);
        } else if (PathExists(shell)) {
            RV_STEP_LOG(kRetireInstalled, "not unregistered: " << shellPath);
        }
    }
    if (!keyChanges)
        return;
    if (!policy.MayDeletePreviousKey()) {
        RV_STEP_LOG(kRetireInstalled, "key left alone: " << key);
        return;
    }
    const REGSAM view = Is64BitWindows() ? KEY_WOW64_64KEY : 0;
    RegKey overlays;
    if (overlays.Open(HKEY_LOCAL_MACHINE, kOverlayIdentifiersKey, KEY_READ | KEY_WRITE | view) ==
        ERROR_SUCCESS) {
        const LONG result = overlays.DeleteSubKey(key);
        RV_STEP_LOG(kRetireInstalled, "DelExplorerKey:" << key << " ret = " << result);
        KillPoint("key deleted");
    }
}

bool CRvInstallerMain::KeyMayGo(const std::string& key) const {
    const std::string requested =
        m_request.ExplorerKey.empty() ? kDefaultExplorerKey : m_request.ExplorerKey;
    return !IsSameKeyName(key, requested) && !IsSameKeyName(key, m_strInstalledExplorerKey);
}

void CRvInstallerMain::RetireFolderRegistration(const std::wstring& folder) {
    const CAtlIniExt records(JoinPath(folder, L"Conf\\User\\Config.ini"));
    const std::string key = records.GetString("config", "ExplorerKey", kDefaultExplorerKey);
    FolderPolicy policy;
    policy.SetNewFolder(m_strInstallFolder);
    policy.ReadPrevious(folder, records.GetString("config", "CLSID"), key);
    RetireRegistration(policy, folder, key, KeyMayGo(key));
}

void CRvInstallerMain::RetireStrayFolders() {
    const std::wstring pending = AnsiToWide(m_strStillPending.c_str());
    for (const std::wstring& folder : RecordedOwnedFolders()) {
        // What this install just moved aside was in use: the next one
        // deletes it.
        if (m_bMovedAside && IsSameFolder(folder, MovedAsideFolder()))
            continue;
        if (!IsRecordedOwnedFolder(folder) || FoldersNest(folder, m_strInstallFolder) ||
            (!m_strInstalledDir.empty() && FoldersNest(folder, m_strInstalledDir)) ||
            (!pending.empty() && FoldersNest(folder, pending)))
            continue;
        if (IsProtectedFolder(folder) || TreeTargetRefusal(folder) != nullptr) {
            RV_STEP_LOG(kRetireInstalled, "stray folder left alone: " << WideToAnsi(folder));
            continue;
        }
        // An install cut short left it: recorded ours, yet neither the
        // installation nor the one being retired. It goes as they do.
        RetireFolderRegistration(folder);
        const bool gone = DeleteOwnedFolder(folder, true);
        RV_STEP_LOG(kRetireInstalled,
                    "DelStrayFolder:" << WideToAnsi(folder) << " bret = " << gone);
        if (gone)
            ForgetOwnedFolder(folder);
    }
}

bool DeleteOwnedFolder(const std::wstring& folder, bool renameInUseAside) {
    if (!PathExists(folder))
        return true;
    std::vector<std::wstring> names;
    if (!ReadRecordedEntries(folder, names))
        return false;
    TreeDeleteOptions options;
    options.renameInUseAside = renameInUseAside;
    if (names.empty())
        return DeleteTree(folder, options) && !PathExists(folder);
    // Only what the product placed there; the folder only once that leaves
    // it empty. The records that name those entries go last.
    for (const std::wstring& name : names)
        DeleteTree(JoinPath(folder, name), options);
    return DeleteEmptyFolder(folder) && !PathExists(folder);
}

std::vector<std::wstring> ProductEntriesOf(const FolderPolicy& policy, const std::wstring& folder) {
    std::vector<std::wstring> names;
    if (!policy.PreviousModule().empty())
        names.push_back(LastPathComponent(policy.PreviousModule()));
    const CAtlIniExt records(JoinPath(folder, L"Conf\\User\\Config.ini"));
    std::wstring core;
    if (AnsiToWideExact(records.GetString("CModuleUpdate", "modulename", kDefaultCoreDllName),
                        core) &&
        IsValidFileName(core))
        names.push_back(core);
    for (const wchar_t* placed : {L"RvDumpReport.exe", L"Task", L"Conf"})
        names.push_back(placed);
    return names;
}

void CRvInstallerMain::RetireInstalled() {
    RV_STEP_LOG(kRetireInstalled, "RetireInstalled");
    if (AskCoreModuleToExit())
        RV_STEP_LOG(kRetireInstalled, "core module asked to exit");
    KillPoint("core asked");

    // The new records are written by now: the previous installation's own
    // files say what it registered.
    m_strInstalledShellPath = RecordedShellPath(m_strInstalledDir);
    RetireRegistration(m_policy, m_strInstalledDir, m_strInstalledExplorerKey,
                       !IsSameKeyName(m_strInstalledExplorerKey, m_request.ExplorerKey));

    // Never a folder not proven ours, one that holds a protected one, lies
    // in the Windows folder or is reached through a link: neither deleted,
    // nor moved, nor left for the next install to delete.
    if (const char* refusal = m_policy.RetirementRefusal()) {
        RV_STEP_LOG(kRetireInstalled,
                    "left alone: " << WideToAnsi(m_strInstalledDir) << " (" << refusal << ")");
        return;
    }
    const std::string installed = WideToAnsi(m_strInstalledDir);
    std::vector<std::wstring> names;
    if (!ReadRecordedEntries(m_strInstalledDir, names)) {
        RV_STEP_LOG(kRetireInstalled, "left alone: " << installed << " (not recorded)");
        return;
    }
    bool gone = false;
    if (!names.empty()) {
        // An earlier release's folder: only what the product placed there.
        gone = DeleteOwnedFolder(m_strInstalledDir, true);
        RV_STEP_LOG(kRetireInstalled, "DelInstalledEntries:" << installed << " bret = " << gone);
    } else {
        // Only what an install moved aside itself, recorded ours, is
        // deleted there: the temporary folder is the user's.
        const std::wstring movedAside = MovedAsideFolder();
        if (!movedAside.empty() && DeleteOwnedFolder(movedAside, false))
            ForgetOwnedFolder(movedAside);
        gone = DeleteFolderTree(installed) && !PathExists(m_strInstalledDir);
        RV_STEP_LOG(kRetireInstalled, "DelInstalledFolder:" << installed << " bret = " << gone);
        if (!gone && !movedAside.empty() && !PathExists(movedAside) &&
            RecordFolderToMove(m_strInstalledDir, movedAside)) {
            // Recorded before the move, so that a kill cannot leave it
            // unrecorded; again after it, for a move made by copying, which
            // gives the copy an identity of its own.
            gone = MoveFileOrFolder(m_strInstalledDir, movedAside);
            if (gone) {
                RecordOwnedFolder(movedAside);
                m_bMovedAside = true;
                RV_STEP_LOG(kRetireInstalled, "MovedAside:" << installed);
            } else {
                ForgetOwnedFolder(movedAside);
            }
        }
    }
    if (!gone) {
        // config.dat names it as "waitdel" since the records were switched.
        RV_STEP_LOG(kRetireInstalled, "waitdel:" << installed);
        return;
    }
    KillPoint("retired");
    ForgetOwnedFolder(m_strInstalledDir);
    // A folder the start of this install could not delete is still pending.
    ReplaceDataConfigEntries({m_strStillPending.empty()
                                  ? IniEntry{"config", "waitdel", "", true}
                                  : IniEntry{"config", "waitdel", m_strStillPending}});
}
