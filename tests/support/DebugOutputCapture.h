// Collects the debugger-channel messages (OutputDebugString) of every
// process in the session, the way a debug-output viewer does: it owns the
// "DBWIN_BUFFER" mapping and answers the "DBWIN_DATA_READY" event.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct DebugMessage {
    DWORD processId;
    std::string text;
};

class DebugOutputCapture {
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    bool IsActive() const { return m_bActive; }

    // Messages received so far, in arrival order.
    std::vector<DebugMessage> Messages() const;
    // Texts of the messages from one process (0: from any process).
    std::vector<std::string> Texts(DWORD processId = 0) const;
    void Clear();

    // Sends a marker of its own and waits for it: messages are delivered in
    // order, so afterwards every message this process sent before is in.
    // The marker itself is not kept.
    bool Sync(DWORD timeoutMs = 5000);

    // Waits until a message containing the fragment has arrived.
    bool WaitFor(const std::string& fragment, DWORD timeoutMs = 5000) const;

private:
    void Run();

    HANDLE m_hBufferReady = nullptr;
    HANDLE m_hDataReady = nullptr;
    HANDLE m_hStop = nullptr;
    HANDLE m_hMapping = nullptr;
    const char* m_pView = nullptr;
    bool m_bActive = false;
    std::thread m_thread;
    mutable std::mutex m_lock;
    std::vector<DebugMessage> m_messages;
};
