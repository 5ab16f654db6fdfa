// Frames of the terminal link (docs/terminal-link.md): a 20-byte header with
// its own CRC-16, a payload of up to kMaxPayload bytes and a CRC-32 over both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tarnwick::link {

inline constexpr std::uint8_t kStart0 = 0xA5;
inline constexpr std::uint8_t kStart1 = 0x5A;
inline constexpr std::uint8_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 20;
inline constexpr std::size_t kTrailerSize = 4;
inline constexpr std::size_t kMaxPayload = 65536;
inline constexpr std::size_t kMaxFrameSize = kHeaderSize + kMaxPayload + kTrailerSize;

enum class FrameType : std::uint8_t {
    Request = 1,
    Response = 2,
};

struct Frame {
    FrameType type = FrameType::Request;
    std::uint16_t sequence = 0;
    std::uint16_t command = 0;
    std::uint32_t device = 0;  // device number the request addresses / the answer comes from
    std::uint16_t status = 0;  // Status of a response; 0 in requests
    std::vector<std::uint8_t> payload;

    bool operator==(const Frame &) const = default;
};

// Appends the encoded frame to `out`. Returns false (and appends nothing)
// when the payload is larger than kMaxPayload.
bool EncodeFrame(const Frame &frame, std::vector<std::uint8_t> &out);
std::vector<std::uint8_t> EncodeFrame(const Frame &frame);

// Reassembles frames from a byte stream that may arrive in any pieces and may
// carry noise: bytes before a valid header, headers whose check fails and
// frames whose CRC-32 fails are skipped, and decoding resumes at the next
// start marker. Memory use is bounded by kMaxFrameSize plus one read.
class FrameDecoder {
public:
    void Feed(const std::uint8_t *data, std::size_t size);
    // The next complete, valid frame, or nothing until more bytes arrive.
    std::optional<Frame> Next();
    void Reset();

    std::size_t Buffered() const { return buf_.size() - pos_; }
    std::uint64_t DiscardedBytes() const { return discarded_; }
    std::uint64_t BadFrames() const { return badFrames_; }

private:
    void Compact();

    std::vector<std::uint8_t> buf_;
    std::size_t pos_ = 0;
    std::uint64_t discarded_ = 0;
    std::uint64_t badFrames_ = 0;
};

} // namespace tarnwick::link
