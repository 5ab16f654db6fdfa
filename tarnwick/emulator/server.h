// The emulator's event loop: TCP listener, optional serial pseudo-terminal,
// client sessions, standard input and timed work, all on one thread with
// poll(). A session that sends anything at all only affects itself: noise is
// skipped by the frame decoder, a session that floods or stops reading is
// closed, and the other sessions go on being served.
#pragma once

#include "link/frame.h"
#include "options.h"
#include "terminal.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <sys/socket.h>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::emulator {

using SteadyClock = std::chrono::steady_clock;

// True for peers in 127.0.0.0/8, ::1 and IPv4-mapped 127.x addresses.
bool IsLoopbackPeer(const sockaddr_storage &addr);

class Server {
public:
    Server(Terminal &terminal, const Options &options);
    ~Server();

    bool Listen(std::string &error);
    bool OpenPty(std::string &error);
    // Runs until Stop(), "quit", SIGINT or SIGTERM. Returns the exit code.
    int Run();
    void Stop() { running_ = false; }

    // Prints one line on standard output.
    void Out(const std::string &line) const;

    // Called with each line read from standard input.
    void SetCommandHandler(std::function<void(const std::string &)> handler) { onCommand_ = std::move(handler); }

    void SetMuted(bool muted) { muted_ = muted; }
    bool Muted() const { return muted_; }
    void SetDelayMs(int ms) { delayMs_ = ms; }
    int DelayMs() const { return delayMs_; }
    // Closes every TCP session (the pseudo-terminal stays).
    void DropClients();
    std::string Status() const;

    std::string ListenEndpoint() const { return endpoint_; }
    std::string PtyPath() const { return ptyPath_; }

    // Runs `fn` on the loop thread once `delay` has passed. The id returned
    // can be given to Cancel() until then.
    std::uint64_t After(std::chrono::milliseconds delay, std::function<void()> fn);
    void Cancel(std::uint64_t timerId);

    // Calls `onReadable` on the loop thread whenever `fd` can be read; the
    // caller keeps owning the descriptor and calls Unwatch before closing it.
    void Watch(int fd, std::function<void()> onReadable);
    void Unwatch(int fd);

    // A line printed when the emulator is ready, after "listening" and
    // before "ready".
    void AddReadyLine(std::string line) { readyLines_.push_back(std::move(line)); }

private:
    struct Session {
        std::uint64_t id = 0;
        int fd = -1;
        bool serial = false;
        std::string name;
        link::FrameDecoder decoder;
        std::vector<std::uint8_t> out;
        std::uint64_t requests = 0;
    };
    struct Timer {
        std::uint64_t id = 0;
        SteadyClock::time_point due;
        std::function<void()> fn;
    };

    void Accept();
    void ReadSession(Session &s);
    void FlushSession(Session &s);
    void Send(std::uint64_t sessionId, std::vector<std::uint8_t> bytes);
    void CloseSession(std::uint64_t id, const std::string &why);
    void ReadStdin();
    void RunTimers();
    bool PeerAllowed(const sockaddr_storage &addr, std::string &name) const;

    Terminal &terminal_;
    Options options_;
    bool running_ = true;
    bool muted_ = false;
    int delayMs_ = 0;
    int listenFd_ = -1;
    int ptyMaster_ = -1;
    int ptySlaveKeep_ = -1;  // keeps the slave side open so the master never hangs up
    std::string ptyPath_;
    std::string endpoint_;
    bool stdinOpen_ = true;
    std::string stdinBuf_;
    std::map<std::uint64_t, std::unique_ptr<Session>> sessions_;
    std::uint64_t nextSessionId_ = 1;
    std::vector<Timer> timers_;
    std::uint64_t nextTimerId_ = 1;
    std::map<int, std::function<void()>> watched_;
    std::vector<std::string> readyLines_;
    std::function<void(const std::string &)> onCommand_;
    std::uint64_t served_ = 0;
};

} // namespace tarnwick::emulator
