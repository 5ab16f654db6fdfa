// A device-table entry as a test registers it: the device number, its
// address 127.0.0.1:4001 and the liveness fields it starts with.
#pragma once

#include <cstdint>
#include <cstring>

#include "tillwire.h"

namespace tillwire::testing {

inline TTOnlineClock OnlineClock(uint32_t no, double onlineTime = 0, uint8_t online = 0, uint32_t notified = 0) {
    TTOnlineClock c;
    std::memset(&c, 0, sizeof c);
    c.ClockNo = no;
    std::strcpy(c.IP, "127.0.0.1");
    c.Port = 4001;
    c.Online = online;
    c.Notified = notified;
    c.OnlineTime = onlineTime;
    return c;
}

}  // namespace tillwire::testing
