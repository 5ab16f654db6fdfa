// Date-times of the device interface: double day counts since 1899-12-30
// (the fraction is the time of day, local time), and their broken-down form
// as the terminal keeps it. Conversions go through whole milliseconds since
// 1899-12-30 00:00, so a value survives the round trip to the millisecond.
#pragma once

#include "link/protocol.h"

#include <cstdint>
#include <optional>

namespace tarnwick::link {

int DaysInMonth(int year, int month);
// Days between 1970-01-01 and the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(int year, int month, int day);

// Milliseconds since 1899-12-30 00:00 for a valid clock.
std::int64_t MillisFromClock(const ClockFields &c);
// Nothing when the moment lies outside the years 1900..9999.
std::optional<ClockFields> ClockFromMillis(std::int64_t ms);

double DateTimeFromClock(const ClockFields &c);
// Nothing for NaN, infinities and moments outside the years 1900..9999.
std::optional<ClockFields> ClockFromDateTime(double dateTime);

// The host's local time now, to the millisecond.
ClockFields HostLocalNow();

} // namespace tarnwick::link
