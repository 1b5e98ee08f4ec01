#include "installer/ModuleProof.h"

#include <windows.h>

#include <vector>

#include "base/FileDigest.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/RegistryValues.h"
#include "base/tree/ProtectedFolders.h"

namespace {

constexpr size_t kDigestLength = 64;

ScopedRegKey OpenDigests(REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kModuleDigestsKey, 0, access, &key) != ERROR_SUCCESS)
        key = nullptr;
    return ScopedRegKey(key);
}

std::string ReadDigest(const std::wstring& module) {
    const ScopedRegKey key = OpenDigests(KEY_QUERY_VALUE);
    wchar_t data[kDigestLength + 2] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t), type = 0;
    if (!key ||
        RegQueryValueExW(key.Get(), module.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    const std::wstring text(data);
    return text.size() == kDigestLength ? std::string(text.begin(), text.end()) : std::string();
}

// The names of the recorded modules.
std::vector<std::wstring> RecordedModules(HKEY key) {
    std::vector<std::wstring> modules;
    for (RegistryStringValue& value : ReadStringValues(key))
        modules.push_back(std::move(value.name));
    return modules;
}

template <typename Predicate>
void ForgetDigestsWhere(Predicate forget) {
    const ScopedRegKey key = OpenDigests(KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (!key)
        return;
    for (const std::wstring& module : RecordedModules(key.Get())) {
        if (forget(module))
            RegDeleteValueW(key.Get(), module.c_str());
    }
}

}  // namespace

bool RecordModuleDigest(const std::wstring& module, const std::string& digest) {
    const std::wstring full = FullFolderPath(module);
    if (full.empty() || digest.size() != kDigestLength)
        return false;
    HKEY created = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kModuleDigestsKey, 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &created, nullptr) != ERROR_SUCCESS)
        return false;
    const ScopedRegKey key(created);
    const std::wstring text(digest.begin(), digest.end());
    return RegSetValueExW(
               key.Get(), full.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS &&
           ReadDigest(full) == digest;
}

void ForgetModuleDigest(const std::wstring& module) {
    const std::wstring full = FullFolderPath(module);
    ForgetDigestsWhere([&](const std::wstring& recorded) { return IsSameFolder(recorded, full); });
}

void ForgetModuleDigestsIn(const std::wstring& folder) {
    ForgetDigestsWhere(
        [&](const std::wstring& recorded) { return IsSameFolder(ParentPath(recorded), folder); });
}

void PruneModuleDigests() {
    ForgetDigestsWhere([](const std::wstring& recorded) { return !PathExists(recorded); });
}

ProvenModule::ProvenModule(const std::wstring& module) {
    const std::wstring full = FullFolderPath(module);
    if (full.empty())
        return;
    const std::string recorded = ReadDigest(full);
    if (recorded.empty()) {
        m_refusal = "no digest recorded";
        return;
    }
    // Read sharing only: the registration tool may load the module, nobody
    // may change it. A link is opened as itself, and is no module.
    m_file.Reset(CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!m_file || !GetFileInformationByHandle(m_file.Get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        m_file.Reset();
        m_refusal = "cannot be held";
        return;
    }
    if (DigestOpenFile(m_file.Get()) != recorded) {
        m_file.Reset();
        m_refusal = "changed since it was placed";
        return;
    }
    m_refusal = nullptr;
}
