#include "online_trade.h"

#include "commands.h"
#include "server.h"
#include "terminal.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnwick::emulator {
namespace {

// Datagrams read per readiness, so a peer that sends without pause cannot
// keep standard input and the link sessions waiting.
constexpr int kReadsPerTurn = 64;

std::string EndpointText(const sockaddr_in &a) {
    char host[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(a.sin_port));
}

bool ToSockaddr(const TradeEndpoint &endpoint, sockaddr_in &out) {
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_port = htons(endpoint.port);
    return inet_pton(AF_INET, endpoint.host.c_str(), &out.sin_addr) == 1;
}

const char *ModeName(TradeMode mode) {
    switch (mode) {
    case TradeMode::Normal: return "normal";
    case TradeMode::Online: return "online";
    case TradeMode::Bookkeeping: return "bookkeeping";
    }
    return "?";
}

} // namespace

OnlineTrade::OnlineTrade(Server &server, Terminal &terminal, const Options &options)
    : server_(server), terminal_(terminal), bindPort_(options.tradePort), confirm_(options.confirm),
      timeout_(options.tradeTimeoutMs), allowLan_(options.allowLan) {
    TradeSettings &settings = terminal_.state().trade;
    settings.mode = static_cast<TradeMode>(options.tradeMode);
    settings.server = options.tradeServer;
    settings.machineNo = options.machineNo;
    // The socket lives where the link listens, so that the trade server can
    // be reached from it; an IPv6 listen address keeps it on IPv4 loopback.
    const std::string listen = options.listen == "localhost" ? "127.0.0.1" : options.listen;
    in_addr probe{};
    bindHost_ = inet_pton(AF_INET, listen.c_str(), &probe) == 1 ? listen : "127.0.0.1";
}

OnlineTrade::~OnlineTrade() {
    if (fd_ >= 0) {
        server_.Unwatch(fd_);
        close(fd_);
    }
    if (inFlight_) server_.Cancel(inFlight_->timer);
}

bool OnlineTrade::Open(std::string &error) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(bindPort_));
    inet_pton(AF_INET, bindHost_.c_str(), &local.sin_addr);
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return error = std::string("trade socket: ") + std::strerror(errno), false;
    if (bind(fd_, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
        error = "cannot bind the trade socket to " + bindHost_ + ":" + std::to_string(bindPort_) + ": " +
                std::strerror(errno);
        close(fd_);
        fd_ = -1;
        return false;
    }
    socklen_t len = sizeof local;
    getsockname(fd_, reinterpret_cast<sockaddr *>(&local), &len);
    localEndpoint_ = EndpointText(local);
    server_.Watch(fd_, [this] { OnReadable(); });
    const TradeSettings &settings = terminal_.state().trade;
    server_.AddReadyLine("trade udp " + localEndpoint_ + " -> " + settings.server.Text() + " mode " +
                         std::to_string(static_cast<int>(settings.mode)));
    return true;
}

void OnlineTrade::Print(const std::string &line) const { server_.Out(line); }

std::string OnlineTrade::CanStart() const {
    const TerminalState &state = terminal_.state();
    if (state.trade.mode != TradeMode::Online)
        return "trade mode is " + std::to_string(static_cast<int>(state.trade.mode)) + " (" +
               ModeName(state.trade.mode) + "), not 1 (online)";
    if (inFlight_) return "a trade is awaiting its reply";
    if (state.identity.deviceNumber > 0xFFFF)
        return "device number " + std::to_string(state.identity.deviceNumber) +
               " does not fit the two-byte trade address";
    if (fd_ < 0) return "no trade socket";
    return {};
}

bool OnlineTrade::SendFrame(const std::vector<std::uint8_t> &frame, std::string &error) {
    sockaddr_in to{};
    const TradeEndpoint &endpoint = terminal_.state().trade.server;
    if (!ToSockaddr(endpoint, to)) return error = "not an address: " + endpoint.host, false;
    ssize_t n;
    do {
        n = sendto(fd_, frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<sockaddr *>(&to),
                   sizeof to);
    } while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(frame.size())) {
        error = "cannot send to " + endpoint.Text() + ": " + (n < 0 ? std::strerror(errno) : "short send");
        return false;
    }
    sequence_ = static_cast<std::uint8_t>((sequence_ + 1) & 0x0F);
    return true;
}

std::string OnlineTrade::Start(const trade::Card &card, std::uint32_t amount, const trade::AuxBytes &aux) {
    if (std::string why = CanStart(); !why.empty()) return why;
    const TerminalState &state = terminal_.state();
    trade::TradeRequest request;
    request.address = static_cast<std::uint16_t>(state.identity.deviceNumber);
    request.machineNo = state.trade.MachineNo(state.identity.deviceNumber);
    request.card = card;
    request.aux = aux;
    request.amount = amount;
    std::string error;
    if (!SendFrame(trade::EncodeTradeRequest(request, sequence_), error)) return error;
    ++counters_.sent;
    if (flood_) ++flood_->sent;
    const std::uint64_t id = nextId_++;
    inFlight_ = InFlight{id, request, server_.After(timeout_, [this, id] { OnTimeout(id); })};
    if (!flood_)
        Print("trade sent device=" + std::to_string(request.address) + " machine=" +
              std::to_string(request.machineNo) + " card=" + trade::CardText(card) +
              " amount=" + trade::MoneyText(amount) + " aux=" + std::to_string(aux[0]) + "," +
              std::to_string(aux[1]) + "," + std::to_string(aux[2]));
    return {};
}

void OnlineTrade::OnReadable() {
    // Room for more than the trade server ever sends, so an overlong
    // datagram is seen as such (MSG_TRUNC gives its real size).
    std::uint8_t buf[2048];
    for (int i = 0; i < kReadsPerTurn; ++i) {
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = recvfrom(fd_, buf, sizeof buf, MSG_DONTWAIT | MSG_TRUNC,
                                   reinterpret_cast<sockaddr *>(&from), &fromLen);
        if (n < 0) {
            if (errno == EINTR) continue;
            // Queued errors (an ICMP "port unreachable" for an earlier send)
            // are consumed by reading them; anything else ends this turn.
            if (errno == ECONNREFUSED || errno == EHOSTUNREACH || errno == ENETUNREACH) continue;
            return;
        }
        if (from.sin_family != AF_INET) continue;
        OnDatagram(buf, static_cast<std::size_t>(n), from);
    }
}

void OnlineTrade::OnDatagram(const std::uint8_t *data, std::size_t size, const sockaddr_in &from) {
    auto ignore = [this](std::uint64_t &counter, const std::string &why) {
        ++counter;
        if (flood_)
            ++flood_->ignored;
        else
            Print("trade ignored: " + why);
    };
    sockaddr_in server{};
    if (!ToSockaddr(terminal_.state().trade.server, server) || from.sin_addr.s_addr != server.sin_addr.s_addr ||
        from.sin_port != server.sin_port)
        return ignore(counters_.foreign, "datagram from " + EndpointText(from) + ", not the trade server");

    std::string why;
    const auto reply = size > trade::kMaxDatagram ? std::nullopt : trade::DecodeReply(data, size, why);
    if (!reply) {
        if (size > trade::kMaxDatagram) why = "longer than " + std::to_string(trade::kMaxDatagram) + " bytes";
        return ignore(counters_.garbage, why + " (" + std::to_string(size) + " bytes)");
    }
    const std::uint32_t device = terminal_.state().identity.deviceNumber;
    if (reply->address != device)
        return ignore(counters_.garbage, "reply for device " + std::to_string(reply->address));
    const std::string outcome = reply->accepted ? "accepted serial=" + std::to_string(reply->serial)
                                                : "refused result=" + std::to_string(reply->result);
    if (!inFlight_) return ignore(counters_.late, "late reply, " + outcome);
    if (reply->accepted && reply->card != inFlight_->request.card)
        return ignore(counters_.garbage, "reply for card " + trade::CardText(reply->card) + ", " + outcome);

    server_.Cancel(inFlight_->timer);
    inFlight_.reset();
    if (reply->accepted) {
        ++counters_.accepted;
        if (flood_) ++flood_->accepted;
        if (!flood_)
            Print("trade accepted serial=" + std::to_string(reply->serial) +
                  " balance=" + trade::MoneyText(reply->balance) + " extra=" + std::to_string(reply->extraValue) +
                  " card=" + trade::CardText(reply->card) + " name=" + trade::DecodeGbkLine(reply->text));
        if (confirm_) {
            std::string error;
            const auto frame =
                trade::EncodeConfirmation(static_cast<std::uint16_t>(device), reply->serial, sequence_);
            if (SendFrame(frame, error)) {
                ++counters_.confirmed;
                if (flood_) ++flood_->confirmed;
                if (!flood_) Print("trade confirmed serial=" + std::to_string(reply->serial));
            } else if (!flood_) {
                Print("trade confirm failed serial=" + std::to_string(reply->serial) + ": " + error);
            }
        } else if (!flood_) {
            Print("trade unconfirmed serial=" + std::to_string(reply->serial) + " (confirm off)");
        }
    } else {
        ++counters_.refused;
        if (flood_)
            ++flood_->refused;
        else
            Print("trade refused result=" + std::to_string(reply->result) +
                  " message=" + trade::DecodeGbkLine(reply->text));
    }
    Settled();
}

void OnlineTrade::OnTimeout(std::uint64_t id) {
    if (!inFlight_ || inFlight_->id != id) return;
    inFlight_.reset();
    ++counters_.timeouts;
    if (flood_)
        ++flood_->timeouts;
    else
        Print("trade timeout ms=" + std::to_string(timeout_.count()));
    Settled();
}

void OnlineTrade::Settled() {
    if (!flood_) return;
    if (SteadyClock::now() >= flood_->end) return FinishFlood({});
    if (std::string why = Start(flood_->card, flood_->amount, {}); !why.empty()) FinishFlood(why);
}

void OnlineTrade::FinishFlood(const std::string &why) {
    const Flood f = *flood_;
    flood_.reset();
    if (!why.empty()) Print("flood stopped: " + why);
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - f.start).count();
    const double perSecond = seconds > 0 ? static_cast<double>(f.accepted + f.refused) / seconds : 0.0;
    char tail[64];
    std::snprintf(tail, sizeof tail, " seconds=%.2f per_second=%.1f", seconds, perSecond);
    Print("flood done sent=" + std::to_string(f.sent) + " accepted=" + std::to_string(f.accepted) +
          " refused=" + std::to_string(f.refused) + " timeout=" + std::to_string(f.timeouts) +
          " confirmed=" + std::to_string(f.confirmed) + " ignored=" + std::to_string(f.ignored) + tail);
}

std::string OnlineTrade::Status() const {
    const TerminalState &state = terminal_.state();
    const auto &c = counters_;
    std::string text = "trade mode " + std::to_string(static_cast<int>(state.trade.mode)) + " (" +
                       ModeName(state.trade.mode) + "), server " + state.trade.server.Text() + ", udp " +
                       localEndpoint_ + ", machine " +
                       std::to_string(state.trade.MachineNo(state.identity.deviceNumber)) + ", confirm " +
                       (confirm_ ? "on" : "off") + ", reply deadline " + std::to_string(timeout_.count()) +
                       " ms, sent " + std::to_string(c.sent) + ", accepted " + std::to_string(c.accepted) +
                       ", refused " + std::to_string(c.refused) + ", confirmed " + std::to_string(c.confirmed) +
                       ", timeouts " + std::to_string(c.timeouts) + ", late " + std::to_string(c.late) +
                       ", garbage " + std::to_string(c.garbage) + ", foreign " + std::to_string(c.foreign);
    text += inFlight_ ? ", awaiting reply for card " + trade::CardText(inFlight_->request.card) : ", idle";
    if (flood_) text += ", flooding";
    return text;
}

void OnlineTrade::AddCommands(Console &console) {
    console.AddStatusLine([this] { return Status(); });

    console.Add("swipe", "swipe CARD AMOUNT [AUX1 AUX2 AUX3]",
                "online trade: send a trade request (CARD 1..16 hex digits, AMOUNT cents or yuan like 12.50)",
                [this](const std::vector<std::string> &args) {
                    auto refuse = [this](const std::string &why) { Print("swipe refused: " + why); };
                    if (args.size() != 2 && args.size() != 5)
                        return refuse("usage: swipe CARD AMOUNT [AUX1 AUX2 AUX3]");
                    const auto card = trade::ParseCard(args[0]);
                    if (!card) return refuse("card must be 1 to 16 hexadecimal digits: " + args[0]);
                    const auto amount = trade::ParseAmount(args[1]);
                    if (!amount)
                        return refuse("amount must be cents 0..4294967295 or yuan with at most two decimals: " +
                                      args[1]);
                    trade::AuxBytes aux{};
                    for (std::size_t i = 0; i + 2 < args.size(); ++i) {
                        long v = 0;
                        if (!ParseInt(args[i + 2], 0, 255, v)) return refuse("aux bytes are 0..255: " + args[i + 2]);
                        aux[i] = static_cast<std::uint8_t>(v);
                    }
                    if (flood_) return refuse("a flood is running");
                    if (std::string why = Start(*card, *amount, aux); !why.empty()) refuse(why);
                });
    console.Add("flood", "flood SECONDS [CARD] [AMOUNT] | stop",
                "online trade: swipe again as soon as each trade is settled, then print a summary",
                [this](const std::vector<std::string> &args) {
                    auto refuse = [this](const std::string &why) { Print("flood refused: " + why); };
                    if (args.size() == 1 && args[0] == "stop") {
                        if (!flood_) return refuse("no flood is running");
                        flood_->end = SteadyClock::now();
                        if (!inFlight_) return FinishFlood({});
                        return Print("flood stopping");
                    }
                    double seconds = 0;
                    if (args.empty() || args.size() > 3 || !ParseDouble(args[0], seconds) || seconds <= 0 ||
                        seconds > 86400)
                        return refuse("usage: flood SECONDS [CARD] [AMOUNT] (SECONDS 0..86400) or flood stop");
                    const auto card = trade::ParseCard(args.size() > 1 ? args[1] : "1");
                    if (!card) return refuse("card must be 1 to 16 hexadecimal digits: " + args[1]);
                    const auto amount = trade::ParseAmount(args.size() > 2 ? args[2] : "100");
                    if (!amount)
                        return refuse("amount must be cents 0..4294967295 or yuan with at most two decimals: " +
                                      args[2]);
                    if (flood_) return refuse("a flood is running");
                    if (std::string why = CanStart(); !why.empty()) return refuse(why);
                    Flood f;
                    f.start = SteadyClock::now();
                    f.end = f.start + std::chrono::duration_cast<SteadyClock::duration>(
                                          std::chrono::duration<double>(seconds));
                    f.card = *card;
                    f.amount = *amount;
                    flood_ = f;
                    Print("flood started seconds=" + args[0] + " card=" + trade::CardText(*card) +
                          " amount=" + trade::MoneyText(*amount));
                    if (std::string why = Start(f.card, f.amount, {}); !why.empty()) FinishFlood(why);
                });
    console.Add("confirm", "confirm [on|off]", "online trade: confirm accepted trades or not",
                [this](const std::vector<std::string> &args) {
                    if (args.size() == 1 && (args[0] == "on" || args[0] == "off"))
                        confirm_ = args[0] == "on";
                    else if (!args.empty())
                        return Print("usage: confirm [on|off]");
                    Print(std::string("confirm ") + (confirm_ ? "on" : "off"));
                });
    console.Add("trade-mode", "trade-mode [0|1|2]", "0 normal, 1 online trade, 2 bookkeeping",
                [this](const std::vector<std::string> &args) {
                    TradeSettings &settings = terminal_.state().trade;
                    long n = 0;
                    if (args.size() == 1 && ParseInt(args[0], 0, kTradeModeLast, n))
                        settings.mode = static_cast<TradeMode>(n);
                    else if (!args.empty())
                        return Print("usage: trade-mode [0|1|2]");
                    Print("trade mode " + std::to_string(static_cast<int>(settings.mode)) + " (" +
                          ModeName(settings.mode) + ")");
                });
    console.Add("trade-server", "trade-server [ADDR:PORT]", "where trade requests go (numeric IPv4)",
                [this](const std::vector<std::string> &args) {
                    TradeSettings &settings = terminal_.state().trade;
                    if (args.size() > 1) return Print("usage: trade-server [ADDR:PORT]");
                    if (args.size() == 1) {
                        std::string error;
                        TradeEndpoint endpoint;
                        if (!ParseTradeEndpoint(args[0], allowLan_, endpoint, error))
                            return Print("trade-server: " + error);
                        settings.server = endpoint;
                    }
                    Print("trade server " + settings.server.Text());
                });
    console.Add("machine-no", "machine-no [N|auto]",
                "machine number in trade requests (auto: low byte of the device number)",
                [this](const std::vector<std::string> &args) {
                    TradeSettings &settings = terminal_.state().trade;
                    long n = 0;
                    if (args.size() == 1 && args[0] == "auto")
                        settings.machineNo.reset();
                    else if (args.size() == 1 && ParseInt(args[0], 0, 255, n))
                        settings.machineNo = static_cast<std::uint8_t>(n);
                    else if (!args.empty())
                        return Print("usage: machine-no [N|auto] (N 0..255)");
                    Print("machine number " +
                          std::to_string(settings.MachineNo(terminal_.state().identity.deviceNumber)));
                });
    console.Add("trade-timeout", "trade-timeout [MS]", "how long a trade waits for its reply",
                [this](const std::vector<std::string> &args) {
                    long n = 0;
                    if (args.size() == 1 && ParseInt(args[0], 1, 600000, n))
                        timeout_ = std::chrono::milliseconds(n);
                    else if (!args.empty())
                        return Print("usage: trade-timeout [MS] (1..600000)");
                    Print("reply deadline " + std::to_string(timeout_.count()) + " ms");
                });
}

} // namespace tarnwick::emulator
