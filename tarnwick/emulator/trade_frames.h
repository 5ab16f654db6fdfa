// The terminal's side of the online-trade protocol: 0xAE frames over UDP.
//
// A frame is 0xAE, a control byte (address length - 1 in the low nibble,
// sequence number in the high nibble), the address (a terminal uses its
// device number, two bytes, high first), the data length L (16 bits, high
// first), L data bytes (command word and parameters) and a CRC-16 of all
// the bytes before it (polynomial 0x1021, initial value 0xA1EC, high byte
// first). Numbers inside the data are big-endian. The terminal sends its
// frames as they are; the trade server sends its replies byte-reversed,
// CRC low byte first and 0xAE last.
//
// Nothing here touches sockets; online_trade.cpp sends and receives.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::emulator::trade {

constexpr std::uint8_t kFrameStart = 0xAE;
constexpr std::uint16_t kCmdTradeRequest = 0x0B01;
// The server's reply and the terminal's confirmation share this word.
constexpr std::uint16_t kCmdTradeReply = 0x0B02;
// Parameter bytes of an accepted reply: result, card (8), extra value (4),
// balance (4), serial (4), holder name (16).
constexpr std::size_t kAcceptedParams = 37;
constexpr std::size_t kNameBytes = 16;
// The trade server looks at no more than this many bytes of a datagram.
constexpr std::size_t kMaxDatagram = 1025;

using Card = std::array<std::uint8_t, 8>;
using AuxBytes = std::array<std::uint8_t, 3>;

// CRC-16 of the frame protocol (table-driven).
std::uint16_t Crc16(const std::uint8_t *bytes, std::size_t count);

// A frame addressed with a two-byte device number, in wire order (not
// reversed), as a terminal sends it.
std::vector<std::uint8_t> EncodeTerminalFrame(std::uint16_t address, std::uint8_t sequence, std::uint16_t command,
                                              const std::vector<std::uint8_t> &params);

struct TradeRequest {
    std::uint16_t address = 0;  // device number
    std::uint8_t machineNo = 0;
    Card card{};
    AuxBytes aux{};
    std::uint32_t amount = 0;  // cents
};

std::vector<std::uint8_t> EncodeTradeRequest(const TradeRequest &request, std::uint8_t sequence);
// Status 0 (the terminal completed the trade) and the reply's serial.
std::vector<std::uint8_t> EncodeConfirmation(std::uint16_t address, std::uint32_t serial, std::uint8_t sequence);

struct TradeReply {
    bool accepted = false;
    std::uint16_t address = 0;  // first two address bytes: the device number
    std::uint8_t result = 0;
    // Accepted only.
    Card card{};
    std::uint32_t extraValue = 0;
    std::uint32_t balance = 0;  // cents
    std::uint32_t serial = 0;
    // The holder name (accepted) or the message (refused), code page 936,
    // cut at its first zero byte.
    std::vector<std::uint8_t> text;
};

// Reads one reply datagram. A reply is accepted when its result byte is 0
// and it has exactly 37 parameter bytes; every other well-formed 0x0B02
// reply is a refusal (a result code whose low byte is 0 arrives as result 0
// with a message). Nothing, and the reason in `why`, when the datagram is
// not a complete, correctly checked 0x0B02 frame in reverse order.
std::optional<TradeReply> DecodeReply(const std::uint8_t *datagram, std::size_t size, std::string &why);

// 1 to 16 hexadecimal digits, left-padded with zeros to eight bytes.
std::optional<Card> ParseCard(const std::string &text);
// Sixteen lowercase hexadecimal digits, first byte first.
std::string CardText(const Card &card);
// Cents as an unsigned 32-bit number ("150"), or yuan with a decimal point
// and at most two decimals ("1.5", "12.50").
std::optional<std::uint32_t> ParseAmount(const std::string &text);
// "1.50" for 150 cents.
std::string MoneyText(std::uint32_t cents);

// Code page 936 bytes as UTF-8 for one output line: bytes that are not GBK
// and control characters come out as \xNN, a backslash as \\.
std::string DecodeGbkLine(const std::vector<std::uint8_t> &bytes);

} // namespace tarnwick::emulator::trade
