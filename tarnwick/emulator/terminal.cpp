#include "terminal.h"

#include "link/ole_time.h"

#include <cstdio>

namespace tarnwick::emulator {

std::optional<link::ClockFields> TerminalClock::Now() const {
    return link::ClockFromMillis(link::MillisFromClock(link::HostLocalNow()) + offsetMs_);
}

void TerminalClock::Set(const link::ClockFields &value) {
    offsetMs_ = link::MillisFromClock(value) - link::MillisFromClock(link::HostLocalNow());
}

Terminal::Terminal(const Identity &identity) {
    state_.identity = identity;
    RegisterLinkHandlers(*this);
    RegisterClockHandlers(*this);
}

void Terminal::Register(std::uint16_t command, Handler handler) { handlers_[command] = std::move(handler); }

std::optional<link::Frame> Terminal::Handle(const link::Frame &request, const std::string &peer) {
    if (request.type != link::FrameType::Request) return std::nullopt;
    const char *name = link::CommandName(request.command);
    if (request.device != state_.identity.deviceNumber) {
        if (logRequests_)
            Log(peer + " " + name + " for device " + std::to_string(request.device) + ": not this terminal (" +
                std::to_string(state_.identity.deviceNumber) + "), no answer");
        return std::nullopt;
    }
    Reply reply;
    if (const auto it = handlers_.find(request.command); it != handlers_.end())
        reply = it->second(*this, request);
    else
        reply = Reply::Error(link::kStatusUnknownCommand);

    if (logRequests_) {
        char code[8];
        std::snprintf(code, sizeof code, "%04X", request.command);
        Log(peer + " " + name + " (" + code + ") device " + std::to_string(request.device) + " -> " +
            link::StatusName(reply.status));
    }
    link::Frame response;
    response.type = link::FrameType::Response;
    response.sequence = request.sequence;
    response.command = request.command;
    response.device = request.device;
    response.status = reply.status;
    response.payload = std::move(reply.payload);
    return response;
}

std::string FormatClock(const link::ClockFields &c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", c.year, c.month, c.day, c.hour, c.minute,
                  c.second);
    return buf;
}

std::optional<link::ClockFields> ParseClock(const std::string &text) {
    unsigned y, mo, d, h, mi, s, ms = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%n", &y, &mo, &d, &h, &mi, &s, &used) != 6)
        return std::nullopt;
    if (text[static_cast<std::size_t>(used)] == '.') {
        int more = 0;
        if (std::sscanf(text.c_str() + used, ".%3u%n", &ms, &more) != 1) return std::nullopt;
        used += more;
    }
    if (static_cast<std::size_t>(used) != text.size()) return std::nullopt;
    link::ClockFields c;
    if (y > 9999 || mo > 12 || d > 31 || h > 99 || mi > 99 || s > 99) return std::nullopt;
    c.year = static_cast<std::uint16_t>(y);
    c.month = static_cast<std::uint8_t>(mo);
    c.day = static_cast<std::uint8_t>(d);
    c.hour = static_cast<std::uint8_t>(h);
    c.minute = static_cast<std::uint8_t>(mi);
    c.second = static_cast<std::uint8_t>(s);
    c.millisecond = static_cast<std::uint16_t>(ms > 999 ? 1000 : ms);
    if (!link::IsValidClock(c)) return std::nullopt;
    return c;
}

} // namespace tarnwick::emulator
