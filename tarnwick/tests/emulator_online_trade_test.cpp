// tarnwick-terminal in online-trade mode, against a trade server played by
// the test on a loopback UDP socket (replies built here by hand, with a
// bitwise CRC), and end to end against tillwire-serve when it is built.

#include "emulator_process.h"
#include "trade_server_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

using tarnwick::testing::EmulatorProcess;
using tarnwick::testing::RunEmulator;
using namespace std::chrono_literals;

namespace {

using namespace tarnwick::testing::trade_server;

const Bytes kLowBalance = {0xD3, 0xE0, 0xB6, 0xEE, 0xB2, 0xBB, 0xD7, 0xE3};   // 余额不足

const Bytes kCard = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};

// A loopback UDP socket playing the trade server.
class UdpPeer {
public:
    UdpPeer() { fd_ = tarnwick::testing::BindLoopbackUdp(&port_); }
    ~UdpPeer() { close(fd_); }
    UdpPeer(const UdpPeer &) = delete;
    UdpPeer &operator=(const UdpPeer &) = delete;

    int port() const { return port_; }
    std::string endpoint() const { return "127.0.0.1:" + std::to_string(port_); }

    struct Datagram {
        Bytes bytes;
        sockaddr_in from{};
        int fromPort() const { return ntohs(from.sin_port); }
    };
    std::optional<Datagram> Receive(std::chrono::milliseconds timeout = 5s) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(timeout.count())) != 1) return std::nullopt;
        Datagram d;
        d.bytes.resize(4096);
        socklen_t len = sizeof d.from;
        const ssize_t n = recvfrom(fd_, d.bytes.data(), d.bytes.size(), 0, reinterpret_cast<sockaddr *>(&d.from), &len);
        if (n < 0) return std::nullopt;
        d.bytes.resize(static_cast<std::size_t>(n));
        return d;
    }
    void SendTo(const sockaddr_in &to, const Bytes &bytes) {
        sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    }
    void SendToPort(int port, const Bytes &bytes) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<std::uint16_t>(port));
        SendTo(to, bytes);
    }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// The parameter bytes of a terminal's frame, after checking its frame
// bytes: start, two-byte address, length, CRC and command.
Bytes TerminalParams(const Bytes &frame, std::uint16_t device, std::uint16_t command) {
    EXPECT_GE(frame.size(), 10u);
    if (frame.size() < 10) return {};
    EXPECT_EQ(frame[0], 0xAE);
    EXPECT_EQ(frame[1] & 0x0F, 0x01);
    EXPECT_EQ(frame[2], device >> 8);
    EXPECT_EQ(frame[3], device & 0xFF);
    EXPECT_EQ(std::size_t((frame[4] << 8) | frame[5]) + 8, frame.size());
    const std::uint16_t crc = BitwiseCrc(frame.data(), frame.size() - 2);
    EXPECT_EQ(frame[frame.size() - 2], crc >> 8);
    EXPECT_EQ(frame.back(), crc & 0xFF);
    EXPECT_EQ((frame[6] << 8) | frame[7], command);
    return Bytes(frame.begin() + 8, frame.end() - 2);
}

class OnlineTradeTest : public ::testing::Test {
protected:
    static constexpr int kDeadlineMs = 300;

    bool StartEmulator(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"--quiet",      "--clock-id",           "5", "--trade-mode", "1",
                                      "--trade-server", server.endpoint(), "--trade-timeout-ms",
                                      std::to_string(kDeadlineMs)};
        args.insert(args.end(), extra.begin(), extra.end());
        return emulator.Start(args) && emulator.tradePort() > 0;
    }
    // Types a swipe and returns the request it sent.
    std::optional<UdpPeer::Datagram> Swipe(const std::string &line = "swipe 0011223344556677 100 1 2 3") {
        if (!emulator.Command(line, "trade sent")) return std::nullopt;
        return server.Receive();
    }
    // Nothing more reaches the trade server for a while.
    void ExpectSilence(std::chrono::milliseconds wait = 2 * std::chrono::milliseconds(kDeadlineMs)) {
        const auto extra = server.Receive(wait);
        EXPECT_FALSE(extra) << "unexpected datagram of " << (extra ? extra->bytes.size() : 0) << " bytes";
    }
    // Waits for text printed after the output had `from` bytes.
    bool Printed(const std::string &text, std::size_t from = 0) {
        return emulator.WaitForOutput(text, 5s, from);
    }

    UdpPeer server;
    EmulatorProcess emulator;
};

TEST_F(OnlineTradeTest, ReadyLineNamesTheUdpSocketAndTheServer) {
    ASSERT_TRUE(StartEmulator());
    const std::string out = emulator.Output();
    const std::string line = "trade udp 127.0.0.1:" + std::to_string(emulator.tradePort()) + " -> " +
                             server.endpoint() + " mode 1\n";
    ASSERT_NE(out.find(line), std::string::npos) << out;
    EXPECT_LT(out.find(line), out.find("ready\n"));
    ASSERT_TRUE(emulator.Command("status", "trade mode 1 (online)"));
    EXPECT_TRUE(Printed("udp 127.0.0.1:" + std::to_string(emulator.tradePort()) + ", machine 5, confirm on"));
}

TEST_F(OnlineTradeTest, RequestIsTheWorkedExampleSentFromTheRegisteredPort) {
    ASSERT_TRUE(StartEmulator());
    const auto request = Swipe();
    ASSERT_TRUE(request);
    const Bytes expected = {0xAE, 0x01, 0x00, 0x05, 0x00, 0x12, 0x0B, 0x01, 0x05, 0x00, 0x11, 0x22, 0x33,
                            0x44, 0x55, 0x66, 0x77, 0x01, 0x02, 0x03, 0x00, 0x00, 0x00, 0x64, 0x52, 0xFF};
    EXPECT_EQ(request->bytes, expected);
    EXPECT_EQ(request->fromPort(), emulator.tradePort());
    EXPECT_NE(emulator.Output().find("trade sent device=5 machine=5 card=0011223344556677 amount=1.00 aux=1,2,3\n"),
              std::string::npos);
}

struct RequestCase {
    const char *name;
    std::vector<std::string> options;
    std::string swipe;
    std::uint16_t device;
    std::uint8_t machine;
    Bytes card;
    std::uint32_t amount;
};

void PrintTo(const RequestCase &c, std::ostream *os) { *os << c.name; }

class RequestFields : public OnlineTradeTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(RequestFields, CarryDeviceMachineCardAndAmount) {
    const RequestCase &c = GetParam();
    ASSERT_TRUE(StartEmulator(c.options));
    const auto request = Swipe(c.swipe);
    ASSERT_TRUE(request);
    Bytes params{c.machine};
    params.insert(params.end(), c.card.begin(), c.card.end());
    params.insert(params.end(), {0, 0, 0});
    PutBE32(params, c.amount);
    EXPECT_EQ(TerminalParams(request->bytes, c.device, 0x0B01), params);
}

INSTANTIATE_TEST_SUITE_P(
    OnlineTrade, RequestFields,
    ::testing::Values(
        // The machine number follows the device number's low byte unless set.
        RequestCase{"MachineFromDeviceNumber", {"--clock-id", "300"}, "swipe abc 7", 300, 0x2C,
                    {0, 0, 0, 0, 0, 0, 0x0A, 0xBC}, 7},
        RequestCase{"MachineOption", {"--clock-id", "300", "--machine-no", "9"}, "swipe abc 7", 300, 9,
                    {0, 0, 0, 0, 0, 0, 0x0A, 0xBC}, 7},
        RequestCase{"YuanAmountAndFullCard", {}, "swipe FFEEDDCCBBAA9988 12.5", 5, 5,
                    {0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA, 0x99, 0x88}, 1250},
        RequestCase{"LargestAmount", {}, "swipe 1 4294967295", 5, 5, {0, 0, 0, 0, 0, 0, 0, 1}, 4294967295u}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(OnlineTradeTest, MachineNumberCommandAndDeviceNumberChangeReachTheRequest) {
    ASSERT_TRUE(StartEmulator());
    ASSERT_TRUE(emulator.Command("id 258", "device 258"));
    auto request = Swipe("swipe 1 1");
    ASSERT_TRUE(request);
    EXPECT_EQ(TerminalParams(request->bytes, 258, 0x0B01).at(0), 2);  // low byte of 258
    server.SendTo(request->from, RefusedReply(258, 1, {'N', 'O'}));
    ASSERT_TRUE(Printed("trade refused result=1"));
    ASSERT_TRUE(emulator.Command("machine-no 77", "machine number 77"));
    request = Swipe("swipe 1 1");
    ASSERT_TRUE(request);
    EXPECT_EQ(TerminalParams(request->bytes, 258, 0x0B01).at(0), 77);
}

TEST_F(OnlineTradeTest, AcceptedTradeIsPrintedAndConfirmedWithItsSerial) {
    ASSERT_TRUE(StartEmulator());
    const auto request = Swipe();
    ASSERT_TRUE(request);
    server.SendTo(request->from, AcceptedReply(5, kCard, 460012345));
    ASSERT_TRUE(Printed("trade accepted serial=460012345 balance=1.50 extra=30 card=0011223344556677 name=卡户姓名\n"))
        << emulator.Output();
    const auto confirmation = server.Receive();
    ASSERT_TRUE(confirmation);
    EXPECT_EQ(confirmation->fromPort(), emulator.tradePort());
    Bytes params{0x00};
    PutBE32(params, 460012345);
    EXPECT_EQ(TerminalParams(confirmation->bytes, 5, 0x0B02), params);
    EXPECT_TRUE(Printed("trade confirmed serial=460012345\n"));
    ExpectSilence();
    // The trade is over: the next swipe goes out at once.
    ASSERT_TRUE(Swipe("swipe 1 1"));
}

class NoConfirmation : public OnlineTradeTest, public ::testing::WithParamInterface<bool> {};

TEST_P(NoConfirmation, AcceptedTradeIsLeftUnconfirmed) {
    const bool byOption = GetParam();
    ASSERT_TRUE(StartEmulator(byOption ? std::vector<std::string>{"--no-confirm"} : std::vector<std::string>{}));
    if (!byOption) {
        ASSERT_TRUE(emulator.Command("confirm off", "confirm off"));
    }
    const auto request = Swipe();
    ASSERT_TRUE(request);
    server.SendTo(request->from, AcceptedReply(5, kCard, 77, 2500, 0, {}));
    ASSERT_TRUE(Printed("trade accepted serial=77 balance=25.00 extra=0 card=0011223344556677 name=\n"));
    EXPECT_TRUE(Printed("trade unconfirmed serial=77 (confirm off)\n"));
    ExpectSilence();
    ASSERT_TRUE(emulator.Command("status", "confirm off"));
}

INSTANTIATE_TEST_SUITE_P(OnlineTrade, NoConfirmation, ::testing::Values(true, false),
                         [](const auto &info) { return info.param ? "Option" : "Command"; });

struct RefusalCase {
    const char *name;
    std::uint8_t result;
    Bytes message;
    std::string printed;
};

void PrintTo(const RefusalCase &c, std::ostream *os) { *os << c.name; }

class Refusals : public OnlineTradeTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, ArePrintedAndNeverConfirmed) {
    ASSERT_TRUE(StartEmulator());
    const auto request = Swipe();
    ASSERT_TRUE(request);
    server.SendTo(request->from, RefusedReply(5, GetParam().result, GetParam().message));
    ASSERT_TRUE(Printed(GetParam().printed + "\n")) << emulator.Output();
    ExpectSilence();
}

INSTANTIATE_TEST_SUITE_P(
    OnlineTrade, Refusals,
    ::testing::Values(RefusalCase{"GbkMessage", 2, kLowBalance, "trade refused result=2 message=余额不足"},
                      // A result code with low byte 0: still a refusal, shown with its message.
                      RefusalCase{"ResultZero", 0, {'N', 'O'}, "trade refused result=0 message=NO"},
                      RefusalCase{"EmptyMessage", 255, {}, "trade refused result=255 message="},
                      // A message cannot forge a line of its own.
                      RefusalCase{"LineBreakInMessage", 3, {'x', '\n', 't', 'r', 'a', 'd', 'e'},
                                  "trade refused result=3 message=x\\x0Atrade"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(OnlineTradeTest, NoReplyTimesOutOnceWithoutRetryAndALateReplyIsIgnored) {
    ASSERT_TRUE(StartEmulator());
    const auto request = Swipe();
    ASSERT_TRUE(request);
    ASSERT_TRUE(Printed("trade timeout ms=300\n"));
    ExpectSilence();
    const std::size_t mark = emulator.Output().size();
    server.SendTo(request->from, AcceptedReply(5, kCard, 4242));
    ASSERT_TRUE(Printed("trade ignored: late reply, accepted serial=4242\n", mark));
    ExpectSilence();
    EXPECT_EQ(emulator.Output().find("trade accepted"), std::string::npos);
    // Forgotten means free for the next swipe.
    ASSERT_TRUE(Swipe());
    ASSERT_TRUE(emulator.Command("status", "timeouts 1, late 1"));
}

TEST_F(OnlineTradeTest, OneTradeInFlightAtATime) {
    ASSERT_TRUE(StartEmulator({"--trade-timeout-ms", "5000"}));
    const auto request = Swipe();
    ASSERT_TRUE(request);
    ASSERT_TRUE(emulator.Command("swipe 1 1", "swipe refused: a trade is awaiting its reply"));
    ASSERT_TRUE(emulator.Command("flood 1", "flood refused: a trade is awaiting its reply"));
    EXPECT_FALSE(server.Receive(100ms));
    server.SendTo(request->from, RefusedReply(5, 1, {}));
    ASSERT_TRUE(Printed("trade refused result=1"));
    EXPECT_TRUE(Swipe("swipe 1 1"));
}

struct BadSwipe {
    const char *name;
    std::vector<std::string> options;
    std::vector<std::string> commands;  // typed before the swipe
    std::string swipe;
    std::string printed;
};

void PrintTo(const BadSwipe &c, std::ostream *os) { *os << c.name; }

class BadSwipes : public OnlineTradeTest, public ::testing::WithParamInterface<BadSwipe> {};

TEST_P(BadSwipes, PrintWhyAndSendNothing) {
    const BadSwipe &c = GetParam();
    ASSERT_TRUE(StartEmulator(c.options));
    for (const auto &command : c.commands) ASSERT_TRUE(emulator.Command(command, "\n")) << command;
    ASSERT_TRUE(emulator.Command(c.swipe, c.printed)) << emulator.Output();
    EXPECT_FALSE(server.Receive(150ms));
    EXPECT_EQ(emulator.Output().find("trade sent"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    OnlineTrade, BadSwipes,
    ::testing::Values(
        BadSwipe{"NotHex", {}, {}, "swipe 12zz 100", "swipe refused: card must be 1 to 16 hexadecimal digits: 12zz"},
        BadSwipe{"SeventeenDigits", {}, {}, "swipe 12345678901234567 100", "swipe refused: card must be"},
        BadSwipe{"HexPrefix", {}, {}, "swipe 0x12 100", "swipe refused: card must be"},
        BadSwipe{"NegativeAmount", {}, {}, "swipe 1 -5", "swipe refused: amount must be"},
        BadSwipe{"ThreeDecimals", {}, {}, "swipe 1 1.234", "swipe refused: amount must be"},
        BadSwipe{"AmountBeyond32Bits", {}, {}, "swipe 1 4294967296", "swipe refused: amount must be"},
        BadSwipe{"TwoAuxBytes", {}, {}, "swipe 1 100 1 2", "swipe refused: usage: swipe CARD AMOUNT"},
        BadSwipe{"AuxBeyondAByte", {}, {}, "swipe 1 100 1 2 256", "swipe refused: aux bytes are 0..255: 256"},
        BadSwipe{"NoAmount", {}, {}, "swipe 1", "swipe refused: usage"},
        BadSwipe{"ModeNormalByDefault", {"--trade-mode", "0"}, {}, "swipe 1 100",
                 "swipe refused: trade mode is 0 (normal), not 1 (online)"},
        BadSwipe{"ModeBookkeepingByCommand", {}, {"trade-mode 2"}, "swipe 1 100",
                 "swipe refused: trade mode is 2 (bookkeeping), not 1 (online)"},
        BadSwipe{"FloodOutsideOnlineMode", {}, {"trade-mode 0"}, "flood 1", "flood refused: trade mode is 0"},
        BadSwipe{"DeviceNumberBeyondTheAddress", {"--clock-id", "70000"}, {}, "swipe 1 100",
                 "swipe refused: device number 70000 does not fit the two-byte trade address"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(OnlineTradeTest, GarbageAndStrangersAreIgnoredWhileTheTradeWaits) {
    ASSERT_TRUE(StartEmulator({"--trade-timeout-ms", "5000"}));
    const auto request = Swipe();
    ASSERT_TRUE(request);
    const Bytes good = AcceptedReply(5, kCard, 31337);
    Bytes badCrc = good;
    badCrc[0] ^= 0x01;  // the CRC's low byte comes first
    Bytes flipped = good;
    flipped[20] ^= 0x80;
    const std::vector<std::pair<Bytes, std::string>> junk = {
        {{0x01, 0x02, 0x03}, "trade ignored: short datagram (3 bytes)"},
        {badCrc, "trade ignored: wrong CRC"},
        {flipped, "trade ignored: wrong CRC"},
        {Reversed(good), "trade ignored: no frame start"},  // sent in wire order instead of reversed
        {Bytes(2000, 0xAE), "trade ignored: longer than 1025 bytes (2000 bytes)"},
        {Reversed(DeviceFrame(5, 1, 0x0B01, {0x00})), "trade ignored: command 0B01 is not a trade reply"},
        {AcceptedReply(6, kCard, 31337), "trade ignored: reply for device 6"},
        {AcceptedReply(5, Bytes{9, 9, 9, 9, 9, 9, 9, 9}, 31337), "trade ignored: reply for card 0909090909090909"},
    };
    for (const auto &[bytes, printed] : junk) {
        const std::size_t mark = emulator.Output().size();
        server.SendTo(request->from, bytes);
        ASSERT_TRUE(Printed(printed, mark)) << printed << "\n" << emulator.Output();
    }
    {
        // The right bytes from the wrong sender.
        UdpPeer stranger;
        const std::size_t mark = emulator.Output().size();
        stranger.SendToPort(emulator.tradePort(), good);
        ASSERT_TRUE(Printed("trade ignored: datagram from 127.0.0.1:" + std::to_string(stranger.port()) +
                                ", not the trade server",
                            mark));
    }
    EXPECT_FALSE(server.Receive(50ms));  // nothing confirmed so far
    ASSERT_TRUE(emulator.Command("status", "awaiting reply for card 0011223344556677"));
    EXPECT_TRUE(Printed("garbage 8, foreign 1"));

    server.SendTo(request->from, good);
    ASSERT_TRUE(Printed("trade accepted serial=31337"));
    const auto confirmation = server.Receive();
    ASSERT_TRUE(confirmation);
    EXPECT_EQ(GetBE32(TerminalParams(confirmation->bytes, 5, 0x0B02).data() + 1), 31337u);
}

TEST_F(OnlineTradeTest, TradeServerAndModeChangeAtRunTime) {
    ASSERT_TRUE(StartEmulator({"--trade-mode", "0"}));
    UdpPeer other;
    ASSERT_TRUE(emulator.Command("trade-server " + other.endpoint(), "trade server " + other.endpoint()));
    ASSERT_TRUE(emulator.Command("trade-server 192.0.2.1:8002", "trade-server: refusing 192.0.2.1"));
    ASSERT_TRUE(emulator.Command("trade-server 127.0.0.1", "trade-server: not ADDR:PORT"));
    ASSERT_TRUE(emulator.Command("trade-mode 1", "trade mode 1 (online)"));
    ASSERT_TRUE(emulator.Command("swipe 1 1", "trade sent"));
    const auto request = other.Receive();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->fromPort(), emulator.tradePort());
    EXPECT_FALSE(server.Receive(50ms));
    // Replies count only from the server the request went to.
    server.SendToPort(emulator.tradePort(), RefusedReply(5, 1, {}));
    ASSERT_TRUE(Printed("trade ignored: datagram from " + server.endpoint()));
    other.SendTo(request->from, RefusedReply(5, 4, {}));
    EXPECT_TRUE(Printed("trade refused result=4 message=\n"));
}

// Answers every trade request with an accepted reply until stopped, and
// counts requests and confirmations.
class AnsweringServer {
public:
    explicit AnsweringServer(UdpPeer &peer, bool answer = true) : peer_(peer), answer_(answer) {
        thread_ = std::thread([this] { Run(); });
    }
    ~AnsweringServer() {
        stop_ = true;
        thread_.join();
    }
    std::atomic<std::uint64_t> requests{0}, confirmations{0};

private:
    void Run() {
        std::uint32_t serial = 1000;
        while (!stop_) {
            const auto d = peer_.Receive(20ms);
            if (!d || d->bytes.size() < 8) continue;
            const std::uint16_t command = static_cast<std::uint16_t>((d->bytes[6] << 8) | d->bytes[7]);
            if (command == 0x0B02) {
                ++confirmations;
                continue;
            }
            ++requests;
            if (answer_) {
                const Bytes card(d->bytes.begin() + 9, d->bytes.begin() + 17);
                peer_.SendTo(d->from, AcceptedReply(5, card, ++serial));
            }
        }
    }
    UdpPeer &peer_;
    bool answer_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::uint64_t Field(const std::string &line, const std::string &key) {
    const auto at = line.find(" " + key + "=");
    if (at == std::string::npos) return UINT64_MAX;
    return std::strtoull(line.c_str() + at + key.size() + 2, nullptr, 10);
}

std::string LineWith(const std::string &output, const std::string &prefix) {
    const auto at = output.find(prefix);
    if (at == std::string::npos) return {};
    return output.substr(at, output.find('\n', at) - at);
}

// Types a flood and returns its whole summary line.
std::string Flood(EmulatorProcess &emulator, const std::string &command) {
    const std::size_t mark = emulator.Output().size();
    if (!emulator.Command(command, "flood done") || !emulator.WaitForOutput("\n", 5s, emulator.Output().find("flood done", mark)))
        return {};
    return LineWith(emulator.Output().substr(mark), "flood done");
}

TEST_F(OnlineTradeTest, FloodSwipesAgainAfterEachTradeAndSummarises) {
    ASSERT_TRUE(StartEmulator());
    std::string summary;
    std::uint64_t requests = 0, confirmations = 0;
    {
        AnsweringServer answering(server);
        summary = Flood(emulator, "flood 0.3 abc 250");
        ASSERT_FALSE(summary.empty()) << emulator.Output();
        // The last confirmation may still be on its way.
        for (int i = 0; i < 100 && answering.confirmations < Field(summary, "confirmed"); ++i)
            std::this_thread::sleep_for(5ms);
        requests = answering.requests;
        confirmations = answering.confirmations;
    }
    const std::string out = emulator.Output();
    EXPECT_NE(out.find("flood started seconds=0.3 card=0000000000000abc amount=2.50\n"), std::string::npos);
    const std::uint64_t sent = Field(summary, "sent");
    EXPECT_GT(sent, 1u) << summary;
    EXPECT_EQ(Field(summary, "accepted"), sent) << summary;
    EXPECT_EQ(Field(summary, "confirmed"), sent) << summary;
    EXPECT_EQ(Field(summary, "refused"), 0u) << summary;
    EXPECT_EQ(Field(summary, "timeout"), 0u) << summary;
    EXPECT_NE(summary.find(" per_second="), std::string::npos) << summary;
    EXPECT_EQ(requests, sent);
    EXPECT_EQ(confirmations, sent);
    // Per-trade lines stay off while flooding.
    EXPECT_EQ(out.find("trade accepted"), std::string::npos);
    EXPECT_EQ(out.find("trade sent"), std::string::npos);
}

TEST_F(OnlineTradeTest, FloodGoesOnPastTradesThatGetNoReply) {
    ASSERT_TRUE(StartEmulator({"--trade-timeout-ms", "50"}));
    std::uint64_t requests = 0;
    std::string summary;
    {
        AnsweringServer silent(server, false);
        summary = Flood(emulator, "flood 0.3");
        ASSERT_FALSE(summary.empty()) << emulator.Output();
        requests = silent.requests;
    }
    EXPECT_GE(Field(summary, "sent"), 3u) << summary;
    EXPECT_EQ(Field(summary, "timeout"), Field(summary, "sent")) << summary;
    EXPECT_EQ(Field(summary, "accepted"), 0u) << summary;
    EXPECT_EQ(requests, Field(summary, "sent"));
    EXPECT_EQ(emulator.Output().find("trade timeout"), std::string::npos);
}

TEST_F(OnlineTradeTest, FloodStopsOnRequest) {
    ASSERT_TRUE(StartEmulator({"--trade-timeout-ms", "1000"}));
    ASSERT_TRUE(emulator.Command("flood 60", "flood started"));
    ASSERT_TRUE(emulator.Command("swipe 1 1", "swipe refused: a flood is running"));
    ASSERT_TRUE(emulator.Command("flood stop", "flood done sent=1 accepted=0 refused=0 timeout=1"));
}

TEST(OnlineTradeOptions, HelpNamesTheTradeOptionsAndLines) {
    std::string out;
    ASSERT_EQ(RunEmulator({"--help"}, out), 0);
    for (const char *word : {"--trade-mode", "--trade-server", "--trade-port", "--machine-no", "--trade-timeout-ms",
                             "--no-confirm", "trade udp ADDR:PORT", "trade accepted serial=", "trade refused result=",
                             "trade confirmed serial=", "trade timeout", "flood done sent=", "several processes"})
        EXPECT_NE(out.find(word), std::string::npos) << word;
}

TEST(OnlineTradeOptions, BadValuesStopWithAMessage) {
    const std::vector<std::vector<std::string>> cases = {
        {"--trade-mode", "3"},           {"--trade-server", "127.0.0.1"},     {"--trade-server", "127.0.0.1:0"},
        {"--trade-server", "host:8002"}, {"--trade-server", "192.0.2.1:8002"}, {"--trade-server", "[::1]:8002"},
        {"--machine-no", "256"},         {"--trade-timeout-ms", "0"},         {"--trade-port", "70000"},
        {"--trade-mode"}};
    for (const auto &args : cases) {
        std::string out;
        EXPECT_EQ(RunEmulator(args, out), 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_NE(out.find("tarnwick-terminal: " + args[0]), std::string::npos) << out;
    }
}

TEST(OnlineTradeOptions, ChosenUdpPortInUseStopsTheStart) {
    UdpPeer taken;
    std::string out;
    EXPECT_EQ(RunEmulator({"--port", "0", "--trade-port", std::to_string(taken.port())}, out), 1);
    EXPECT_NE(out.find("cannot bind the trade socket"), std::string::npos) << out;
}

TEST(OnlineTradeOptions, ChosenUdpPortIsUsed) {
    const int port = tarnwick::testing::FreeLoopbackUdpPort();
    ASSERT_GT(port, 0);
    EmulatorProcess emulator;
    ASSERT_TRUE(emulator.Start({"--trade-port", std::to_string(port)}));
    EXPECT_EQ(emulator.tradePort(), port);
    EXPECT_NE(emulator.Output().find(" -> 127.0.0.1:8002 mode 0\n"), std::string::npos);
}

#ifdef TILLWIRE_SERVE_PATH

// tillwire-serve as a child process, its output in a file.
class ServeProcess {
public:
    ~ServeProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);  // unsettled trades would keep it waiting
            waitpid(pid_, nullptr, 0);
        }
        if (!outPath_.empty()) unlink(outPath_.c_str());
    }
    bool Start(int port, const std::string &devices) {
        char templ[] = "/tmp/tillwire-serve-XXXXXX";
        const int fd = mkstemp(templ);
        if (fd < 0) return false;
        close(fd);
        outPath_ = templ;
        setenv("TILLWIRE_LISTEN_ADDRESS", "127.0.0.1", 1);
        std::vector<std::string> args{TILLWIRE_SERVE_PATH, "--port", std::to_string(port), "--devices", devices,
                                      "--listen", "127.0.0.1"};
        std::vector<char *> argv;
        for (auto &a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath_.c_str(), O_WRONLY | O_TRUNC, 0);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid_ > 0 && WaitFor("listening on UDP port");
    }
    std::string Output() const {
        std::ifstream in(outPath_);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    bool WaitFor(const std::string &text, std::chrono::milliseconds timeout = 10s) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Output().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

private:
    pid_t pid_ = -1;
    std::string outPath_;
};

std::string Between(const std::string &text, const std::string &before, char end) {
    const auto at = text.find(before);
    if (at == std::string::npos) return {};
    const auto from = at + before.size();
    return text.substr(from, text.find(end, from) - from);
}

TEST(OnlineTradeEndToEnd, TwoTerminalsAgainstTheTradeServer) {
    int port = 0;
    {
        UdpPeer probe;  // a port that was free a moment ago
        port = probe.port();
    }
    const std::string server = "127.0.0.1:" + std::to_string(port);
    EmulatorProcess confirming, silent;
    ASSERT_TRUE(confirming.Start({"--quiet", "--clock-id", "61", "--trade-mode", "1", "--trade-server", server,
                                  "--trade-timeout-ms", "3000"}));
    ASSERT_TRUE(silent.Start({"--quiet", "--clock-id", "62", "--trade-mode", "1", "--trade-server", server,
                              "--trade-timeout-ms", "3000", "--no-confirm"}));
    ServeProcess serve;
    ASSERT_TRUE(serve.Start(port, "61,127.0.0.1," + std::to_string(confirming.tradePort()) + "|62,127.0.0.1," +
                                      std::to_string(silent.tradePort())))
        << serve.Output();

    ASSERT_TRUE(confirming.Command("swipe 0011223344556677 100 1 2 3", "trade confirmed serial="))
        << confirming.Output();
    ASSERT_TRUE(silent.Command("swipe abcdef 2.50", "trade unconfirmed serial=")) << silent.Output();

    const std::string accepted = LineWith(confirming.Output(), "trade accepted");
    EXPECT_NE(accepted.find(" balance=1.50 extra=30 card=0011223344556677 name=卡户姓名"), std::string::npos)
        << accepted;
    const std::string serial = Between(accepted, "serial=", ' ');
    ASSERT_FALSE(serial.empty());
    EXPECT_NE(confirming.Output().find("trade confirmed serial=" + serial + "\n"), std::string::npos);
    EXPECT_NE(LineWith(silent.Output(), "trade accepted").find(" balance=1.50 extra=30 card=0000000000abcdef name=卡户姓名"),
              std::string::npos)
        << silent.Output();

    // The server saw both requests as sent and settled the confirmed one.
    ASSERT_TRUE(serve.WaitFor("result serial " + serial + " confirmed device 61")) << serve.Output();
    const std::string out = serve.Output();
    EXPECT_NE(out.find("request device 61 ip 127.0.0.1 machine 61 card 0011223344556677 amount 1.00 -> accepted"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("request device 62 ip 127.0.0.1 machine 62 card 0000000000abcdef amount 2.50 -> accepted"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("confirmed device 62"), std::string::npos) << out;
}

#endif

} // namespace
