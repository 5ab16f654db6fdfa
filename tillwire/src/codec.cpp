#include "codec.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tillwire {

namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeTable();
static_assert(kCrcTable[1] == 0x1021 && kCrcTable[255] == 0x1EF0);

}  // namespace

const uint16_t* CRC16Table() { return kCrcTable.data(); }

uint16_t CalcCRC16(const uint8_t* bytes, std::size_t count) {
    uint16_t crc = 0xA1EC;
    for (std::size_t i = 0; i < count; ++i)
        crc = static_cast<uint16_t>((crc << 8) ^ kCrcTable[((crc >> 8) ^ bytes[i]) & 0xFF]);
    return crc;
}

uint16_t SwapWord(uint16_t value) { return static_cast<uint16_t>((value << 8) | (value >> 8)); }

uint32_t SwapDWord(uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) | (value << 24);
}

uint32_t BEToDWord(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           uint32_t{bytes[3]};
}

void DecodeFrame(const uint8_t* datagram, std::size_t length, uint8_t* data, uint16_t& dataLen,
                 uint8_t* address, int& addrCode) {
    std::memset(data, 0, kFrameBufferSize);
    std::memset(address, 0, kAddressSize);
    dataLen = 0;
    addrCode = 0;
    if (datagram == nullptr) return;
    length = std::min(length, kFrameBufferSize);

    const uint8_t* start = static_cast<const uint8_t*>(std::memchr(datagram, kFrameHead, length));
    if (start == nullptr) return;
    const std::size_t avail = length - static_cast<std::size_t>(start - datagram);

    // Everything read below must lie inside the received bytes.
    if (avail < 2) return;
    const std::size_t n = (start[1] & 0x0F) + 1u;
    if (n > kAddressSize) return;
    if (avail < 4 + n) return;
    const std::size_t len = (std::size_t{start[2 + n]} << 8) | start[3 + n];
    const std::size_t frameLen = n + 6 + len;
    if (frameLen > avail) return;

    const uint16_t crc = CalcCRC16(start, n + 4 + len);
    const uint16_t sent = static_cast<uint16_t>((start[frameLen - 2] << 8) | start[frameLen - 1]);
    if (crc != sent) return;

    std::memcpy(address, start + 2, n);
    addrCode = static_cast<int>(n) - 1;
    std::memcpy(data, start + 4 + n, len);  // len <= 1025 - 6 - n: fits
    dataLen = static_cast<uint16_t>(len);
}

std::size_t EncodeFrame(uint16_t command, const uint8_t* params, std::size_t count, int seq,
                        int addrCode, const uint8_t* address, Record_Command& record, uint8_t* out) {
    std::memset(out, 0, kFrameBufferSize);
    try {
        record.Address.clear();
        record.Data.clear();
        record.Head = kFrameHead;
        record.Control = static_cast<uint8_t>((addrCode & 0x0F) | ((seq & 0x0F) << 4));
        record.DataLen = 0;
        record.Crc = 0;
        if (addrCode < 0 || addrCode >= static_cast<int>(kAddressSize)) return 0;
        if (params == nullptr) count = 0;
        const std::size_t n = static_cast<std::size_t>(addrCode) + 1;
        const std::size_t frameLen = n + 8 + count;
        if (frameLen > kFrameBufferSize) return 0;

        record.Address.assign(address, address + n);
        record.DataLen = SwapWord(static_cast<uint16_t>(count + 2));
        record.Data.reserve(count + 2);
        record.Data.push_back(static_cast<uint8_t>(command >> 8));
        record.Data.push_back(static_cast<uint8_t>(command));
        record.Data.insert(record.Data.end(), params, params + count);

        uint8_t frame[kFrameBufferSize] = {};
        std::size_t pos = 0;
        frame[pos++] = record.Head;
        frame[pos++] = record.Control;
        std::memcpy(frame + pos, record.Address.data(), n);
        pos += n;
        frame[pos++] = static_cast<uint8_t>((count + 2) >> 8);
        frame[pos++] = static_cast<uint8_t>(count + 2);
        std::memcpy(frame + pos, record.Data.data(), record.Data.size());
        pos += record.Data.size();
        const uint16_t crc = CalcCRC16(frame, pos);
        record.Crc = SwapWord(crc);
        frame[pos++] = static_cast<uint8_t>(crc >> 8);
        frame[pos++] = static_cast<uint8_t>(crc);

        for (std::size_t i = 0; i < pos; ++i) out[i] = frame[pos - 1 - i];
        return pos;
    } catch (...) {
        std::memset(out, 0, kFrameBufferSize);
        return 0;
    }
}

}  // namespace tillwire
