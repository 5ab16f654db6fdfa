// trade_load: K simulated terminals on 127.0.0.1 send trade requests and
// confirmations as fast as replies come back.
//
//   1. a raw UDP echo server (echoes each request, drops confirmations),
//   2. the trade server of libtillwire hosted in this process (listener
//      thread, hand-over to the loading thread, host callback, reply),
//
// each for the same time with the same clients; prints trades per second,
// p50 and p99 request-to-reply latency and the throughput ratio. With
// --trades N it then runs N trades through the server and prints the
// resident memory at every tenth.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "terminal_frames.h"
#include "tillwire.h"
#include "udp_terminal.h"

namespace {

using Clock = std::chrono::steady_clock;

// Latencies in microseconds, one bucket each up to 100 ms.
struct Histogram {
    static constexpr std::size_t kBuckets = 100001;
    std::vector<uint64_t> counts = std::vector<uint64_t>(kBuckets, 0);
    uint64_t total = 0;
    void Add(int64_t us) {
        counts[static_cast<std::size_t>(std::clamp<int64_t>(us, 0, kBuckets - 1))]++;
        ++total;
    }
    void Merge(const Histogram& o) {
        for (std::size_t i = 0; i < kBuckets; ++i) counts[i] += o.counts[i];
        total += o.total;
    }
    int64_t Percentile(double p) const {
        if (total == 0) return 0;
        const uint64_t rank = static_cast<uint64_t>(p * static_cast<double>(total - 1)) + 1;
        uint64_t seen = 0;
        for (std::size_t i = 0; i < kBuckets; ++i) {
            seen += counts[i];
            if (seen >= rank) return static_cast<int64_t>(i);
        }
        return kBuckets - 1;
    }
};

struct RunResult {
    uint64_t trades = 0;
    uint64_t lost = 0;
    double seconds = 0;
    Histogram latency;
    double PerSecond() const { return seconds > 0 ? static_cast<double>(trades) / seconds : 0; }
};

long RssKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// The terminals: each sends a request, waits for the reply, confirms the
// serial it carries and starts over, until stop or until the shared budget
// of trades is used up.
RunResult RunClients(int terminals, uint16_t serverPort, double seconds, std::atomic<int64_t>* budget,
                     std::atomic<bool>& running) {
    std::vector<std::thread> threads;
    std::vector<RunResult> results(static_cast<std::size_t>(terminals));
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (int k = 0; k < terminals; ++k) {
        threads.emplace_back([&, k] {
            terminal::UdpTerminal t;
            terminal::Request r;
            r.deviceNo = static_cast<uint16_t>(k + 1);
            r.machineNo = static_cast<uint8_t>(k + 1);
            RunResult& res = results[static_cast<std::size_t>(k)];
            uint32_t n = 0;
            while (running.load(std::memory_order_relaxed)) {
                if (budget) {
                    if (budget->fetch_sub(1) <= 0) break;
                } else if (Clock::now() >= deadline) {
                    break;
                }
                r.amount = ++n;
                const auto sent = Clock::now();
                t.Send(terminal::TradeRequest(r), serverPort);
                const auto reply = t.Receive(1000);
                if (!reply) {
                    ++res.lost;
                    continue;
                }
                res.latency.Add(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent).count());
                ++res.trades;
                uint32_t serial = 0;
                if (reply->size() == 47) {
                    std::vector<uint8_t> frame(reply->rbegin(), reply->rend());
                    serial = terminal::GetBE32(frame.data() + 8 + 17);
                }
                t.Send(terminal::Confirmation(r.deviceNo, serial), serverPort);
            }
        });
    }
    for (auto& th : threads) th.join();
    RunResult total;
    total.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (const auto& r : results) {
        total.trades += r.trades;
        total.lost += r.lost;
        total.latency.Merge(r.latency);
    }
    return total;
}

RunResult RunEcho(int terminals, double seconds) {
    uint16_t echoPort = 0;
    const int fd = terminal::BindLoopbackUdp(&echoPort);
    std::atomic<bool> serving{true};
    std::thread server([&] {
        uint8_t buf[8192];
        while (serving.load(std::memory_order_relaxed)) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            sockaddr_in from{};
            socklen_t fl = sizeof from;
            const ssize_t n = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fl);
            if (n < 8 || buf[7] != 0x01) continue;  // confirmations are not answered
            sendto(fd, buf, static_cast<std::size_t>(n), 0, reinterpret_cast<sockaddr*>(&from), fl);
        }
    });
    std::atomic<bool> running{true};
    RunResult r = RunClients(terminals, echoPort, seconds, nullptr, running);
    serving = false;
    server.join();
    close(fd);
    return r;
}

std::atomic<uint32_t> g_serial{1};
std::atomic<uint64_t> g_results{0};

void TILLWIRE_CALL OnRequest(TTradeRequest*, TTradeAnswer* a, uint8_t* accept) {
    a->TradeSerial = g_serial.fetch_add(1, std::memory_order_relaxed);
    std::memcpy(a->Text, "\xBF\xA8\xBB\xA7\xD0\xD5\xC3\xFB", 9);
    a->Balance = 150;
    a->ExtraValue = 30;
    *accept = 1;
}
void TILLWIRE_CALL OnResult(TTradeRequest*, int32_t, uint8_t* flag) {
    *flag = 1;
    g_results.fetch_add(1, std::memory_order_relaxed);
}

// The server hosted on this thread (the loading thread), the clients on
// their own threads; this thread dispatches until they are done.
RunResult RunTillwire(int terminals, double seconds, int64_t trades, bool printMemory) {
    std::string devices;
    for (int k = 1; k <= terminals; ++k) devices += std::to_string(k) + ",127.0.0.1,4001|";
    devices.pop_back();
    const uint16_t port = terminal::FreeLoopbackPort();
    if (!LaunchOnlineByString(devices.c_str(), port, OnRequest, OnResult, nullptr)) {
        std::fprintf(stderr, "trade_load: cannot launch on port %u\n", port);
        std::exit(1);
    }
    std::atomic<bool> running{true}, done{false};
    std::atomic<int64_t> budget{trades};
    RunResult result;
    std::thread clients([&] {
        result = RunClients(terminals, port, seconds, trades > 0 ? &budget : nullptr, running);
        done = true;
    });
    const auto start = Clock::now();
    int nextTenth = 1;
    const auto limit = std::chrono::duration<double>(seconds);
    while (!done.load()) {
        pollfd p{TillwireEventFd(), POLLIN, 0};
        if (poll(&p, 1, 20) > 0) TillwireDispatch();
        if (trades > 0) {
            if (Clock::now() - start > limit) running = false;  // bounded in time
            const int64_t used = trades - std::max<int64_t>(budget.load(), 0);
            while (printMemory && nextTenth <= 10 && used >= trades * nextTenth / 10) {
                std::printf("  %3d%%  %9lld trades  RSS %ld KiB\n", nextTenth * 10, static_cast<long long>(used),
                            RssKiB());
                ++nextTenth;
            }
        }
    }
    clients.join();
    StopOnline();
    return result;
}

void Print(const char* name, const RunResult& r) {
    std::printf("%-22s %10.0f trades/s  p50 %6lld us  p99 %6lld us  (%llu trades in %.2f s, %llu lost)\n", name,
                r.PerSecond(), static_cast<long long>(r.latency.Percentile(0.50)),
                static_cast<long long>(r.latency.Percentile(0.99)), static_cast<unsigned long long>(r.trades),
                r.seconds, static_cast<unsigned long long>(r.lost));
}

}  // namespace

int main(int argc, char** argv) {
    int terminals = 4;
    double seconds = 3;
    int64_t trades = 0;
    double maxSeconds = 180;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--terminals" && i + 1 < argc) terminals = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--seconds" && i + 1 < argc) seconds = std::max(0.1, std::atof(argv[++i]));
        else if (arg == "--trades" && i + 1 < argc) trades = std::max<int64_t>(0, std::atoll(argv[++i]));
        else if (arg == "--max-seconds" && i + 1 < argc) maxSeconds = std::max(1.0, std::atof(argv[++i]));
        else {
            std::fprintf(stderr,
                         "usage: %s [--terminals K] [--seconds S] [--trades N [--max-seconds M]]\n"
                         "  K terminals (default 4) for S seconds (default 3) against a raw UDP echo and\n"
                         "  against the trade server; then, with --trades, N trades through the server\n"
                         "  (at most M seconds, default 180) with the resident memory at every tenth.\n",
                         argv[0]);
            return 2;
        }
    }
    setenv("TILLWIRE_LISTEN_ADDRESS", "127.0.0.1", 1);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("trade_load: %d terminals on 127.0.0.1, %.1f s per run\n", terminals, seconds);

    // Warm-up of both paths, not counted.
    RunEcho(terminals, 0.3);
    RunTillwire(terminals, 0.3, 0, false);

    const RunResult echo = RunEcho(terminals, seconds);
    const RunResult server = RunTillwire(terminals, seconds, 0, false);
    Print("raw UDP echo", echo);
    Print("tillwire server", server);
    const double ratio = echo.PerSecond() > 0 ? server.PerSecond() / echo.PerSecond() : 0;
    std::printf("ratio tillwire/echo: %.2f (throughput), p99 %lld us vs %lld us\n", ratio,
                static_cast<long long>(server.latency.Percentile(0.99)),
                static_cast<long long>(echo.latency.Percentile(0.99)));

    if (trades > 0) {
        std::printf("memory over %lld trades (at most %.0f s):\n", static_cast<long long>(trades), maxSeconds);
        const long before = RssKiB();
        const RunResult many = RunTillwire(terminals, maxSeconds, trades, true);
        Print("tillwire server", many);
        std::printf("RSS before %ld KiB, after %ld KiB; results reported %llu\n", before, RssKiB(),
                    static_cast<unsigned long long>(g_results.load()));
    }
    return 0;
}
