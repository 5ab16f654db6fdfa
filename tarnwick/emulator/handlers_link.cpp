// Addressing: a terminal answers a call to its device number, and to
// nothing else (Terminal::Handle stays silent for other numbers).

#include "terminal.h"

namespace tarnwick::emulator {

void RegisterLinkHandlers(Terminal &terminal) {
    terminal.Register(link::kCmdCall, [](Terminal &, const link::Frame &req) {
        return req.payload.empty() ? Reply{} : Reply::Error(link::kStatusBadPayload);
    });
    terminal.Register(link::kCmdUncall, [](Terminal &, const link::Frame &req) {
        return req.payload.empty() ? Reply{} : Reply::Error(link::kStatusBadPayload);
    });
}

} // namespace tarnwick::emulator
