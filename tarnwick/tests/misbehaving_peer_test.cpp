// The library against a peer that answers wrongly: noise, cut-off frames,
// damaged checksums, answers of the wrong shape. Every call must fail
// cleanly and in time; none may hang, crash or write past its outputs.

#include "emulator_process.h"
#include "link/bytes.h"
#include "link/checksum.h"
#include "link/frame.h"
#include "link/ole_time.h"
#include "link/protocol.h"

#include <tarnwick.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace tarnwick::link;
using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

constexpr int kTimeoutMs = 300;

struct Behaviour {
    std::vector<std::uint8_t> bytes;  // sent in answer to the request
    bool closeAfter = false;          // then hang up (otherwise stay silent)
};

// What the peer sends in answer to ReadClockTime, built from the request.
using Script = std::function<Behaviour(const Frame &request)>;

Frame AnswerTo(const Frame &req, std::vector<std::uint8_t> payload, std::uint16_t status = kStatusOk) {
    Frame f;
    f.type = FrameType::Response;
    f.sequence = req.sequence;
    f.command = req.command;
    f.device = req.device;
    f.status = status;
    f.payload = std::move(payload);
    return f;
}

std::vector<std::uint8_t> GoodClockAnswer(const Frame &req) {
    return EncodeFrame(AnswerTo(req, EncodeClock({2024, 3, 7, 9, 5, 3, 0})));
}

std::vector<std::uint8_t> Noise(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> v(n);
    for (auto &b : v) b = static_cast<std::uint8_t>(rng());
    return v;
}

// A one-connection peer on 127.0.0.1: answers CallClock properly, then
// plays the script for the next request.
class FakePeer {
public:
    explicit FakePeer(Script script) : script_(std::move(script)) {
        listenFd_ = tarnwick::testing::ListenOnLoopbackTcp(&port_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakePeer() {
        stop_ = true;
        thread_.join();
        close(listenFd_);
    }
    int port() const { return port_; }

private:
    std::optional<Frame> ReadRequest(int fd, FrameDecoder &d) {
        std::uint8_t buf[4096];
        const auto deadline = SteadyClock::now() + Ms(3000);
        while (!stop_ && SteadyClock::now() < deadline) {
            if (auto f = d.Next()) return f;
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0) return std::nullopt;
            d.Feed(buf, static_cast<std::size_t>(n));
        }
        return std::nullopt;
    }

    void Serve() {
        pollfd p{listenFd_, POLLIN, 0};
        while (!stop_ && poll(&p, 1, 20) == 0) {
        }
        if (stop_) return;
        const int fd = accept(listenFd_, nullptr, nullptr);
        FrameDecoder d;
        if (auto call = ReadRequest(fd, d)) {
            const auto ok = EncodeFrame(AnswerTo(*call, {}));
            send(fd, ok.data(), ok.size(), MSG_NOSIGNAL);
            if (auto req = ReadRequest(fd, d)) {
                const Behaviour b = script_(*req);
                send(fd, b.bytes.data(), b.bytes.size(), MSG_NOSIGNAL);
                if (b.closeAfter) {
                    close(fd);
                    return;
                }
            }
        }
        while (!stop_) std::this_thread::sleep_for(Ms(10));
        close(fd);
    }

    Script script_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct PeerCase {
    const char *name;
    Script script;
    bool succeeds;
};

void PrintTo(const PeerCase &c, std::ostream *os) { *os << c.name; }

class MisbehavingPeer : public ::testing::TestWithParam<PeerCase> {
protected:
    void SetUp() override { setenv("TARNWICK_TIMEOUT_MS", std::to_string(kTimeoutMs).c_str(), 1); }
};

TEST_P(MisbehavingPeer, ReadClockTimeFailsCleanlyAndInTime) {
    FakePeer peer(GetParam().script);
    const int32_t h = OpenClientSocket("127.0.0.1", peer.port());
    ASSERT_GT(h, 0);
    ASSERT_TRUE(CallClock(h, 24));
    // The output sits between guard values: nothing may be written beside it.
    struct {
        double before = 1.5;
        double value = -7.0;
        double after = 2.5;
    } out;
    const auto start = SteadyClock::now();
    const TBool ok = ReadClockTime(h, &out.value);
    const auto took = SteadyClock::now() - start;
    EXPECT_EQ(ok != 0, GetParam().succeeds);
    EXPECT_LT(took, Ms(kTimeoutMs + 500));
    EXPECT_EQ(out.before, 1.5);
    EXPECT_EQ(out.after, 2.5);
    if (GetParam().succeeds)
        EXPECT_NEAR(out.value, 45358.378506944, 1e-6);
    else
        EXPECT_EQ(out.value, -7.0) << "a failed call must leave the output alone";
    EXPECT_EQ(ClosePortHandle(h), 0);
}

std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> v, std::size_t keep) {
    v.resize(keep);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MisbehavingPeer,
    ::testing::Values(
        PeerCase{"GoodAnswerAfterNoise",
                 [](const Frame &r) {
                     auto v = Noise(5000, 1);
                     const auto a = GoodClockAnswer(r);
                     v.insert(v.end(), a.begin(), a.end());
                     return Behaviour{v};
                 },
                 true},
        PeerCase{"NoiseOnly", [](const Frame &) { return Behaviour{Noise(20000, 2)}; }, false},
        PeerCase{"NoiseThenHangUp", [](const Frame &) { return Behaviour{Noise(100, 3), true}; }, false},
        PeerCase{"CutFrameThenSilence", [](const Frame &r) { return Behaviour{Cut(GoodClockAnswer(r), 25)}; },
                 false},
        PeerCase{"CutFrameThenHangUp", [](const Frame &r) { return Behaviour{Cut(GoodClockAnswer(r), 25), true}; },
                 false},
        PeerCase{"HeaderOnlyThenHangUp", [](const Frame &r) { return Behaviour{Cut(GoodClockAnswer(r), 20), true}; },
                 false},
        PeerCase{"DamagedChecksum",
                 [](const Frame &r) {
                     auto v = GoodClockAnswer(r);
                     v.back() ^= 1;
                     return Behaviour{v};
                 },
                 false},
        PeerCase{"HugeLengthClaimed",
                 [](const Frame &r) {
                     auto v = GoodClockAnswer(r);
                     v[14] = 0x00;
                     v[15] = 0x00;
                     v[16] = 0x01;  // 65536 bytes promised, never sent
                     const std::uint16_t crc = Crc16Ccitt(v.data(), kHeaderSize - 2);
                     v[18] = static_cast<std::uint8_t>(crc);
                     v[19] = static_cast<std::uint8_t>(crc >> 8);
                     return Behaviour{v};
                 },
                 false},
        PeerCase{"WrongSequence",
                 [](const Frame &r) {
                     Frame f = AnswerTo(r, EncodeClock({2024, 3, 7, 9, 5, 3, 0}));
                     f.sequence++;
                     return Behaviour{EncodeFrame(f)};
                 },
                 false},
        PeerCase{"AnswerFromAnotherDevice",
                 [](const Frame &r) {
                     Frame f = AnswerTo(r, EncodeClock({2024, 3, 7, 9, 5, 3, 0}));
                     f.device = 25;
                     return Behaviour{EncodeFrame(f)};
                 },
                 false},
        PeerCase{"RequestInsteadOfAnswer",
                 [](const Frame &r) {
                     Frame f = AnswerTo(r, EncodeClock({2024, 3, 7, 9, 5, 3, 0}));
                     f.type = FrameType::Request;
                     return Behaviour{EncodeFrame(f)};
                 },
                 false},
        PeerCase{"ErrorStatus",
                 [](const Frame &r) { return Behaviour{EncodeFrame(AnswerTo(r, {}, kStatusBusy))}; }, false},
        PeerCase{"PayloadTooShort",
                 [](const Frame &r) { return Behaviour{EncodeFrame(AnswerTo(r, {0xE8, 0x07, 3, 7}))}; }, false},
        PeerCase{"PayloadTooLong",
                 [](const Frame &r) { return Behaviour{EncodeFrame(AnswerTo(r, std::vector<std::uint8_t>(4000, 7)))}; },
                 false},
        PeerCase{"ImpossibleDate",
                 [](const Frame &r) {
                     return Behaviour{EncodeFrame(AnswerTo(r, EncodeClock({2024, 2, 30, 25, 61, 61, 5000})))};
                 },
                 false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MisbehavingPeerModel, ShortModelAnswerLeavesEveryOutputAlone) {
    setenv("TARNWICK_TIMEOUT_MS", std::to_string(kTimeoutMs).c_str(), 1);
    FakePeer peer([](const Frame &r) {
        ModelInfo m{6, 3.5, 1, 1, 0};
        auto payload = EncodeModelInfo(m);
        payload.pop_back();
        return Behaviour{EncodeFrame(AnswerTo(r, payload))};
    });
    const int32_t h = OpenClientSocket("127.0.0.1", peer.port());
    ASSERT_GT(h, 0);
    ASSERT_TRUE(CallClock(h, 24));
    int32_t model = -1, reader = -1, format = -1;
    double version = -1;
    uint8_t phone = 9;
    EXPECT_FALSE(GetClockModelEx(h, &model, &version, &reader, &phone, &format));
    EXPECT_EQ(model, -1);
    EXPECT_EQ(version, -1);
    EXPECT_EQ(reader, -1);
    EXPECT_EQ(phone, 9);
    EXPECT_EQ(format, -1);
    ClosePortHandle(h);
}

} // namespace
