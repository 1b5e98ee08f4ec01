// A small HTTP server on 127.0.0.1 for tests of programs that send requests:
// it runs on its own thread, records the target ("/path?query") of every
// request line it receives and answers "200 OK". Every wait is bounded.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LocalHttpServer {
public:
    enum class Mode {
        kAnswer,  // answer every request
        // Redirect the first request to a port of this host where nothing
        // listens, so the client's request fails for certain (a reset
        // connection or an error status may count as success); answer the rest.
        kFailFirst,
    };

    explicit LocalHttpServer(Mode mode = Mode::kAnswer);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    bool IsListening() const { return m_port != 0; }
    // "127.0.0.1:<port>"
    std::string HostAndPort() const;

    // Waits until `count` requests have arrived or the time is up; returns
    // the targets received, percent escapes decoded.
    std::vector<std::string> WaitForRequests(size_t count, DWORD timeoutMs);
    int Connections() const;

private:
    void Run();
    void Serve(UINT_PTR client);

    Mode m_mode;
    UINT_PTR m_listener;
    UINT_PTR m_closedPort;
    unsigned short m_port = 0;
    unsigned short m_deadPort = 0;
    bool m_bWinsock = false;
    std::thread m_thread;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bStop = false;
    int m_connections = 0;
    std::vector<std::string> m_targets;
};

// "%7C" -> "|", "%20" -> " "; other text unchanged.
std::string PercentDecode(const std::string& text);
