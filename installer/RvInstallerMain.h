// The state and steps of one install: one object per doInst call, created
// just before the install and destroyed right after it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/IniReplace.h"
#include "base/tree/HeldFolder.h"

#include "installer/FolderPolicy.h"
#include "installer/InstallWorkItems.h"
#include "installer/request/InstallRequest.h"

struct InstallEnvelope;

// The shell module that the installation in `folder` recorded ("config" /
// "ShellPath" of its own Conf, the Server file first), or its
// "Dovadi.dll".
std::wstring RecordedShellPath(const std::wstring& folder);

// Deletes a folder recorded ours: all of it, or, where the record names
// only the entries the product placed there, those, and the folder once
// that leaves it empty. Nothing of a folder not recorded. True when the
// folder is gone.
bool DeleteOwnedFolder(const std::wstring& folder, bool renameInUseAside);

// What the product placed in the previous folder that only its
// registration proves ours: its shell module, the core module its records
// name, the crash-report program, "Task" and "Conf" (last).
std::vector<std::wstring> ProductEntriesOf(const FolderPolicy& policy, const std::wstring& folder);

class CRvInstallerMain {
public:
    CRvInstallerMain() = default;

    // Runs one install and, unless the request is unusable, stores a new
    // result block into `result`. Returns 0, 10 or 11.
    int DoInstall(const char* request, char*& result);

    // The answer when the install may not take the install mutex: 10 and
    // `refusal` ("another install runs" when another install held it for
    // the whole wait), or 11 for an unusable request. Nothing is logged or
    // changed.
    int ReportBusy(const char* request, char*& result, const char* refusal);

    // Reads the envelope and the install parameters. False when the request
    // is unusable: nothing is then logged, stored or changed.
    bool ReadRequest(const char* request);
    bool ParseEnvelope(const std::string& text);

    // The text after "|INSTTOOLS:" in the result: the library's file version
    // and the request's update version.
    std::string BuildLogAppend() const;

    // The install body: checks, folder, copies, then the later steps below.
    // Returns 1; every failure is thrown as CRvInstallException.
    int DoCheckValidInstall();
    // The install folder the request asks for: the special folder joined
    // with "subDir" (or "Dovadi"). Computes only; creates nothing.
    std::wstring GetInstallFolder();

    // What the previous installation recorded: its folder and overlay key.
    void ReadInstalledRecord();
    // Version, channel, install time, group and core module name.
    void WriteInstallInfo();
    // Writes the new installation's records, then switches config.dat to
    // the new folder in one step, naming the previous folder as "waitdel"
    // until the retirement has removed it. A write that fails fails the
    // install. Returns 1.
    int WriteInstallFlag(const std::string& installFolder, const std::string& shellPath);

    // Records the overlay handler's identity, registers the installed shell
    // module and checks its overlay key.
    void RegisterShell(const std::string& shellPath);

    // Carries the previous installation's "Conf" and "Task" over into the
    // new folder; a carry-over that is not complete fails the install
    // ("copy org files") before anything of the previous one is removed.
    void CopyOrgFiles();
    // Asks the running core module to end, unregisters the previous shell
    // module, removes the previous overlay key when the name changes, and
    // deletes the previous folder, moves it to the temporary "otdx" folder
    // or records it as "waitdel" for the next install.
    void RetireInstalled();

    // The roll-back of a failed install: removes what this install placed.
    void ClearInstalled();

    unsigned m_nVer = 1;
    std::string m_strTmpDir;
    std::string m_strInstallSrcid;
    std::string m_strRspEncode;
    bool m_bUpdate = false;
    // "tmpDir" held a character the ANSI code page cannot hold.
    bool m_bTmpDirUnencodable = false;
    InstallRequest m_request;
    std::wstring m_strInstalledDir;
    std::wstring m_strInstalledShellPath;
    std::string m_strInstalledExplorerKey;
    bool m_bNewFolder = false;
    // Set by ReadInstalledRecord when a record exists but cannot be read:
    // the message the install then fails with before doing anything.
    std::string m_strUnreadableRecord;
    // A "waitdel" folder the start of the install could not delete yet.
    std::string m_strStillPending;
    // The retirement moved the previous folder to "otdx".
    bool m_bMovedAside = false;
    // The install folder, computed once at the start of the install body.
    std::wstring m_strInstallFolder;
    // What this install may act on, and the proof of the previous
    // installation read before anything was registered.
    FolderPolicy m_policy;
    // What this install changed, for its roll-back.
    WorkItemList m_workItems;
    // The install folder, held from its creation to the end of the install
    // (released for the roll-back's deletion).
    HeldFolder m_heldFolder;

private:
    // Takes the envelope's fields over.
    void ApplyEnvelope(const InstallEnvelope& envelope);
    // Refuses a sub-folder or install folder that would leave the special
    // folder or take a protected one ("invalid subDir"), and the folder the
    // previous installation recorded ("same folder").
    // Refuses a request whose folder, module names, class id or overlay key
    // held a character the ANSI code page cannot hold.
    void CheckRequestText();
    void CheckInstallFolder(const std::wstring& folder);
    // Copies the two modules and the crash-report program into the folder.
    // Each is copied from the handle its check read.
    void PlaceModules(const std::wstring& folder, HANDLE shellFile, HANDLE coreFile);
    // Creates "Conf" and "Task" open to everyone and points the product
    // configuration at the folder's "Conf".
    void BindProductConfig(const std::wstring& folder);
    // Completes a deletion that an earlier install had to leave pending.
    void CompletePendingDeletion();
    // Refuses a module or configuration path inside the folder that is a
    // link: nothing is written through one.
    void CheckNoLink(const std::wstring& path, const char* message);
    // Fails the install with `message` unless the held install folder is
    // still the folder its name leads to.
    void CheckFolderHeld(const char* message);
    // Makes sure the folder of the User configuration file exists, so that
    // records written there are not silently lost.
    void EnsureUserConfigFolder();
    // Writes entries into the new folder's User "Config.ini" in one
    // replacement; fails the install ("write Config.ini") when it cannot.
    void WriteUserRecords(const std::vector<IniEntry>& entries);
    // Unregisters the shell module that the installation in `folder`
    // recorded and removes its overlay key, each only as `policy` allows.
    // The key goes only when `keyChanges`.
    void RetireRegistration(const FolderPolicy& policy,
                            const std::wstring& folder,
                            const std::string& key,
                            bool keyChanges);
    // Notes that `path` is about to be written: when nothing stands there
    // yet, the roll-back removes what stands there then.
    void NotePlacing(const std::wstring& path);
    // The roll-back of the registration: unregisters the new shell module
    // (or removes what names it, where it is not proven), and registers the
    // previous installation's shell module again.
    void UndoRegistration(const std::string& newShell);
    void RegisterPreviousAgain(const std::string& newShell);
    // True when the overlay key of a folder being retired may go: neither
    // this install's key nor the recorded installation's.
    bool KeyMayGo(const std::string& key) const;
    // Retires the registration of a folder of ours other than the previous
    // installation, as its own records name it.
    void RetireFolderRegistration(const std::wstring& folder);
    // Retires every folder recorded ours that is neither the new one, the
    // previous one nor pending: what installs cut short left behind.
    void RetireStrayFolders();
};
