#include "link/frame.h"

#include "link/bytes.h"
#include "link/checksum.h"

#include <algorithm>

namespace tarnwick::link {
namespace {

bool ValidType(std::uint8_t t) {
    return t == static_cast<std::uint8_t>(FrameType::Request) ||
           t == static_cast<std::uint8_t>(FrameType::Response);
}

std::uint32_t ReadU32(const std::uint8_t *p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace

bool EncodeFrame(const Frame &frame, std::vector<std::uint8_t> &out) {
    if (frame.payload.size() > kMaxPayload) return false;
    const std::size_t start = out.size();
    // Reserve only for a fresh buffer: reserving the exact size on every
    // append would defeat the vector's growth and copy the buffer each time.
    if (start == 0) out.reserve(kHeaderSize + frame.payload.size() + kTrailerSize);
    ByteWriter w(out);
    w.U8(kStart0);
    w.U8(kStart1);
    w.U8(kVersion);
    w.U8(static_cast<std::uint8_t>(frame.type));
    w.U16(frame.sequence);
    w.U16(frame.command);
    w.U32(frame.device);
    w.U16(frame.status);
    w.U32(static_cast<std::uint32_t>(frame.payload.size()));
    w.U16(Crc16Ccitt(out.data() + start, kHeaderSize - 2));
    w.Bytes(frame.payload.data(), frame.payload.size());
    w.U32(Crc32(out.data() + start, out.size() - start));
    return true;
}

std::vector<std::uint8_t> EncodeFrame(const Frame &frame) {
    std::vector<std::uint8_t> out;
    EncodeFrame(frame, out);
    return out;
}

void FrameDecoder::Feed(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return;
    Compact();
    buf_.insert(buf_.end(), data, data + size);
}

void FrameDecoder::Reset() {
    buf_.clear();
    pos_ = 0;
}

void FrameDecoder::Compact() {
    if (pos_ == 0) return;
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(pos_));
    pos_ = 0;
}

std::optional<Frame> FrameDecoder::Next() {
    for (;;) {
        const std::uint8_t *base = buf_.data();
        const std::size_t end = buf_.size();
        // Find the next start marker.
        std::size_t p = pos_;
        while (p < end && !(base[p] == kStart0 && (p + 1 == end || base[p + 1] == kStart1)))
            ++p;
        discarded_ += p - pos_;
        pos_ = p;
        if (end - pos_ < kHeaderSize) return std::nullopt;

        const std::uint8_t *h = base + pos_;
        const std::uint16_t headerCrc = static_cast<std::uint16_t>(h[18] | (h[19] << 8));
        const std::uint32_t length = ReadU32(h + 14);
        if (h[2] != kVersion || !ValidType(h[3]) || length > kMaxPayload ||
            Crc16Ccitt(h, kHeaderSize - 2) != headerCrc) {
            ++pos_;  // not a header: resume the search one byte further on
            ++discarded_;
            continue;
        }
        const std::size_t total = kHeaderSize + length + kTrailerSize;
        if (end - pos_ < total) return std::nullopt;
        if (Crc32(h, kHeaderSize + length) != ReadU32(h + kHeaderSize + length)) {
            ++badFrames_;
            ++pos_;
            ++discarded_;
            continue;
        }
        ByteReader r(h + 3, kHeaderSize - 3);
        Frame f;
        f.type = static_cast<FrameType>(r.U8());
        f.sequence = r.U16();
        f.command = r.U16();
        f.device = r.U32();
        f.status = r.U16();
        f.payload.assign(h + kHeaderSize, h + kHeaderSize + length);
        pos_ += total;
        if (pos_ == buf_.size()) Reset();
        return f;
    }
}

} // namespace tarnwick::link
