// Median round trip of ReadClockTime through libTarnwick.so to the emulator
// over loopback TCP, next to a raw loopback TCP round trip of the same sizes
// (a 24-byte request, a 33-byte answer) measured in the same run.
//
//   tarnwick_round_trip_bench [calls]      (default 5000, at most 100000)

#include <tarnwick.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kRequestBytes = 24;  // a frame without payload
constexpr std::size_t kAnswerBytes = 33;   // a frame with the 9-byte clock

struct Stats {
    double median, p90;
};

Stats Summarise(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 9 / 10]};
}

bool ReadFully(int fd, char *buf, std::size_t n) {
    while (n > 0) {
        const ssize_t got = read(fd, buf, n);
        if (got <= 0) return false;
        buf += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

void NoDelay(int fd) {
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// Raw baseline: a thread answers every 24-byte request with 33 bytes.
std::vector<double> RawRoundTrips(int count) {
    const int lfd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(lfd, reinterpret_cast<sockaddr *>(&a), len);
    listen(lfd, 1);
    getsockname(lfd, reinterpret_cast<sockaddr *>(&a), &len);
    std::thread server([lfd] {
        const int fd = accept(lfd, nullptr, nullptr);
        NoDelay(fd);
        char in[kRequestBytes];
        char out[kAnswerBytes] = {};
        while (ReadFully(fd, in, sizeof in))
            if (write(fd, out, sizeof out) != static_cast<ssize_t>(sizeof out)) break;
        close(fd);
    });
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    connect(fd, reinterpret_cast<sockaddr *>(&a), len);
    NoDelay(fd);
    std::vector<double> us;
    char req[kRequestBytes] = {};
    char ans[kAnswerBytes];
    for (int i = 0; i < count; ++i) {
        const auto t0 = SteadyClock::now();
        if (write(fd, req, sizeof req) != static_cast<ssize_t>(sizeof req) || !ReadFully(fd, ans, sizeof ans)) break;
        us.push_back(std::chrono::duration<double, std::micro>(SteadyClock::now() - t0).count());
    }
    close(fd);
    server.join();
    close(lfd);
    return us;
}

struct Emulator {
    pid_t pid = -1;
    int port = 0;
    std::string outPath;

    bool Start() {
        char templ[] = "/tmp/tarnwick-bench-XXXXXX";
        const int tmp = mkstemp(templ);
        if (tmp < 0) return false;
        close(tmp);
        outPath = templ;
        const char *argv[] = {TARNWICK_TERMINAL_PATH, "--port", "0", "--quiet", nullptr};
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_TRUNC, 0);
        const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, const_cast<char **>(argv), environ);
        posix_spawn_file_actions_destroy(&fa);
        if (rc != 0) return false;
        for (int i = 0; i < 1000; ++i) {
            std::ifstream in(outPath);
            std::stringstream ss;
            ss << in.rdbuf();
            const std::string text = ss.str();
            if (text.find("ready\n") != std::string::npos) {
                const auto at = text.find("listening ");
                const auto colon = text.find('\n', at);
                port = std::atoi(text.substr(text.rfind(':', colon) + 1).c_str());
                return port > 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    ~Emulator() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (!outPath.empty()) unlink(outPath.c_str());
    }
};

} // namespace

int main(int argc, char **argv) {
    int calls = argc > 1 ? std::atoi(argv[1]) : 5000;
    calls = std::clamp(calls, 100, 100000);

    Emulator emulator;
    if (!emulator.Start()) {
        std::fprintf(stderr, "cannot start %s\n", TARNWICK_TERMINAL_PATH);
        return 1;
    }
    const int32_t h = OpenClientSocket("127.0.0.1", emulator.port);
    if (h <= 0 || !CallClock(h, 24)) {
        std::fprintf(stderr, "cannot reach the emulator on 127.0.0.1:%d\n", emulator.port);
        return 1;
    }

    // Warm both paths up, then measure them in alternating blocks so that
    // both see the same machine load.
    double t = 0;
    for (int i = 0; i < 200; ++i) ReadClockTime(h, &t);
    RawRoundTrips(200);
    std::vector<double> lib, raw;
    constexpr int kBlock = 500;
    for (int done = 0; done < calls; done += kBlock) {
        const int n = std::min(kBlock, calls - done);
        for (int i = 0; i < n; ++i) {
            const auto t0 = SteadyClock::now();
            if (!ReadClockTime(h, &t)) {
                std::fprintf(stderr, "ReadClockTime failed\n");
                return 1;
            }
            lib.push_back(std::chrono::duration<double, std::micro>(SteadyClock::now() - t0).count());
        }
        const auto r = RawRoundTrips(n);
        raw.insert(raw.end(), r.begin(), r.end());
    }
    UnCallClock(h);
    ClosePortHandle(h);

    const Stats l = Summarise(lib), b = Summarise(raw);
    std::printf("ReadClockTime via libTarnwick.so + emulator, loopback TCP: median %8.1f us  p90 %8.1f us  (%zu calls)\n",
                l.median, l.p90, lib.size());
    std::printf("raw loopback TCP round trip, %zu bytes out, %zu back:     median %8.1f us  p90 %8.1f us  (%zu trips)\n",
                kRequestBytes, kAnswerBytes, b.median, b.p90, raw.size());
    std::printf("ratio (median): %.2f\n", l.median / b.median);
    return 0;
}
