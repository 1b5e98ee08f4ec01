#include "base/AtExitManager.h"

#include <atomic>

#include "diagnostics/DCheck.h"

namespace {

std::atomic<AtExitManager*> g_currentManager{nullptr};

}  // namespace

AtExitManager::AtExitManager() : m_previous(g_currentManager.load()) {
    g_currentManager.store(this);
}

AtExitManager::~AtExitManager() {
    RunCallbacks();
    g_currentManager.store(m_previous);
}

void AtExitManager::RegisterCallback(Callback function, void* parameter) {
    AtExitManager* manager = g_currentManager.load();
    if (manager == nullptr) {
        RV_CHECK_FAILED("at_exit", 45, "false")
            << "Tried to RegisterCallback without an AtExitManager";
        return;
    }
    if (function == nullptr) {
        RV_CHECK_FAILED("at_exit", 49, "func");
        return;
    }
    std::lock_guard<std::mutex> guard(manager->m_lock);
    manager->m_callbacks.push_back(CallbackEntry{function, parameter});
}

void AtExitManager::ProcessCallbacksNow() {
    AtExitManager* manager = g_currentManager.load();
    if (manager != nullptr)
        manager->RunCallbacks();
}

void AtExitManager::RunCallbacks() {
    // Callbacks run outside the lock: one may register further callbacks,
    // which then run in this pass too.
    for (;;) {
        CallbackEntry entry;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_callbacks.empty())
                return;
            entry = m_callbacks.back();
            m_callbacks.pop_back();
        }
        entry.function(entry.parameter);
    }
}
