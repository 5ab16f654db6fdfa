// Starts tarnwick-terminal as a child process for a test, waits until it is
// ready, and lets the test type commands on its standard input.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace tarnwick::testing {

class EmulatorProcess {
public:
    EmulatorProcess() = default;
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess &) = delete;
    EmulatorProcess &operator=(const EmulatorProcess &) = delete;

    // Starts the emulator on 127.0.0.1 with a free port and the extra
    // arguments; true once it printed "ready".
    bool Start(const std::vector<std::string> &args = {});
    // Types one command and waits until the emulator printed `expect` (when
    // given) after it; what it printed before does not count.
    bool Command(const std::string &line, const std::string &expect = {});
    // Everything the emulator printed so far.
    std::string Output() const;
    // Waits until `text` stands in the output at or after byte `from`.
    bool WaitForOutput(const std::string &text, std::chrono::milliseconds timeout = std::chrono::seconds(10),
                       std::size_t from = 0) const;
    void CloseInput();  // end of standard input
    void Kill();  // SIGKILL, as a terminal that loses power
    // Stops it with SIGTERM; returns its exit status (-1 when it had to be killed).
    int Stop();

    int port() const { return port_; }
    // The local port of the online-trade UDP socket ("trade udp" line).
    int tradePort() const { return tradePort_; }
    const std::string &ptyPath() const { return ptyPath_; }
    int pid() const { return pid_; }

private:
    int pid_ = -1;
    int stdinFd_ = -1;
    std::string outPath_;
    int port_ = 0;
    int tradePort_ = 0;
    std::string ptyPath_;
};

// A TCP socket listening on 127.0.0.1 on a port the system picks; *port
// receives that port. For fake peers and raw baselines.
int ListenOnLoopbackTcp(int *port);
// A UDP socket bound to 127.0.0.1 on a port the system picks; *port
// receives that port.
int BindLoopbackUdp(int *port);
// A UDP port on 127.0.0.1 that was free a moment ago (0 when none could be
// found), for a server that binds it itself.
int FreeLoopbackUdpPort();

// Runs tarnwick-terminal with the arguments to the end and returns its exit
// status; `output` receives standard output and standard error.
int RunEmulator(const std::vector<std::string> &args, std::string &output);

} // namespace tarnwick::testing
