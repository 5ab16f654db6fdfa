// Feeds arbitrary datagrams to the emulator's reader of trade-server replies
// and every text it finds to the line decoder. A reply that is read must
// hold what its kind allows, and the printed text must stay one line.

#include "trade_frames.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace tarnwick::emulator::trade;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string why;
    const auto reply = DecodeReply(data, size, why);
    if (!reply) {
        Check(!why.empty());
    } else {
        if (reply->accepted) Check(reply->result == 0 && reply->text.size() <= kNameBytes);
        Check(reply->text.size() < kMaxDatagram);
        const std::string line = DecodeGbkLine(reply->text);
        Check(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);
    }
    // Any bytes at all, as a name or message.
    const std::string line = DecodeGbkLine(std::vector<std::uint8_t>(data, data + size));
    Check(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);
    return 0;
}
