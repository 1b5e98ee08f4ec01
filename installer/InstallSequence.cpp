// The install sequence: completes a pending deletion, checks both modules,
// chooses and creates the install folder, copies the modules into it and
// hands over to registration, records and retirement.
#include <windows.h>

#include "base/AtlIniExt.h"
#include "base/DataConfig.h"
#include "base/FileOperations.h"
#include "base/FolderRights.h"
#include "base/KillPoint.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/ProcessUtil.h"
#include "base/ScopedHandle.h"
#include "base/StandardPaths.h"
#include "base/SystemInfo.h"
#include "base/TextConvert.h"
#include "base/tree/FileIdentity.h"
#include "base/tree/ProtectedFolders.h"
#include "base/tree/ShellFileOperations.h"
#include "installer/InstallerLogSites.h"
#include "installer/InstallFolderRules.h"
#include "installer/ModuleProof.h"
#include "installer/OwnedFolders.h"
#include "installer/ProductConfigAccess.h"
#include "installer/request/InstallRequest.h"
#include "installer/RvInstallerMain.h"
#include "installer/RvInstallException.h"
#include "installer/ShellRegistration.h"

namespace {

constexpr char kShellSource32[] = "PuShellExtDll.dll";
constexpr char kShellSource64[] = "PuShellExtDllx.dll";
constexpr char kCoreSource[] = "PuTaskService.dll";
constexpr char kDumpReportName[] = "RvDumpReport.exe";

constexpr int kFailed = 10;
constexpr int kSameFolder = 13;

// The longest path the install itself names below its folder through the
// profile functions: the copy a User record write makes beside
// "Config.ini" (base/IniReplace.h), longer than the Server file inside the
// staging copy of a carried-over "Conf" ("\\Conf.carry\\Server\\Config.ini").
constexpr wchar_t kLongestLayoutPath[] = L"\\Conf\\User\\rv000000000000.ini.new";

constexpr DWORD kSettleBeforeDeleteMs = 200;

// Opened for reading with read sharing only: nobody may change, replace or
// delete the file while the install checks and copies it.
ScopedFile OpenSource(const std::string& path) {
    return ScopedFile(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

[[noreturn]] void Fail(const char* message, int code = kFailed) {
    throw CRvInstallException(code, 0, message);
}

// Every path the install writes must stay below MAX_PATH: the ANSI file
// calls and the shell's file operations cannot name a longer one, so it
// could be neither placed reliably nor removed by a roll-back.
bool FitsPathLimit(const std::wstring& folder, size_t longestBelow) {
    return folder.size() < MAX_PATH && longestBelow < MAX_PATH - folder.size();
}

// A module goes into the folder itself under a plain file name; a name that
// is a path, or that the file system would change or cut (a control
// character, NUL included, a trailing dot), is not one.
bool IsModuleName(const std::wstring& folder, const std::string& name) {
    std::wstring wide;
    return AnsiToWideExact(name, wide) && IsValidFileName(wide) &&
           FitsPathLimit(folder, 1 + wide.size());
}

}  // namespace

std::wstring CRvInstallerMain::GetInstallFolder() {
    std::wstring folder;
    GetDefaultInstallPath(folder, m_request.csidlDir);
    if (!m_request.subDir.empty())
        folder = JoinPath(ParentPath(folder), AnsiToWide(m_request.subDir));
    return folder;
}

int CRvInstallerMain::DoCheckValidInstall() {
    RV_STEP_LOG(kDoCheckValidInstall, "DoCheckValidInstall");
    if (!m_strUnreadableRecord.empty())
        Fail(m_strUnreadableRecord.c_str());
    // Copies of config.dat that a killed install left behind.
    std::wstring localData;
    if (GetStandardPath(localData, kPathLocalDataDir))
        RemoveLeftoverIniCopies(localData);
    CheckRequestText();
    m_strInstallFolder = GetInstallFolder();
    m_policy.SetNewFolder(m_strInstallFolder);
    CompletePendingDeletion();

    // Each module is checked and copied through one handle that nobody may
    // write through meanwhile: the file checked is the file placed.
    const std::string shellSource =
        m_strTmpDir + (Is64BitWindows() ? kShellSource64 : kShellSource32);
    ScopedFile shellFile = OpenSource(shellSource);
    if (!shellFile || !IsPEImageFile(shellFile.Get()))
        Fail("Shell pe error");
    const std::string coreSource = m_strTmpDir + kCoreSource;
    ScopedFile coreFile = OpenSource(coreSource);
    if (!coreFile || !IsPEImageFile(coreFile.Get()))
        Fail("core pe error");

    const std::wstring& folder = m_strInstallFolder;
    RV_STEP_LOG(kDoCheckValidInstall, "InstallFolder: " << WideToAnsi(folder));
    CheckInstallFolder(folder);
    // Refused before anything is created: nothing to roll back.
    if (!IsModuleName(folder, m_request.ShellDllName))
        Fail("copy shell");
    if (!IsModuleName(folder, m_request.CoreDllName))
        Fail("copy core");
    m_bNewFolder = true;

    // The folder has its final rights from its creation on: only
    // administrators and SYSTEM may change what lies in it. A folder that
    // was there already gets them too, and is taken over only when it is
    // still empty (or ours) under them: a file added before could stay.
    // The folder is held by handle from here to the end of the install (no
    // one may rename or delete it, nor a folder above it), and its rights
    // are set through that handle: every later write by name lands in it.
    CreateFolderItem* created = m_workItems.Add(std::make_unique<CreateFolderItem>());
    if (!created->Create(folder) || !m_heldFolder.Hold(folder, kFolderRightsAccess) ||
        !ApplyFolderRights(m_heldFolder.Get(), FolderRights::kAdministratorsOnly))
        Fail("make dir");
    if (created->CreatedTopFolder().empty()) {
        if (const char* refusal = m_policy.NewFolderRefusal()) {
            RV_STEP_LOG(kDoCheckValidInstall,
                        "install folder refused: " << WideToAnsi(folder) << " (" << refusal << ")");
            Fail("invalid subDir");
        }
    }
    // From here on the folder is ours: recorded where only an administrator
    // can write, so that the next install may retire it. An installation
    // without that record could never be retired.
    if (!created->RecordOwnership(folder))
        Fail("make dir");
    KillPoint("folder created");

    PlaceModules(folder, shellFile.Get(), coreFile.Get());
    shellFile.Reset();
    coreFile.Reset();
    KillPoint("modules placed");
    BindProductConfig(folder);

    const std::string shellDestination =
        WideToAnsi(JoinPath(folder, AnsiToWide(m_request.ShellDllName)));
    RegisterShell(shellDestination);
    KillPoint("registered");
    CopyOrgFiles();
    WriteInstallInfo();
    KillPoint("info written");
    // The new installation is complete and recorded before anything of the
    // previous one is touched: a kill from here on leaves a state the next
    // install finishes.
    WriteInstallFlag(WideToAnsi(folder), shellDestination);
    m_workItems.Commit();
    KillPoint("records switched");
    RetireInstalled();
    RetireStrayFolders();
    return 1;
}

void CRvInstallerMain::CheckRequestText() {
    for (const std::string& key : m_request.unencodable)
        RV_STEP_LOG(kDoCheckValidInstall, "not in the ANSI code page: " << key);
    // '?' stands where the characters were: the install would land in, load
    // or register another name than the request gave.
    if (m_request.IsUnencodable("subDir"))
        Fail("invalid subDir");
    if (m_bTmpDirUnencodable)
        Fail("Shell pe error");
    if (m_request.IsUnencodable("ShellDllName"))
        Fail("copy shell");
    if (m_request.IsUnencodable("CoreDllName"))
        Fail("copy core");
    // Raw bytes that are no text of the code page name no key either.
    std::wstring wide;
    if (m_request.IsUnencodable("CLSID") || m_request.IsUnencodable("ExplorerKey") ||
        !AnsiToWideExact(m_request.CLSID, wide) || !AnsiToWideExact(m_request.ExplorerKey, wide))
        Fail("error regerror");
}

void CRvInstallerMain::CheckInstallFolder(const std::wstring& folder) {
    // The folder must leave room for the install's own files, stay inside
    // its special folder and must not be one of the folders the system or
    // the user owns: a roll-back deletes there. Its name must survive the
    // ANSI code page both ways: the records and the ANSI file calls name it
    // so.
    std::wstring subDir;
    std::string ansiFolder;
    if (!FitsPathLimit(folder, wcslen(kLongestLayoutPath)) ||
        !AnsiToWideExact(m_request.subDir, subDir) || !IsValidSubDir(subDir) ||
        !WideToAnsiExact(folder, ansiFolder) || !IsAbsoluteFolderPath(folder) ||
        IsProtectedFolder(folder))
        Fail("invalid subDir");
    // Windows compares paths without regard to case; the file identity also
    // catches short names and other spellings of the recorded folder.
    if (IsSameFolder(m_strInstalledDir, folder))
        Fail("same folder", kSameFolder);
    if (const char* refusal = m_policy.NewFolderRefusal()) {
        RV_STEP_LOG(kDoCheckValidInstall,
                    "install folder refused: " << WideToAnsi(folder) << " (" << refusal << ")");
        Fail("invalid subDir");
    }
}

void CRvInstallerMain::CheckFolderHeld(const char* message) {
    if (!m_heldFolder.StillAtItsName()) {
        RV_STEP_LOG(kDoCheckValidInstall,
                    "install folder swapped: " << WideToAnsi(m_strInstallFolder));
        Fail(message);
    }
}

void CRvInstallerMain::CheckNoLink(const std::wstring& path, const char* message) {
    if (!FolderPolicy::MayWriteThrough(path)) {
        RV_STEP_LOG(kDoCheckValidInstall, "link in the install folder: " << WideToAnsi(path));
        Fail(message);
    }
}

void CRvInstallerMain::PlaceModules(const std::wstring& folder, HANDLE shellFile, HANDLE coreFile) {
    const std::wstring shellDestination = JoinPath(folder, AnsiToWide(m_request.ShellDllName));
    const std::wstring coreDestination = JoinPath(folder, AnsiToWide(m_request.CoreDllName));
    const std::wstring dumpReportDestination = JoinPath(folder, AnsiToWide(kDumpReportName));
    const std::string shellTarget = WideToAnsi(shellDestination);
    const std::string coreTarget = WideToAnsi(coreDestination);
    const std::string shellSource =
        m_strTmpDir + (Is64BitWindows() ? kShellSource64 : kShellSource32);
    const std::string coreSource = m_strTmpDir + kCoreSource;

    RV_STEP_LOG(kDoCheckValidInstall,
                "strInstallFolder: " << WideToAnsi(folder) << " , strModulePath: " << coreSource);
    RV_STEP_LOG(kDoCheckValidInstall, "CopyThis: " << shellSource << " to path = " << shellTarget);
    CheckFolderHeld("copy shell");
    // The copies replace whatever stands at a destination as a name, never
    // writing through it (base/FileOperations.h). The shell module's digest
    // is what later proves it unchanged before the registration tool runs it.
    PlacedModuleItem* shell = m_workItems.Add(std::make_unique<PlacedModuleItem>(shellDestination));
    std::string digest;
    if (!CopyOpenFile(shellFile, shellTarget.c_str(), &digest))
        Fail("copy shell");
    if (!shell->RecordDigest(digest))
        Fail("copy shell");
    KillPoint("shell placed");

    RV_STEP_LOG(kDoCheckValidInstall, "CopyCore: " << coreSource << "  to path = " << coreTarget);
    NotePlacing(coreDestination);
    if (!CopyOpenFile(coreFile, coreTarget.c_str(), nullptr))
        Fail("copy core");

    // The crash-report program is optional: without it only crash reports
    // are missing.
    const ScopedFile dumpReport = OpenSource(m_strTmpDir + kDumpReportName);
    if (dumpReport) {
        NotePlacing(dumpReportDestination);
        CopyOpenFile(dumpReport.Get(), WideToAnsi(dumpReportDestination).c_str(), nullptr);
    }
}

void CRvInstallerMain::BindProductConfig(const std::wstring& folder) {
    CheckFolderHeld("make dir");
    const std::wstring conf = JoinPath(folder, L"Conf");
    const std::wstring task = JoinPath(folder, L"Task");
    for (const std::wstring& path : {conf, JoinPath(conf, L"Server"), JoinPath(conf, L"User"),
                                     JoinPath(JoinPath(conf, L"Server"), L"Config.ini"),
                                     JoinPath(JoinPath(conf, L"User"), L"Config.ini"), task})
        CheckNoLink(path, "make dir");
    for (const std::wstring& placed : {conf, JoinPath(conf, L"Server"), JoinPath(conf, L"User"),
                                       JoinPath(JoinPath(conf, L"User"), L"Config.ini"), task})
        NotePlacing(placed);
    // The product's programs write their settings and task data as the
    // user, whoever that is: these two stay open to everyone, and no user
    // can create them in the install folder.
    for (const std::wstring& data : {conf, task}) {
        if (!IsDirectory(data) && !CreateFolderWithRights(data, FolderRights::kEveryoneFull))
            Fail("make dir");
        if (!ApplyFolderRights(data, FolderRights::kEveryoneFull))
            Fail("make dir");
    }
    // Copies of the User records that a killed install into this folder
    // left behind.
    RemoveLeftoverIniCopies(JoinPath(conf, L"User"));
    InstallProductConfig().SetConfigFolder(conf);
}

void CRvInstallerMain::EnsureUserConfigFolder() {
    CProductConfig& config = InstallProductConfig();
    if (!config.GetConfigFolder().empty())
        CreateDirectoryChain(JoinPath(config.GetConfigFolder(), L"User"));
}

void CRvInstallerMain::CompletePendingDeletion() {
    const std::string waitdel = ReadDataConfig("config", "waitdel", "");
    if (waitdel.empty())
        return;
    std::wstring folder;
    // A name the code page does not carry back exactly names another
    // folder; what may not be deleted is not worth keeping a record of.
    const bool exact = AnsiToWideExact(waitdel, folder);
    if (const char* refusal =
            exact ? m_policy.PendingDeletionRefusal(folder) : "not in the ANSI code page") {
        RV_STEP_LOG(kDoCheckValidInstall, "waitdel refused: " << waitdel << " (" << refusal << ")");
        ReplaceDataConfigEntries({{"config", "waitdel", "", true}});
        return;
    }
    // An install killed in its retirement may have left the folder's
    // registration: it goes first, as the retirement would have done it.
    if (PathExists(folder))
        RetireFolderRegistration(folder);
    if (DeleteOwnedFolder(folder, false)) {
        ForgetOwnedFolder(folder);
        ReplaceDataConfigEntries({{"config", "waitdel", "", true}});
    } else {
        m_strStillPending = waitdel;
    }
}

void CRvInstallerMain::NotePlacing(const std::wstring& path) {
    m_workItems.Add(std::make_unique<PlacedPathItem>(path));
}

// The roll-back of a failed install: its work items undone, newest first,
// and nothing else.
void CRvInstallerMain::ClearInstalled() {
    RV_STEP_LOG(kClearInstalled, "ClearInstalled");
    if (m_workItems.IsEmpty())
        return;
    m_heldFolder.Release();
    Sleep(kSettleBeforeDeleteMs);
    const bool deleted = m_workItems.Rollback();
    RV_STEP_LOG(kClearInstalled, "DelInstallFolder:" << WideToAnsi(m_strInstallFolder)
                                                     << " bret = " << (deleted ? 1 : 0));
}

void CRvInstallerMain::UndoRegistration(const std::string& newShell) {
    // The new module's registration may have replaced the class or the
    // overlay key of the previous installation: what points at the new
    // module goes before its file does. The registration tool runs only on
    // a module proven to hold the bytes this product placed (held unchanged
    // meanwhile).
    const ProvenModule proof(AnsiToWide(newShell));
    if (proof.IsProven()) {
        const DWORD unregistered = RegisterServer(newShell.c_str(), kUnregisterServer);
        RV_STEP_LOG(kClearInstalled, "UnregisterShell:" << newShell << " bret = " << unregistered);
    } else {
        const char* removed =
            RemoveRegistrationOf(m_request.CLSID, m_request.ExplorerKey, m_strInstallFolder);
        RV_STEP_LOG(kClearInstalled, "not run: " << newShell << " (" << proof.Refusal()
                                                 << "), removed: " << removed);
    }
}

void CRvInstallerMain::RegisterPreviousAgain(const std::string& newShell) {
    // Once what the registration overwrote is back, the previous module is
    // registered again so that its overlay works as before: only the proven
    // previous installation's own module.
    const std::wstring previousShell = RecordedShellPath(m_strInstalledDir);
    if (!m_policy.MayRunPreviousModule(previousShell) ||
        IsSameFileObject(previousShell, AnsiToWide(newShell)))
        return;
    const std::string previous = WideToAnsi(previousShell);
    const ProvenModule proof(previousShell);
    if (!proof.IsProven()) {
        RV_STEP_LOG(kClearInstalled,
                    "not registered again: " << previous << " (" << proof.Refusal() << ")");
        return;
    }
    const DWORD registered = RegisterServer(previous.c_str(), kRegisterServer);
    RV_STEP_LOG(kClearInstalled, "RegisterPrevShell:" << previous << " bret = " << registered);
}
