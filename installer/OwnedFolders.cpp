#include "installer/OwnedFolders.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/PathFileSystem.h"
#include "base/RegistryValues.h"
#include "base/ScopedHandle.h"
#include "base/tree/FileIdentity.h"
#include "base/tree/FolderLinks.h"
#include "base/tree/ProtectedFolders.h"
#include "installer/ModuleProof.h"

namespace {

// Separates the identity from the names of the entries recorded ours, in
// an entry that records only those.
constexpr wchar_t kNameSeparator = L'|';

struct OwnedEntry {
    std::wstring folder;
    std::wstring identity;
    std::vector<std::wstring> names;  // empty: the whole folder
};

OwnedEntry ParseEntry(const std::wstring& folder, const std::wstring& data) {
    OwnedEntry entry{folder, data.substr(0, data.find(kNameSeparator)), {}};
    for (size_t at = data.find(kNameSeparator); at != std::wstring::npos;) {
        const size_t next = data.find(kNameSeparator, at + 1);
        const std::wstring name =
            data.substr(at + 1, next == std::wstring::npos ? next : next - at - 1);
        if (!name.empty())
            entry.names.push_back(name);
        at = next;
    }
    return entry;
}

// "<volume>-<index>" in hexadecimal.
std::wstring IdentityText(const FileObjectId& id) {
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"%08X-%016llX", id.volume, static_cast<unsigned long long>(id.index));
    return text;
}

bool ReadFolderIdentity(const std::wstring& folder, std::wstring& identity) {
    FileObjectId id;
    if (folder.empty() || !IsDirectory(folder) || IsLinkPath(folder) ||
        !ReadFileObjectId(folder, id))
        return false;
    identity = IdentityText(id);
    return true;
}

std::vector<OwnedEntry> ReadEntries(HKEY key) {
    std::vector<OwnedEntry> entries;
    for (const RegistryStringValue& value : ReadStringValues(key)) {
        if (value.isString)
            entries.push_back(ParseEntry(value.name, value.text));
    }
    return entries;
}

ScopedRegKey OpenRecord(REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOwnedFoldersKey, 0, access, &key) != ERROR_SUCCESS)
        key = nullptr;
    return ScopedRegKey(key);
}

// Records `folder` with the identity of the folder at `identityOf` (the
// same folder, or the one about to be moved to that name).
bool WriteEntry(const std::wstring& folder,
                const std::wstring& identityOf,
                const std::vector<std::wstring>& names) {
    std::wstring identity;
    const std::wstring full = FullFolderPath(folder);
    if (full.empty() || !ReadFolderIdentity(identityOf, identity))
        return false;
    for (const std::wstring& name : names)
        identity += kNameSeparator + name;
    HKEY created = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kOwnedFoldersKey, 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &created,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const ScopedRegKey key(created);
    return RegSetValueExW(
               key.Get(), full.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(identity.c_str()),
               static_cast<DWORD>((identity.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// The entry that names `folder` with its present identity.
bool FindEntry(const std::wstring& folder, OwnedEntry& found) {
    std::wstring identity;
    if (!ReadFolderIdentity(folder, identity))
        return false;
    const ScopedRegKey key = OpenRecord(KEY_QUERY_VALUE);
    if (!key.IsValid())
        return false;
    for (OwnedEntry& entry : ReadEntries(key.Get())) {
        // The recorded name must still reach the same object: an index that
        // the file system gave again to a new folder elsewhere proves nothing.
        if (entry.identity == identity && IsSameFolder(entry.folder, folder)) {
            found = std::move(entry);
            return true;
        }
    }
    return false;
}

}  // namespace

bool RecordOwnedFolder(const std::wstring& folder) {
    return WriteEntry(folder, folder, {});
}

bool RecordFolderToMove(const std::wstring& folder, const std::wstring& destination) {
    return WriteEntry(destination, folder, {});
}

bool RecordProductEntries(const std::wstring& folder, const std::vector<std::wstring>& names) {
    OwnedEntry entry;
    if (FindEntry(folder, entry) && entry.names.empty())
        return true;
    return !names.empty() && WriteEntry(folder, folder, names);
}

bool ReadRecordedEntries(const std::wstring& folder, std::vector<std::wstring>& names) {
    OwnedEntry entry;
    if (!FindEntry(folder, entry))
        return false;
    names = entry.names;
    return true;
}

std::vector<std::wstring> RecordedOwnedFolders() {
    std::vector<std::wstring> folders;
    const ScopedRegKey key = OpenRecord(KEY_QUERY_VALUE);
    if (key.IsValid()) {
        for (const OwnedEntry& entry : ReadEntries(key.Get()))
            folders.push_back(entry.folder);
    }
    return folders;
}

bool IsNamedByOwnedRecord(const std::wstring& folder) {
    const std::wstring full = FullFolderPath(folder);
    const ScopedRegKey key = OpenRecord(KEY_QUERY_VALUE);
    if (full.empty() || !key.IsValid())
        return false;
    for (const OwnedEntry& entry : ReadEntries(key.Get())) {
        if (CompareStringOrdinal(entry.folder.c_str(), -1, full.c_str(), -1, TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

void ForgetOwnedFolder(const std::wstring& folder) {
    const ScopedRegKey key = OpenRecord(KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!key.IsValid())
        return;
    std::wstring identity;
    ReadFolderIdentity(folder, identity);
    for (const OwnedEntry& entry : ReadEntries(key.Get())) {
        if (IsSameFolder(entry.folder, folder) || (!identity.empty() && entry.identity == identity))
            RegDeleteValueW(key.Get(), entry.folder.c_str());
    }
    // The proof of its modules goes with the folder.
    ForgetModuleDigestsIn(folder);
}

bool IsRecordedOwnedFolder(const std::wstring& folder) {
    OwnedEntry entry;
    return FindEntry(folder, entry);
}

bool HasOwnedFolderRecord() {
    return OpenRecord(KEY_QUERY_VALUE).IsValid();
}

std::vector<std::wstring> PruneOwnedFolders() {
    std::vector<std::wstring> dropped;
    const ScopedRegKey key = OpenRecord(KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!key.IsValid())
        return dropped;
    for (const OwnedEntry& entry : ReadEntries(key.Get())) {
        std::wstring identity;
        if (!ReadFolderIdentity(entry.folder, identity) || identity != entry.identity) {
            RegDeleteValueW(key.Get(), entry.folder.c_str());
            dropped.push_back(entry.folder);
        }
    }
    PruneModuleDigests();
    return dropped;
}
