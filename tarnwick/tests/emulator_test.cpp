// tarnwick-terminal as a program: its command line, its standard input, and
// its staying power against clients that send anything at all.

#include "emulator_process.h"
#include "link/frame.h"
#include "link/ole_time.h"
#include "link/protocol.h"

#include <tarnwick.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

using tarnwick::testing::EmulatorProcess;
using tarnwick::testing::RunEmulator;

namespace {

int ConnectRaw(int port, int receiveBuffer = 0) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("TARNWICK_TIMEOUT_MS", "500", 1); }
};

TEST_F(EmulatorTest, HelpNamesEveryOptionAndTheReadyLines) {
    std::string out;
    ASSERT_EQ(RunEmulator({"--help"}, out), 0);
    for (const char *word : {"--listen", "--port", "--pty", "--clock-id", "--model", "--firmware", "--reader-type",
                             "--phone-pay", "--card-format", "--allow-lan", "--mute", "listening ADDR:PORT", "ready"})
        EXPECT_NE(out.find(word), std::string::npos) << word;
}

TEST_F(EmulatorTest, BadArgumentsStopWithAMessage) {
    const std::vector<std::vector<std::string>> cases = {
        {"--port", "70000"}, {"--port"},          {"--model", "T23"},     {"--model", "X06"},
        {"--clock-id", "0"}, {"--phone-pay", "2"}, {"--firmware", "abc"}, {"--frobnicate"}};
    for (const auto &args : cases) {
        std::string out;
        EXPECT_EQ(RunEmulator(args, out), 2) << args[0];
        EXPECT_NE(out.find("tarnwick-terminal:"), std::string::npos) << out;
    }
}

TEST_F(EmulatorTest, RefusesToListenBeyondLoopbackUnlessAllowed) {
    for (const char *addr : {"0.0.0.0", "192.0.2.1", "::"}) {
        std::string out;
        EXPECT_EQ(RunEmulator({"--listen", addr, "--port", "0"}, out), 1) << addr;
        EXPECT_NE(out.find("--allow-lan"), std::string::npos) << out;
    }
}

TEST_F(EmulatorTest, ServesOthersWhileOneClientSendsNoise) {
    EmulatorProcess emulator;
    ASSERT_TRUE(emulator.Start({"--quiet"}));
    const int noisy = ConnectRaw(emulator.port());
    ASSERT_GE(noisy, 0);
    std::mt19937 rng(11);
    std::vector<std::uint8_t> junk(256 * 1024);
    for (auto &b : junk) b = static_cast<std::uint8_t>(rng());
    // Ends with the start of a frame that never completes.
    junk.push_back(tarnwick::link::kStart0);
    junk.push_back(tarnwick::link::kStart1);
    junk.push_back(tarnwick::link::kVersion);
    ASSERT_EQ(send(noisy, junk.data(), junk.size(), MSG_NOSIGNAL), static_cast<ssize_t>(junk.size()));

    const int32_t h = OpenClientSocket("127.0.0.1", emulator.port());
    ASSERT_GT(h, 0);
    EXPECT_TRUE(CallClock(h, 24));
    double t = 0;
    EXPECT_TRUE(ReadClockTime(h, &t));

    // After the noise a well-formed request on the same connection is answered.
    tarnwick::link::Frame req;
    req.sequence = 9;
    req.command = tarnwick::link::kCmdCall;
    req.device = 24;
    const auto bytes = tarnwick::link::EncodeFrame(req);
    send(noisy, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    tarnwick::link::FrameDecoder decoder;
    std::optional<tarnwick::link::Frame> answer;
    for (int i = 0; i < 100 && !answer; ++i) {
        pollfd p{noisy, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        std::uint8_t buf[512];
        const ssize_t n = read(noisy, buf, sizeof buf);
        if (n <= 0) break;
        decoder.Feed(buf, static_cast<std::size_t>(n));
        answer = decoder.Next();
    }
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->sequence, 9);
    EXPECT_EQ(answer->status, tarnwick::link::kStatusOk);
    close(noisy);

    EXPECT_TRUE(ReadClockTime(h, &t));
    ClosePortHandle(h);
    EXPECT_EQ(emulator.Stop(), 0);
}

TEST_F(EmulatorTest, ClosesAClientThatNeverReadsItsAnswersAndServesTheOthers) {
    EmulatorProcess emulator;
    ASSERT_TRUE(emulator.Start({"--quiet"}));
    const int greedy = ConnectRaw(emulator.port(), 4096);
    ASSERT_GE(greedy, 0);
    std::vector<std::uint8_t> requests;
    for (std::uint16_t i = 0; i < 8192; ++i) {
        tarnwick::link::Frame req;
        req.sequence = i;
        req.command = tarnwick::link::kCmdReadModel;
        req.device = 24;
        tarnwick::link::EncodeFrame(req, requests);
    }
    // Ask over and over without ever reading, until the emulator hangs up.
    bool hungUp = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!hungUp && std::chrono::steady_clock::now() < deadline) {
        pollfd p{greedy, POLLOUT, 0};
        if (poll(&p, 1, 5) <= 0) continue;
        if (p.revents & (POLLERR | POLLHUP)) break;
        if (send(greedy, requests.data(), requests.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno != EAGAIN)
            hungUp = true;
    }
    EXPECT_TRUE(emulator.WaitForOutput("not reading its answers")) << emulator.Output();
    close(greedy);

    const int32_t h = OpenClientSocket("127.0.0.1", emulator.port());
    ASSERT_GT(h, 0);
    EXPECT_TRUE(CallClock(h, 24));
    ClosePortHandle(h);
}

TEST_F(EmulatorTest, KeepsServingAfterStandardInputEndsAndStopsOnSigterm) {
    EmulatorProcess emulator;
    ASSERT_TRUE(emulator.Start());
    emulator.CloseInput();
    const int32_t h = OpenClientSocket("127.0.0.1", emulator.port());
    ASSERT_GT(h, 0);
    EXPECT_TRUE(CallClock(h, 24));
    ClosePortHandle(h);
    EXPECT_EQ(emulator.Stop(), 0);
    EXPECT_NE(emulator.Output().find("bye"), std::string::npos);
}

TEST_F(EmulatorTest, CommandsChangeWhatTheTerminalAnswers) {
    EmulatorProcess emulator;
    ASSERT_TRUE(emulator.Start());
    ASSERT_TRUE(emulator.Command("id 7", "device 7"));
    ASSERT_TRUE(emulator.Command("model T21", "model T21"));
    ASSERT_TRUE(emulator.Command("firmware 4.25", "firmware 4.25"));
    ASSERT_TRUE(emulator.Command("clock set 2031-05-06 07:08:09", "clock 2031-05-06 07:08"));
    ASSERT_TRUE(emulator.Command("bogus", "unknown command: bogus"));
    ASSERT_TRUE(emulator.Command("clock set 2031-02-30 00:00:00", "clock: not a date-time"));
    ASSERT_TRUE(emulator.Command("help", "delay MS"));

    const int32_t h = OpenClientSocket("127.0.0.1", emulator.port());
    ASSERT_GT(h, 0);
    ASSERT_TRUE(CallClock(h, 7));
    int32_t model = 0;
    double version = 0;
    ASSERT_TRUE(GetClockModelEx(h, &model, &version, nullptr, nullptr, nullptr));
    EXPECT_EQ(model, TARNWICK_MODEL_T21);
    EXPECT_EQ(version, 4.25);
    double t = 0;
    ASSERT_TRUE(ReadClockTime(h, &t));
    const double set = tarnwick::link::DateTimeFromClock({2031, 5, 6, 7, 8, 9, 0});
    EXPECT_GE(t, set);
    EXPECT_LT(t, set + 5.0 / 86400);
    ClosePortHandle(h);
    ASSERT_TRUE(emulator.Command("quit", "bye"));
}

} // namespace
