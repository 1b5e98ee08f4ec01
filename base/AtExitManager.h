// Exit callbacks for lazily created process-wide objects. A program that
// wants them destroyed in an orderly way creates one AtExitManager (on the
// stack of its main function); when the manager ends, it runs the
// callbacks registered while it was current, last registered first.
// Without a current manager (the installer library never creates one) a
// registration is reported as a failed check and dropped, so the object
// lives until the process ends.
#pragma once

#include <deque>
#include <mutex>

class AtExitManager {
public:
    using Callback = void (*)(void* parameter);

    // Becomes the current manager; the one current before is restored when
    // this one ends.
    AtExitManager();
    ~AtExitManager();
    AtExitManager(const AtExitManager&) = delete;
    AtExitManager& operator=(const AtExitManager&) = delete;

    // Adds a callback to the current manager. Any thread may register.
    static void RegisterCallback(Callback function, void* parameter);

    // Runs and forgets the current manager's callbacks, last registered
    // first.
    static void ProcessCallbacksNow();

private:
    void RunCallbacks();

    struct CallbackEntry {
        Callback function = nullptr;
        void* parameter = nullptr;
    };

    std::mutex m_lock;
    std::deque<CallbackEntry> m_callbacks;
    AtExitManager* m_previous;
};

inline void RegisterCallback(AtExitManager::Callback function, void* parameter) {
    AtExitManager::RegisterCallback(function, parameter);
}
