// DecodeFrame on any bytes; whatever decodes must survive a round trip
// through EncodeFrame.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "codec.h"

using namespace tillwire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    uint8_t data[kFrameBufferSize];
    uint8_t address[kAddressSize];
    uint16_t len = 0;
    int code = -1;
    DecodeFrame(bytes, size, data, len, address, code);
    if (len == 0) {
        for (uint8_t b : data)
            if (b != 0) abort();
        return 0;
    }
    if (len < 2 || code < 0 || code > 7) return 0;  // a frame may carry fewer than 2 data bytes
    const uint16_t command = static_cast<uint16_t>((data[0] << 8) | data[1]);
    Record_Command record;
    uint8_t out[kFrameBufferSize];
    const size_t n = EncodeFrame(command, data + 2, len - 2u, 3, code, address, record, out);
    if (n != static_cast<size_t>(code) + 1 + 8 + (len - 2u)) abort();
    uint8_t frame[kFrameBufferSize];
    for (size_t i = 0; i < n; ++i) frame[i] = out[n - 1 - i];
    uint8_t data2[kFrameBufferSize];
    uint8_t address2[kAddressSize];
    uint16_t len2 = 0;
    int code2 = -1;
    DecodeFrame(frame, n, data2, len2, address2, code2);
    if (len2 != len || code2 != code || std::memcmp(data, data2, len) != 0 ||
        std::memcmp(address, address2, kAddressSize) != 0)
        abort();
    return 0;
}
