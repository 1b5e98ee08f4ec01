// Winsock's header must come before windows.h.
#include <winsock2.h>

#include "tests/support/LocalHttpServer.h"

#include <cctype>
#include <chrono>
#include <cstdlib>

namespace {

constexpr long kPollMicroseconds = 100 * 1000;
constexpr DWORD kRequestReadMs = 5000;
constexpr size_t kMaxRequestBytes = 64 * 1024;

// Waits up to the poll interval for the socket to become readable.
bool Readable(SOCKET socket) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait = {0, kPollMicroseconds};
    return select(0, &set, nullptr, nullptr, &wait) == 1;
}

// The request head, read until the blank line, the peer's close or the
// time limit.
std::string ReadRequestHead(SOCKET client) {
    std::string head;
    const DWORD start = GetTickCount();
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestBytes &&
           GetTickCount() - start < kRequestReadMs) {
        if (!Readable(client))
            continue;
        char buffer[4096];
        const int received = recv(client, buffer, sizeof(buffer), 0);
        if (received <= 0)
            break;
        head.append(buffer, static_cast<size_t>(received));
    }
    return head;
}

// "GET /target HTTP/1.1" -> "/target"
std::string RequestTarget(const std::string& head) {
    const size_t lineEnd = head.find("\r\n");
    const std::string line = head.substr(0, lineEnd);
    const size_t first = line.find(' ');
    const size_t last = line.rfind(' ');
    if (first == std::string::npos || last == first)
        return line;
    return line.substr(first + 1, last - first - 1);
}

}  // namespace

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(
                static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

namespace {

// A socket bound to 127.0.0.1 on a port of the system's choice; listening
// when asked. INVALID_SOCKET on failure.
SOCKET BindLoopback(bool listening, unsigned short* port) {
    SOCKET bound = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (bound == INVALID_SOCKET)
        return INVALID_SOCKET;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (bind(bound, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        (listening && listen(bound, 8) != 0) ||
        getsockname(bound, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(bound);
        return INVALID_SOCKET;
    }
    *port = ntohs(address.sin_port);
    return bound;
}

}  // namespace

LocalHttpServer::LocalHttpServer(Mode mode)
    : m_mode(mode), m_listener(INVALID_SOCKET), m_closedPort(INVALID_SOCKET) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return;
    m_bWinsock = true;
    if (mode == Mode::kFailFirst) {
        // Bound but not listening: connections to it are refused.
        m_closedPort = BindLoopback(false, &m_deadPort);
        if (m_closedPort == INVALID_SOCKET)
            return;
    }
    unsigned short port = 0;
    m_listener = BindLoopback(true, &port);
    if (m_listener == INVALID_SOCKET)
        return;
    m_port = port;
    m_thread = std::thread(&LocalHttpServer::Run, this);
}

LocalHttpServer::~LocalHttpServer() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_bStop = true;
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener != INVALID_SOCKET)
        closesocket(m_listener);
    if (m_closedPort != INVALID_SOCKET)
        closesocket(m_closedPort);
    if (m_bWinsock)
        WSACleanup();
}

std::string LocalHttpServer::HostAndPort() const {
    return "127.0.0.1:" + std::to_string(m_port);
}

std::vector<std::string> LocalHttpServer::WaitForRequests(size_t count, DWORD timeoutMs) {
    std::unique_lock<std::mutex> hold(m_lock);
    m_changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                       [&] { return m_targets.size() >= count; });
    return m_targets;
}

int LocalHttpServer::Connections() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_connections;
}

void LocalHttpServer::Run() {
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (m_bStop)
                return;
        }
        if (!Readable(m_listener))
            continue;
        const SOCKET client = accept(m_listener, nullptr, nullptr);
        if (client != INVALID_SOCKET)
            Serve(client);
    }
}

void LocalHttpServer::Serve(UINT_PTR clientSocket) {
    const SOCKET client = clientSocket;
    int connection;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        connection = ++m_connections;
    }
    const std::string head = ReadRequestHead(client);
    std::string answer =
        "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n"
        "Connection: close\r\n\r\nok";
    if (m_mode == Mode::kFailFirst && connection == 1)
        answer = "HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(m_deadPort) +
                 "/\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    send(client, answer.data(), static_cast<int>(answer.size()), 0);
    shutdown(client, SD_SEND);
    closesocket(client);
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!head.empty())
            m_targets.push_back(PercentDecode(RequestTarget(head)));
    }
    m_changed.notify_all();
}
