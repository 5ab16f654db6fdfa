#include "server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace tarnwick::emulator {
namespace {

constexpr std::size_t kMaxSessions = 64;
// A session whose unsent answers pile up beyond this has stopped reading: a
// client waits for each answer before it asks again, and the largest answer
// is one maximal frame.
constexpr std::size_t kMaxPendingOutput = 256 * 1024;
constexpr int kSessionSendBuffer = 64 * 1024;

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = write(g_signalPipe[1], &c, 1);
}

void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

} // namespace

bool IsLoopbackPeer(const sockaddr_storage &ss) {
    if (ss.ss_family == AF_INET) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(&ss);
        return (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
    }
    if (ss.ss_family == AF_INET6) {
        const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(&ss);
        return IN6_IS_ADDR_LOOPBACK(&v6->sin6_addr) ||
               (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr) && v6->sin6_addr.s6_addr[12] == 127);
    }
    return false;
}

namespace {

std::string AddressText(const sockaddr_storage &ss) {
    char host[INET6_ADDRSTRLEN] = "?";
    int port = 0;
    if (ss.ss_family == AF_INET) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(&ss);
        inet_ntop(AF_INET, &v4->sin_addr, host, sizeof host);
        port = ntohs(v4->sin_port);
        return std::string(host) + ":" + std::to_string(port);
    }
    if (ss.ss_family == AF_INET6) {
        const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(&ss);
        inet_ntop(AF_INET6, &v6->sin6_addr, host, sizeof host);
        port = ntohs(v6->sin6_port);
        return "[" + std::string(host) + "]:" + std::to_string(port);
    }
    return "?";
}

} // namespace

Server::Server(Terminal &terminal, const Options &options)
    : terminal_(terminal), options_(options), muted_(options.mute) {
    if (g_signalPipe[0] < 0 && pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGTERM, &sa, nullptr);
    }
    signal(SIGPIPE, SIG_IGN);
    terminal_.SetLog([this](const std::string &line) { Out(line); }, !options.quiet);
}

Server::~Server() {
    for (auto &[id, s] : sessions_)
        if (!s->serial) close(s->fd);
    if (listenFd_ >= 0) close(listenFd_);
    if (ptyMaster_ >= 0) close(ptyMaster_);
    if (ptySlaveKeep_ >= 0) close(ptySlaveKeep_);
}

void Server::Out(const std::string &line) const {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool Server::Listen(std::string &error) {
    sockaddr_storage ss{};
    socklen_t len = 0;
    auto *v4 = reinterpret_cast<sockaddr_in *>(&ss);
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(&ss);
    std::string host = options_.listen == "localhost" ? "127.0.0.1" : options_.listen;
    if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(options_.port));
        len = sizeof *v4;
    } else if (inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(options_.port));
        len = sizeof *v6;
    } else {
        error = "--listen: not a numeric address: " + options_.listen;
        return false;
    }
    if (!IsLoopbackPeer(ss) && !options_.allowLan) {
        error = "refusing to listen on " + options_.listen + ": not a loopback address (use --allow-lan)";
        return false;
    }
    listenFd_ = socket(ss.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return error = std::string("socket: ") + std::strerror(errno), false;
    const int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listenFd_, reinterpret_cast<sockaddr *>(&ss), len) != 0 || listen(listenFd_, 16) != 0) {
        error = "cannot listen on " + options_.listen + ":" + std::to_string(options_.port) + ": " +
                std::strerror(errno);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t boundLen = sizeof bound;
    getsockname(listenFd_, reinterpret_cast<sockaddr *>(&bound), &boundLen);
    endpoint_ = AddressText(bound);
    return true;
}

bool Server::OpenPty(std::string &error) {
    ptyMaster_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (ptyMaster_ < 0 || grantpt(ptyMaster_) != 0 || unlockpt(ptyMaster_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char *name = ptsname(ptyMaster_);
    if (!name) return error = "ptsname failed", false;
    ptyPath_ = name;
    ptySlaveKeep_ = open(ptyPath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (ptySlaveKeep_ < 0) return error = "cannot open " + ptyPath_ + ": " + std::strerror(errno), false;
    termios tio{};
    if (tcgetattr(ptySlaveKeep_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(ptySlaveKeep_, TCSANOW, &tio);
    }
    SetNonBlocking(ptyMaster_);
    auto s = std::make_unique<Session>();
    s->id = nextSessionId_++;
    s->fd = ptyMaster_;
    s->serial = true;
    s->name = ptyPath_;
    sessions_.emplace(s->id, std::move(s));
    return true;
}

std::uint64_t Server::After(std::chrono::milliseconds delay, std::function<void()> fn) {
    const std::uint64_t id = nextTimerId_++;
    timers_.push_back(Timer{id, SteadyClock::now() + delay, std::move(fn)});
    return id;
}

void Server::Cancel(std::uint64_t timerId) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->id == timerId) {
            timers_.erase(it);
            return;
        }
    }
}

void Server::Watch(int fd, std::function<void()> onReadable) { watched_[fd] = std::move(onReadable); }

void Server::Unwatch(int fd) { watched_.erase(fd); }

bool Server::PeerAllowed(const sockaddr_storage &addr, std::string &name) const {
    name = AddressText(addr);
    return options_.allowLan || IsLoopbackPeer(addr);
}

void Server::Accept() {
    for (;;) {
        sockaddr_storage peer{};
        socklen_t len = sizeof peer;
        const int fd = accept4(listenFd_, reinterpret_cast<sockaddr *>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;  // EAGAIN, or a connection that went away before we took it
        std::string name;
        if (!PeerAllowed(peer, name)) {
            Out("refused " + name + ": not a loopback peer (start with --allow-lan to accept it)");
            close(fd);
            continue;
        }
        if (sessions_.size() >= kMaxSessions) {
            Out("refused " + name + ": too many sessions");
            close(fd);
            continue;
        }
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kSessionSendBuffer, sizeof kSessionSendBuffer);
        auto s = std::make_unique<Session>();
        s->id = nextSessionId_++;
        s->fd = fd;
        s->name = name;
        if (!options_.quiet) Out("connected " + name);
        sessions_.emplace(s->id, std::move(s));
    }
}

void Server::CloseSession(std::uint64_t id, const std::string &why) {
    auto it = sessions_.find(id);
    if (it == sessions_.end() || it->second->serial) return;
    // An ordinary hang-up is news only when requests are shown; a session
    // closed for a reason is always reported.
    if (!options_.quiet || !why.empty()) Out("closed " + it->second->name + (why.empty() ? "" : ": " + why));
    close(it->second->fd);
    sessions_.erase(it);
}

void Server::DropClients() {
    std::vector<std::uint64_t> ids;
    for (auto &[id, s] : sessions_)
        if (!s->serial) ids.push_back(id);
    for (auto id : ids) CloseSession(id, "dropped");
}

void Server::Send(std::uint64_t sessionId, std::vector<std::uint8_t> bytes) {
    auto it = sessions_.find(sessionId);
    if (it == sessions_.end()) return;
    Session &s = *it->second;
    if (s.out.size() + bytes.size() > kMaxPendingOutput) {
        if (s.serial) {
            // Nobody reads the serial line: answers are lost, as on a real wire.
            s.out.clear();
            return;
        }
        CloseSession(sessionId, "not reading its answers");
        return;
    }
    s.out.insert(s.out.end(), bytes.begin(), bytes.end());
    FlushSession(s);
}

void Server::FlushSession(Session &s) {
    while (!s.out.empty()) {
        const ssize_t n = s.serial ? write(s.fd, s.out.data(), s.out.size())
                                   : send(s.fd, s.out.data(), s.out.size(), MSG_NOSIGNAL);
        if (n > 0) {
            s.out.erase(s.out.begin(), s.out.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (s.serial) {
            s.out.clear();
            return;
        }
        CloseSession(s.id, std::strerror(errno));
        return;
    }
}

void Server::ReadSession(Session &s) {
    std::uint8_t buf[8192];
    const std::uint64_t id = s.id;
    // A bounded number of reads per turn, so a session that sends without
    // pause cannot keep the others waiting.
    for (int turn = 0; turn < 16; ++turn) {
        const ssize_t n = read(s.fd, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            if (s.serial) return;  // no reader on the far side right now
            CloseSession(id, n == 0 ? "" : std::strerror(errno));
            return;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        s.decoder.Feed(buf, static_cast<std::size_t>(n));
        while (auto frame = s.decoder.Next()) {
            ++s.requests;
            if (muted_) {
                if (!options_.quiet) Out(s.name + " " + link::CommandName(frame->command) + ": muted, no answer");
                continue;
            }
            auto response = terminal_.Handle(*frame, s.name);
            if (!response) continue;
            ++served_;
            std::vector<std::uint8_t> bytes = link::EncodeFrame(*response);
            if (delayMs_ > 0) {
                After(std::chrono::milliseconds(delayMs_),
                      [this, id, bytes = std::move(bytes)]() mutable { Send(id, std::move(bytes)); });
            } else {
                Send(id, std::move(bytes));
                if (sessions_.find(id) == sessions_.end()) return;
            }
        }
        if (static_cast<std::size_t>(n) < sizeof buf) return;
    }
}

void Server::ReadStdin() {
    // One read per readiness: standard input stays blocking, since its file
    // description may be shared with the shell that started the emulator.
    char buf[4096];
    ssize_t n;
    do {
        n = read(STDIN_FILENO, buf, sizeof buf);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        stdinOpen_ = false;  // end of input: keep serving without a console
    } else {
        stdinBuf_.append(buf, static_cast<std::size_t>(n));
        if (stdinBuf_.size() > 65536) stdinBuf_.clear();  // no command is this long
    }
    std::size_t nl;
    while ((nl = stdinBuf_.find('\n')) != std::string::npos) {
        std::string line = stdinBuf_.substr(0, nl);
        stdinBuf_.erase(0, nl + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (onCommand_) onCommand_(line);
    }
    if (!stdinOpen_ && !stdinBuf_.empty() && onCommand_) {
        std::string line;
        line.swap(stdinBuf_);
        onCommand_(line);
    }
}

void Server::RunTimers() {
    const auto now = SteadyClock::now();
    std::vector<Timer> due;
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->due <= now) {
            due.push_back(std::move(*it));
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto &t : due) t.fn();
}

std::string Server::Status() const {
    std::size_t clients = 0;
    for (auto &[id, s] : sessions_)
        if (!s->serial) ++clients;
    std::string text = "clients " + std::to_string(clients) + ", answers " + std::to_string(served_);
    if (!endpoint_.empty()) text += ", listening " + endpoint_;
    if (!ptyPath_.empty()) text += ", pty " + ptyPath_;
    text += muted_ ? ", muted" : ", answering";
    if (delayMs_ > 0) text += " after " + std::to_string(delayMs_) + " ms";
    return text;
}

int Server::Run() {
    if (!ptyPath_.empty()) Out("pty " + ptyPath_);
    if (!endpoint_.empty()) Out("listening " + endpoint_);
    for (const auto &line : readyLines_) Out(line);
    Out("ready");

    std::vector<pollfd> fds;
    std::vector<std::uint64_t> owners;  // session id per entry, 0 for the others
    while (running_) {
        fds.clear();
        owners.clear();
        auto add = [&](int fd, short events, std::uint64_t owner) {
            fds.push_back(pollfd{fd, events, 0});
            owners.push_back(owner);
        };
        add(g_signalPipe[0], POLLIN, 0);
        if (listenFd_ >= 0) add(listenFd_, POLLIN, 0);
        if (stdinOpen_) add(STDIN_FILENO, POLLIN, 0);
        for (auto &[fd, fn] : watched_) add(fd, POLLIN, 0);
        for (auto &[id, s] : sessions_)
            add(s->fd, static_cast<short>(POLLIN | (s->out.empty() ? 0 : POLLOUT)), id);

        int timeout = 1000;
        const auto now = SteadyClock::now();
        for (auto &t : timers_) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.due - now).count();
            timeout = static_cast<int>(std::max<long long>(0, std::min<long long>(timeout, ms + 1)));
        }
        const int n = poll(fds.data(), fds.size(), timeout);
        if (n < 0 && errno != EINTR) {
            Out(std::string("poll: ") + std::strerror(errno));
            return 1;
        }
        for (std::size_t i = 0; n > 0 && i < fds.size(); ++i) {
            const short rev = fds[i].revents;
            if (!rev) continue;
            if (fds[i].fd == g_signalPipe[0]) {
                char c;
                while (read(g_signalPipe[0], &c, 1) > 0) {
                }
                running_ = false;
            } else if (fds[i].fd == listenFd_ && owners[i] == 0) {
                Accept();
            } else if (fds[i].fd == STDIN_FILENO && owners[i] == 0) {
                ReadStdin();
            } else if (owners[i] == 0) {
                // A watched descriptor; a command run earlier in this turn
                // may have dropped it.
                if (auto it = watched_.find(fds[i].fd); it != watched_.end()) {
                    auto fn = it->second;
                    fn();
                }
            } else {
                auto it = sessions_.find(owners[i]);
                if (it == sessions_.end()) continue;
                Session &s = *it->second;
                if (rev & POLLOUT) FlushSession(s);
                if (sessions_.find(owners[i]) == sessions_.end()) continue;
                if (rev & (POLLIN | POLLHUP | POLLERR)) {
                    if (s.serial && !(rev & POLLIN)) continue;
                    ReadSession(s);
                }
            }
        }
        RunTimers();
    }
    Out("bye");
    return 0;
}

} // namespace tarnwick::emulator
