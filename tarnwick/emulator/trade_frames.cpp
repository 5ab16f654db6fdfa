#include "trade_frames.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iconv.h>

namespace tarnwick::emulator::trade {
namespace {

constexpr std::uint16_t kCrcInit = 0xA1EC;

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        table[i] = crc;
    }
    return table;
}

constexpr auto kCrcTable = MakeCrcTable();
static_assert(kCrcTable[1] == 0x1021 && kCrcTable[255] == 0x1EF0);

void PutBE16(std::vector<std::uint8_t> &out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void PutBE32(std::vector<std::uint8_t> &out, std::uint32_t v) {
    PutBE16(out, static_cast<std::uint16_t>(v >> 16));
    PutBE16(out, static_cast<std::uint16_t>(v));
}

std::uint32_t GetBE32(const std::uint8_t *p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendEscaped(std::string &out, std::uint8_t byte) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", byte);
    out += buf;
}

// Appends UTF-8 text, escaping what would break or forge an output line.
void AppendLineSafe(std::string &out, const char *text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (byte < 0x20 || byte == 0x7F)
            AppendEscaped(out, byte);
        else if (byte == '\\')
            out += "\\\\";
        else
            out += static_cast<char>(byte);
    }
}

} // namespace

std::uint16_t Crc16(const std::uint8_t *bytes, std::size_t count) {
    std::uint16_t crc = kCrcInit;
    for (std::size_t i = 0; i < count; ++i)
        crc = static_cast<std::uint16_t>((crc << 8) ^ kCrcTable[((crc >> 8) ^ bytes[i]) & 0xFF]);
    return crc;
}

std::vector<std::uint8_t> EncodeTerminalFrame(std::uint16_t address, std::uint8_t sequence, std::uint16_t command,
                                              const std::vector<std::uint8_t> &params) {
    std::vector<std::uint8_t> frame;
    frame.reserve(params.size() + 10);
    frame.push_back(kFrameStart);
    // Address code 1: two address bytes.
    frame.push_back(static_cast<std::uint8_t>(((sequence & 0x0F) << 4) | 0x01));
    PutBE16(frame, address);
    PutBE16(frame, static_cast<std::uint16_t>(params.size() + 2));
    PutBE16(frame, command);
    frame.insert(frame.end(), params.begin(), params.end());
    PutBE16(frame, Crc16(frame.data(), frame.size()));
    return frame;
}

std::vector<std::uint8_t> EncodeTradeRequest(const TradeRequest &request, std::uint8_t sequence) {
    std::vector<std::uint8_t> params;
    params.push_back(request.machineNo);
    params.insert(params.end(), request.card.begin(), request.card.end());
    params.insert(params.end(), request.aux.begin(), request.aux.end());
    PutBE32(params, request.amount);
    return EncodeTerminalFrame(request.address, sequence, kCmdTradeRequest, params);
}

std::vector<std::uint8_t> EncodeConfirmation(std::uint16_t address, std::uint32_t serial, std::uint8_t sequence) {
    std::vector<std::uint8_t> params{0x00};
    PutBE32(params, serial);
    return EncodeTerminalFrame(address, sequence, kCmdTradeReply, params);
}

std::optional<TradeReply> DecodeReply(const std::uint8_t *datagram, std::size_t size, std::string &why) {
    // Smallest frame: start, control, one address byte, length, command, CRC.
    if (size < 8) {
        why = "short datagram";
        return std::nullopt;
    }
    if (size > kMaxDatagram) {
        why = "datagram longer than " + std::to_string(kMaxDatagram) + " bytes";
        return std::nullopt;
    }
    std::vector<std::uint8_t> frame(datagram, datagram + size);
    std::reverse(frame.begin(), frame.end());
    if (frame[0] != kFrameStart) {
        why = "no frame start at the end of the datagram";
        return std::nullopt;
    }
    const std::size_t addressLength = (frame[1] & 0x0F) + 1u;
    if (size < addressLength + 6) {
        why = "short frame";
        return std::nullopt;
    }
    const std::size_t dataLength = (std::size_t{frame[2 + addressLength]} << 8) | frame[3 + addressLength];
    if (addressLength + 6 + dataLength != size) {
        why = "frame length " + std::to_string(addressLength + 6 + dataLength) + " in a datagram of " +
              std::to_string(size) + " bytes";
        return std::nullopt;
    }
    const std::size_t crcAt = size - 2;
    const std::uint16_t crc = static_cast<std::uint16_t>((frame[crcAt] << 8) | frame[crcAt + 1]);
    if (Crc16(frame.data(), crcAt) != crc) {
        why = "wrong CRC";
        return std::nullopt;
    }
    if (addressLength < 2) {
        why = "address shorter than a device number";
        return std::nullopt;
    }
    if (dataLength < 2) {
        why = "no command word";
        return std::nullopt;
    }
    const std::uint8_t *data = frame.data() + 4 + addressLength;
    const std::uint16_t command = static_cast<std::uint16_t>((data[0] << 8) | data[1]);
    if (command != kCmdTradeReply) {
        char buf[48];
        std::snprintf(buf, sizeof buf, "command %04X is not a trade reply", command);
        why = buf;
        return std::nullopt;
    }
    if (dataLength < 3) {
        why = "reply without a result byte";
        return std::nullopt;
    }
    const std::uint8_t *params = data + 2;
    const std::size_t paramCount = dataLength - 2;

    TradeReply reply;
    reply.address = static_cast<std::uint16_t>((frame[2] << 8) | frame[3]);
    reply.result = params[0];
    const std::uint8_t *text = params + 1;
    std::size_t textSize = paramCount - 1;
    if (reply.result == 0 && paramCount == kAcceptedParams) {
        reply.accepted = true;
        std::copy(params + 1, params + 9, reply.card.begin());
        reply.extraValue = GetBE32(params + 9);
        reply.balance = GetBE32(params + 13);
        reply.serial = GetBE32(params + 17);
        text = params + 21;
        textSize = kNameBytes;
    }
    const std::uint8_t *end = std::find(text, text + textSize, 0);
    reply.text.assign(text, end);
    return reply;
}

std::optional<Card> ParseCard(const std::string &text) {
    if (text.empty() || text.size() > 16) return std::nullopt;
    for (char c : text)
        if (HexValue(c) < 0) return std::nullopt;
    const std::string padded = std::string(16 - text.size(), '0') + text;
    Card card{};
    for (std::size_t i = 0; i < card.size(); ++i)
        card[i] = static_cast<std::uint8_t>(HexValue(padded[2 * i]) * 16 + HexValue(padded[2 * i + 1]));
    return card;
}

std::string CardText(const Card &card) {
    std::string text;
    char buf[4];
    for (std::uint8_t b : card) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        text += buf;
    }
    return text;
}

std::optional<std::uint32_t> ParseAmount(const std::string &text) {
    const auto dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    if (whole.empty() || whole.size() > 10 || fraction.size() > 2) return std::nullopt;
    if (dot != std::string::npos && fraction.empty()) return std::nullopt;  // "12."
    std::uint64_t value = 0;
    for (char c : whole + fraction) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (dot != std::string::npos && fraction.size() == 1) value *= 10;
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::string MoneyText(std::uint32_t cents) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%u.%02u", cents / 100, cents % 100);
    return buf;
}

std::string DecodeGbkLine(const std::vector<std::uint8_t> &bytes) {
    std::string out;
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter on this system: keep ASCII, show the rest as bytes.
        for (std::uint8_t b : bytes) {
            if (b >= 0x80)
                AppendEscaped(out, b);
            else
                AppendLineSafe(out, reinterpret_cast<const char *>(&b), 1);
        }
        return out;
    }
    std::vector<char> input(bytes.begin(), bytes.end());
    char *in = input.data();
    std::size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char *outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        AppendLineSafe(out, buffer, sizeof buffer - outLeft);
        if (rc != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // EILSEQ (not GBK) or EINVAL (a lead byte at the end, as when a name
        // is cut in the middle of a character): show the byte, go on after it.
        AppendEscaped(out, static_cast<std::uint8_t>(*in));
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

} // namespace tarnwick::emulator::trade
