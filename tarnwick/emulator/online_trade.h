// Online-trade mode of the emulated terminal: a swipe becomes a trade
// request sent over UDP to the trade server, the byte-reversed reply is read
// and printed, and an accepted trade is confirmed. One trade is in flight at
// a time; nothing is retried. A trade whose reply does not come within the
// reply deadline is forgotten, and a reply arriving after that is ignored.
//
// The UDP socket is part of the emulator's poll loop; its local port is the
// port under which the console registers this terminal, since the trade
// server answers whatever address and port a request came from.
#pragma once

#include "options.h"
#include "server.h"
#include "trade_frames.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

struct sockaddr_in;

namespace tarnwick::emulator {

class Console;
class Server;
class Terminal;

class OnlineTrade {
public:
    OnlineTrade(Server &server, Terminal &terminal, const Options &options);
    ~OnlineTrade();
    OnlineTrade(const OnlineTrade &) = delete;
    OnlineTrade &operator=(const OnlineTrade &) = delete;

    // Binds the UDP socket (to the --listen address when it is IPv4, else to
    // 127.0.0.1) and joins the server's loop.
    bool Open(std::string &error);
    // swipe, flood, confirm, trade-mode, trade-server, machine-no,
    // trade-timeout, and a line for "status".
    void AddCommands(Console &console);

    std::string Status() const;
    std::string LocalEndpoint() const { return localEndpoint_; }

private:
    struct InFlight {
        std::uint64_t id = 0;
        trade::TradeRequest request;
        std::uint64_t timer = 0;
    };
    struct Flood {
        SteadyClock::time_point start, end;
        trade::Card card{};
        std::uint32_t amount = 0;
        std::uint64_t sent = 0, accepted = 0, refused = 0, timeouts = 0, confirmed = 0, ignored = 0;
    };
    struct Counters {
        std::uint64_t sent = 0, accepted = 0, refused = 0, confirmed = 0, timeouts = 0;
        std::uint64_t late = 0, garbage = 0, foreign = 0;
    };

    // Sends a trade request; an empty text on success, otherwise why not.
    std::string Start(const trade::Card &card, std::uint32_t amount, const trade::AuxBytes &aux);
    bool SendFrame(const std::vector<std::uint8_t> &frame, std::string &error);
    void OnReadable();
    void OnDatagram(const std::uint8_t *data, std::size_t size, const sockaddr_in &from);
    void OnTimeout(std::uint64_t id);
    void Settled();
    void FinishFlood(const std::string &why);
    std::string CanStart() const;
    void Print(const std::string &line) const;

    Server &server_;
    Terminal &terminal_;
    int fd_ = -1;
    std::string bindHost_;
    int bindPort_ = 0;
    std::string localEndpoint_;
    bool confirm_ = true;
    std::chrono::milliseconds timeout_;
    bool allowLan_ = false;
    std::uint8_t sequence_ = 0;
    std::uint64_t nextId_ = 1;
    std::optional<InFlight> inFlight_;
    std::optional<Flood> flood_;
    Counters counters_;
};

} // namespace tarnwick::emulator
