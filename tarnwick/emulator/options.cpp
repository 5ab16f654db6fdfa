#include "options.h"

#include <tarnwick.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tarnwick::emulator {

const char *HelpText() {
    return R"(Usage: tarnwick-terminal [options]

Emulates one card terminal on the terminal link, for the console and for
tests. It listens on TCP (and, with --pty, on a serial pseudo-terminal),
answers the calls of libTarnwick.so, and reads commands from standard input.

Options:
  --listen ADDR        address to listen on (default 127.0.0.1); any address
                       outside 127.0.0.0/8 and ::1 needs --allow-lan
  --port N             TCP port (default 4001); 0 picks a free port
  --pty                also create a serial pseudo-terminal; point the
                       library at it with TARNWICK_COM<n>=<path>
  --clock-id N         device number (default 24)
  --model Tnn          model designation T01..T22 or its code (default T06)
  --firmware X         firmware version (default 3.5)
  --reader-type N      reader type (default 1)
  --phone-pay 0|1      phone payment supported (default 1)
  --card-format N      card format (default 0)
  --allow-lan          accept peers, listen and trade-server addresses
                       beyond loopback
  --trade-mode N       0 normal, 1 online trade, 2 bookkeeping (default 0)
  --trade-server A:P   where trade requests go (default 127.0.0.1:8002);
                       numeric IPv4; beyond loopback needs --allow-lan
  --trade-port N       local UDP port the requests are sent from and the
                       replies come back to (default 0: any free port)
  --machine-no N       machine number in trade requests, 0..255 (default:
                       low byte of the device number)
  --trade-timeout-ms N how long a trade waits for its reply (default 3000)
  --no-confirm         do not confirm accepted trades
  --mute               start without answering (see "unmute")
  --quiet              do not print each request
  --help               this text

When ready it prints, one per line and in this order:
  pty /dev/pts/N           (with --pty) the serial device path
  listening ADDR:PORT      the TCP endpoint, with the port actually bound
  trade udp ADDR:PORT -> SERVER:PORT mode N
                           the UDP socket of online trade (the port the
                           console registers for this terminal), the trade
                           server and the trade mode
  ready
Standard output is line-buffered; a program that starts the emulator should
keep reading it or send it to a file.

Commands on standard input ("help" lists them): status, clock,
clock set YYYY-MM-DD HH:MM:SS, clock sync, id N, model Tnn, firmware X,
mute, unmute, delay MS, drop, quit, and for online trade swipe, flood,
confirm, trade-mode, trade-server, machine-no, trade-timeout. End of input
does not stop the emulator; "quit", SIGINT or SIGTERM do.

Online trade (trade mode 1): "swipe CARD AMOUNT [AUX1 AUX2 AUX3]" sends one
trade request (CARD: 1..16 hexadecimal digits; AMOUNT: cents, or yuan with
a decimal point such as 12.50) and prints, one line each:
  trade sent device=N machine=N card=HEX16 amount=Y.YY aux=A,B,C
  trade accepted serial=N balance=Y.YY extra=N card=HEX16 name=TEXT
  trade confirmed serial=N         (or: trade unconfirmed serial=N (confirm off))
  trade refused result=N message=TEXT
  trade timeout ms=N
"flood SECONDS [CARD] [AMOUNT]" swipes again as soon as each trade is
settled and ends with
  flood done sent=N accepted=N refused=N timeout=N confirmed=N ignored=N seconds=S per_second=R
One emulator is one terminal; run several processes (each with its own
--clock-id and port) for several terminals.
)";
}

bool ParseInt(const std::string &text, long min, long max, long &out) {
    if (text.empty()) return false;
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max) return false;
    out = v;
    return true;
}

bool ParseDouble(const std::string &text, double &out) {
    if (text.empty()) return false;
    char *end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool ParseModel(const std::string &text, std::int32_t &code) {
    if (const std::int32_t c = TarnwickModelCode(text.c_str()); c != 0) {
        code = c;
        return true;
    }
    long v = 0;
    if (!ParseInt(text, TARNWICK_MODEL_FIRST, TARNWICK_MODEL_LAST, v)) return false;
    code = static_cast<std::int32_t>(v);
    return true;
}

bool ParseTradeEndpoint(const std::string &text, bool allowLan, TradeEndpoint &out, std::string &error) {
    const auto colon = text.rfind(':');
    long port = 0;
    if (colon == std::string::npos || !ParseInt(text.substr(colon + 1), 1, 65535, port)) {
        error = "not ADDR:PORT (numeric IPv4 address, port 1..65535): " + text;
        return false;
    }
    std::string host = text.substr(0, colon);
    if (host == "localhost") host = "127.0.0.1";
    in_addr addr{};
    if (inet_pton(AF_INET, host.c_str(), &addr) != 1) {
        error = "not a numeric IPv4 address: " + host;
        return false;
    }
    if ((ntohl(addr.s_addr) >> 24) != 127 && !allowLan) {
        error = "refusing " + host + ": not a loopback address (use --allow-lan)";
        return false;
    }
    char canonical[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr, canonical, sizeof canonical);
    out.host = canonical;
    out.port = static_cast<std::uint16_t>(port);
    return true;
}

bool ParseOptions(int argc, char **argv, Options &out, std::string &error) {
    std::string tradeServer;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string &v) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            v = argv[++i];
            return true;
        };
        std::string v;
        long n = 0;
        if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg == "--pty") {
            out.pty = true;
        } else if (arg == "--allow-lan") {
            out.allowLan = true;
        } else if (arg == "--mute") {
            out.mute = true;
        } else if (arg == "--quiet") {
            out.quiet = true;
        } else if (arg == "--no-confirm") {
            out.confirm = false;
        } else if (arg == "--trade-mode") {
            if (!value(v)) return false;
            if (!ParseInt(v, 0, kTradeModeLast, n)) return error = "--trade-mode: 0, 1 or 2: " + v, false;
            out.tradeMode = static_cast<std::uint8_t>(n);
        } else if (arg == "--trade-server") {
            if (!value(v)) return false;
            tradeServer = v;  // checked once --allow-lan is known
        } else if (arg == "--trade-port") {
            if (!value(v)) return false;
            if (!ParseInt(v, 0, 65535, n)) return error = "--trade-port: not a port number: " + v, false;
            out.tradePort = static_cast<int>(n);
        } else if (arg == "--machine-no") {
            if (!value(v)) return false;
            if (!ParseInt(v, 0, 255, n)) return error = "--machine-no: 0..255: " + v, false;
            out.machineNo = static_cast<std::uint8_t>(n);
        } else if (arg == "--trade-timeout-ms") {
            if (!value(v)) return false;
            if (!ParseInt(v, 1, 600000, n)) return error = "--trade-timeout-ms: 1..600000: " + v, false;
            out.tradeTimeoutMs = static_cast<int>(n);
        } else if (arg == "--listen") {
            if (!value(v)) return false;
            out.listen = v;
        } else if (arg == "--port") {
            if (!value(v)) return false;
            if (!ParseInt(v, 0, 65535, n)) return error = "--port: not a port number: " + v, false;
            out.port = static_cast<int>(n);
        } else if (arg == "--clock-id") {
            if (!value(v)) return false;
            if (!ParseInt(v, 1, INT32_MAX, n)) return error = "--clock-id: not a device number: " + v, false;
            out.clockId = static_cast<std::int32_t>(n);
        } else if (arg == "--model") {
            if (!value(v)) return false;
            if (!ParseModel(v, out.model)) return error = "--model: not a model T01..T22: " + v, false;
        } else if (arg == "--firmware") {
            if (!value(v)) return false;
            if (!ParseDouble(v, out.firmware)) return error = "--firmware: not a number: " + v, false;
        } else if (arg == "--reader-type") {
            if (!value(v)) return false;
            if (!ParseInt(v, INT32_MIN, INT32_MAX, n)) return error = "--reader-type: not a number: " + v, false;
            out.readerType = static_cast<std::int32_t>(n);
        } else if (arg == "--phone-pay") {
            if (!value(v)) return false;
            if (!ParseInt(v, 0, 1, n)) return error = "--phone-pay: 0 or 1: " + v, false;
            out.phonePay = static_cast<std::uint8_t>(n);
        } else if (arg == "--card-format") {
            if (!value(v)) return false;
            if (!ParseInt(v, INT32_MIN, INT32_MAX, n)) return error = "--card-format: not a number: " + v, false;
            out.cardFormat = static_cast<std::int32_t>(n);
        } else {
            error = "unknown option: " + arg;
            return false;
        }
    }
    if (!tradeServer.empty() && !ParseTradeEndpoint(tradeServer, out.allowLan, out.tradeServer, error)) {
        error = "--trade-server: " + error;
        return false;
    }
    return true;
}

} // namespace tarnwick::emulator
