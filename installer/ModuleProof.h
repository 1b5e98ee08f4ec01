// Proof that a module file still holds the bytes this product placed. The
// registration tool runs a module's code elevated (DllMain, DllRegisterServer,
// DllInstall, DllUnregisterServer), so the install runs it only on a module
// whose SHA-256 it recorded when it copied it, under HKEY_LOCAL_MACHINE
// beside the record of its folders, where only an administrator can write.
#pragma once

#include <string>

#include "base/ScopedHandle.h"

// Where the digests live under HKEY_LOCAL_MACHINE: one value per module,
// named by its full path, holding its digest.
constexpr wchar_t kModuleDigestsKey[] = L"SOFTWARE\\PuShellExt\\InstallModules";

// Records the digest of the module just placed at `module`. True when it is
// recorded.
bool RecordModuleDigest(const std::wstring& module, const std::string& digest);
// Drops the module's digest.
void ForgetModuleDigest(const std::wstring& module);
// Drops the digests of the modules directly in `folder`.
void ForgetModuleDigestsIn(const std::wstring& folder);
// Drops the digests whose module file no longer exists.
void PruneModuleDigests();

// Opens the module for reading without write or delete sharing and checks
// its bytes against the recorded digest. While the object lives, nobody can
// write, replace, rename or delete the file: the registration tool runs on
// the bytes that were checked.
class ProvenModule {
public:
    explicit ProvenModule(const std::wstring& module);

    bool IsProven() const { return m_refusal == nullptr; }
    // Why the module is not proven ("no digest", "changed", ...); nullptr
    // when it is.
    const char* Refusal() const { return m_refusal; }

private:
    ScopedFile m_file;
    const char* m_refusal = "no module";
};
