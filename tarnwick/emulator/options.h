// Command line of tarnwick-terminal.
#pragma once

#include "terminal_state.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick::emulator {

struct Options {
    std::string listen = "127.0.0.1";
    int port = 4001;            // 0: any free port, printed when ready
    bool pty = false;           // also serve a serial pseudo-terminal
    std::int32_t clockId = 24;  // device number
    std::int32_t model = 6;     // model code (designation T06)
    double firmware = 3.5;
    std::int32_t readerType = 1;
    std::uint8_t phonePay = 1;
    std::int32_t cardFormat = 0;
    // Online trade.
    std::uint8_t tradeMode = 0;
    TradeEndpoint tradeServer;
    std::optional<std::uint8_t> machineNo;
    int tradePort = 0;          // local UDP port; 0: any free port
    int tradeTimeoutMs = 3000;  // reply deadline
    bool confirm = true;
    bool allowLan = false;
    bool mute = false;
    bool quiet = false;
    bool help = false;
};

// Fills `out` from the arguments. On a bad argument returns false and sets `error`.
bool ParseOptions(int argc, char **argv, Options &out, std::string &error);
const char *HelpText();

// Numeric parsing shared with the standard-input commands.
bool ParseInt(const std::string &text, long min, long max, long &out);
bool ParseDouble(const std::string &text, double &out);
// A designation "T01".."T22" or a model code 1..22.
bool ParseModel(const std::string &text, std::int32_t &code);
// "ADDR:PORT" with a numeric IPv4 address (or localhost) and a port 1..65535.
// A non-loopback address is refused unless `allowLan`.
bool ParseTradeEndpoint(const std::string &text, bool allowLan, TradeEndpoint &out, std::string &error);

} // namespace tarnwick::emulator
