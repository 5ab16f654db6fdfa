// What the trade server sends a terminal, built by hand for the emulator's
// tests with a bitwise CRC, independent of the emulator's own frame code:
// 0xAE frames in wire order, and replies byte-reversed as they travel.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarnwick::testing::trade_server {

using Bytes = std::vector<std::uint8_t>;

inline std::uint16_t BitwiseCrc(const std::uint8_t *p, std::size_t n) {
    std::uint16_t crc = 0xA1EC;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= static_cast<std::uint16_t>(p[i] << 8);
        for (int b = 0; b < 8; ++b) crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

inline void PutBE32(Bytes &v, std::uint32_t x) {
    for (int shift = 24; shift >= 0; shift -= 8) v.push_back(static_cast<std::uint8_t>(x >> shift));
}

inline std::uint32_t GetBE32(const std::uint8_t *p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// A frame with the given address, in wire order, CRC appended.
inline Bytes Frame(const Bytes &address, std::uint8_t seq, std::uint16_t command, const Bytes &params) {
    Bytes f{0xAE, static_cast<std::uint8_t>((seq << 4) | (address.size() - 1))};
    f.insert(f.end(), address.begin(), address.end());
    const std::size_t len = params.size() + 2;
    f.push_back(static_cast<std::uint8_t>(len >> 8));
    f.push_back(static_cast<std::uint8_t>(len));
    f.push_back(static_cast<std::uint8_t>(command >> 8));
    f.push_back(static_cast<std::uint8_t>(command));
    f.insert(f.end(), params.begin(), params.end());
    const std::uint16_t crc = BitwiseCrc(f.data(), f.size());
    f.push_back(static_cast<std::uint8_t>(crc >> 8));
    f.push_back(static_cast<std::uint8_t>(crc));
    return f;
}

// A frame addressed with a two-byte device number.
inline Bytes DeviceFrame(std::uint16_t device, std::uint8_t seq, std::uint16_t command, const Bytes &params) {
    return Frame(Bytes{static_cast<std::uint8_t>(device >> 8), static_cast<std::uint8_t>(device)}, seq, command,
                 params);
}

inline Bytes Reversed(Bytes b) {
    std::reverse(b.begin(), b.end());
    return b;
}

inline const Bytes kGbkHolderName = {0xBF, 0xA8, 0xBB, 0xA7, 0xD0, 0xD5, 0xC3, 0xFB};  // 卡户姓名

// The 37 parameter bytes of an accepted reply: result 0, card, extra value,
// balance, serial, name padded to 16 bytes.
inline Bytes AcceptedParams(std::span<const std::uint8_t> card, std::uint32_t extra, std::uint32_t balance,
                            std::uint32_t serial, Bytes name) {
    Bytes p{0x00};
    p.insert(p.end(), card.begin(), card.end());
    PutBE32(p, extra);
    PutBE32(p, balance);
    PutBE32(p, serial);
    name.resize(16, 0);
    p.insert(p.end(), name.begin(), name.end());
    return p;
}

// The datagrams the trade server sends for an accepted and a refused trade.
inline Bytes AcceptedReply(std::uint16_t device, std::span<const std::uint8_t> card, std::uint32_t serial,
                           std::uint32_t balance = 150, std::uint32_t extra = 30, Bytes name = kGbkHolderName) {
    return Reversed(DeviceFrame(device, 1, 0x0B02, AcceptedParams(card, extra, balance, serial, std::move(name))));
}

inline Bytes RefusedReply(std::uint16_t device, std::uint8_t result, const Bytes &message) {
    Bytes p{result};
    p.insert(p.end(), message.begin(), message.end());
    p.push_back(0);
    return Reversed(DeviceFrame(device, 1, 0x0B02, p));
}

}  // namespace tarnwick::testing::trade_server
