// Command line of tarnwick-terminal.
#pragma once

#include <cstdint>
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

} // namespace tarnwick::emulator
