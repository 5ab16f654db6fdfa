// One datagram through the server's handler, with terminals 5 and 6
// registered and a host that accepts or refuses as the input says. The first
// input byte chooses whether the rest is sent raw or wrapped into a frame
// with a correct CRC (so that the handler's deeper paths are reached).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "server.h"

using namespace tillwire;

namespace {

class StillClock final : public Clock {
public:
    uint32_t Tick() override { return tick; }
    double Now() override { return 43970.5 + tick / 86400000.0; }
    uint32_t tick = 1;
};

struct Answer {
    int32_t resultCode = 0;
    uint8_t accept = 1;
    uint32_t serial = 0;
    char text[201] = {};
} g_answer;

void TILLWIRE_CALL OnRequest(TTradeRequest* r, TTradeAnswer* a, uint8_t* accept) {
    if (strnlen(r->CardNo, sizeof r->CardNo) != 16) abort();
    a->ResultCode = g_answer.resultCode;
    a->TradeSerial = g_answer.serial;
    std::memcpy(a->Text, g_answer.text, sizeof a->Text);  // not always zero-terminated
    std::memset(a->ExtraText, 'e', sizeof a->ExtraText);
    *accept = g_answer.accept;
}
void TILLWIRE_CALL OnResult(TTradeRequest*, int32_t, uint8_t* flag) { *flag = 1; }
void TILLWIRE_CALL OnState(uint32_t, int32_t) {}

struct Harness {
    StillClock clock;
    std::unique_ptr<OnlineLibrary> library;
    std::unique_ptr<TClearThread> clear;
    std::unique_ptr<THeartThread> heart;
    Harness() {
        LibraryOptions options;
        options.clock = &clock;
        options.logFolder = (std::filesystem::temp_directory_path() / "tillwire-fuzz-OnLineLog").string();
        options.startWorkers = false;
        library = std::make_unique<OnlineLibrary>(options);
        TTOnlineClock c[2];
        std::memset(c, 0, sizeof c);
        c[0].ClockNo = 5;
        c[1].ClockNo = 6;
        library->OnlineClocks.Assign({c[0], c[1]});
        library->callbacks = {&OnRequest, &OnResult, &OnState};
        library->OnlineSvr = std::make_unique<TTCPOnLineSvr>(*library);
        library->OnlineSvr->SendHook = [](const uint8_t* p, std::size_t n, const TPeer&) {
            if (n == 0 || n > kFrameBufferSize || p[n - 1] != 0xAE) abort();
        };
        clear = std::make_unique<TClearThread>(*library->OnlineSvr, 10);
        heart = std::make_unique<THeartThread>(*library->OnlineSvr, library->OnlineClocks, 100);
    }
};

uint16_t Crc(const std::vector<uint8_t>& f) { return CalcCRC16(f.data(), f.size()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static Harness h;
    if (size < 8) {
        h.library->OnlineSvr->OnIdUDPServerRead(bytes, size, TPeer::Loopback(4001));
        return 0;
    }
    const uint8_t mode = bytes[0];
    g_answer.resultCode = (bytes[1] & 1) ? 0 : bytes[2] | (bytes[3] << 8);
    g_answer.accept = bytes[1] & 2 ? 1 : 0;
    g_answer.serial = bytes[4];
    std::memset(g_answer.text, bytes[5], sizeof g_answer.text);
    if (bytes[6] < 200) g_answer.text[bytes[6]] = 0;
    bytes += 7;
    size -= 7;

    std::vector<uint8_t> datagram;
    if (mode & 1) {
        datagram.assign(bytes, bytes + size);
    } else {
        // A frame of device 5 or 6 with the input as command word and parameters.
        datagram = {0xAE, static_cast<uint8_t>(0x01 | (mode & 0xF0)), 0x00, static_cast<uint8_t>(5 + ((mode >> 1) & 1))};
        const size_t len = size > 1010 ? 1010 : size;
        datagram.push_back(static_cast<uint8_t>(len >> 8));
        datagram.push_back(static_cast<uint8_t>(len));
        datagram.insert(datagram.end(), bytes, bytes + len);
        if (mode & 4) {  // steer towards the two known commands
            if (len >= 2) {
                datagram[6] = 0x0B;
                datagram[7] = (mode & 8) ? 0x01 : 0x02;
            }
        }
        const uint16_t crc = Crc(datagram);
        datagram.push_back(static_cast<uint8_t>(crc >> 8));
        datagram.push_back(static_cast<uint8_t>(crc));
    }
    h.library->OnlineSvr->OnIdUDPServerRead(datagram.data(), datagram.size(), TPeer::Loopback(4001));

    // Settle what was queued so that nothing accumulates between inputs.
    h.clock.tick += 10001;
    while (h.clear->Pass()) {
    }
    h.heart->Pass();
    if (h.library->OnlineSvr->PendingCount() != 0) abort();
    return 0;
}
