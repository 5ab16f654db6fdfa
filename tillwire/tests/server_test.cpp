#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "fake_clock.h"
#include "host_recorder.h"
#include "server.h"
#include "temp_folder.h"
#include "terminal_frames.h"
#include "online_clock.h"

namespace tillwire {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::FakeClock;
using testing::OnlineClock;
using testing::HostRecorder;
using testing::TempFolder;

// The handler of one server object, fed datagrams directly; replies are
// captured instead of sent; the worker passes run when the test says so.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        LibraryOptions options;
        options.clock = &clock;
        options.logFolder = (tmp.Path() / "OnLineLog").string();
        options.startWorkers = false;
        library = std::make_unique<OnlineLibrary>(options);
        library->OnlineClocks.Assign({OnlineClock(5, clock.Now()), OnlineClock(6, clock.Now())});
        library->callbacks = host.All();
        library->OnlineSvr = std::make_unique<TTCPOnLineSvr>(*library);
        server = library->OnlineSvr.get();
        server->SendHook = [this](const uint8_t* p, std::size_t n, const TPeer& peer) {
            sent.push_back(Bytes(p, p + n));
            sentTo.push_back(ntohs(peer.addr.sin_port));
        };
        clear = std::make_unique<TClearThread>(*server, 10);
        heart = std::make_unique<THeartThread>(*server, library->OnlineClocks, 100);
    }
    void TearDown() override {
        clear.reset();
        heart.reset();
        library.reset();
    }

    void Receive(const Bytes& datagram, uint16_t fromPort = 4001) {
        server->OnIdUDPServerRead(datagram.data(), datagram.size(), TPeer::Loopback(fromPort));
    }
    // The parameter bytes of the one reply sent, checked for CRC and command.
    Bytes LastReplyParams() {
        EXPECT_FALSE(sent.empty());
        if (sent.empty()) return {};
        const Bytes frame = terminal::Unreverse(sent.back().data(), sent.back().size());
        EXPECT_FALSE(frame.empty()) << "reply CRC";
        if (frame.size() < 10) return {};
        EXPECT_EQ(frame[6], 0x0B);
        EXPECT_EQ(frame[7], 0x02);
        return terminal::ReplyParams(frame);
    }
    bool LogWritten() const { return std::filesystem::exists(tmp.Path() / "OnLineLog"); }

    TempFolder tmp;
    FakeClock clock;
    HostRecorder host;
    std::unique_ptr<OnlineLibrary> library;
    TTCPOnLineSvr* server = nullptr;
    std::unique_ptr<TClearThread> clear;
    std::unique_ptr<THeartThread> heart;
    std::vector<Bytes> sent;
    std::vector<uint16_t> sentTo;
};

TEST_F(ServerTest, AcceptedRequestIsAnsweredByteForByteAndQueued) {
    host.answer = [](const TTradeRequest&, TTradeAnswer& a) {
        a.TradeSerial = 0x01020304;
        std::strcpy(a.Text, "Zhang San");
        std::strcpy(a.ExtraText, "note");
        a.Balance = 150;
        a.ExtraValue = 30;
        return uint8_t{1};
    };
    Receive(terminal::TradeRequest({}), 4321);

    ASSERT_EQ(host.requests.size(), 1u);
    const TTradeRequest& r = host.requests[0];
    EXPECT_STREQ(r.DeviceIP, "127.0.0.1");
    EXPECT_EQ(+r.ClockNo, 5u);
    EXPECT_STREQ(r.CardNo, "0011223344556677");
    EXPECT_EQ(+r.MachineNo, 5u);
    EXPECT_EQ(+r.Aux1, 1u);
    EXPECT_EQ(+r.Aux2, 2u);
    EXPECT_EQ(+r.Aux3, 3u);
    EXPECT_EQ(+r.Amount, 100u);
    EXPECT_EQ(r.Confirmed, 0);
    EXPECT_EQ(r.ExtraText[0], 0);

    // The reply: sequence 1, the request's address, accepted parameters.
    Bytes params = {0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    terminal::PutBE32(params, 30);
    terminal::PutBE32(params, 150);
    terminal::PutBE32(params, 0x01020304);
    const char name[16] = "Zhang San";
    params.insert(params.end(), name, name + 16);
    Bytes expected = terminal::Frame(5, 0x0B02, params, 1);
    std::reverse(expected.begin(), expected.end());
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], expected);
    EXPECT_EQ(sentTo[0], 4321);

    const auto pending = server->PendingSnapshot();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(+pending[0].TradeSerial, 0x01020304u);
    EXPECT_EQ(+pending[0].QueuedTick, clock.Tick());
    EXPECT_STREQ(pending[0].ExtraText, "note");
    EXPECT_FALSE(LogWritten());
}

TEST_F(ServerTest, CardBytesOfTheReplyEqualTheRequestsForAnyCard) {
    std::mt19937 rng(7);
    for (int i = 0; i < 50; ++i) {
        terminal::Request req;
        for (auto& b : req.card) b = static_cast<uint8_t>(rng());
        req.card[0] |= 1;  // a card number that is not all zero
        Receive(terminal::TradeRequest(req));
        const Bytes p = LastReplyParams();
        ASSERT_EQ(p.size(), 37u);
        EXPECT_EQ(0, std::memcmp(p.data() + 1, req.card, 8));
    }
}

struct OutcomeCase {
    const char* name;
    int32_t resultCode;   // the answer's ResultCode
    uint8_t accept;
    bool withRequestCallback;
    std::string text;
    Bytes expectedParams;  // empty: nothing sent
    std::size_t pending;
    friend void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name; }
};

class Outcomes : public ServerTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(Outcomes, ReplyAndPendingList) {
    const OutcomeCase& c = GetParam();
    host.answer = [&](const TTradeRequest&, TTradeAnswer& a) {
        a.ResultCode = c.resultCode;
        a.TradeSerial = 77;
        std::memcpy(a.Text, c.text.data(), std::min(c.text.size(), sizeof a.Text));
        return c.accept;
    };
    if (!c.withRequestCallback) library->callbacks.OnTradeRequest = nullptr;
    Receive(terminal::TradeRequest({}));
    EXPECT_EQ(host.requests.size(), c.withRequestCallback ? 1u : 0u);
    if (c.expectedParams.empty()) {
        EXPECT_TRUE(sent.empty());
    } else {
        EXPECT_EQ(LastReplyParams(), c.expectedParams);
    }
    EXPECT_EQ(server->PendingCount(), c.pending);
}

Bytes Refused(uint8_t code, const std::string& text) {
    Bytes p(text.size() + 2, 0);
    p[0] = code;
    std::memcpy(p.data() + 1, text.data(), text.size());
    return p;
}

Bytes AcceptedWithName(const Bytes& name16) {
    Bytes p = {0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    terminal::PutBE32(p, 0);
    terminal::PutBE32(p, 0);
    terminal::PutBE32(p, 77);
    p.insert(p.end(), name16.begin(), name16.end());
    return p;
}

Bytes Name16(const std::string& s) {
    Bytes b(16, 0);
    std::memcpy(b.data(), s.data(), std::min<std::size_t>(16, s.size()));
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    TradeRequest, Outcomes,
    ::testing::Values(
        OutcomeCase{"accept_left_0", 0, 0, true, "x", {}, 0},
        OutcomeCase{"no_request_callback", 0, 1, false, "x", {}, 0},
        OutcomeCase{"refused_low_byte_02", 0x0102, 1, true, "NO", Refused(0x02, "NO"), 0},
        OutcomeCase{"refused_low_byte_00_still_refused", 0x0100, 1, true, "NO", Refused(0x00, "NO"), 0},
        OutcomeCase{"refused_empty_message", -1, 1, true, "", Refused(0xFF, ""), 0},
        OutcomeCase{"refused_long_message_sent_whole", 9, 1, true, std::string(200, 'm'),
                    Refused(0x09, std::string(200, 'm')), 0},
        // The host filled all 201 bytes without a zero: the text ends with the field.
        OutcomeCase{"refused_unterminated_message", 9, 1, true, std::string(201, 'u'),
                    Refused(0x09, std::string(201, 'u')), 0},
        OutcomeCase{"accepted_blank_name_sends_zeros", 0, 1, true, "   \t ", AcceptedWithName(Name16("")), 1},
        OutcomeCase{"accepted_long_name_first_16_bytes", 0, 1, true, " 12345678901234567890",
                    AcceptedWithName(Name16(" 12345678901234567890")), 1},
        OutcomeCase{"accepted_gbk_name", 0, 1, true, "\xBF\xA8\xBB\xA7\xD0\xD5\xC3\xFB",
                    AcceptedWithName(Name16("\xBF\xA8\xBB\xA7\xD0\xD5\xC3\xFB")), 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServerTest, UnregisteredSenderIsIgnoredSilently) {
    terminal::Request req;
    req.deviceNo = 9;
    Receive(terminal::TradeRequest(req));
    Receive(terminal::Confirmation(9, 1000));
    EXPECT_TRUE(host.requests.empty());
    EXPECT_TRUE(host.states.empty());
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(LogWritten());
}

TEST_F(ServerTest, FirstDatagramReportsOnlineOnceWhateverItHolds) {
    Bytes bad = terminal::TradeRequest({});
    bad.back() ^= 0x01;  // wrong CRC
    Receive(bad);
    EXPECT_EQ(host.states, (std::vector<HostRecorder::State>{{5, 0}}));
    EXPECT_TRUE(host.requests.empty());
    EXPECT_TRUE(sent.empty());

    Receive(terminal::TradeRequest({}));
    Receive({0x00, 0x00, 0x00, 0x06});  // device 6, not a frame at all
    EXPECT_EQ(host.states, (std::vector<HostRecorder::State>{{5, 0}, {6, 0}}));
    EXPECT_FALSE(LogWritten());
}

TEST_F(ServerTest, ConfirmationMarksOnlyTheSameTerminalsTrade) {
    Receive(terminal::TradeRequest({}));  // device 5, serial 1000
    Receive(terminal::Confirmation(6, 1000));
    EXPECT_EQ(server->PendingSnapshot()[0].Confirmed, 0);
    Receive(terminal::Confirmation(5, 999));
    EXPECT_EQ(server->PendingSnapshot()[0].Confirmed, 0);
    Receive(terminal::Confirmation(5, 1000));
    EXPECT_EQ(server->PendingSnapshot()[0].Confirmed, 1);
    EXPECT_EQ(sent.size(), 1u);  // confirmations get no reply
}

TEST_F(ServerTest, ConfirmationWithFailedStatusMatchesSerialZero) {
    host.answer = [](const TTradeRequest&, TTradeAnswer& a) {
        a.TradeSerial = 0;
        return uint8_t{1};
    };
    Receive(terminal::TradeRequest({}));
    Receive(terminal::Confirmation(5, 0x12345678, /*status*/ 1));
    EXPECT_EQ(server->PendingSnapshot()[0].Confirmed, 1);
    const uint8_t failed[] = {0x0B, 0x02, 0x01, 0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(TTCPOnLineSvr::ParseConfirm(failed), 0u);
    const uint8_t ok[] = {0x0B, 0x02, 0x00, 0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(TTCPOnLineSvr::ParseConfirm(ok), 0x12345678u);
}

TEST_F(ServerTest, TradesSharingASerialAreConfirmedOneEach) {
    Receive(terminal::TradeRequest({}));
    Receive(terminal::TradeRequest({}));
    Receive(terminal::Confirmation(5, 1000));
    Receive(terminal::Confirmation(5, 1000));
    const auto pending = server->PendingSnapshot();
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].Confirmed, 1);
    EXPECT_EQ(pending[1].Confirmed, 1);
}

TEST_F(ServerTest, SeventeenRepliesCarrySequence1To15Then0Then1) {
    std::vector<int> seqs;
    for (int i = 0; i < 17; ++i) {
        Receive(terminal::TradeRequest({}));
        const Bytes frame = terminal::Unreverse(sent.back().data(), sent.back().size());
        ASSERT_FALSE(frame.empty());
        seqs.push_back(frame[1] >> 4);
        EXPECT_EQ(frame[1] & 0x0F, 1);  // the request's address code
    }
    EXPECT_EQ(seqs, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 1}));
}

TEST_F(ServerTest, HostFailureIsLoggedAndAbsorbed) {
    host.answer = [](const TTradeRequest&, TTradeAnswer&) -> uint8_t { throw std::runtime_error(" host broke"); };
    Receive(terminal::TradeRequest({}));
    EXPECT_TRUE(sent.empty());
    const std::string log =
        testing::ReadFile(std::filesystem::path(library->Log.FileFor(clock.Now())));
    EXPECT_EQ(log, "2020-05-19 09:30:00.000: OnIdUDPServerRead Error host broke\r\n");
}

// ------------------------------------------------------------ clear thread

TEST_F(ServerTest, ConfirmedTradeIsReportedInTheNextPassAndFreed) {
    Receive(terminal::TradeRequest({}));
    EXPECT_FALSE(clear->Pass());
    Receive(terminal::Confirmation(5, 1000));
    EXPECT_TRUE(clear->Pass());
    ASSERT_EQ(host.results.size(), 1u);
    EXPECT_EQ(host.results[0].confirmed, 1);
    EXPECT_STREQ(host.results[0].request.CardNo, "0011223344556677");
    EXPECT_EQ(server->PendingCount(), 0u);
    EXPECT_FALSE(clear->Pass());
    EXPECT_EQ(host.results.size(), 1u);
}

TEST_F(ServerTest, UnconfirmedTradeExpiresAfterMoreThanTenSecondsOnce) {
    Receive(terminal::TradeRequest({}));
    clock.Advance(10000);
    EXPECT_FALSE(clear->Pass());
    clock.Advance(1);
    EXPECT_TRUE(clear->Pass());
    ASSERT_EQ(host.results.size(), 1u);
    EXPECT_EQ(host.results[0].confirmed, 0);
    clock.Advance(20000);
    EXPECT_FALSE(clear->Pass());
    EXPECT_EQ(host.results.size(), 1u);
}

TEST_F(ServerTest, ExpiryCountsAcrossTheTickWrapAround) {
    clock.SetTick(0xFFFFF000u);
    Receive(terminal::TradeRequest({}));
    clock.Advance(0x1000 + 5000);  // the tick wrapped; 9096 ms have passed
    EXPECT_FALSE(clear->Pass());
    clock.Advance(905);
    EXPECT_TRUE(clear->Pass());
    EXPECT_EQ(host.results.at(0).confirmed, 0);
}

TEST_F(ServerTest, OnePassSettlesEveryOutcomeLaterQueuedFirst) {
    uint32_t serial = 1;
    host.answer = [&](const TTradeRequest&, TTradeAnswer& a) {
        a.TradeSerial = serial++;
        return uint8_t{1};
    };
    Receive(terminal::TradeRequest({}));  // serial 1, confirmed
    Receive(terminal::TradeRequest({}));  // serial 2, stays unsettled
    clock.Advance(5000);
    Receive(terminal::TradeRequest({}));  // serial 3, confirmed
    Receive(terminal::TradeRequest({}));  // serial 4, stays unsettled
    Receive(terminal::Confirmation(5, 1));
    Receive(terminal::Confirmation(5, 3));
    EXPECT_TRUE(clear->Pass());
    ASSERT_EQ(host.results.size(), 2u);
    EXPECT_EQ(+host.results[0].request.TradeSerial, 3u);
    EXPECT_EQ(+host.results[1].request.TradeSerial, 1u);
    EXPECT_FALSE(clear->Pass());
    EXPECT_EQ(server->PendingCount(), 2u);

    clock.Advance(5001);  // serial 2 expired, serial 4 not yet
    EXPECT_TRUE(clear->Pass());
    ASSERT_EQ(host.results.size(), 3u);
    EXPECT_EQ(+host.results[2].request.TradeSerial, 2u);
    EXPECT_EQ(host.results[2].confirmed, 0);
    const auto left = server->PendingSnapshot();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(+left[0].TradeSerial, 4u);
}

TEST_F(ServerTest, ReportThatFailedIsRepeatedInALaterPass) {
    Receive(terminal::TradeRequest({}));
    Receive(terminal::Confirmation(5, 1000));
    int calls = 0;
    host.onResult = [&] {
        if (++calls == 1) throw std::runtime_error(" host broke");
    };
    EXPECT_TRUE(clear->Pass());
    EXPECT_EQ(server->PendingCount(), 1u);
    EXPECT_TRUE(clear->Pass());
    EXPECT_EQ(server->PendingCount(), 0u);
    EXPECT_EQ(calls, 2);
    const std::string log = testing::ReadFile(std::filesystem::path(library->Log.FileFor(clock.Now())));
    EXPECT_EQ(log, "2020-05-19 09:30:00.000: ClearThread2 Error host broke\r\n");
}

TEST_F(ServerTest, WithoutResultCallbackTradesAreStillRemoved) {
    library->callbacks.OnTradeResult = nullptr;
    Receive(terminal::TradeRequest({}));
    Receive(terminal::TradeRequest({}));
    Receive(terminal::Confirmation(5, 1000));
    clock.Advance(10001);
    EXPECT_TRUE(clear->Pass());
    EXPECT_EQ(server->PendingCount(), 0u);
    EXPECT_TRUE(host.results.empty());
}

// ------------------------------------------------------------ heart thread

TEST_F(ServerTest, TerminalIsReportedOfflineOnceAfter300Seconds) {
    Receive(terminal::Confirmation(5, 1));  // comes online
    ASSERT_EQ(host.states.size(), 1u);
    clock.Advance(300000);
    heart->Pass();
    EXPECT_EQ(host.states.size(), 1u);
    clock.Advance(1);
    heart->Pass();
    // Device 6 never sent anything; launched with the same time it is due too.
    EXPECT_EQ(host.states, (std::vector<HostRecorder::State>{{5, 0}, {5, 1}, {6, 1}}));
    clock.Advance(600000);
    heart->Pass();
    EXPECT_EQ(host.states.size(), 3u);

    Receive(terminal::Confirmation(5, 1));  // back again
    EXPECT_EQ(host.states.back(), (HostRecorder::State{5, 0}));
}

TEST_F(ServerTest, EveryDatagramRenewsTheOnlineTime) {
    Receive(terminal::Confirmation(5, 1));
    for (int i = 0; i < 10; ++i) {
        clock.Advance(100000);
        Receive(terminal::Confirmation(5, 1));
        heart->Pass();
    }
    // 1000 s of traffic from device 5: never reported offline.
    for (const auto& s : host.states) EXPECT_FALSE(s.clockNo == 5 && s.state == 1);
}

TEST_F(ServerTest, EntryLaunchedAllZeroIsReportedInTheFirstPass) {
    library->OnlineClocks.Assign({OnlineClock(60), OnlineClock(61)});
    heart->Pass();
    EXPECT_EQ(host.states, (std::vector<HostRecorder::State>{{60, 1}, {61, 1}}));
}

// ------------------------------------------------------------ bad input

TEST_F(ServerTest, RandomDatagramsInterleavedWithTradesChangeNothing) {
    std::mt19937 rng(12345);
    uint32_t serial = 0;
    host.answer = [&](const TTradeRequest&, TTradeAnswer& a) {
        a.TradeSerial = ++serial;
        return uint8_t{1};
    };
    std::size_t answered = 0;
    for (int round = 0; round < 300; ++round) {
        for (int j = 0; j < 5; ++j) {
            Bytes junk(rng() % 1100);
            for (auto& b : junk) b = static_cast<uint8_t>(rng());
            if (junk.size() > 4 && rng() % 2) {  // often from a registered terminal
                junk[2] = 0;
                junk[3] = static_cast<uint8_t>(5 + rng() % 2);
            }
            if (junk.size() > 8 && rng() % 3 == 0) junk[rng() % 4] = 0xAE;
            Receive(junk, 5000);
        }
        const std::size_t before = sent.size();
        Receive(terminal::TradeRequest({}), 4001);
        ASSERT_EQ(sent.size(), before + 1) << "round " << round;
        EXPECT_EQ(sentTo.back(), 4001);
        Receive(terminal::Confirmation(5, serial), 4001);
        ++answered;
        while (clear->Pass()) {
        }
    }
    // Junk could only ever be answered if it held a valid frame: none did.
    EXPECT_EQ(sent.size(), answered);
    EXPECT_EQ(server->PendingCount(), 0u);
    EXPECT_FALSE(LogWritten());
}

}  // namespace
}  // namespace tillwire
