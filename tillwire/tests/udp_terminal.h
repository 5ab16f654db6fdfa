// A card terminal's UDP end on 127.0.0.1, for tests and the load benchmark.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace terminal {

// A UDP socket bound to 127.0.0.1 on a port the system picks; *port
// receives that port.
inline int BindLoopbackUdp(uint16_t* port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    *port = ntohs(a.sin_port);
    return fd;
}

class UdpTerminal {
public:
    UdpTerminal() { fd_ = BindLoopbackUdp(&port_); }
    ~UdpTerminal() {
        if (fd_ >= 0) close(fd_);
    }
    UdpTerminal(const UdpTerminal&) = delete;
    UdpTerminal& operator=(const UdpTerminal&) = delete;

    uint16_t Port() const { return port_; }
    int Fd() const { return fd_; }

    // Always to 127.0.0.1.
    bool Send(const std::vector<uint8_t>& datagram, uint16_t serverPort) const {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(serverPort);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
               static_cast<ssize_t>(datagram.size());
    }

    // The next datagram, or nothing within timeoutMs. While waiting, pump()
    // runs whenever wakeFd is readable (the library's event descriptor).
    std::optional<std::vector<uint8_t>> Receive(int timeoutMs, int wakeFd = -1,
                                                const std::function<void()>& pump = {}) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (true) {
            pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd, POLLIN, 0}};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left < 0) return std::nullopt;
            poll(fds, wakeFd >= 0 ? 2 : 1, static_cast<int>(left) + 1);
            if (wakeFd >= 0 && (fds[1].revents & POLLIN) && pump) pump();
            if (fds[0].revents & POLLIN) {
                uint8_t buf[2048];
                const ssize_t n = recv(fd_, buf, sizeof buf, 0);
                if (n >= 0) return std::vector<uint8_t>(buf, buf + n);
            }
        }
    }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// A UDP port on 127.0.0.1 that was free a moment ago.
inline uint16_t FreeLoopbackPort() {
    uint16_t port = 0;
    close(BindLoopbackUdp(&port));
    return port;
}

// Runs pump whenever wakeFd is readable until done() holds or timeoutMs passed.
inline bool PumpUntil(int wakeFd, const std::function<void()>& pump, const std::function<bool()>& done,
                      int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        pollfd p{wakeFd, POLLIN, 0};
        if (poll(&p, 1, 5) > 0) pump();
    }
    return true;
}

}  // namespace terminal
