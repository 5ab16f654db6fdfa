#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec.h"
#include "terminal_frames.h"

namespace tillwire {
namespace {

using Bytes = std::vector<uint8_t>;

struct Decoded {
    uint8_t data[kFrameBufferSize];
    uint16_t len = 0;
    uint8_t address[kAddressSize];
    int addrCode = -1;
    uint16_t Command() const { return static_cast<uint16_t>((data[0] << 8) | data[1]); }
};

Decoded Decode(const Bytes& datagram) {
    Decoded d;
    std::memset(d.data, 0xCC, sizeof d.data);  // the decoder must clear it
    std::memset(d.address, 0xCC, sizeof d.address);
    DecodeFrame(datagram.data(), datagram.size(), d.data, d.len, d.address, d.addrCode);
    return d;
}

bool AllZero(const uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

// The trade request of device 5: machine 5, card 00..77, aux 1 2 3, 100 cents.
const Bytes kRequestExample = {0xAE, 0x01, 0x00, 0x05, 0x00, 0x12, 0x0B, 0x01, 0x05, 0x00, 0x11, 0x22, 0x33,
                               0x44, 0x55, 0x66, 0x77, 0x01, 0x02, 0x03, 0x00, 0x00, 0x00, 0x64, 0x52, 0xFF};

TEST(Crc16, KnownValuesAndTable) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(CalcCRC16(abc, 3), 0x42A5);
    EXPECT_EQ(CalcCRC16(nullptr, 0), 0xA1EC);
    EXPECT_EQ(CRC16Table()[0], 0x0000);
    EXPECT_EQ(CRC16Table()[1], 0x1021);
    EXPECT_EQ(CRC16Table()[255], 0x1EF0);
    // The table-driven CRC agrees with the bitwise definition on every frame length.
    Bytes bytes;
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(CalcCRC16(bytes.data(), bytes.size()), terminal::Crc16(bytes.data(), bytes.size())) << i;
        bytes.push_back(static_cast<uint8_t>(i * 37 + 11));
    }
}

TEST(ByteOrder, SwapsAndBigEndianRead) {
    EXPECT_EQ(SwapWord(0x1234), 0x3412);
    EXPECT_EQ(SwapDWord(0x12345678u), 0x78563412u);
    const uint8_t be[] = {0x00, 0x00, 0x00, 0x64};
    EXPECT_EQ(BEToDWord(be), 100u);
    const uint8_t big[] = {0xFF, 0xEE, 0x01, 0x80};
    EXPECT_EQ(BEToDWord(big), 0xFFEE0180u);
}

TEST(DecodeFrame, TradeRequestExample) {
    const Decoded d = Decode(kRequestExample);
    EXPECT_EQ(d.Command(), 0x0B01);
    EXPECT_EQ(d.len, 0x12);
    EXPECT_EQ(d.addrCode, 1);
    EXPECT_EQ(d.address[0], 0x00);
    EXPECT_EQ(d.address[1], 0x05);
    EXPECT_TRUE(AllZero(d.address + 2, 6));
    EXPECT_EQ(0, std::memcmp(d.data, kRequestExample.data() + 6, 0x12));
    EXPECT_TRUE(AllZero(d.data + 0x12, kFrameBufferSize - 0x12));
    // The independent frame builder produces the same bytes.
    EXPECT_EQ(terminal::TradeRequest({}), kRequestExample);
}

TEST(DecodeFrame, LeadingBytesBeforeStartByteAreSkipped) {
    Bytes prefixed = {0x00, 0x13, 0x7F, 0xFF};
    prefixed.insert(prefixed.end(), kRequestExample.begin(), kRequestExample.end());
    prefixed.push_back(0x99);  // trailing bytes after the frame are ignored too
    const Decoded a = Decode(kRequestExample), b = Decode(prefixed);
    EXPECT_EQ(a.len, b.len);
    EXPECT_EQ(a.addrCode, b.addrCode);
    EXPECT_EQ(0, std::memcmp(a.data, b.data, kFrameBufferSize));
    EXPECT_EQ(0, std::memcmp(a.address, b.address, kAddressSize));
}

TEST(DecodeFrame, AnySingleBitFlipIsRejected) {
    // Every bit after the start byte: data, address, length and CRC.
    for (std::size_t byte = 1; byte < kRequestExample.size(); ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes bad = kRequestExample;
            bad[byte] ^= static_cast<uint8_t>(1 << bit);
            const Decoded d = Decode(bad);
            ASSERT_EQ(d.len, 0) << "byte " << byte << " bit " << bit;
            ASSERT_TRUE(AllZero(d.data, kFrameBufferSize)) << "byte " << byte << " bit " << bit;
        }
    }
}

// Frames whose fields point beyond what was received: rejected like a wrong
// CRC, without reading past the datagram or writing past the buffers.
struct Oversized {
    const char* name;
    Bytes datagram;
    friend void PrintTo(const Oversized& c, std::ostream* os) { *os << c.name; }
};

Bytes WithValidCrc(Bytes frame) {
    const uint16_t crc = terminal::Crc16(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc));
    return frame;
}

class DecodeRejects : public ::testing::TestWithParam<Oversized> {};

TEST_P(DecodeRejects, NothingDecoded) {
    const Bytes& datagram = GetParam().datagram;
    // A heap copy of exactly the datagram, so that a read past it is caught
    // by the address sanitizer.
    auto* exact = new uint8_t[datagram.size() ? datagram.size() : 1];
    if (!datagram.empty()) std::memcpy(exact, datagram.data(), datagram.size());
    Decoded d;
    DecodeFrame(exact, datagram.size(), d.data, d.len, d.address, d.addrCode);
    delete[] exact;
    EXPECT_EQ(d.len, 0);
    EXPECT_TRUE(AllZero(d.data, kFrameBufferSize));
    EXPECT_TRUE(AllZero(d.address, kAddressSize));
}

INSTANTIATE_TEST_SUITE_P(
    Codec, DecodeRejects,
    ::testing::Values(
        Oversized{"empty", {}},
        Oversized{"no_start_byte", {0x01, 0x02, 0x03, 0x04}},
        Oversized{"start_byte_only", {0xAE}},
        Oversized{"start_and_control_only", {0x00, 0xAE, 0x01}},
        Oversized{"length_field_cut", {0xAE, 0x01, 0x00, 0x05, 0x00}},
        Oversized{"length_beyond_datagram", WithValidCrc({0xAE, 0x01, 0x00, 0x05, 0xFF, 0xFF, 0x0B, 0x01})},
        Oversized{"length_just_one_too_long", [] {
                      Bytes f = kRequestExample;
                      f[5] = 0x13;
                      return f;
                  }()},
        // Address code 8 (nine address bytes): more than the return-address store.
        Oversized{"address_code_8", WithValidCrc({0xAE, 0x08, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x00, 0x02, 0x0B, 0x01})},
        Oversized{"address_code_15", WithValidCrc({0xAE, 0x0F, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
                                                   16, 0x00, 0x02, 0x0B, 0x01})},
        Oversized{"frame_beyond_1025_bytes", [] {
                      // A valid frame of 1030 bytes: only 1025 bytes are considered.
                      Bytes params(1020, 0x55);
                      return terminal::Frame(5, 0x0B01, params);
                  }()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeFrame, LargestFrameThatFitsAndAddressCode7) {
    // 1025 bytes: address 2, data 1017.
    Bytes params(1015, 0x5A);
    const Bytes frame = terminal::Frame(5, 0x0B01, params);
    ASSERT_EQ(frame.size(), kFrameBufferSize);
    const Decoded d = Decode(frame);
    EXPECT_EQ(d.len, 1017);
    EXPECT_EQ(d.data[1016], 0x5A);

    const Bytes eight = WithValidCrc({0xAE, 0x07, 1, 2, 3, 4, 5, 6, 7, 8, 0x00, 0x02, 0x0B, 0x02});
    const Decoded e = Decode(eight);
    EXPECT_EQ(e.addrCode, 7);
    EXPECT_EQ(e.Command(), 0x0B02);
    EXPECT_EQ(e.address[7], 8);
}

TEST(EncodeFrame, RefusedReplyExample) {
    const uint8_t address[kAddressSize] = {0x00, 0x05};
    const uint8_t params[] = {0x01, 'N', 'O', 0x00};
    Record_Command record;
    uint8_t out[kFrameBufferSize];
    std::memset(out, 0xCC, sizeof out);
    const std::size_t n = EncodeFrame(0x0B02, params, sizeof params, 1, 1, address, record, out);
    const Bytes expected = {0x79, 0x36, 0x00, 0x4F, 0x4E, 0x01, 0x02, 0x0B, 0x06, 0x00, 0x05, 0x00, 0x11, 0xAE};
    ASSERT_EQ(n, expected.size());
    EXPECT_EQ(Bytes(out, out + n), expected);
    EXPECT_TRUE(AllZero(out + n, kFrameBufferSize - n));
    EXPECT_EQ(record.Head, 0xAE);
    EXPECT_EQ(record.Control, 0x11);
    EXPECT_EQ(record.Address, (Bytes{0x00, 0x05}));
    EXPECT_EQ(record.DataLen, SwapWord(6));  // held in wire order
    EXPECT_EQ(record.Data, (Bytes{0x0B, 0x02, 0x01, 'N', 'O', 0x00}));
    EXPECT_EQ(record.Crc, SwapWord(0x3679));
}

TEST(EncodeFrame, NoParametersSequenceAndAddressNibbles) {
    const uint8_t address[kAddressSize] = {1, 2, 3, 4, 5, 6, 7, 8};
    Record_Command record;
    uint8_t out[kFrameBufferSize];
    for (int seq = 0; seq < 16; ++seq) {
        for (int code = 0; code < 8; ++code) {
            const std::size_t n = EncodeFrame(0x0B02, nullptr, 0, seq, code, address, record, out);
            ASSERT_EQ(n, static_cast<std::size_t>(code + 1 + 8));
            const Bytes frame = terminal::Unreverse(out, n);
            ASSERT_FALSE(frame.empty()) << "CRC of seq " << seq << " code " << code;
            EXPECT_EQ(out[0], frame[n - 1]);  // starts with the CRC's low byte
            EXPECT_EQ(out[n - 1], 0xAE);      // ends with the start byte
            EXPECT_EQ(frame[1] & 0x0F, code);
            EXPECT_EQ(frame[1] >> 4, seq);
            EXPECT_EQ(frame[2 + code + 1], 0x00);  // length high byte
            EXPECT_EQ(frame[2 + code + 2], 0x02);  // L = 2
        }
    }
}

TEST(EncodeFrame, RejectsWhatCannotBeBuilt) {
    const uint8_t address[kAddressSize] = {};
    Record_Command record;
    uint8_t out[kFrameBufferSize];
    std::vector<uint8_t> params(kFrameBufferSize, 1);
    EXPECT_EQ(EncodeFrame(0x0B02, params.data(), 0, 0, 8, address, record, out), 0u);
    EXPECT_EQ(EncodeFrame(0x0B02, params.data(), 1025 - 10 + 1, 0, 1, address, record, out), 0u);
    EXPECT_EQ(EncodeFrame(0x0B02, params.data(), 1025 - 10, 0, 1, address, record, out), kFrameBufferSize);
}

TEST(Codec, EncodedFrameDecodesBack) {
    const uint8_t address[kAddressSize] = {0x12, 0x34, 0x56};
    const uint8_t params[] = {9, 8, 7, 6, 5};
    Record_Command record;
    uint8_t out[kFrameBufferSize];
    const std::size_t n = EncodeFrame(0x0B01, params, sizeof params, 3, 2, address, record, out);
    Bytes frame = terminal::Unreverse(out, n);
    const Decoded d = Decode(frame);
    EXPECT_EQ(d.Command(), 0x0B01);
    EXPECT_EQ(d.len, 7);
    EXPECT_EQ(d.addrCode, 2);
    EXPECT_EQ(0, std::memcmp(d.address, address, 3));
    EXPECT_EQ(0, std::memcmp(d.data + 2, params, sizeof params));
}

}  // namespace
}  // namespace tillwire
