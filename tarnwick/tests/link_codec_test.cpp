// The link codec: frames through the stream decoder, payloads, date-times.

#include "link/checksum.h"
#include "link/frame.h"
#include "link/ole_time.h"
#include "link/protocol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace tarnwick::link {
namespace {

Frame SampleFrame(std::uint16_t sequence, std::size_t payloadSize = 9) {
    Frame f;
    f.type = FrameType::Response;
    f.sequence = sequence;
    f.command = kCmdReadClock;
    f.device = 24;
    f.status = kStatusOk;
    for (std::size_t i = 0; i < payloadSize; ++i) f.payload.push_back(static_cast<std::uint8_t>(i * 7 + sequence));
    return f;
}

std::vector<Frame> DecodeAll(FrameDecoder &d) {
    std::vector<Frame> out;
    while (auto f = d.Next()) out.push_back(std::move(*f));
    return out;
}

TEST(Checksum, KnownValues) {
    const std::string text = "123456789";
    const auto *p = reinterpret_cast<const std::uint8_t *>(text.data());
    EXPECT_EQ(Crc32(p, text.size()), 0xCBF43926u);
    EXPECT_EQ(Crc16Ccitt(p, text.size()), 0x29B1u);
}

TEST(FrameDecoder, FramesSurviveAnySplitOfTheStream) {
    std::vector<std::uint8_t> stream;
    std::vector<Frame> sent;
    for (std::uint16_t i = 0; i < 5; ++i) {
        sent.push_back(SampleFrame(i, i * 100));
        EncodeFrame(sent.back(), stream);
    }
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{19}, std::size_t{64}, stream.size()}) {
        FrameDecoder d;
        std::vector<Frame> got;
        for (std::size_t pos = 0; pos < stream.size(); pos += chunk) {
            d.Feed(stream.data() + pos, std::min(chunk, stream.size() - pos));
            for (auto &f : DecodeAll(d)) got.push_back(f);
        }
        EXPECT_EQ(got, sent) << "chunk " << chunk;
        EXPECT_EQ(d.Buffered(), 0u);
        EXPECT_EQ(d.DiscardedBytes(), 0u);
    }
}

TEST(FrameDecoder, NoiseAroundFramesIsSkipped) {
    std::mt19937 rng(7);
    std::vector<std::uint8_t> stream;
    auto noise = [&](std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) stream.push_back(static_cast<std::uint8_t>(rng()));
        // A lone start marker and a start marker with a broken header.
        stream.push_back(kStart0);
        stream.push_back(kStart0);
        stream.push_back(kStart1);
        stream.push_back(0x77);
    };
    noise(300);
    EncodeFrame(SampleFrame(1), stream);
    noise(50);
    EncodeFrame(SampleFrame(2), stream);
    FrameDecoder d;
    d.Feed(stream.data(), stream.size());
    const auto got = DecodeAll(d);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], SampleFrame(1));
    EXPECT_EQ(got[1], SampleFrame(2));
    EXPECT_GT(d.DiscardedBytes(), 350u);
}

// Whatever single byte of a frame is damaged, that frame is dropped and the
// next good frame still comes through.
TEST(FrameDecoder, DamagedByteAnywhereDropsOnlyThatFrame) {
    const auto good = EncodeFrame(SampleFrame(3, 12));
    for (std::size_t pos = 0; pos < good.size(); ++pos) {
        auto bad = good;
        bad[pos] ^= 0x10;
        std::vector<std::uint8_t> stream = bad;
        const auto next = EncodeFrame(SampleFrame(4));
        stream.insert(stream.end(), next.begin(), next.end());
        FrameDecoder d;
        d.Feed(stream.data(), stream.size());
        const auto got = DecodeAll(d);
        ASSERT_EQ(got.size(), 1u) << "damaged byte " << pos;
        EXPECT_EQ(got[0], SampleFrame(4)) << "damaged byte " << pos;
    }
}

TEST(FrameDecoder, TruncatedFrameWaitsAndNeverCompletesWrongly) {
    const auto bytes = EncodeFrame(SampleFrame(5, 40));
    FrameDecoder d;
    d.Feed(bytes.data(), bytes.size() - 1);
    EXPECT_FALSE(d.Next());
    d.Feed(bytes.data() + bytes.size() - 1, 1);
    const auto f = d.Next();
    ASSERT_TRUE(f);
    EXPECT_EQ(*f, SampleFrame(5, 40));
}

TEST(FrameDecoder, OversizedLengthIsNotAwaited) {
    // A header that is well formed except for a length beyond the limit:
    // the decoder must not wait for 4 GiB, it skips the header at once.
    Frame f = SampleFrame(6, 0);
    auto bytes = EncodeFrame(f);
    bytes[14] = 0xFF;
    bytes[15] = 0xFF;
    bytes[16] = 0xFF;
    bytes[17] = 0x7F;
    const std::uint16_t crc = Crc16Ccitt(bytes.data(), kHeaderSize - 2);
    bytes[18] = static_cast<std::uint8_t>(crc);
    bytes[19] = static_cast<std::uint8_t>(crc >> 8);
    const auto next = EncodeFrame(SampleFrame(7));
    bytes.insert(bytes.end(), next.begin(), next.end());
    FrameDecoder d;
    d.Feed(bytes.data(), bytes.size());
    const auto got = DecodeAll(d);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], SampleFrame(7));
}

TEST(FrameEncoder, RefusesPayloadBeyondLimit) {
    Frame f = SampleFrame(1, 0);
    f.payload.assign(kMaxPayload + 1, 0);
    std::vector<std::uint8_t> out{1, 2};
    EXPECT_FALSE(EncodeFrame(f, out));
    EXPECT_EQ(out.size(), 2u);
    f.payload.resize(kMaxPayload);
    EXPECT_TRUE(EncodeFrame(f, out));
    FrameDecoder d;
    d.Feed(out.data() + 2, out.size() - 2);
    EXPECT_TRUE(d.Next());
}

struct KnownDate {
    ClockFields clock;
    double dateTime;
};

void PrintTo(const KnownDate &d, std::ostream *os) {
    *os << d.clock.year << "-" << int(d.clock.month) << "-" << int(d.clock.day) << " " << int(d.clock.hour) << ":"
        << int(d.clock.minute) << ":" << int(d.clock.second) << "." << d.clock.millisecond;
}

class DateTimeConversion : public ::testing::TestWithParam<KnownDate> {};

TEST_P(DateTimeConversion, MatchesDayCountsSince18991230) {
    const auto &p = GetParam();
    EXPECT_NEAR(DateTimeFromClock(p.clock), p.dateTime, 1e-9);
    const auto back = ClockFromDateTime(p.dateTime);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, p.clock);
}

INSTANTIATE_TEST_SUITE_P(
    Known, DateTimeConversion,
    ::testing::Values(KnownDate{{1900, 1, 1, 0, 0, 0, 0}, 2.0},
                      KnownDate{{1900, 3, 1, 0, 0, 0, 0}, 61.0},
                      KnownDate{{2000, 2, 29, 12, 0, 0, 0}, 36585.5},
                      KnownDate{{2024, 3, 7, 9, 5, 3, 0}, 45358.0 + (9 * 3600 + 5 * 60 + 3) / 86400.0},
                      KnownDate{{2024, 12, 31, 23, 59, 59, 999}, 45657.0 + 86399.999 / 86400.0},
                      KnownDate{{9999, 12, 31, 0, 0, 0, 0}, 2958465.0}));

TEST(DateTimeConversion, RefusesValuesOutsideTheTerminalsRange) {
    for (double v : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                     -1.0, 0.0, 1.999, 2958466.0, 1e300, -1e300})
        EXPECT_FALSE(ClockFromDateTime(v)) << v;
}

TEST(ClockPayload, DecodeChecksSizeAndRanges) {
    const ClockFields good{2024, 2, 29, 23, 59, 59, 999};
    EXPECT_EQ(DecodeClock(EncodeClock(good)), good);
    auto shortPayload = EncodeClock(good);
    shortPayload.pop_back();
    EXPECT_FALSE(DecodeClock(shortPayload));
    auto longPayload = EncodeClock(good);
    longPayload.push_back(0);
    EXPECT_FALSE(DecodeClock(longPayload));
    for (ClockFields bad : {ClockFields{2023, 2, 29, 0, 0, 0, 0}, ClockFields{2024, 13, 1, 0, 0, 0, 0},
                            ClockFields{2024, 0, 1, 0, 0, 0, 0}, ClockFields{2024, 1, 0, 0, 0, 0, 0},
                            ClockFields{2024, 4, 31, 0, 0, 0, 0}, ClockFields{2024, 1, 1, 24, 0, 0, 0},
                            ClockFields{2024, 1, 1, 0, 60, 0, 0}, ClockFields{2024, 1, 1, 0, 0, 60, 0},
                            ClockFields{2024, 1, 1, 0, 0, 0, 1000}, ClockFields{1899, 12, 31, 0, 0, 0, 0}})
        EXPECT_FALSE(DecodeClock(EncodeClock(bad))) << bad.year << "-" << int(bad.month) << "-" << int(bad.day);
}

TEST(ModelPayload, RoundTripAndSize) {
    const ModelInfo m{22, 2.5, -3, 1, 7};
    const auto bytes = EncodeModelInfo(m);
    EXPECT_EQ(bytes.size(), kModelInfoSize);
    EXPECT_EQ(DecodeModelInfo(bytes), m);
    EXPECT_FALSE(DecodeModelInfo(std::vector<std::uint8_t>(bytes.begin(), bytes.end() - 1)));
}

TEST(PagePayload, CountMustFitOnePage) {
    EXPECT_TRUE(DecodePageRequest(EncodePageRequest({32, 16})));
    EXPECT_FALSE(DecodePageRequest(EncodePageRequest({0, 0})));
    EXPECT_FALSE(DecodePageRequest(EncodePageRequest({0, 17})));
}

} // namespace
} // namespace tarnwick::link
