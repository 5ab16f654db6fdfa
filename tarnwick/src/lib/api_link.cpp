// Links, addressing, clock, device number and device information.

#include "lib/link.h"
#include "lib/results.h"
#include "link/ole_time.h"
#include "link/protocol.h"

#include <tarnwick.h>

#include <cstdlib>
#include <cstring>
#include <string>

using namespace tarnwick;

namespace {

bool LanAllowed() {
    const char *env = std::getenv("TARNWICK_ALLOW_LAN");
    return env && std::strcmp(env, "1") == 0;
}

std::int32_t Register(int fd, Channel::Kind kind) {
    if (fd < 0) return 0;
    auto link = std::make_shared<Link>(fd, kind, CallTimeoutMs());
    // When the table is full the link is dropped, which closes its descriptor.
    return LinkTable::Instance().Add(std::move(link));
}

// One call on an addressed link; true when the terminal answered with success.
CallResult Exchange(std::int32_t handle, std::uint16_t command, const std::vector<std::uint8_t> &payload = {}) {
    auto link = LinkTable::Instance().Find(handle);
    if (!link) return CallResult{CallOutcome::LinkClosed, {}};
    return link->Call(command, payload);
}

std::int32_t ResultOf(const CallResult &r) {
    switch (r.outcome) {
    case CallOutcome::Answered: return r.response.status == link::kStatusOk ? kResultOk : kResultRefused;
    case CallOutcome::NotCalled: return kResultNotCalled;
    case CallOutcome::Timeout:
    case CallOutcome::LinkClosed: return kResultLinkFailed;
    }
    return kResultLinkFailed;
}

std::int32_t CloseLink(std::int32_t handle) {
    auto link = LinkTable::Instance().Remove(handle);
    if (!link) return kResultNoLink;
    // Wakes a call still running on another thread; the descriptor closes
    // when the last user lets go of the link.
    link->Shutdown();
    return kResultOk;
}

} // namespace

extern "C" {

int32_t TARNWICK_API OpenCommPort(int32_t port, int32_t baudRate) {
    if (port < 1 || port > 255) return 0;
    const std::string name = "TARNWICK_COM" + std::to_string(port);
    const char *path = std::getenv(name.c_str());
    if (!path || !*path) return 0;
    return Register(OpenSerial(path, baudRate), Channel::Kind::Serial);
}

int32_t TARNWICK_API OpenClientSocket(const char *ip, int32_t port) {
    if (!ip || port < 1 || port > 65535) return 0;
    std::string numeric;
    bool loopback = false;
    // Only numeric addresses: the library never asks a name server. A
    // non-loopback address is refused before any packet leaves the machine.
    if (!ParseAddress(ip, numeric, loopback)) return 0;
    if (!loopback && !LanAllowed()) return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(CallTimeoutMs());
    return Register(ConnectTcp(numeric, port, deadline), Channel::Kind::Socket);
}

TBool TARNWICK_API CallClock(int32_t handle, int32_t clockId) {
    if (clockId <= 0) return 0;
    auto link = LinkTable::Instance().Find(handle);
    if (!link) return 0;
    const CallResult r = link->Call(link::kCmdCall, {}, static_cast<std::uint32_t>(clockId));
    if (!r.Ok()) return 0;
    link->SetAddressed(static_cast<std::uint32_t>(clockId));
    return 1;
}

int32_t TARNWICK_API UnCallClock(int32_t handle) {
    auto link = LinkTable::Instance().Find(handle);
    if (!link) return kResultNoLink;
    if (link->Addressed() == 0) return kResultNotCalled;
    const CallResult r = link->Call(link::kCmdUncall, {});
    link->SetAddressed(0);
    return ResultOf(r);
}

int32_t TARNWICK_API ClosePortHandle(int32_t handle) { return CloseLink(handle); }

int32_t TARNWICK_API CloseClientSocket(int32_t handle) { return CloseLink(handle); }

TBool TARNWICK_API ReadClockTime(int32_t handle, double *dateTime) {
    if (!dateTime) return 0;
    const CallResult r = Exchange(handle, link::kCmdReadClock);
    if (!r.Ok()) return 0;
    const auto clock = link::DecodeClock(r.response.payload);
    if (!clock) return 0;
    *dateTime = link::DateTimeFromClock(*clock);
    return 1;
}

TBool TARNWICK_API SetClockTime(int32_t handle, double dateTime) {
    const auto clock = link::ClockFromDateTime(dateTime);
    if (!clock) return 0;
    return Exchange(handle, link::kCmdSetClock, link::EncodeClock(*clock)).Ok() ? 1 : 0;
}

TBool TARNWICK_API SetClockID(int32_t handle, int32_t newClockId) {
    if (newClockId <= 0) return 0;
    auto link = LinkTable::Instance().Find(handle);
    if (!link) return 0;
    const CallResult r = link->Call(link::kCmdSetDeviceId, link::EncodeU32(static_cast<std::uint32_t>(newClockId)));
    if (!r.Ok()) return 0;
    // The terminal now answers to its new number; the link follows it.
    link->SetAddressed(static_cast<std::uint32_t>(newClockId));
    return 1;
}

TBool TARNWICK_API GetClockModelEx(int32_t handle, int32_t *model, double *version, int32_t *readerType,
                                   uint8_t *phonePay, int32_t *cardFormat) {
    const CallResult r = Exchange(handle, link::kCmdReadModel);
    if (!r.Ok()) return 0;
    const auto info = link::DecodeModelInfo(r.response.payload);
    if (!info) return 0;
    if (model) *model = info->model;
    if (version) *version = info->firmware;
    if (readerType) *readerType = info->readerType;
    if (phonePay) *phonePay = info->phonePay;
    if (cardFormat) *cardFormat = info->cardFormat;
    return 1;
}

} // extern "C"
