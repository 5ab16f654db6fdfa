// One emulated terminal: its state and the table of handlers, one per
// command of the link. Groups of calls register their handlers in
// Register*Handlers (handlers_*.cpp).
#pragma once

#include "link/frame.h"
#include "terminal_state.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarnwick::emulator {

struct Reply {
    std::uint16_t status = link::kStatusOk;
    std::vector<std::uint8_t> payload;

    static Reply Error(std::uint16_t status) { return Reply{status, {}}; }
};

class Terminal;
using Handler = std::function<Reply(Terminal &, const link::Frame &request)>;
using LogSink = std::function<void(const std::string &line)>;

class Terminal {
public:
    explicit Terminal(const Identity &identity);

    TerminalState &state() { return state_; }
    const TerminalState &state() const { return state_; }

    void Register(std::uint16_t command, Handler handler);
    // The answer to one request, or nothing when the terminal stays silent
    // (the request is addressed to another device number, or is no request).
    std::optional<link::Frame> Handle(const link::Frame &request, const std::string &peer);

    void SetLog(LogSink sink, bool logRequests) {
        log_ = std::move(sink);
        logRequests_ = logRequests;
    }
    void Log(const std::string &line) const {
        if (log_) log_(line);
    }

private:
    TerminalState state_;
    std::unordered_map<std::uint16_t, Handler> handlers_;
    LogSink log_;
    bool logRequests_ = true;
};

void RegisterLinkHandlers(Terminal &terminal);
void RegisterClockHandlers(Terminal &terminal);

std::string FormatClock(const link::ClockFields &c);
// "YYYY-MM-DD HH:MM:SS" (milliseconds optional, after a dot).
std::optional<link::ClockFields> ParseClock(const std::string &text);

} // namespace tarnwick::emulator
