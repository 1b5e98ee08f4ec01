// The hand-over from the previous installation to the new one: its
// configuration and task data are carried over, its core module is asked
// to end, its shell module is unregistered, its overlay key removed when
// the name changes, and its folder deleted, moved aside or recorded for the
// next install.
#include <windows.h>

#include "base/DataConfig.h"
#include "base/FileOperations.h"
#include "base/FolderCopy.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/ProcessUtil.h"
#include "base/ProtectedFolders.h"
#include "base/RegKey.h"
#include "base/ScopedHandle.h"
#include "base/ShellFileOperations.h"
#include "base/SystemInfo.h"
#include "base/TreeGuard.h"
#include "base/TextConvert.h"
#include "installer/InstallerLogSites.h"
#include "installer/ProductConfigAccess.h"
#include "installer/RvInstallException.h"
#include "installer/RvInstallerMain.h"
#include "installer/ShellRegistration.h"

namespace {

constexpr wchar_t kCoreExitEvent[] = L"Global\\PuShellExt_CoredllExitEvent_20150504";
constexpr DWORD kCoreExitPauseMs = 20;
constexpr wchar_t kMovedAsideName[] = L"otdx";

// The user's temporary folder joined with "otdx": where a previous install
// folder that cannot be deleted yet is moved.
std::wstring MovedAsideFolder() {
    wchar_t temp[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    return JoinPath(temp, kMovedAsideName);
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

}  // namespace

void CRvInstallerMain::CopyOrgFiles() {
    RV_STEP_LOG(kCopyOrgFiles, "CopyOrgFiles");
    const std::wstring folder = GetInstallFolder();
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
        m_journal.BeforePlacing(target);
        m_journal.BeforePlacing(staging);
        ShellDelete(staging, true);
        const bool copied = CopyFolderTree(source, staging);
        // A rename within the new folder, of this install's own staging copy
        // onto the name just cleared; it never replaces anything.
        if (!copied || !ShellDelete(target, true) ||
            !MoveFileExW(staging.c_str(), target.c_str(), 0)) {
            ShellDelete(staging, true);
            RV_STEP_LOG(kCopyOrgFiles, "CopyOrgFiles failed: " << WideToAnsi(source));
            throw CRvInstallException(10, 0, "copy org files");
        }
        if (target == JoinPath(folder, L"Conf")) {
            // The carried-over User file names the previous overlay handler;
            // the new module reads its own identity from there when it is
            // unregistered, so that identity is written back at once.
            CProductConfig& config = InstallProductConfig();
            EnsureUserConfigFolder();
            config.WriteString("config", "CLSID", m_request.CLSID.c_str());
            config.WriteString("config", "ExplorerKey", m_request.ExplorerKey.c_str());
        }
    }
}

bool CRvInstallerMain::IsRetirableFolder(const std::wstring& folder, bool needsConf) {
    // The record lies in a file that every user can write: only a folder
    // that is an installation of this product may go, never one the system
    // or the user owns, and never the folder just installed.
    if (folder.empty() || IsProtectedFolder(folder) || IsSameFolder(folder, GetInstallFolder()))
        return false;
    return !needsConf || IsDirectory(JoinPath(folder, L"Conf"));
}

void CRvInstallerMain::RetireInstalled() {
    RV_STEP_LOG(kRetireInstalled, "RetireInstalled");
    {
        ScopedHandle exitEvent(OpenEventW(EVENT_MODIFY_STATE, FALSE, kCoreExitEvent));
        if (exitEvent) {
            SetEvent(exitEvent.Get());
            exitEvent.Reset();
            Sleep(kCoreExitPauseMs);
            RV_STEP_LOG(kRetireInstalled, "core module asked to exit");
        }
    }

    // Only an installation of this product is unregistered and removed: the
    // registration tool runs code of the module it is given, and the
    // records that name the previous folder are open to every user.
    const bool retirable = IsRetirableFolder(m_strInstalledDir, true);
    std::string shellPath;
    InstallProductConfig().GetString(
        "config", "ShellPath", shellPath,
        WideToAnsi(JoinPath(m_strInstalledDir, L"Dovadi.dll")).c_str());
    m_strInstalledShellPath = AnsiToWide(shellPath);
    // A module that is not there has nothing registered to remove; the
    // registration tool would only fail on it.
    if (retirable && PathExists(m_strInstalledShellPath)) {
        const DWORD result = RegisterServer(shellPath.c_str(), kUnregisterServer);
        RV_STEP_LOG(kRetireInstalled, "UnregisterShell:" << shellPath << " bret = " << result);
    }

    if (!IsSameKeyName(m_strInstalledExplorerKey, m_request.ExplorerKey)) {
        const REGSAM view = Is64BitWindows() ? KEY_WOW64_64KEY : 0;
        RegKey overlays;
        if (overlays.Open(HKEY_LOCAL_MACHINE, kOverlayIdentifiersKey,
                          KEY_READ | KEY_WRITE | view) == ERROR_SUCCESS) {
            const LONG result = overlays.DeleteSubKey(m_strInstalledExplorerKey);
            RV_STEP_LOG(kRetireInstalled,
                        "DelExplorerKey:" << m_strInstalledExplorerKey << " ret = " << result);
        }
    }

    if (!retirable) {
        RV_STEP_LOG(kRetireInstalled,
                    "not an installation, left alone: " << WideToAnsi(m_strInstalledDir));
        return;
    }
    // Never a folder that holds a protected one, lies in the Windows folder
    // or is reached through a link: neither deleted, nor moved, nor left
    // for the next install to delete.
    if (const char* refusal = TreeTargetRefusal(m_strInstalledDir)) {
        RV_STEP_LOG(kRetireInstalled,
                    "left alone: " << WideToAnsi(m_strInstalledDir) << " (" << refusal << ")");
        return;
    }
    const std::wstring movedAside = MovedAsideFolder();
    if (!movedAside.empty())
        ShellDelete(movedAside, true);
    const std::string installed = WideToAnsi(m_strInstalledDir);
    const bool deleted = DeleteFolderTree(installed) && !PathExists(m_strInstalledDir);
    RV_STEP_LOG(kRetireInstalled, "DelInstalledFolder:" << installed << " bret = " << deleted);
    if (deleted)
        return;
    if (!movedAside.empty() && MoveFileOrFolder(m_strInstalledDir, movedAside)) {
        RV_STEP_LOG(kRetireInstalled, "MovedAside:" << installed);
        return;
    }
    WriteDataConfig("config", "waitdel", installed.c_str());
    RV_STEP_LOG(kRetireInstalled, "waitdel:" << installed);
}
