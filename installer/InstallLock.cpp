#include "installer/InstallLock.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstdlib>

#include "base/AdminOnlyRights.h"
#include "base/ScopedHandle.h"

namespace {

constexpr wchar_t kBoundaryName[] = L"PuShellExt_Install";
constexpr wchar_t kNamespaceAlias[] = L"PuShellExt";
constexpr wchar_t kNamespacedMutexName[] = L"PuShellExt\\InstallMutex";

// The descriptor every object of the lock is created with.
class AdminOnlyAttributes {
public:
    AdminOnlyAttributes() {
        PSECURITY_DESCRIPTOR raw = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kInstallMutexDescriptor,
                                                                 SDDL_REVISION_1, &raw, nullptr))
            m_descriptor.Reset(raw);
        m_attributes.lpSecurityDescriptor = m_descriptor.Get();
    }
    bool IsValid() const { return m_descriptor.IsValid(); }
    SECURITY_ATTRIBUTES* Get() { return &m_attributes; }

private:
    ScopedLocalMemory m_descriptor;
    SECURITY_ATTRIBUTES m_attributes = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// The private namespace of the lock, created or opened; null where the
// system has none, or when it cannot be had.
HANDLE OpenLockNamespace(SECURITY_ATTRIBUTES* attributes) {
    HANDLE boundary = CreateBoundaryDescriptorW(kBoundaryName, 0);
    if (boundary == nullptr)
        return nullptr;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    HANDLE space = nullptr;
    if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
        AddSIDToBoundaryDescriptor(&boundary, administrators)) {
        // Another install may create it between the two calls, or close the
        // last handle to it between them: a few rounds settle either.
        for (int round = 0; space == nullptr && round < 4; ++round) {
            space = CreatePrivateNamespaceW(attributes, boundary, kNamespaceAlias);
            if (space == nullptr && GetLastError() == ERROR_ALREADY_EXISTS)
                space = OpenPrivateNamespaceW(boundary, kNamespaceAlias);
            else if (space == nullptr)
                break;
        }
    }
    DeleteBoundaryDescriptor(boundary);
    return space;
}

// The global mutex, when the object of that name is one only
// administrators can use: created so now, or found so.
HANDLE OpenCheckedGlobalMutex(SECURITY_ATTRIBUTES* attributes) {
    // Refused access to an existing object means someone else made it.
    ScopedHandle mutex(CreateMutexW(attributes, FALSE, kInstallMutexName));
    if (!mutex)
        return nullptr;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        PSECURITY_DESCRIPTOR raw = nullptr;
        const DWORD read = GetSecurityInfo(mutex.Get(), SE_KERNEL_OBJECT,
                                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                           nullptr, nullptr, nullptr, nullptr, &raw);
        const ScopedLocalMemory descriptor(raw);
        if (read != ERROR_SUCCESS || !IsDescriptorUsableOnlyByAdministrators(raw))
            return nullptr;
    }
    return mutex.Release();
}

}  // namespace

InstallLock::InstallLock(DWORD waitMs) {
    AdminOnlyAttributes attributes;
    if (!attributes.IsValid())
        return;
    m_hNamespace = OpenLockNamespace(attributes.Get());
    m_hMutex = m_hNamespace != nullptr ? CreateMutexW(attributes.Get(), FALSE, kNamespacedMutexName)
                                       : OpenCheckedGlobalMutex(attributes.Get());
    if (m_hMutex == nullptr)
        return;
    const DWORD wait = WaitForSingleObject(m_hMutex, waitMs);
    // An abandoned mutex: the install that held it was killed. Its state
    // on disk is what the next install is made to recover from.
    m_bHeld = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

InstallLock::~InstallLock() {
    const DWORD error = GetLastError();
    if (m_bHeld)
        ReleaseMutex(m_hMutex);
    if (m_hMutex != nullptr)
        CloseHandle(m_hMutex);
    if (m_hNamespace != nullptr)
        ClosePrivateNamespace(m_hNamespace, 0);
    SetLastError(error);
}

const char* InstallLock::Refusal() const {
    if (m_bHeld)
        return nullptr;
    return m_hMutex != nullptr ? "another install runs" : "install lock refused";
}

DWORD InstallLockWaitMs() {
#ifndef RV_TEST_SWITCHES
    return kInstallLockWaitMs;
#else
    char text[16] = {};
    const DWORD length =
        GetEnvironmentVariableA("RV_TEST_INSTALL_LOCK_WAIT_MS", text, sizeof(text));
    if (length == 0 || length >= sizeof(text))
        return kInstallLockWaitMs;
    return static_cast<DWORD>(std::strtoul(text, nullptr, 10));
#endif
}
