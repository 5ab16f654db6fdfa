// Median round trip of ReadClockTime through libTarnwick.so to the emulator
// over loopback TCP, next to a raw loopback TCP round trip of the same sizes
// (a 24-byte request, a 33-byte answer) measured in the same run.
//
//   tarnwick_round_trip_bench [calls]      (default 5000, at most 100000)

#include <tarnwick.h>

#include "emulator_process.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

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
    int port = 0;
    const int lfd = tarnwick::testing::ListenOnLoopbackTcp(&port);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const socklen_t len = sizeof a;
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

} // namespace

int main(int argc, char **argv) {
    int calls = argc > 1 ? std::atoi(argv[1]) : 5000;
    calls = std::clamp(calls, 100, 100000);

    tarnwick::testing::EmulatorProcess emulator;
    if (!emulator.Start({"--quiet"})) {
        std::fprintf(stderr, "cannot start %s\n", TARNWICK_TERMINAL_PATH);
        return 1;
    }
    const int32_t h = OpenClientSocket("127.0.0.1", emulator.port());
    if (h <= 0 || !CallClock(h, 24)) {
        std::fprintf(stderr, "cannot reach the emulator on 127.0.0.1:%d\n", emulator.port());
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
