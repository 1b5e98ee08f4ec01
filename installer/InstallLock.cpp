#include "installer/InstallLock.h"

#include <cstdlib>

InstallLock::InstallLock(DWORD waitMs) {
    m_hMutex = CreateMutexW(nullptr, FALSE, kInstallMutexName);
    if (m_hMutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED)
        m_hMutex = CreateMutexW(nullptr, FALSE, kInstallMutexSessionName);
    if (m_hMutex == nullptr) {
        // Without the mutex the call runs as every call did before it.
        m_bMayRun = true;
        return;
    }
    const DWORD wait = WaitForSingleObject(m_hMutex, waitMs);
    // An abandoned mutex: the install that held it was killed. Its state
    // on disk is what the next install is made to recover from.
    m_bHeld = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    m_bMayRun = m_bHeld;
}

InstallLock::~InstallLock() {
    const DWORD error = GetLastError();
    if (m_bHeld)
        ReleaseMutex(m_hMutex);
    if (m_hMutex != nullptr)
        CloseHandle(m_hMutex);
    SetLastError(error);
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
