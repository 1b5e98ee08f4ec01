#include "tests/support/DebugOutputCapture.h"

namespace {
constexpr DWORD kBufferSize = 4096;
}

DebugOutputCapture::DebugOutputCapture() {
    m_hBufferReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    m_hDataReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    m_hStop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hMapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize,
                                    L"DBWIN_BUFFER");
    if (m_hMapping)
        m_pView = static_cast<const char*>(MapViewOfFile(m_hMapping, FILE_MAP_READ, 0, 0, 0));
    m_bActive = m_hBufferReady && m_hDataReady && m_hStop && m_pView;
    if (m_bActive)
        m_thread = std::thread([this] { Run(); });
}

DebugOutputCapture::~DebugOutputCapture() {
    if (m_thread.joinable()) {
        SetEvent(m_hStop);
        m_thread.join();
    }
    if (m_pView)
        UnmapViewOfFile(m_pView);
    for (HANDLE h : {m_hMapping, m_hStop, m_hDataReady, m_hBufferReady})
        if (h)
            CloseHandle(h);
}

void DebugOutputCapture::Run() {
    HANDLE waits[2] = {m_hDataReady, m_hStop};
    SetEvent(m_hBufferReady);
    for (;;) {
        DWORD which = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (which != WAIT_OBJECT_0)
            return;
        DebugMessage message;
        memcpy(&message.processId, m_pView, sizeof(DWORD));
        const char* text = m_pView + sizeof(DWORD);
        message.text.assign(text, strnlen(text, kBufferSize - sizeof(DWORD)));
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_messages.push_back(std::move(message));
        }
        SetEvent(m_hBufferReady);
    }
}

std::vector<DebugMessage> DebugOutputCapture::Messages() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_messages;
}

std::vector<std::string> DebugOutputCapture::Texts(DWORD processId) const {
    std::vector<std::string> texts;
    for (const DebugMessage& message : Messages())
        if (processId == 0 || message.processId == processId)
            texts.push_back(message.text);
    return texts;
}

void DebugOutputCapture::Clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_messages.clear();
}

bool DebugOutputCapture::WaitFor(const std::string& fragment, DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    for (;;) {
        for (const DebugMessage& message : Messages())
            if (message.text.find(fragment) != std::string::npos)
                return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
}

bool DebugOutputCapture::Sync(DWORD timeoutMs) {
    static LONG counter = 0;
    std::string marker = "rv-capture-sync-" + std::to_string(InterlockedIncrement(&counter)) + "-" +
                         std::to_string(GetCurrentProcessId());
    OutputDebugStringA(marker.c_str());
    bool arrived = WaitFor(marker, timeoutMs);
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto it = m_messages.begin(); it != m_messages.end(); ++it) {
        if (it->text == marker) {
            m_messages.erase(it);
            break;
        }
    }
    return arrived;
}
