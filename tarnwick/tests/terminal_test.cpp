// The emulated terminal on its own: addressing, the answer to each kind of
// bad request, the clock kept as an offset from the host's, and which peers
// count as loopback.

#include "link/ole_time.h"
#include "server.h"
#include "terminal.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace tarnwick::emulator {
namespace {

link::Frame Request(std::uint16_t command, std::vector<std::uint8_t> payload = {}, std::uint32_t device = 24) {
    link::Frame f;
    f.type = link::FrameType::Request;
    f.sequence = 42;
    f.command = command;
    f.device = device;
    f.payload = std::move(payload);
    return f;
}

class TerminalTest : public ::testing::Test {
protected:
    Terminal terminal{Identity{}};
};

TEST_F(TerminalTest, StaysSilentForOtherDeviceNumbersAndForAnswers) {
    EXPECT_FALSE(terminal.Handle(Request(link::kCmdCall, {}, 25), "test"));
    auto answer = Request(link::kCmdCall);
    answer.type = link::FrameType::Response;
    EXPECT_FALSE(terminal.Handle(answer, "test"));
    const auto r = terminal.Handle(Request(link::kCmdCall), "test");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->type, link::FrameType::Response);
    EXPECT_EQ(r->sequence, 42);
    EXPECT_EQ(r->device, 24u);
    EXPECT_EQ(r->status, link::kStatusOk);
}

struct BadRequest {
    const char *name;
    std::uint16_t command;
    std::vector<std::uint8_t> payload;
    std::uint16_t status;
};

void PrintTo(const BadRequest &r, std::ostream *os) { *os << r.name; }

class TerminalBadRequest : public TerminalTest, public ::testing::WithParamInterface<BadRequest> {};

TEST_P(TerminalBadRequest, AnswersWithTheMatchingStatusAndKeepsItsState) {
    const auto &p = GetParam();
    const auto r = terminal.Handle(Request(p.command, p.payload), "test");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, p.status);
    EXPECT_TRUE(r->payload.empty());
    EXPECT_EQ(terminal.state().identity.deviceNumber, 24u);
    EXPECT_EQ(terminal.state().clock.OffsetMs(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TerminalBadRequest,
    ::testing::Values(
        BadRequest{"UnknownCommand", 0x7F7F, {}, link::kStatusUnknownCommand},
        BadRequest{"ReadClockWithPayload", link::kCmdReadClock, {1}, link::kStatusBadPayload},
        BadRequest{"SetClockShort", link::kCmdSetClock, {0xE8, 0x07, 3}, link::kStatusBadPayload},
        BadRequest{"SetClockFeb30", link::kCmdSetClock, link::EncodeClock({2024, 2, 30, 0, 0, 0, 0}),
                   link::kStatusInvalidValue},
        BadRequest{"SetDeviceIdZero", link::kCmdSetDeviceId, link::EncodeU32(0), link::kStatusInvalidValue},
        BadRequest{"SetDeviceIdNegative", link::kCmdSetDeviceId, link::EncodeU32(0x80000000u),
                   link::kStatusInvalidValue},
        BadRequest{"SetDeviceIdShort", link::kCmdSetDeviceId, {5, 0}, link::kStatusBadPayload},
        BadRequest{"ReadModelWithPayload", link::kCmdReadModel, {0, 0, 0, 0}, link::kStatusBadPayload}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(TerminalTest, NewDeviceNumberTakesEffectForTheNextRequest) {
    const auto r = terminal.Handle(Request(link::kCmdSetDeviceId, link::EncodeU32(31)), "test");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, link::kStatusOk);
    EXPECT_EQ(r->device, 24u);  // answered under the number it was asked by
    EXPECT_FALSE(terminal.Handle(Request(link::kCmdCall, {}, 24), "test"));
    EXPECT_TRUE(terminal.Handle(Request(link::kCmdCall, {}, 31), "test"));
}

TEST_F(TerminalTest, ClockKeepsRunningFromTheTimeItWasSetTo) {
    const link::ClockFields set{2024, 3, 7, 9, 5, 3, 0};
    ASSERT_EQ(terminal.Handle(Request(link::kCmdSetClock, link::EncodeClock(set)), "test")->status,
              link::kStatusOk);
    const auto r = terminal.Handle(Request(link::kCmdReadClock), "test");
    ASSERT_TRUE(r);
    const auto read = link::DecodeClock(r->payload);
    ASSERT_TRUE(read);
    const auto diff = link::MillisFromClock(*read) - link::MillisFromClock(set);
    EXPECT_GE(diff, 0);
    EXPECT_LT(diff, 2000);
}

TEST_F(TerminalTest, ReportsItsIdentity) {
    Identity id;
    id.model = 21;
    id.firmware = 2.25;
    id.readerType = 3;
    id.phonePay = 0;
    id.cardFormat = 9;
    Terminal t(id);
    const auto r = t.Handle(Request(link::kCmdReadModel), "test");
    ASSERT_TRUE(r);
    EXPECT_EQ(link::DecodeModelInfo(r->payload), (link::ModelInfo{21, 2.25, 3, 0, 9}));
}

TEST(ClockText, ParsesOnlyRealDateTimes) {
    EXPECT_EQ(ParseClock("2024-03-07 09:05:03"), (link::ClockFields{2024, 3, 7, 9, 5, 3, 0}));
    EXPECT_EQ(ParseClock("2024-03-07 09:05:03.250"), (link::ClockFields{2024, 3, 7, 9, 5, 3, 250}));
    for (const char *bad : {"", "2024-03-07", "2024-02-30 00:00:00", "2024-03-07 24:00:00", "2024-03-07 09:05:03x",
                            "20240-03-07 09:05:03"})
        EXPECT_FALSE(ParseClock(bad)) << bad;
    EXPECT_EQ(FormatClock({2024, 3, 7, 9, 5, 3, 999}), "2024-03-07 09:05:03");
}

} // namespace
} // namespace tarnwick::emulator

namespace tarnwick::emulator {
namespace {

sockaddr_storage Address(const char *text) {
    sockaddr_storage ss{};
    auto *v4 = reinterpret_cast<sockaddr_in *>(&ss);
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(&ss);
    if (inet_pton(AF_INET, text, &v4->sin_addr) == 1)
        v4->sin_family = AF_INET;
    else if (inet_pton(AF_INET6, text, &v6->sin6_addr) == 1)
        v6->sin6_family = AF_INET6;
    return ss;
}

// The emulator accepts a connection only from these peers unless --allow-lan.
TEST(PeerAddress, OnlyLoopbackCounts) {
    for (const char *yes : {"127.0.0.1", "127.255.3.4", "::1", "::ffff:127.0.0.1"})
        EXPECT_TRUE(IsLoopbackPeer(Address(yes))) << yes;
    for (const char *no : {"10.0.0.1", "192.0.2.1", "0.0.0.0", "128.0.0.1", "::", "::ffff:10.0.0.1", "2001:db8::1",
                           "fe80::1"})
        EXPECT_FALSE(IsLoopbackPeer(Address(no))) << no;
}

} // namespace
} // namespace tarnwick::emulator
