#include "link/protocol.h"

#include "link/bytes.h"
#include "link/ole_time.h"

namespace tarnwick::link {

std::vector<std::uint8_t> EncodePageRequest(const PageRequest &req) {
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    w.U32(req.first);
    w.U16(req.count);
    return out;
}

std::optional<PageRequest> DecodePageRequest(const std::vector<std::uint8_t> &payload) {
    ByteReader r(payload);
    PageRequest req;
    req.first = r.U32();
    req.count = r.U16();
    if (!r.AtEnd() || req.count == 0 || req.count > kPageRecords) return std::nullopt;
    return req;
}

bool IsValidClock(const ClockFields &c) {
    return c.year >= 1900 && c.year <= 9999 && c.month >= 1 && c.month <= 12 && c.day >= 1 &&
           c.day <= DaysInMonth(c.year, c.month) && c.hour < 24 && c.minute < 60 && c.second < 60 &&
           c.millisecond < 1000;
}

std::vector<std::uint8_t> EncodeClock(const ClockFields &c) {
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    w.U16(c.year);
    w.U8(c.month);
    w.U8(c.day);
    w.U8(c.hour);
    w.U8(c.minute);
    w.U8(c.second);
    w.U16(c.millisecond);
    return out;
}

std::optional<ClockFields> DecodeClock(const std::vector<std::uint8_t> &payload) {
    ByteReader r(payload);
    ClockFields c;
    c.year = r.U16();
    c.month = r.U8();
    c.day = r.U8();
    c.hour = r.U8();
    c.minute = r.U8();
    c.second = r.U8();
    c.millisecond = r.U16();
    if (!r.AtEnd() || !IsValidClock(c)) return std::nullopt;
    return c;
}

std::vector<std::uint8_t> EncodeModelInfo(const ModelInfo &m) {
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    w.I32(m.model);
    w.F64(m.firmware);
    w.I32(m.readerType);
    w.U8(m.phonePay);
    w.I32(m.cardFormat);
    return out;
}

std::optional<ModelInfo> DecodeModelInfo(const std::vector<std::uint8_t> &payload) {
    ByteReader r(payload);
    ModelInfo m;
    m.model = r.I32();
    m.firmware = r.F64();
    m.readerType = r.I32();
    m.phonePay = r.U8();
    m.cardFormat = r.I32();
    if (!r.AtEnd()) return std::nullopt;
    return m;
}

std::vector<std::uint8_t> EncodeU32(std::uint32_t v) {
    std::vector<std::uint8_t> out;
    ByteWriter(out).U32(v);
    return out;
}

std::optional<std::uint32_t> DecodeU32(const std::vector<std::uint8_t> &payload) {
    ByteReader r(payload);
    const std::uint32_t v = r.U32();
    if (!r.AtEnd()) return std::nullopt;
    return v;
}

const char *CommandName(std::uint16_t command) {
    switch (command) {
    case kCmdCall: return "call";
    case kCmdUncall: return "uncall";
    case kCmdReadClock: return "read-clock";
    case kCmdSetClock: return "set-clock";
    case kCmdSetDeviceId: return "set-device-id";
    case kCmdReadModel: return "read-model";
    }
    return "unknown";
}

const char *StatusName(std::uint16_t status) {
    switch (status) {
    case kStatusOk: return "ok";
    case kStatusUnknownCommand: return "unknown-command";
    case kStatusBadPayload: return "bad-payload";
    case kStatusInvalidValue: return "invalid-value";
    case kStatusBusy: return "busy";
    case kStatusStorageFull: return "storage-full";
    }
    return "error";
}

} // namespace tarnwick::link
