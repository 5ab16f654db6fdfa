#include "emulator_process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace tarnwick::testing {
namespace {

std::string TempPath() {
    char templ[] = "/tmp/tarnwick-terminal-XXXXXX";
    const int fd = mkstemp(templ);
    if (fd >= 0) close(fd);
    return templ;
}

int Spawn(const std::vector<std::string> &args, int stdinFd, const std::string &outPath) {
    std::vector<std::string> all{TARNWICK_TERMINAL_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (auto &a : all) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdinFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdinFd, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

EmulatorProcess::~EmulatorProcess() {
    Stop();
    if (!outPath_.empty()) unlink(outPath_.c_str());
}

bool EmulatorProcess::Start(const std::vector<std::string> &extra) {
    outPath_ = TempPath();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    std::vector<std::string> args{"--port", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = Spawn(args, fds[0], outPath_);
    close(fds[0]);
    stdinFd_ = fds[1];
    if (pid_ < 0 || !WaitForOutput("ready\n")) return false;
    std::istringstream lines(Output());
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("listening ", 0) == 0) port_ = std::atoi(line.substr(line.rfind(':') + 1).c_str());
        if (line.rfind("pty ", 0) == 0) ptyPath_ = line.substr(4);
        if (line.rfind("trade udp ", 0) == 0) {
            const std::string local = line.substr(10, line.find(' ', 10) - 10);
            tradePort_ = std::atoi(local.substr(local.rfind(':') + 1).c_str());
        }
    }
    return port_ > 0;
}

std::string EmulatorProcess::Output() const { return outPath_.empty() ? std::string() : ReadFile(outPath_); }

bool EmulatorProcess::WaitForOutput(const std::string &text, std::chrono::milliseconds timeout,
                                    std::size_t from) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string output = Output();
        if (output.size() > from && output.find(text, from) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

bool EmulatorProcess::Command(const std::string &line, const std::string &expect) {
    const std::string text = line + "\n";
    const std::size_t from = Output().size();
    if (stdinFd_ < 0 || write(stdinFd_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return false;
    return expect.empty() || WaitForOutput(expect, std::chrono::seconds(10), from);
}

void EmulatorProcess::CloseInput() {
    if (stdinFd_ >= 0) close(stdinFd_);
    stdinFd_ = -1;
}

void EmulatorProcess::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

int EmulatorProcess::Stop() {
    if (stdinFd_ >= 0) {
        close(stdinFd_);
        stdinFd_ = -1;
    }
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Kill();
    return -1;
}

int RunEmulator(const std::vector<std::string> &args, std::string &output) {
    const std::string path = TempPath();
    const int pid = Spawn(args, -1, path);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    output = ReadFile(path);
    unlink(path.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

int BindLoopback(int type, int *port) {
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    *port = 0;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&a), len) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

}  // namespace

int ListenOnLoopbackTcp(int *port) {
    const int fd = BindLoopback(SOCK_STREAM, port);
    if (fd >= 0) listen(fd, 4);
    return fd;
}

int BindLoopbackUdp(int *port) { return BindLoopback(SOCK_DGRAM, port); }

int FreeLoopbackUdpPort() {
    int port = 0;
    const int fd = BindLoopbackUdp(&port);
    if (fd >= 0) close(fd);
    return port;
}

} // namespace tarnwick::testing
