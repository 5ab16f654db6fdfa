// Time sources of the library: the millisecond tick that times the
// confirmation wait and the local date and time that stamps log lines and
// times the offline watch. Both come through Clock so that tests can drive
// them.
#pragma once

#include <cstdint>
#include <string>

namespace tillwire {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps around at 2^32.
    virtual uint32_t Tick() = 0;
    // Local date and time as days since 1899-12-30, time of day as fraction.
    virtual double Now() = 0;
};

class RealClock final : public Clock {
public:
    uint32_t Tick() override;
    double Now() override;
};

// Days between 1899-12-30 and 1970-01-01.
inline constexpr double kUnixEpochDayCount = 25569.0;
inline constexpr double kMillisecondsPerDay = 86400000.0;

struct DateTimeParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

DateTimeParts SplitDayCount(double dayCount);
// "yyyy-MM-dd"
std::string FormatDate(double dayCount);
// "yyyy-MM-dd hh:mm:ss.zzz"
std::string FormatDateTime(double dayCount);
// The day count of a calendar date and time.
double DayCount(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                int millisecond = 0);

}  // namespace tillwire
