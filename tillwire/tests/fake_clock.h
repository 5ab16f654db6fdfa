// A clock the tests move by hand: the tick and the local date and time
// advance together.
#pragma once

#include <atomic>
#include <cstdint>

#include "clock.h"

namespace tillwire::testing {

class FakeClock final : public Clock {
public:
    explicit FakeClock(double start = DayCount(2020, 5, 19, 9, 30, 0), uint32_t tick = 1000)
        : startDays_(start), tick_(tick) {}
    uint32_t Tick() override { return tick_.load(); }
    double Now() override { return startDays_ + static_cast<double>(ms_.load()) / kMillisecondsPerDay; }
    void Advance(uint32_t ms) {
        tick_ += ms;
        ms_ += ms;
    }
    void SetTick(uint32_t tick) { tick_ = tick; }

private:
    double startDays_;
    std::atomic<uint32_t> tick_;
    std::atomic<int64_t> ms_{0};
};

}  // namespace tillwire::testing
