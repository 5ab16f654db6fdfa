// Everything one emulated terminal remembers. Each group of calls keeps its
// part here; the handlers of that group read and change it.
#pragma once

#include "link/protocol.h"

#include <cstdint>
#include <optional>
#include <string>

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

// How the terminal settles a card transaction.
enum class TradeMode : std::uint8_t {
    Normal = 0,       // on its own, against the balance on the card
    Online = 1,       // asks the trade server over UDP for every transaction
    Bookkeeping = 2,  // records only
};
constexpr std::uint8_t kTradeModeLast = 2;

// Where an online terminal sends its trade requests: a numeric IPv4
// address and a UDP port.
struct TradeEndpoint {
    std::string host = "127.0.0.1";
    std::uint16_t port = 8002;

    std::string Text() const { return host + ":" + std::to_string(port); }
};

struct TradeSettings {
    TradeMode mode = TradeMode::Normal;
    // The machine number sent in each trade request; unset, it follows the
    // low byte of the device number.
    std::optional<std::uint8_t> machineNo;
    TradeEndpoint server;

    std::uint8_t MachineNo(std::uint32_t deviceNumber) const {
        return machineNo ? *machineNo : static_cast<std::uint8_t>(deviceNumber & 0xFF);
    }
};

struct TerminalState {
    Identity identity;
    TerminalClock clock;
    TradeSettings trade;
};

} // namespace tarnwick::emulator
