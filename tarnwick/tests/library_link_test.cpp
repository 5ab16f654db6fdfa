// libTarnwick.so against the real emulator process, over TCP and over a
// serial pseudo-terminal.

#include "emulator_process.h"
#include "link/ole_time.h"

#include <tarnwick.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <dlfcn.h>
#include <future>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

using tarnwick::testing::EmulatorProcess;
using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int kTimeoutMs = 400;

std::atomic<int> g_nonLoopbackConnects{0};

bool IsLoopbackAddress(const sockaddr *addr) {
    if (addr->sa_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in *>(addr)->sin_addr.s_addr) >> 24) == 127;
    if (addr->sa_family == AF_INET6) return IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6 *>(addr)->sin6_addr);
    return true;  // local sockets
}

} // namespace

// Every connect() of this test program, the library's included, passes
// through here: a connection anywhere but loopback is counted and never made.
extern "C" int connect(int fd, const sockaddr *addr, socklen_t len) {
    if (addr && !IsLoopbackAddress(addr)) {
        ++g_nonLoopbackConnects;
        errno = ENETUNREACH;
        return -1;
    }
    using ConnectFn = int (*)(int, const sockaddr *, socklen_t);
    static auto real = reinterpret_cast<ConnectFn>(dlsym(RTLD_NEXT, "connect"));
    return real(fd, addr, len);
}

namespace {

double HostNow() { return tarnwick::link::DateTimeFromClock(tarnwick::link::HostLocalNow()); }

double SecondsBetween(double a, double b) { return std::fabs(a - b) * 86400.0; }

enum class LinkKind { Tcp, Serial };

void PrintTo(LinkKind k, std::ostream *os) { *os << (k == LinkKind::Tcp ? "TCP" : "serial"); }

std::string KindName(const ::testing::TestParamInfo<LinkKind> &info) {
    return info.param == LinkKind::Tcp ? "Tcp" : "Serial";
}

class LinkTest : public ::testing::TestWithParam<LinkKind> {
protected:
    void SetUp() override {
        setenv("TARNWICK_TIMEOUT_MS", std::to_string(kTimeoutMs).c_str(), 1);
        unsetenv("TARNWICK_ALLOW_LAN");
    }
    void TearDown() override { unsetenv("TARNWICK_COM3"); }

    void StartEmulator(std::vector<std::string> args = {}) {
        if (GetParam() == LinkKind::Serial) args.push_back("--pty");
        ASSERT_TRUE(emulator.Start(args)) << emulator.Output();
        if (GetParam() == LinkKind::Serial) setenv("TARNWICK_COM3", emulator.ptyPath().c_str(), 1);
    }

    int32_t Open() {
        return GetParam() == LinkKind::Tcp ? OpenClientSocket("127.0.0.1", emulator.port())
                                           : OpenCommPort(3, 38400);
    }

    EmulatorProcess emulator;
};

TEST_P(LinkTest, ConnectReadAndSetClockChangeNumberReadModelAndClose) {
    StartEmulator({"--clock-id", "24", "--model", "T10", "--firmware", "2.5", "--reader-type", "3", "--phone-pay",
                   "0", "--card-format", "7"});
    const int32_t h = Open();
    ASSERT_GT(h, 0);
    ASSERT_TRUE(CallClock(h, 24));

    double now = 0;
    ASSERT_TRUE(ReadClockTime(h, &now));
    EXPECT_LT(SecondsBetween(now, HostNow()), 2.0);

    const double set = 45358.0 + (9 * 3600 + 5 * 60 + 3) / 86400.0;  // 2024-03-07 09:05:03
    ASSERT_TRUE(SetClockTime(h, set));
    double read = 0;
    ASSERT_TRUE(ReadClockTime(h, &read));
    EXPECT_GE(read, set);
    EXPECT_LT(SecondsBetween(read, set), 2.0);

    int32_t model = -1, readerType = -1, cardFormat = -1;
    double version = -1;
    uint8_t phonePay = 9;
    ASSERT_TRUE(GetClockModelEx(h, &model, &version, &readerType, &phonePay, &cardFormat));
    EXPECT_EQ(model, TARNWICK_MODEL_T10);
    EXPECT_EQ(version, 2.5);
    EXPECT_EQ(readerType, 3);
    EXPECT_EQ(phonePay, 0);
    EXPECT_EQ(cardFormat, 7);

    // The link follows the terminal to its new number.
    ASSERT_TRUE(SetClockID(h, 31));
    EXPECT_TRUE(ReadClockTime(h, &read));
    EXPECT_TRUE(emulator.Command("status", "device 31,"));

    EXPECT_EQ(UnCallClock(h), 0);
    EXPECT_FALSE(ReadClockTime(h, &read)) << "no terminal is addressed after UnCallClock";
    EXPECT_EQ(ClosePortHandle(h), 0);
    EXPECT_FALSE(CallClock(h, 31)) << "a closed handle is no link";
    EXPECT_NE(ClosePortHandle(h), 0);

    // A new link reaches the terminal under its new number only.
    const int32_t h2 = Open();
    ASSERT_GT(h2, 0);
    EXPECT_NE(h2, h);
    EXPECT_FALSE(CallClock(h2, 24));
    EXPECT_TRUE(CallClock(h2, 31));
    EXPECT_EQ(CloseClientSocket(h2), 0);
}

TEST_P(LinkTest, WrongDeviceNumberTimesOutAndTheLinkStaysUsable) {
    StartEmulator({"--clock-id", "24"});
    const int32_t h = Open();
    ASSERT_GT(h, 0);
    const auto start = SteadyClock::now();
    EXPECT_FALSE(CallClock(h, 25));
    const auto took = SteadyClock::now() - start;
    EXPECT_GE(took, Ms(kTimeoutMs - 50));
    EXPECT_LT(took, Ms(kTimeoutMs + 1000));
    EXPECT_TRUE(CallClock(h, 24));
    ClosePortHandle(h);
}

TEST_P(LinkTest, LateAnswerToATimedOutCallIsNotTakenForTheNextOne) {
    StartEmulator();
    const int32_t h = Open();
    ASSERT_GT(h, 0);
    ASSERT_TRUE(CallClock(h, 24));
    ASSERT_TRUE(emulator.Command("delay " + std::to_string(kTimeoutMs + 100), "delay"));
    double t = 0;
    EXPECT_FALSE(ReadClockTime(h, &t));
    ASSERT_TRUE(emulator.Command("delay 0", "delay 0 ms"));
    ASSERT_TRUE(emulator.Command("clock set 2030-01-01 00:00:00", "clock 2030-01-01"));
    std::this_thread::sleep_for(Ms(300));  // the late answer, with today's time, is waiting now
    ASSERT_TRUE(ReadClockTime(h, &t));
    const double expected = tarnwick::link::DateTimeFromClock({2030, 1, 1, 0, 0, 0, 0});
    EXPECT_LT(SecondsBetween(t, expected), 5.0) << "took the stale answer";
    ClosePortHandle(h);
}

TEST_P(LinkTest, MutedTerminalFailsEachCallWithinTheTimeout) {
    StartEmulator({"--mute"});
    const int32_t h = Open();
    ASSERT_GT(h, 0);
    const auto start = SteadyClock::now();
    EXPECT_FALSE(CallClock(h, 24));
    EXPECT_LT(SteadyClock::now() - start, Ms(kTimeoutMs + 1000));
    ASSERT_TRUE(emulator.Command("unmute", "answering"));
    EXPECT_TRUE(CallClock(h, 24));
    ClosePortHandle(h);
}

TEST_P(LinkTest, TerminalDyingMidCallFailsTheCallInsteadOfHanging) {
    StartEmulator();
    const int32_t h = Open();
    ASSERT_GT(h, 0);
    ASSERT_TRUE(CallClock(h, 24));
    ASSERT_TRUE(emulator.Command("delay 10000", "delay 10000 ms"));
    const auto start = SteadyClock::now();
    auto call = std::async(std::launch::async, [h] {
        double t = 0;
        return ReadClockTime(h, &t);
    });
    std::this_thread::sleep_for(Ms(100));
    emulator.Kill();
    ASSERT_EQ(call.wait_for(Ms(kTimeoutMs + 2000)), std::future_status::ready) << "the call hangs";
    EXPECT_FALSE(call.get());
    EXPECT_LT(SteadyClock::now() - start, Ms(kTimeoutMs + 1000));
    // The broken link fails at once from now on, and closes cleanly.
    double t = 0;
    const auto again = SteadyClock::now();
    EXPECT_FALSE(ReadClockTime(h, &t));
    EXPECT_LT(SteadyClock::now() - again, Ms(kTimeoutMs + 500));
    EXPECT_EQ(ClosePortHandle(h), 0);
}

INSTANTIATE_TEST_SUITE_P(Links, LinkTest, ::testing::Values(LinkKind::Tcp, LinkKind::Serial), KindName);

TEST(TcpLinks, SeveralLinksAreServedAtOnce) {
    setenv("TARNWICK_TIMEOUT_MS", std::to_string(kTimeoutMs).c_str(), 1);
    EmulatorProcess emulator;
    ASSERT_TRUE(emulator.Start({"--quiet"})) << emulator.Output();
    std::vector<std::future<int>> workers;
    for (int w = 0; w < 4; ++w)
        workers.push_back(std::async(std::launch::async, [&emulator] {
            const int32_t h = OpenClientSocket("127.0.0.1", emulator.port());
            if (h <= 0 || !CallClock(h, 24)) return -1;
            int ok = 0;
            double t = 0;
            for (int i = 0; i < 50; ++i) ok += ReadClockTime(h, &t) ? 1 : 0;
            ClosePortHandle(h);
            return ok;
        }));
    for (auto &w : workers) EXPECT_EQ(w.get(), 50);
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TARNWICK_TIMEOUT_MS", std::to_string(kTimeoutMs).c_str(), 1);
        ASSERT_TRUE(emulator.Start({"--pty"})) << emulator.Output();
        setenv("TARNWICK_COM3", emulator.ptyPath().c_str(), 1);
    }
    void TearDown() override { unsetenv("TARNWICK_COM3"); }
    EmulatorProcess emulator;
};

TEST_F(SerialPortTest, PortIsHeldByOneLinkAndFreedByClose) {
    const int32_t first = OpenCommPort(3, 9600);
    ASSERT_GT(first, 0);
    EXPECT_EQ(OpenCommPort(3, 9600), 0) << "the port is in use";
    // A terminal that does not answer: the console releases the half-open
    // link, and a second attempt on the same port must open it again.
    EXPECT_FALSE(CallClock(first, 99));
    EXPECT_EQ(ClosePortHandle(first), 0);
    const int32_t second = OpenCommPort(3, 115200);
    ASSERT_GT(second, 0);
    EXPECT_TRUE(CallClock(second, 24));
    double t = 0;
    EXPECT_TRUE(ReadClockTime(second, &t));
    EXPECT_EQ(ClosePortHandle(second), 0);
}

TEST_F(SerialPortTest, BadPortArgumentsOpenNothing) {
    EXPECT_EQ(OpenCommPort(3, 12345), 0) << "unknown baud rate";
    EXPECT_EQ(OpenCommPort(0, 9600), 0);
    EXPECT_EQ(OpenCommPort(-3, 9600), 0);
    EXPECT_EQ(OpenCommPort(256, 9600), 0);
    EXPECT_EQ(OpenCommPort(4, 9600), 0) << "COM4 is mapped to nothing";
    setenv("TARNWICK_COM4", "/dev/null", 1);
    EXPECT_EQ(OpenCommPort(4, 9600), 0) << "not a serial device";
    setenv("TARNWICK_COM4", "/nonexistent/tty", 1);
    EXPECT_EQ(OpenCommPort(4, 9600), 0);
    unsetenv("TARNWICK_COM4");
}

class ArgumentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TARNWICK_TIMEOUT_MS", std::to_string(kTimeoutMs).c_str(), 1);
        ASSERT_TRUE(emulator.Start()) << emulator.Output();
        handle = OpenClientSocket("127.0.0.1", emulator.port());
        ASSERT_GT(handle, 0);
    }
    void TearDown() override { ClosePortHandle(handle); }
    EmulatorProcess emulator;
    int32_t handle = 0;
};

TEST_F(ArgumentsTest, CallsBeforeAddressingFailWithoutSending) {
    double t = 0;
    EXPECT_FALSE(ReadClockTime(handle, &t));
    EXPECT_FALSE(SetClockTime(handle, HostNow()));
    EXPECT_FALSE(SetClockID(handle, 5));
    EXPECT_FALSE(GetClockModelEx(handle, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_NE(UnCallClock(handle), 0);
    ASSERT_TRUE(emulator.Command("status", "answers 0"));
}

TEST_F(ArgumentsTest, OutOfRangeValuesAreRefusedAndTheTerminalKeepsItsState) {
    ASSERT_TRUE(CallClock(handle, 24));
    EXPECT_FALSE(CallClock(handle, 0));
    EXPECT_FALSE(CallClock(handle, -24));
    EXPECT_FALSE(ReadClockTime(handle, nullptr));
    for (double bad : {std::nan(""), double(INFINITY), double(-INFINITY), -1.0, 0.0, 1e12})
        EXPECT_FALSE(SetClockTime(handle, bad)) << bad;
    EXPECT_FALSE(SetClockID(handle, 0));
    EXPECT_FALSE(SetClockID(handle, -1));
    double t = 0;
    ASSERT_TRUE(ReadClockTime(handle, &t));
    EXPECT_LT(SecondsBetween(t, HostNow()), 2.0);
    EXPECT_TRUE(emulator.Command("status", "device 24,"));
    // Outputs the caller does not want may be left out.
    int32_t model = 0;
    EXPECT_TRUE(GetClockModelEx(handle, &model, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(model, TARNWICK_MODEL_T06);
}

TEST_F(ArgumentsTest, HandlesThatNameNoLinkFail) {
    for (int32_t bad : {0, -1, 4096, 1 << 30, INT32_MIN}) {
        double t = 0;
        EXPECT_FALSE(CallClock(bad, 24)) << bad;
        EXPECT_FALSE(ReadClockTime(bad, &t)) << bad;
        EXPECT_NE(UnCallClock(bad), 0) << bad;
        EXPECT_NE(ClosePortHandle(bad), 0) << bad;
        EXPECT_NE(CloseClientSocket(bad), 0) << bad;
    }
}

TEST(SocketOpen, BadAddressesAndPortsOpenNothing) {
    setenv("TARNWICK_TIMEOUT_MS", std::to_string(kTimeoutMs).c_str(), 1);
    // A port on loopback where nobody listens.
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr *>(&a), len), 0);
    getsockname(s, reinterpret_cast<sockaddr *>(&a), &len);
    const int closedPort = ntohs(a.sin_port);
    close(s);

    EXPECT_EQ(OpenClientSocket(nullptr, 4001), 0);
    EXPECT_EQ(OpenClientSocket("127.0.0.1", closedPort), 0);
    EXPECT_EQ(OpenClientSocket("127.0.0.1", 0), 0);
    EXPECT_EQ(OpenClientSocket("127.0.0.1", 70000), 0);
    EXPECT_EQ(OpenClientSocket("", 4001), 0);
    EXPECT_EQ(OpenClientSocket("   ", 4001), 0);
    EXPECT_EQ(OpenClientSocket("127.0.0.300", 4001), 0);
    EXPECT_EQ(OpenClientSocket("terminal.example", 4001), 0) << "no name lookups";
}

TEST(SocketOpen, AddressTypedWithBlanksStillConnects) {
    setenv("TARNWICK_TIMEOUT_MS", std::to_string(kTimeoutMs).c_str(), 1);
    EmulatorProcess emulator;
    ASSERT_TRUE(emulator.Start());
    for (const char *ip : {" 127.0.0.1 ", "127.0.0.1", "localhost"}) {
        const int32_t h = OpenClientSocket(ip, emulator.port());
        EXPECT_GT(h, 0) << "'" << ip << "'";
        EXPECT_TRUE(CallClock(h, 24)) << "'" << ip << "'";
        ClosePortHandle(h);
    }
}

TEST(SocketOpen, NonLoopbackAddressIsRefusedBeforeAnyConnect) {
    unsetenv("TARNWICK_ALLOW_LAN");
    g_nonLoopbackConnects = 0;
    for (const char *ip : {"192.0.2.1", " 192.0.2.1", "10.0.0.1", "0.0.0.0", "255.255.255.255", "::ffff:192.0.2.1",
                           "2001:db8::1"}) {
        const auto start = SteadyClock::now();
        EXPECT_EQ(OpenClientSocket(ip, 4001), 0) << ip;
        EXPECT_LT(SteadyClock::now() - start, Ms(250)) << ip;
    }
    EXPECT_EQ(g_nonLoopbackConnects, 0);
}

} // namespace
