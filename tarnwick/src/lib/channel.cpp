#include "lib/channel.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace tarnwick {
namespace {

int MillisUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return left > 60'000 ? 60'000 : static_cast<int>(left);
}

// Polls one descriptor until it is ready for `events` or the deadline passes.
// Returns the revents, 0 on timeout.
short WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int ms = MillisUntil(deadline);
        const int n = poll(&p, 1, ms);
        if (n > 0) return p.revents;
        if (n == 0) {
            if (ms == 0 || Clock::now() >= deadline) return 0;
            continue;
        }
        if (errno != EINTR) return POLLERR;
    }
}

speed_t SpeedFor(int baud) {
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    }
    return 0;
}

std::string Trim(const std::string &s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

} // namespace

Channel::~Channel() {
    if (fd_ >= 0) close(fd_);
}

void Channel::Shutdown() {
    if (kind_ == Kind::Socket) shutdown(fd_, SHUT_RDWR);
}

IoStatus Channel::WriteAll(const std::uint8_t *data, std::size_t size, Clock::time_point deadline) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = kind_ == Kind::Socket ? send(fd_, data + done, size - done, MSG_NOSIGNAL)
                                                : write(fd_, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const short ev = WaitFor(fd_, POLLOUT, deadline);
            if (ev == 0) return IoStatus::Timeout;
            if (ev & (POLLERR | POLLNVAL)) return IoStatus::Closed;
            continue;
        }
        return IoStatus::Closed;
    }
    return IoStatus::Ok;
}

IoStatus Channel::ReadSome(std::uint8_t *buf, std::size_t size, std::size_t &got, Clock::time_point deadline) {
    got = 0;
    for (;;) {
        const short ev = WaitFor(fd_, POLLIN, deadline);
        if (ev == 0) return IoStatus::Timeout;
        if (ev & POLLNVAL) return IoStatus::Closed;
        const ssize_t n = read(fd_, buf, size);
        if (n > 0) {
            got = static_cast<std::size_t>(n);
            return IoStatus::Ok;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (ev & (POLLHUP | POLLERR)) return IoStatus::Closed;
            continue;
        }
        // End of stream, or an error such as EIO once the far end of a
        // pseudo-terminal has gone away.
        return IoStatus::Closed;
    }
}

bool ParseAddress(const std::string &text, std::string &numeric, bool &loopback) {
    std::string t = Trim(text);
    if (t == "localhost") t = "127.0.0.1";
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, t.c_str(), &v4) == 1) {
        numeric = t;
        loopback = (ntohl(v4.s_addr) >> 24) == 127;
        return true;
    }
    if (inet_pton(AF_INET6, t.c_str(), &v6) == 1) {
        numeric = t;
        const bool mapped = IN6_IS_ADDR_V4MAPPED(&v6);
        loopback = IN6_IS_ADDR_LOOPBACK(&v6) || (mapped && v6.s6_addr[12] == 127);
        return true;
    }
    return false;
}

int ConnectTcp(const std::string &ip, int port, Clock::time_point deadline) {
    sockaddr_storage ss{};
    socklen_t len = 0;
    auto *v4 = reinterpret_cast<sockaddr_in *>(&ss);
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(&ss);
    if (inet_pton(AF_INET, ip.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        len = sizeof *v4;
    } else if (inet_pton(AF_INET6, ip.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        len = sizeof *v6;
    } else {
        return -1;
    }
    const int fd = socket(ss.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (connect(fd, reinterpret_cast<sockaddr *>(&ss), len) != 0) {
        if (errno != EINPROGRESS) {
            close(fd);
            return -1;
        }
        const short ev = WaitFor(fd, POLLOUT, deadline);
        int err = 0;
        socklen_t errLen = sizeof err;
        if (ev == 0 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &errLen) != 0 || err != 0) {
            close(fd);
            return -1;
        }
    }
    return fd;
}

int OpenSerial(const std::string &path, int baudRate) {
    const speed_t speed = SpeedFor(baudRate);
    if (speed == 0 || path.empty()) return -1;
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    termios tio{};
    // A serial port belongs to one link at a time, as on the terminal's own
    // side: a second open of a port that is in use fails.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || tcgetattr(fd, &tio) != 0) {
        close(fd);
        return -1;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        close(fd);
        return -1;
    }
    tcflush(fd, TCIOFLUSH);
    return fd;
}

} // namespace tarnwick
