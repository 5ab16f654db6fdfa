// What a card terminal sends: trade request and confirmation frames, built
// independently of the library (bitwise CRC), and reading a byte-reversed
// reply. Shared by the tests, the fuzz seeds and the load benchmark.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace terminal {

inline uint16_t Crc16(const uint8_t* p, std::size_t n) {
    uint16_t crc = 0xA1EC;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= static_cast<uint16_t>(p[i] << 8);
        for (int b = 0; b < 8; ++b) crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

// A frame with a device-number address (two bytes, high first).
inline std::vector<uint8_t> Frame(uint16_t deviceNo, uint16_t command, const std::vector<uint8_t>& params,
                                  uint8_t seq = 0) {
    std::vector<uint8_t> f{0xAE, static_cast<uint8_t>(0x01 | (seq << 4)), static_cast<uint8_t>(deviceNo >> 8),
                           static_cast<uint8_t>(deviceNo)};
    const std::size_t len = params.size() + 2;
    f.push_back(static_cast<uint8_t>(len >> 8));
    f.push_back(static_cast<uint8_t>(len));
    f.push_back(static_cast<uint8_t>(command >> 8));
    f.push_back(static_cast<uint8_t>(command));
    f.insert(f.end(), params.begin(), params.end());
    const uint16_t crc = Crc16(f.data(), f.size());
    f.push_back(static_cast<uint8_t>(crc >> 8));
    f.push_back(static_cast<uint8_t>(crc));
    return f;
}

inline void PutBE32(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(static_cast<uint8_t>(x >> 24));
    v.push_back(static_cast<uint8_t>(x >> 16));
    v.push_back(static_cast<uint8_t>(x >> 8));
    v.push_back(static_cast<uint8_t>(x));
}

inline uint32_t GetBE32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

struct Request {
    uint16_t deviceNo = 5;
    uint8_t machineNo = 5;
    uint8_t card[8] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    uint8_t aux[3] = {1, 2, 3};
    uint32_t amount = 100;
};

inline std::vector<uint8_t> TradeRequest(const Request& r) {
    std::vector<uint8_t> p{r.machineNo};
    p.insert(p.end(), r.card, r.card + 8);
    p.insert(p.end(), r.aux, r.aux + 3);
    PutBE32(p, r.amount);
    return Frame(r.deviceNo, 0x0B01, p);
}

inline std::vector<uint8_t> Confirmation(uint16_t deviceNo, uint32_t serial, uint8_t status = 0) {
    std::vector<uint8_t> p{status};
    PutBE32(p, serial);
    return Frame(deviceNo, 0x0B02, p);
}

// A reply as the frame it carries (the datagram reversed), or empty when its
// CRC is wrong.
inline std::vector<uint8_t> Unreverse(const uint8_t* datagram, std::size_t n) {
    std::vector<uint8_t> f(datagram, datagram + n);
    std::reverse(f.begin(), f.end());
    if (f.size() < 8) return {};
    const uint16_t crc = Crc16(f.data(), f.size() - 2);
    if (f[f.size() - 2] != (crc >> 8) || f.back() != (crc & 0xFF)) return {};
    return f;
}

// The parameter bytes of a reply frame (after the command word), given its
// address length n.
inline std::vector<uint8_t> ReplyParams(const std::vector<uint8_t>& frame, std::size_t n = 2) {
    if (frame.size() < n + 8) return {};
    return std::vector<uint8_t>(frame.begin() + static_cast<long>(4 + n + 2), frame.end() - 2);
}

}  // namespace terminal
