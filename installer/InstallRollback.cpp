// The roll-back of a failed install: the mirror of what the install's own
// journal says it did, and nothing else.
#include <windows.h>

#include "base/AtlIniExt.h"
#include "base/FileIdentity.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/ProcessUtil.h"
#include "base/TextConvert.h"
#include "installer/InstallerLogSites.h"
#include "installer/RvInstallerMain.h"

namespace {

constexpr DWORD kSettleBeforeDeleteMs = 200;

// The shell module the previous installation recorded ("config" /
// "ShellPath", the Server file first), or its folder's "Dovadi.dll".
std::wstring RecordedShellPath(const std::wstring& installedDir) {
    const std::wstring conf = JoinPath(installedDir, L"Conf");
    for (const wchar_t* layer : {L"Server", L"User"}) {
        const CAtlIniExt file(JoinPath(JoinPath(conf, layer), L"Config.ini"));
        const std::string path = file.GetString("config", "ShellPath");
        if (!path.empty())
            return AnsiToWide(path);
    }
    return JoinPath(installedDir, L"Dovadi.dll");
}

}  // namespace

void CRvInstallerMain::ClearInstalled() {
    RV_STEP_LOG(kClearInstalled, "ClearInstalled");
    if (!m_bNewFolder)
        return;
    const std::wstring folder = GetInstallFolder();
    if (!PathExists(folder) && m_journal.CreatedTopFolder().empty())
        return;
    Sleep(kSettleBeforeDeleteMs);
    if (!m_journal.RegisteredShell().empty())
        RollBackRegistration();
    const bool deleted = m_journal.RemovePlaced();
    RV_STEP_LOG(kClearInstalled,
                "DelInstallFolder:" << WideToAnsi(folder) << " bret = " << (deleted ? 1 : 0));
}

void CRvInstallerMain::RollBackRegistration() {
    // The new module's registration may have replaced the class or the
    // overlay key of the previous installation: remove what points at the
    // new module before its file goes, then register the previous module
    // again so that its overlay works as before.
    const std::string newShell = m_journal.RegisteredShell();
    const DWORD unregistered = RegisterServer(newShell.c_str(), kUnregisterServer);
    RV_STEP_LOG(kClearInstalled, "UnregisterShell:" << newShell << " bret = " << unregistered);

    const std::wstring previousShell = RecordedShellPath(m_strInstalledDir);
    if (!PathExists(previousShell) || IsSameFileObject(previousShell, AnsiToWide(newShell)))
        return;
    const std::string previous = WideToAnsi(previousShell);
    const DWORD registered = RegisterServer(previous.c_str(), kRegisterServer);
    RV_STEP_LOG(kClearInstalled, "RegisterPrevShell:" << previous << " bret = " << registered);
}
