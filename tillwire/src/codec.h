// Frame codec of the online-trade protocol: CRC, byte order, decoding a
// received datagram and encoding a reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tillwire {

// Received datagrams are taken up to this many bytes; decoded data fields and
// encoded replies live in buffers of this size.
inline constexpr std::size_t kFrameBufferSize = 1025;
// The return address store: address codes 0 to 7 (1 to 8 address bytes).
inline constexpr std::size_t kAddressSize = 8;
inline constexpr uint8_t kFrameHead = 0xAE;

inline constexpr uint16_t kCmdTradeRequest = 0x0B01;
inline constexpr uint16_t kCmdTradeReply = 0x0B02;  // also the terminal's confirmation

// The in-memory form of a frame as the encoder builds it. DataLen and Crc are
// held in wire (big-endian) byte order.
struct Record_Command {
    uint8_t Head = 0;
    uint8_t Control = 0;
    std::vector<uint8_t> Address;
    uint16_t DataLen = 0;
    std::vector<uint8_t> Data;
    uint16_t Crc = 0;
};

// CRC-16, polynomial 0x1021, not reflected, initial value 0xA1EC.
uint16_t CalcCRC16(const uint8_t* bytes, std::size_t count);
// The 256-entry table behind CalcCRC16.
const uint16_t* CRC16Table();

uint16_t SwapWord(uint16_t value);
uint32_t SwapDWord(uint32_t value);
uint32_t BEToDWord(const uint8_t* bytes);

// Decodes the first frame of a datagram (only its first 1025 bytes count).
// data (1025 bytes) and address (8 bytes) are zero-filled first; on success
// data holds the data field, dataLen its length, address the frame's address
// and addrCode its code (address length - 1). A datagram without start byte,
// with a wrong CRC, with a frame that does not fit in the datagram or with an
// address longer than 8 bytes leaves data zero and dataLen 0.
void DecodeFrame(const uint8_t* datagram, std::size_t length, uint8_t* data, uint16_t& dataLen,
                 uint8_t* address, int& addrCode);

// Builds the frame of command word and count parameter bytes (params may be
// null when count is 0) into record, and the datagram to send, the frame in
// reverse byte order, into out (1025 bytes, zero-filled first). Returns the
// datagram length (address length + 8 + count), or 0 when the frame cannot be
// built (address code above 7, frame longer than 1025 bytes).
std::size_t EncodeFrame(uint16_t command, const uint8_t* params, std::size_t count, int seq,
                        int addrCode, const uint8_t* address, Record_Command& record, uint8_t* out);

}  // namespace tillwire
