// Clock, device number and device information.

#include "terminal.h"

namespace tarnwick::emulator {
namespace {

Reply ReadClock(Terminal &t, const link::Frame &req) {
    if (!req.payload.empty()) return Reply::Error(link::kStatusBadPayload);
    const auto now = t.state().clock.Now();
    if (!now) return Reply::Error(link::kStatusBusy);
    return Reply{link::kStatusOk, link::EncodeClock(*now)};
}

Reply SetClock(Terminal &t, const link::Frame &req) {
    if (req.payload.size() != link::kClockFieldsSize) return Reply::Error(link::kStatusBadPayload);
    const auto value = link::DecodeClock(req.payload);
    if (!value) return Reply::Error(link::kStatusInvalidValue);
    t.state().clock.Set(*value);
    t.Log("clock set to " + FormatClock(*value));
    return Reply{};
}

Reply SetDeviceId(Terminal &t, const link::Frame &req) {
    const auto id = link::DecodeU32(req.payload);
    if (!id) return Reply::Error(link::kStatusBadPayload);
    if (*id == 0 || *id > static_cast<std::uint32_t>(INT32_MAX)) return Reply::Error(link::kStatusInvalidValue);
    t.Log("device number " + std::to_string(t.state().identity.deviceNumber) + " -> " + std::to_string(*id));
    t.state().identity.deviceNumber = *id;
    return Reply{};
}

Reply ReadModel(Terminal &t, const link::Frame &req) {
    if (!req.payload.empty()) return Reply::Error(link::kStatusBadPayload);
    const Identity &id = t.state().identity;
    link::ModelInfo info;
    info.model = id.model;
    info.firmware = id.firmware;
    info.readerType = id.readerType;
    info.phonePay = id.phonePay;
    info.cardFormat = id.cardFormat;
    return Reply{link::kStatusOk, link::EncodeModelInfo(info)};
}

} // namespace

void RegisterClockHandlers(Terminal &terminal) {
    terminal.Register(link::kCmdReadClock, ReadClock);
    terminal.Register(link::kCmdSetClock, SetClock);
    terminal.Register(link::kCmdSetDeviceId, SetDeviceId);
    terminal.Register(link::kCmdReadModel, ReadModel);
}

} // namespace tarnwick::emulator
