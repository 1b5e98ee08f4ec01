#include "base/ProductConfig.h"

#include <windows.h>

#include <atomic>
#include <new>

#include "base/AtExitManager.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"

namespace {

// The instance slot: null (not created), kCreating (one thread is creating
// it) or the instance.
CProductConfig* const kCreating = reinterpret_cast<CProductConfig*>(1);
std::atomic<CProductConfig*> g_instanceSlot{nullptr};

}  // namespace

CProductConfig* CProductConfig::Instance() {
    CProductConfig* current = g_instanceSlot.load();
    if (current != nullptr && current != kCreating)
        return current;

    CProductConfig* expected = nullptr;
    if (g_instanceSlot.compare_exchange_strong(expected, kCreating)) {
        CProductConfig* instance = new (std::nothrow) CProductConfig();
        g_instanceSlot.store(instance);
        if (instance != nullptr)
            RegisterCallback(&CProductConfig::DestroyInstance, nullptr);
        return instance;
    }
    if (expected != kCreating)
        return expected;
    // Another thread is creating it: wait until it is there.
    while ((current = g_instanceSlot.load()) == kCreating)
        Sleep(0);
    return current;
}

void CProductConfig::DestroyInstance(void* /*parameter*/) {
    CProductConfig* instance = g_instanceSlot.exchange(nullptr);
    if (instance != kCreating)
        delete instance;
}

void CProductConfig::SetConfigFolder(const std::wstring& folder) {
    m_strConfigFolder = folder;
    m_strServerFile = JoinPath(JoinPath(folder, L"Server"), L"Config.ini");
    m_strUserFile = JoinPath(JoinPath(folder, L"User"), L"Config.ini");
    CreateDirectoryChain(ParentPath(m_strServerFile));
    CreateDirectoryChain(ParentPath(m_strUserFile));
    m_iniServer.SetFileName(m_strServerFile);
    m_iniUser.SetFileName(m_strUserFile);
}

int CProductConfig::GetString(const char* section,
                              const char* key,
                              std::string& value,
                              const char* defaultValue) {
    std::string serverValue = m_iniServer.GetString(section, key);
    if (!serverValue.empty())
        value = serverValue;
    else
        value = m_iniUser.GetString(section, key, defaultValue);
    return 1;
}

int CProductConfig::WriteString(const char* section, const char* key, const char* value) {
    return m_iniUser.WriteString(section, key, value) ? 1 : 0;
}
