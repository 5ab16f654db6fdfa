// Everything one emulated terminal remembers. Each group of calls keeps its
// part here; the handlers of that group read and change it.
#pragma once

#include "link/protocol.h"

#include <cstdint>
#include <optional>

namespace tarnwick::emulator {

struct Identity {
    std::uint32_t deviceNumber = 24;
    std::int32_t model = 6;
    double firmware = 3.5;
    std::int32_t readerType = 1;
    std::uint8_t phonePay = 1;
    std::int32_t cardFormat = 0;
};

// The terminal's clock runs with the host's and differs from it by a fixed
// offset, which setting the clock changes.
class TerminalClock {
public:
    // Nothing when the offset carries the clock out of the years 1900..9999.
    std::optional<link::ClockFields> Now() const;
    void Set(const link::ClockFields &value);
    void Sync() { offsetMs_ = 0; }
    std::int64_t OffsetMs() const { return offsetMs_; }

private:
    std::int64_t offsetMs_ = 0;
};

struct TerminalState {
    Identity identity;
    TerminalClock clock;
};

} // namespace tarnwick::emulator
