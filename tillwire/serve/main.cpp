// tillwire-serve: runs the online-trade server without the console. Every
// trade request is accepted with the console's demonstration answer; one
// line is printed per request, result and online-state change. SIGINT or
// SIGTERM stops the server through StopOnline.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "tillwire.h"

namespace {

// "卡户姓名" in code page 936.
const char kHolderName[] = "\xBF\xA8\xBB\xA7\xD0\xD5\xC3\xFB";

// Local date and time as days since 1899-12-30.
double NowDayCount() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    const double secs = static_cast<double>(ts.tv_sec) + static_cast<double>(local.tm_gmtoff) +
                        static_cast<double>(ts.tv_nsec) / 1e9;
    return 25569.0 + secs / 86400.0;
}

std::string TimeText() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char buf[16];
    std::strftime(buf, sizeof buf, "%H:%M:%S", &local);
    return buf;
}

void TILLWIRE_CALL OnTradeRequest(TTradeRequest* request, TTradeAnswer* answer, uint8_t* accept) {
    // The demonstration answer: serial from the clock, balance 1.50, extra 30.
    answer->TradeSerial = static_cast<uint32_t>(std::floor(NowDayCount() * 10000.0));
    answer->ResultCode = 0;
    std::memcpy(answer->Text, kHolderName, sizeof kHolderName);
    answer->Balance = 150;
    answer->ExtraValue = 30;
    *accept = 1;
    std::printf("%s request device %u ip %.16s machine %u card %.21s amount %u.%02u -> accepted serial %u balance %u.%02u\n",
                TimeText().c_str(), request->ClockNo, request->DeviceIP, request->MachineNo, request->CardNo,
                request->Amount / 100, request->Amount % 100, answer->TradeSerial, answer->Balance / 100,
                answer->Balance % 100);
}

void TILLWIRE_CALL OnTradeResult(TTradeRequest* request, int32_t confirmed, uint8_t* flag) {
    std::printf("%s result serial %u %s device %u ip %.16s machine %u card %.21s amount %u.%02u\n",
                TimeText().c_str(), request->TradeSerial, (confirmed & 0xFF) ? "confirmed" : "unconfirmed",
                request->ClockNo, request->DeviceIP, request->MachineNo, request->CardNo, request->Amount / 100,
                request->Amount % 100);
    *flag = 1;
}

void TILLWIRE_CALL OnOnlineState(uint32_t clockNo, int32_t state) {
    std::printf("%s device %u %s\n", TimeText().c_str(), clockNo, state == 0 ? "online" : "offline");
}

void Usage(const char* argv0) {
    std::fprintf(stderr,
                 "usage: %s [--port N] [--devices \"60,127.0.0.1,4001|61,127.0.0.1,4002\"] [--listen ADDRESS]\n"
                 "  --port     UDP port to listen on (default 8002)\n"
                 "  --devices  registered terminals: number,address,port separated by |\n"
                 "  --listen   local IPv4 address to listen on (default: all local addresses)\n",
                 argv0);
}

}  // namespace

int main(int argc, char** argv) {
    int port = 8002;
    std::string devices = "60,127.0.0.1,4001";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != 0 || value <= 0 || value > 65535) {
                std::fprintf(stderr, "tillwire-serve: bad port '%s'\n", argv[i]);
                return 2;
            }
            port = static_cast<int>(value);
        } else if (arg == "--devices" && i + 1 < argc) {
            devices = argv[++i];
        } else if (arg == "--listen" && i + 1 < argc) {
            setenv("TILLWIRE_LISTEN_ADDRESS", argv[++i], 1);
        } else if (arg == "--help" || arg == "-h") {
            Usage(argv[0]);
            return 0;
        } else {
            Usage(argv[0]);
            return 2;
        }
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int sfd = signalfd(-1, &signals, SFD_CLOEXEC);
    if (sfd < 0) {
        std::perror("tillwire-serve: signalfd");
        return 1;
    }

    if (!LaunchOnlineByString(devices.c_str(), port, OnTradeRequest, OnTradeResult, OnOnlineState)) {
        std::fprintf(stderr, "tillwire-serve: cannot listen on UDP port %d\n", port);
        return 1;
    }
    std::printf("listening on UDP port %d, devices %s\n", port, devices.c_str());

    pollfd fds[2] = {{TillwireEventFd(), POLLIN, 0}, {sfd, POLLIN, 0}};
    while (true) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            std::perror("tillwire-serve: poll");
            break;
        }
        if (fds[0].revents & POLLIN) TillwireDispatch();
        if (fds[1].revents & POLLIN) break;
    }
    std::printf("stopping: waiting for unsettled trades\n");
    StopOnline();
    std::printf("stopped\n");
    close(sfd);
    return 0;
}
