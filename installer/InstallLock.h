// One install at a time, across processes, sessions and threads: a named
// mutex held for a whole doInst call. A second call waits for the first,
// for a bounded time. A mutex left by an install that was killed counts as
// free.
#pragma once

#include <windows.h>

// The mutex's name in the global namespace; a process that may not create
// global objects uses the same name in its session's namespace.
constexpr wchar_t kInstallMutexName[] = L"Global\\PuShellExt_InstallMutex";
constexpr wchar_t kInstallMutexSessionName[] = L"Local\\PuShellExt_InstallMutex";
// How long a call waits for the one before it.
constexpr DWORD kInstallLockWaitMs = 60000;

class InstallLock {
public:
    // Waits up to `waitMs` for the mutex.
    explicit InstallLock(DWORD waitMs);
    ~InstallLock();
    InstallLock(const InstallLock&) = delete;
    InstallLock& operator=(const InstallLock&) = delete;

    // False when another install held the mutex for the whole wait.
    bool MayRun() const { return m_bMayRun; }

private:
    HANDLE m_hMutex = nullptr;
    bool m_bHeld = false;
    bool m_bMayRun = false;
};

// The wait for this call: kInstallLockWaitMs, or the milliseconds that the
// environment variable RV_TEST_INSTALL_LOCK_WAIT_MS gives in a build with
// tests (RV_TEST_SWITCHES).
DWORD InstallLockWaitMs();
