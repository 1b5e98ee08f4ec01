// One install at a time, across processes, sessions and threads: a named
// mutex held for a whole doInst call. A second call waits for the first,
// for a bounded time. A mutex left by an install that was killed counts as
// free.
//
// No user may take the lock first and so hold back every update: the mutex
// lives in a private namespace whose boundary is the Administrators group,
// which only an administrator can create or open. Where the system has no
// private namespaces (Wine), the global name is used, and an object found
// there counts as the lock only when its descriptor lets no one but SYSTEM
// and Administrators use it. An install never runs without the lock.
#pragma once

#include <windows.h>

// The mutex's name in the global namespace, where there is no private one.
constexpr wchar_t kInstallMutexName[] = L"Global\\PuShellExt_InstallMutex";
// The descriptor the install gives the mutex (and the namespace its owner).
constexpr wchar_t kInstallMutexDescriptor[] = L"O:BAD:(A;;GA;;;BA)(A;;GA;;;SY)";
// How long a call waits for the one before it.
constexpr DWORD kInstallLockWaitMs = 60000;

class InstallLock {
public:
    // Waits up to `waitMs` for the mutex.
    explicit InstallLock(DWORD waitMs);
    ~InstallLock();
    InstallLock(const InstallLock&) = delete;
    InstallLock& operator=(const InstallLock&) = delete;

    // False when another install held the mutex for the whole wait, or when
    // no mutex only administrators can use could be had.
    bool MayRun() const { return m_bHeld; }
    // Why the install may not run: "another install runs", or "install lock
    // refused" when the name is taken by an object others may use.
    const char* Refusal() const;

private:
    HANDLE m_hNamespace = nullptr;
    HANDLE m_hMutex = nullptr;
    bool m_bHeld = false;
};

// The wait for this call: kInstallLockWaitMs, or the milliseconds that the
// environment variable RV_TEST_INSTALL_LOCK_WAIT_MS gives in a build with
// tests (RV_TEST_SWITCHES).
DWORD InstallLockWaitMs();
