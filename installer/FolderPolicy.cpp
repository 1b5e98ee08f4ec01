#include "installer/FolderPolicy.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/ScopedHandle.h"
#include "base/StandardPaths.h"
#include "base/tree/FileIdentity.h"
#include "base/tree/FolderLinks.h"
#include "base/tree/ProtectedFolders.h"
#include "base/tree/TreeGuard.h"
#include "installer/InstallFolderRules.h"
#include "installer/OwnedFolders.h"
#include "installer/ShellRegistration.h"

namespace {

constexpr wchar_t kMovedAsideName[] = L"otdx";
constexpr size_t kClsidLength = 36;

bool IsSameOrInside(const std::wstring& inner, const std::wstring& outer) {
    const std::wstring fullInner = FullFolderPath(inner);
    const std::wstring fullOuter = FullFolderPath(outer);
    if (fullInner.empty() || fullOuter.empty())
        return false;
    if (IsSameOrInsidePath(fullInner, fullOuter))
        return true;
    // Another spelling (an 8.3 name, a second name of the volume) shows
    // only in the identities.
    FileObjectId outerId;
    if (!ReadFileObjectId(fullOuter, outerId))
        return false;
    for (const std::wstring& folder : PathAndParents(fullInner)) {
        FileObjectId id;
        if (ReadFileObjectId(folder, id) && id == outerId)
            return true;
    }
    return false;
}

bool HasLinkOnTheWay(const std::wstring& folder) {
    for (const std::wstring& step : PathAndParents(FullFolderPath(folder))) {
        if (IsLinkPath(step))
            return true;
    }
    return false;
}

bool IsEmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    ScopedFind find(FindFirstFileW(JoinPath(folder, L"*").c_str(), &data));
    if (!find.IsValid())
        return false;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            return false;
    } while (FindNextFileW(find.Get(), &data));
    return true;
}

// An existing file, not a link, directly inside `folder`.
bool IsModuleFileIn(const std::wstring& module, const std::wstring& folder) {
    const std::wstring full = FullFolderPath(module);
    return !full.empty() && PathExists(full) && !IsDirectory(full) && !IsLinkPath(full) &&
           IsSameFolder(ParentPath(full), folder);
}

bool EqualAsciiIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'a' && a[i] <= 'z') ? a[i] - 'a' + 'A' : a[i];
        const char y = (b[i] >= 'a' && b[i] <= 'z') ? b[i] - 'a' + 'A' : b[i];
        if (x != y)
            return false;
    }
    return true;
}

std::string Braced(const std::string& clsid) {
    return "{" + clsid + "}";
}

}  // namespace

bool FoldersNest(const std::wstring& a, const std::wstring& b) {
    return IsSameOrInside(a, b) || IsSameOrInside(b, a);
}

std::wstring MovedAsideFolder() {
    wchar_t temp[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    return JoinPath(temp, kMovedAsideName);
}

void FolderPolicy::ReadPrevious(const std::wstring& installedDir,
                                const std::string& claimedClsid,
                                const std::string& explorerKey) {
    m_strPrevious = installedDir;
    m_strPreviousKey = explorerKey;
    m_bPreviousRecorded = IsRecordedOwnedFolder(installedDir);
    // The class the records claim, when it is registered under
    // HKEY_LOCAL_MACHINE to a module directly in the recorded folder.
    const std::wstring server =
        claimedClsid.size() == kClsidLength ? ClassServerModule(claimedClsid) : std::wstring();
    if (!server.empty() && !HasLinkOnTheWay(installedDir) && IsModuleFileIn(server, installedDir)) {
        m_strPreviousClsid = claimedClsid;
        m_strPreviousModule = FullFolderPath(server);
    }
    // That registration proves an installation made before the folder
    // record existed, and only until the record exists: every install since
    // records its folder, and records the previous one before retiring it.
    // Another product's overlay handler registers the same way.
    m_bPreviousRegistered = !m_strPreviousClsid.empty() && !HasOwnedFolderRecord();
    m_bPreviousKeyNamesClass =
        !m_strPreviousClsid.empty() &&
        EqualAsciiIgnoringCase(OverlayKeyClass(explorerKey), Braced(m_strPreviousClsid));
}

bool FolderPolicy::IsPreviousOurs() const {
    return !m_strPrevious.empty() && (m_bPreviousRecorded || m_bPreviousRegistered);
}

bool FolderPolicy::IsOwnedFolder(const std::wstring& folder) const {
    return IsRecordedOwnedFolder(folder) ||
           (IsPreviousOurs() && IsSameFolder(folder, m_strPrevious));
}

bool FolderPolicy::IsOwnedModule(const std::wstring& module) const {
    const std::wstring full = FullFolderPath(module);
    return !full.empty() && !IsLinkPath(full) && IsOwnedFolder(ParentPath(full));
}

const char* FolderPolicy::NewFolderRefusal() const {
    if (HasLinkOnTheWay(m_strNew))
        return "a link or below one";
    // The retirement deletes the previous folder with everything in it; one
    // not proven ours is never retired.
    if (IsPreviousOurs() && FoldersNest(m_strNew, m_strPrevious))
        return "inside or around the recorded installation";
    const std::wstring movedAside = MovedAsideFolder();
    if (!movedAside.empty() && FoldersNest(m_strNew, movedAside))
        return "inside or around the folder of retired installations";
    std::wstring localData;
    if (GetStandardPath(localData, kPathLocalDataDir) && FoldersNest(m_strNew, localData))
        return "inside or around the local data folder";
    if (IsDirectory(m_strNew) && !IsEmptyFolder(m_strNew) && !IsRecordedOwnedFolder(m_strNew))
        return "an existing folder that is not ours";
    return nullptr;
}

const char* FolderPolicy::PendingDeletionRefusal(const std::wstring& folder) const {
    if (const char* refusal = TreeTargetRefusal(folder))
        return refusal;
    if (!PathExists(folder))
        return nullptr;  // nothing left to delete
    if (IsProtectedFolder(folder))
        return "a protected folder";
    if (!m_strNew.empty() && FoldersNest(folder, m_strNew))
        return "inside or around the new install folder";
    if (!m_strPrevious.empty() && FoldersNest(folder, m_strPrevious))
        return "inside or around the recorded installation";
    if (!IsRecordedOwnedFolder(folder))
        return "not an installation of this product";
    return nullptr;
}

const char* FolderPolicy::RetirementRefusal() const {
    if (!IsPreviousOurs())
        return "not an installation of this product";
    if (IsProtectedFolder(m_strPrevious))
        return "a protected folder";
    if (!m_strNew.empty() && FoldersNest(m_strPrevious, m_strNew))
        return "inside or around the new install folder";
    return TreeTargetRefusal(m_strPrevious);
}

bool FolderPolicy::MayRunPreviousModule(const std::wstring& module) const {
    return IsPreviousOurs() && IsModuleFileIn(module, m_strPrevious);
}

bool FolderPolicy::MayDeletePreviousKey() const {
    if (!IsPreviousOurs())
        return false;
    const std::string named = OverlayKeyClass(m_strPreviousKey);
    return (m_bPreviousKeyNamesClass &&
            EqualAsciiIgnoringCase(named, Braced(m_strPreviousClsid))) ||
           NamesOwnedClass(named);
}

bool FolderPolicy::NamesOwnedClass(const std::string& bracedClsid) const {
    if (bracedClsid.size() != kClsidLength + 2 || bracedClsid.front() != '{' ||
        bracedClsid.back() != '}')
        return false;
    const std::wstring server = ClassServerModule(bracedClsid.substr(1, kClsidLength));
    return !server.empty() && PathExists(server) && IsOwnedModule(server);
}

bool FolderPolicy::MayReplaceRegistrationOf(const std::wstring& module) const {
    if (PathExists(module))
        return IsOwnedModule(module);
    // The module is gone: whose it was shows only in where it lay.
    const std::wstring folder = ParentPath(FullFolderPath(module));
    return !folder.empty() &&
           ((!m_strPrevious.empty() && IsSameFolder(folder, m_strPrevious)) ||
            (!m_strNew.empty() && IsSameFolder(folder, m_strNew)) || IsNamedByOwnedRecord(folder) ||
            std::any_of(m_formerFolders.begin(), m_formerFolders.end(),
                        [&](const std::wstring& former) { return IsSameFolder(folder, former); }));
}

const char* FolderPolicy::RegistrationRefusal(const std::string& clsid,
                                              const std::string& key) const {
    const std::wstring server = ClassServerModule(clsid);
    if (!server.empty() && !MayReplaceRegistrationOf(server))
        return "CLSID in use";
    std::string keyClass = OverlayKeyClass(key);
    if (keyClass.size() == kClsidLength + 2 && keyClass.front() == '{' && keyClass.back() == '}')
        keyClass = keyClass.substr(1, kClsidLength);
    else
        return nullptr;  // no key, or one that names no class
    if (EqualAsciiIgnoringCase(keyClass, clsid))
        return nullptr;
    const std::wstring keyServer = ClassServerModule(keyClass);
    if (!keyServer.empty() && !MayReplaceRegistrationOf(keyServer))
        return "ExplorerKey in use";
    return nullptr;
}

bool FolderPolicy::MayWriteThrough(const std::wstring& path) {
    if (IsLinkPath(path))
        return false;
    // A second hard link makes a write here a write to another name too.
    ScopedFile file(CreateFileW(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    return !file.IsValid() || !GetFileInformationByHandle(file.Get(), &info) ||
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || info.nNumberOfLinks <= 1;
}
