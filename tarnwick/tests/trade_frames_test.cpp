// The terminal's side of the online-trade frames, checked against frames
// built here by hand with a bitwise CRC.

#include "trade_frames.h"
#include "trade_server_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace tarnwick::emulator::trade;

namespace {

using namespace tarnwick::testing::trade_server;

const Card kCard = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};

std::optional<TradeReply> Decode(const Bytes &datagram) {
    std::string why;
    auto reply = DecodeReply(datagram.data(), datagram.size(), why);
    if (!reply) {
        EXPECT_FALSE(why.empty());
    }
    return reply;
}

TEST(TradeCrc, KnownValuesAndTheBitwiseDefinition) {
    const std::string abc = "abc";
    EXPECT_EQ(Crc16(reinterpret_cast<const std::uint8_t *>(abc.data()), 3), 0x42A5);
    EXPECT_EQ(Crc16(nullptr, 0), 0xA1EC);
    std::mt19937 rng(5);
    for (int round = 0; round < 50; ++round) {
        Bytes data(rng() % 300);
        for (auto &b : data) b = static_cast<std::uint8_t>(rng());
        EXPECT_EQ(Crc16(data.data(), data.size()), BitwiseCrc(data.data(), data.size()));
    }
}

TEST(TradeFrames, RequestMatchesTheWorkedExample) {
    TradeRequest request;
    request.address = 5;
    request.machineNo = 5;
    request.card = kCard;
    request.aux = {1, 2, 3};
    request.amount = 100;
    const Bytes expected = {0xAE, 0x01, 0x00, 0x05, 0x00, 0x12, 0x0B, 0x01, 0x05, 0x00, 0x11, 0x22, 0x33,
                            0x44, 0x55, 0x66, 0x77, 0x01, 0x02, 0x03, 0x00, 0x00, 0x00, 0x64, 0x52, 0xFF};
    EXPECT_EQ(EncodeTradeRequest(request, 0), expected);
}

TEST(TradeFrames, RequestCarriesBigEndianNumbersAndTheSequenceInTheHighNibble) {
    TradeRequest request;
    request.address = 0x1234;
    request.machineNo = 0xFE;
    request.card = {0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA, 0x99, 0x88};
    request.aux = {7, 8, 9};
    request.amount = 0xA1B2C3D4;
    Bytes params{0xFE};
    params.insert(params.end(), request.card.begin(), request.card.end());
    params.insert(params.end(), {7, 8, 9});
    PutBE32(params, 0xA1B2C3D4);
    EXPECT_EQ(EncodeTradeRequest(request, 15), Frame({0x12, 0x34}, 15, 0x0B01, params));
}

TEST(TradeFrames, ConfirmationCarriesStatusZeroAndTheSerial) {
    Bytes params{0x00};
    PutBE32(params, 460012345);
    EXPECT_EQ(EncodeConfirmation(60, 460012345, 3), Frame({0x00, 60}, 3, 0x0B02, params));
}

TEST(TradeReplies, RefusedWorkedExample) {
    const auto reply = Decode({0x79, 0x36, 0x00, 0x4F, 0x4E, 0x01, 0x02, 0x0B, 0x06, 0x00, 0x05, 0x00, 0x11, 0xAE});
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->accepted);
    EXPECT_EQ(reply->address, 5);
    EXPECT_EQ(reply->result, 1);
    EXPECT_EQ(reply->text, (Bytes{'N', 'O'}));
}

TEST(TradeReplies, AcceptedFields) {
    const auto reply =
        Decode(Reversed(Frame({0x00, 0x05}, 1, 0x0B02, AcceptedParams(kCard, 30, 150, 460012345, kGbkHolderName))));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->accepted);
    EXPECT_EQ(reply->address, 5);
    EXPECT_EQ(reply->card, kCard);
    EXPECT_EQ(reply->extraValue, 30u);
    EXPECT_EQ(reply->balance, 150u);
    EXPECT_EQ(reply->serial, 460012345u);
    EXPECT_EQ(reply->text, kGbkHolderName);
}

TEST(TradeReplies, NameTakesAllSixteenBytesOrStopsAtTheFirstZero) {
    const Bytes full = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P'};
    auto reply = Decode(Reversed(Frame({0, 5}, 1, 0x0B02, AcceptedParams(kCard, 0, 0, 1, full))));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->text, full);
    reply = Decode(Reversed(Frame({0, 5}, 1, 0x0B02, AcceptedParams(kCard, 0, 0, 1, {'A', 0, 'B'}))));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->text, Bytes{'A'});
    reply = Decode(Reversed(Frame({0, 5}, 1, 0x0B02, AcceptedParams(kCard, 0, 0, 1, {}))));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->text.empty());
}

// A result code whose low byte is 0 refuses with result byte 0 and a message;
// only the accepted layout (37 parameter bytes) counts as accepted.
TEST(TradeReplies, ResultZeroWithAMessageIsARefusal) {
    const auto reply = Decode(Reversed(Frame({0, 5}, 2, 0x0B02, {0x00, 'N', 'O', 0x00})));
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->accepted);
    EXPECT_EQ(reply->result, 0);
    EXPECT_EQ(reply->text, (Bytes{'N', 'O'}));
}

TEST(TradeReplies, LongerAddressesKeepTheDeviceNumberInFront) {
    const auto reply = Decode(Reversed(Frame({0x01, 0x02, 0x03, 0x04}, 0, 0x0B02, {0x07, 'X', 0})));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->address, 0x0102);
    EXPECT_EQ(reply->result, 7);
}

TEST(TradeReplies, EveryFlippedBitIsRejected) {
    const Bytes good = Reversed(Frame({0, 5}, 1, 0x0B02, AcceptedParams(kCard, 30, 150, 99, kGbkHolderName)));
    ASSERT_TRUE(Decode(good));
    for (std::size_t i = 0; i < good.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes bad = good;
            bad[i] ^= static_cast<std::uint8_t>(1 << bit);
            std::string why;
            EXPECT_FALSE(DecodeReply(bad.data(), bad.size(), why)) << "byte " << i << " bit " << bit;
        }
    }
}

TEST(TradeReplies, EveryCutAndEveryExtraByteIsRejected) {
    const Bytes good = Reversed(Frame({0, 5}, 1, 0x0B02, {0x02, 'N', 'O', 0}));
    for (std::size_t n = 0; n < good.size(); ++n) {
        std::string why;
        EXPECT_FALSE(DecodeReply(good.data(), n, why)) << n;
        Bytes tail(good.end() - static_cast<long>(n), good.end());
        EXPECT_FALSE(DecodeReply(tail.data(), tail.size(), why)) << "last " << n;
    }
    Bytes longer = good;
    longer.push_back(0);
    EXPECT_FALSE(Decode(longer));
    longer = good;
    longer.insert(longer.begin(), 0);
    EXPECT_FALSE(Decode(longer));
}

struct BadReply {
    const char *name;
    Bytes datagram;
};

class RejectedReplies : public ::testing::TestWithParam<BadReply> {};

TEST_P(RejectedReplies, DecodeToNothing) { EXPECT_FALSE(Decode(GetParam().datagram)); }

// The length field of a frame with a correct CRC claims more bytes than
// the datagram has.
Bytes OverlongLengthField() {
    Bytes f = Frame({0, 5}, 1, 0x0B02, {0x02, 'N', 'O', 0});
    f[5] = 0xFF;
    const std::uint16_t crc = BitwiseCrc(f.data(), f.size() - 2);
    f[f.size() - 2] = static_cast<std::uint8_t>(crc >> 8);
    f.back() = static_cast<std::uint8_t>(crc);
    return Reversed(f);
}

INSTANTIATE_TEST_SUITE_P(
    TradeReplies, RejectedReplies,
    ::testing::Values(
        BadReply{"Empty", {}}, BadReply{"SevenBytes", Bytes(7, 0xAE)},
        BadReply{"NotReversed", Frame({0, 5}, 1, 0x0B02, {0x02, 'N', 'O', 0})},
        BadReply{"TradeRequestCommand", Reversed(Frame({0, 5}, 1, 0x0B01, {0x02, 'N', 'O', 0}))},
        BadReply{"NoResultByte", Reversed(Frame({0, 5}, 1, 0x0B02, {}))},
        BadReply{"OneByteAddress", Reversed(Frame({5}, 1, 0x0B02, {0x02, 'N', 'O', 0}))},
        BadReply{"LengthFieldBeyondTheDatagram", OverlongLengthField()},
        BadReply{"LongerThanTheServerReads", Reversed(Frame({0, 5}, 1, 0x0B02, Bytes(1100, 'x')))}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(TradeInput, Cards) {
    EXPECT_EQ(ParseCard("1"), (Card{0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(ParseCard("0011223344556677"), kCard);
    EXPECT_EQ(ParseCard("ABCdef"), (Card{0, 0, 0, 0, 0, 0xAB, 0xCD, 0xEF}));
    EXPECT_EQ(ParseCard("FFFFFFFFFFFFFFFF"), (Card{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    for (const char *bad : {"", "12345678901234567", "0x12", "12g4", "-1", "1 2", "+1"})
        EXPECT_FALSE(ParseCard(bad)) << bad;
    EXPECT_EQ(CardText(Card{0xAB, 0, 0, 0, 0, 0, 0x0C, 0xDE}), "ab00000000000cde");
}

TEST(TradeInput, Amounts) {
    const std::vector<std::pair<const char *, std::optional<std::uint32_t>>> cases = {
        {"0", 0u},
        {"150", 150u},
        {"4294967295", 4294967295u},
        {"4294967296", std::nullopt},
        {"99999999999", std::nullopt},
        {"12.50", 1250u},
        {"12.5", 1250u},
        {"0.01", 1u},
        {"42949672.95", 4294967295u},
        {"42949672.96", std::nullopt},
        {"1.234", std::nullopt},
        {"12.", std::nullopt},
        {".5", std::nullopt},
        {"-1", std::nullopt},
        {"+1", std::nullopt},
        {"1e3", std::nullopt},
        {"", std::nullopt},
        {"1.2.3", std::nullopt},
    };
    for (const auto &[text, cents] : cases) EXPECT_EQ(ParseAmount(text), cents) << text;
}

TEST(TradeOutput, Money) {
    EXPECT_EQ(MoneyText(0), "0.00");
    EXPECT_EQ(MoneyText(5), "0.05");
    EXPECT_EQ(MoneyText(150), "1.50");
    EXPECT_EQ(MoneyText(4294967295u), "42949672.95");
}

TEST(TradeOutput, GbkTextBecomesOneSafeUtf8Line) {
    EXPECT_EQ(DecodeGbkLine(kGbkHolderName), "卡户姓名");
    EXPECT_EQ(DecodeGbkLine({'L', 'i', 0xC0, 0xEE}), "Li李");
    // A name cut inside its last character keeps the dangling byte visible.
    EXPECT_EQ(DecodeGbkLine({0xBF, 0xA8, 0xBB}), "卡\\xBB");
    // Line ends and other control bytes cannot start a line of their own.
    EXPECT_EQ(DecodeGbkLine({'a', '\n', 't', 'r', 'a', 'd', 'e', '\r', 0x1B}), "a\\x0Atrade\\x0D\\x1B");
    EXPECT_EQ(DecodeGbkLine({'a', '\\', 'b'}), "a\\\\b");
    EXPECT_EQ(DecodeGbkLine({0xFF, 'x'}), "\\xFFx");
    EXPECT_EQ(DecodeGbkLine({}), "");
}

} // namespace
