// Feeds arbitrary bytes, in arbitrary pieces, to the link's frame decoder and
// every frame it yields to the payload decoders. A decoded frame must encode
// back to the very bytes it came from.

#include "link/checksum.h"
#include "link/frame.h"
#include "link/ole_time.h"
#include "link/protocol.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace tarnwick::link;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

void Inspect(const Frame &f) {
    // Re-encoding reproduces a frame the decoder accepts, equal to the original.
    std::vector<std::uint8_t> bytes;
    Check(EncodeFrame(f, bytes));
    FrameDecoder again;
    again.Feed(bytes.data(), bytes.size());
    const auto back = again.Next();
    Check(back.has_value() && *back == f);

    if (const auto clock = DecodeClock(f.payload)) {
        Check(IsValidClock(*clock));
        Check(EncodeClock(*clock) == f.payload);
        const auto round = ClockFromDateTime(DateTimeFromClock(*clock));
        Check(round.has_value() && *round == *clock);
    }
    if (const auto model = DecodeModelInfo(f.payload)) Check(EncodeModelInfo(*model).size() == f.payload.size());
    if (const auto page = DecodePageRequest(f.payload)) Check(page->count >= 1 && page->count <= kPageRecords);
    DecodeU32(f.payload);
}

void PutU32(std::uint8_t *p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Makes the checksums of every frame-like run of the input right, so that
// the decoder's paths past the checksums are reached as often as the noise
// paths before them.
void RepairChecksums(std::vector<std::uint8_t> &buf) {
    const std::size_t n = buf.size();
    for (std::size_t i = 0; i + kHeaderSize <= n; ++i) {
        if (buf[i] != kStart0 || buf[i + 1] != kStart1) continue;
        std::uint8_t *h = buf.data() + i;
        const std::size_t room = n - i - kHeaderSize;
        std::uint32_t length = static_cast<std::uint32_t>(h[14] | (h[15] << 8));
        if (room >= kTrailerSize && length > room - kTrailerSize) length = static_cast<std::uint32_t>(room - kTrailerSize);
        PutU32(h + 14, length);
        const std::uint16_t hc = Crc16Ccitt(h, kHeaderSize - 2);
        h[18] = static_cast<std::uint8_t>(hc);
        h[19] = static_cast<std::uint8_t>(hc >> 8);
        if (kHeaderSize + length + kTrailerSize <= n - i)
            PutU32(h + kHeaderSize + length, Crc32(h, kHeaderSize + length));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // The first byte picks the piece size, so frames are split at every place.
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const bool repair = (data[0] & 0x80) != 0;
    ++data;
    --size;
    std::vector<std::uint8_t> repaired;
    if (repair) {
        repaired.assign(data, data + size);
        RepairChecksums(repaired);
        data = repaired.data();
    }
    FrameDecoder decoder;
    for (std::size_t pos = 0; pos < size; pos += piece) {
        decoder.Feed(data + pos, std::min(piece, size - pos));
        while (auto frame = decoder.Next()) {
            Check(frame->payload.size() <= kMaxPayload);
            Inspect(*frame);
        }
        Check(decoder.Buffered() <= kMaxFrameSize + piece);
    }
    // A date-time from the raw bytes: any double converts or is refused.
    if (size >= sizeof(double)) {
        double v;
        std::memcpy(&v, data, sizeof v);
        if (const auto c = ClockFromDateTime(v)) Check(IsValidClock(*c));
    }
    return 0;
}
