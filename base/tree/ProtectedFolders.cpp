#include "base/tree/ProtectedFolders.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "base/PathString.h"
#include "base/ScopedHandle.h"
#include "base/tree/FileIdentity.h"

namespace {

constexpr int kLastCsidl = 0x3F;
constexpr wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kProfileListKey[] =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// A string value of an open key with its environment variables expanded;
// empty when missing.
std::wstring ReadExpandedValue(HKEY key, const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    wchar_t expanded[MAX_PATH] = {};
    const DWORD length = ExpandEnvironmentStringsW(value, expanded, MAX_PATH);
    return length > 0 && length <= MAX_PATH ? std::wstring(expanded) : std::wstring();
}

// The Program Files and Common Files folders, read from the 64-bit view
// where there is one: a 32-bit process is shown only the x86 folders.
void AddProgramFolders(std::vector<std::wstring>& folders) {
    ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_READ | KEY_WOW64_64KEY,
                      key.Receive()) != ERROR_SUCCESS)
        return;
    for (const wchar_t* name : {L"ProgramFilesDir", L"ProgramFilesDir (x86)", L"ProgramW6432Dir",
                                L"CommonFilesDir", L"CommonFilesDir (x86)", L"CommonW6432Dir"})
        folders.push_back(ReadExpandedValue(key.Get(), name));
}

// The users' root, the default and public profiles and every user's
// profile.
void AddProfileFolders(std::vector<std::wstring>& folders) {
    ScopedRegKey list;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileListKey, 0, KEY_READ | KEY_WOW64_64KEY,
                      list.Receive()) != ERROR_SUCCESS)
        return;
    for (const wchar_t* name : {L"ProfilesDirectory", L"Default", L"Public"})
        folders.push_back(ReadExpandedValue(list.Get(), name));
    for (DWORD i = 0;; ++i) {
        wchar_t sid[256] = {};
        DWORD length = 256;
        if (RegEnumKeyExW(list.Get(), i, sid, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        ScopedRegKey profile;
        if (RegOpenKeyExW(list.Get(), sid, 0, KEY_READ | KEY_WOW64_64KEY, profile.Receive()) ==
            ERROR_SUCCESS)
            folders.push_back(ReadExpandedValue(profile.Get(), L"ProfileImagePath"));
    }
}

void AddSystemFolders(std::vector<std::wstring>& folders) {
    wchar_t path[MAX_PATH] = {};
    const std::wstring windows = WindowsFolder();
    folders.push_back(windows);
    if (!windows.empty())
        folders.push_back(JoinPath(windows, L"Sysnative"));
    const UINT system = GetSystemDirectoryW(path, MAX_PATH);
    folders.push_back(system > 0 && system < MAX_PATH ? path : L"");
    const UINT wow64 = GetSystemWow64DirectoryW(path, MAX_PATH);
    folders.push_back(wow64 > 0 && wow64 < MAX_PATH ? path : L"");
}

}  // namespace

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

bool IsSameFolder(const std::wstring& a, const std::wstring& b) {
    const std::wstring fullA = FullFolderPath(a);
    const std::wstring fullB = FullFolderPath(b);
    if (fullA.empty() || fullB.empty())
        return false;
    return EqualIgnoringCase(fullA, fullB) || IsSameFileObject(fullA, fullB);
}

bool IsRootFolder(const std::wstring& path) {
    // What cannot be judged is not given away: an empty or device form
    // counts as a root as much as "C:\" or "\\server\share" does.
    const std::wstring full = FullFolderPath(path);
    const size_t root = AbsoluteRootLength(full);
    return root == 0 || root >= StripTrailingSeparators(full).size();
}

std::wstring WindowsFolder() {
    wchar_t path[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path) : std::wstring();
}

namespace {

std::vector<std::wstring> LookUpProtectedFolderPaths() {
    std::vector<std::wstring> folders;
    for (int csidl = 0; csidl <= kLastCsidl; ++csidl) {
        wchar_t special[MAX_PATH] = {};
        if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, special) == S_OK)
            folders.push_back(special);
    }
    AddSystemFolders(folders);
    AddProgramFolders(folders);
    AddProfileFolders(folders);
    folders.erase(std::remove(folders.begin(), folders.end(), std::wstring()), folders.end());
    return folders;
}

// A protected folder by its full name, with its file index when it exists.
struct KnownFolder {
    std::wstring full;
    bool exists = false;
    std::uint64_t index = 0;
};

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

}  // namespace

struct ProtectedFolderScope::Snapshot {
    bool havePaths = false;
    std::vector<std::wstring> paths;
    bool haveFolders = false;
    std::vector<KnownFolder> folders;
    bool haveHolding = false;
    std::vector<KnownFolder> holding;  // each protected folder and every folder above it
};

namespace {

thread_local ProtectedFolderScope::Snapshot* t_snapshot = nullptr;

std::vector<KnownFolder> LookUpKnownFolders(const std::vector<std::wstring>& paths) {
    std::vector<KnownFolder> folders;
    for (const std::wstring& path : paths) {
        KnownFolder folder;
        folder.full = FullFolderPath(path);
        folder.exists = ReadFileIndex(folder.full, folder.index);
        folders.push_back(folder);
    }
    return folders;
}

// Every protected folder and each folder above it, once each.
std::vector<KnownFolder> LookUpHoldingFolders(const std::vector<std::wstring>& paths) {
    std::vector<std::wstring> chain;
    for (const std::wstring& path : paths) {
        const std::wstring full = FullFolderPath(path);
        for (const std::wstring& start : {full, FinalPath(full)}) {
            for (const std::wstring& folder : PathAndParents(start)) {
                if (std::none_of(chain.begin(), chain.end(), [&](const std::wstring& known) {
                        return EqualIgnoringCase(known, folder);
                    }))
                    chain.push_back(folder);
            }
        }
    }
    return LookUpKnownFolders(chain);
}

const std::vector<std::wstring>& CachedPaths(ProtectedFolderScope::Snapshot& snapshot) {
    if (!snapshot.havePaths) {
        snapshot.paths = LookUpProtectedFolderPaths();
        snapshot.havePaths = true;
    }
    return snapshot.paths;
}

// Whether a known folder with the target's index is the target itself.
bool AnyIs(const std::vector<KnownFolder>& folders, const FileObjectId& target) {
    for (const KnownFolder& folder : folders) {
        FileObjectId id;
        if (folder.exists && folder.index == target.index && ReadFileObjectId(folder.full, id) &&
            id == target)
            return true;
    }
    return false;
}

}  // namespace

ProtectedFolderScope::ProtectedFolderScope() : m_snapshot(new Snapshot), m_previous(t_snapshot) {
    t_snapshot = m_snapshot;
}

ProtectedFolderScope::~ProtectedFolderScope() {
    t_snapshot = m_previous;
    delete m_snapshot;
}

std::vector<std::wstring> ProtectedFolderPaths() {
    return t_snapshot != nullptr ? CachedPaths(*t_snapshot) : LookUpProtectedFolderPaths();
}

bool IsProtectedFolder(const std::wstring& path) {
    if (IsRootFolder(path))
        return true;
    std::vector<KnownFolder> uncached;
    const std::vector<KnownFolder>* folders = &uncached;
    if (t_snapshot != nullptr) {
        if (!t_snapshot->haveFolders) {
            t_snapshot->folders = LookUpKnownFolders(CachedPaths(*t_snapshot));
            t_snapshot->haveFolders = true;
        }
        folders = &t_snapshot->folders;
    } else {
        uncached = LookUpKnownFolders(LookUpProtectedFolderPaths());
    }
    // Equal full names, or one object under two names (8.3 names, links).
    const std::wstring full = FullFolderPath(path);
    if (full.empty())
        return false;
    for (const KnownFolder& folder : *folders) {
        if (EqualIgnoringCase(full, folder.full))
            return true;
    }
    FileObjectId id;
    return ReadFileIndex(full, id.index) && ReadFileObjectId(full, id) && AnyIs(*folders, id);
}

bool HoldsProtectedFolder(const FileObjectId& target) {
    if (t_snapshot == nullptr)
        return AnyIs(LookUpHoldingFolders(LookUpProtectedFolderPaths()), target);
    if (!t_snapshot->haveHolding) {
        t_snapshot->holding = LookUpHoldingFolders(CachedPaths(*t_snapshot));
        t_snapshot->haveHolding = true;
    }
    return AnyIs(t_snapshot->holding, target);
}
