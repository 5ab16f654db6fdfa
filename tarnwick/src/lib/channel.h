// One open link of the stand-in library: a TCP socket or a serial device,
// always non-blocking, read and written against a deadline.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnwick {

using Clock = std::chrono::steady_clock;

enum class IoStatus { Ok, Timeout, Closed };

class Channel {
public:
    enum class Kind { Socket, Serial };

    Channel(int fd, Kind kind) : fd_(fd), kind_(kind) {}
    ~Channel();
    Channel(const Channel &) = delete;
    Channel &operator=(const Channel &) = delete;

    Kind kind() const { return kind_; }

    IoStatus WriteAll(const std::uint8_t *data, std::size_t size, Clock::time_point deadline);
    // Waits until bytes arrive or the deadline passes; `got` receives the count.
    IoStatus ReadSome(std::uint8_t *buf, std::size_t size, std::size_t &got, Clock::time_point deadline);
    // Wakes a call blocked on this channel from another thread (the channel is being closed).
    void Shutdown();

private:
    int fd_;
    Kind kind_;
};

// Opens a TCP connection to a numeric loopback address (any address when the
// environment allows the LAN). Returns -1 on failure.
int ConnectTcp(const std::string &ip, int port, Clock::time_point deadline);
// Opens a serial device in raw mode at the given baud rate, exclusively.
// Returns -1 on failure.
int OpenSerial(const std::string &path, int baudRate);

// Parses a numeric IPv4 or IPv6 address (surrounding blanks ignored,
// "localhost" meaning 127.0.0.1) and tells whether it is a loopback address.
bool ParseAddress(const std::string &text, std::string &numeric, bool &loopback);

} // namespace tarnwick
