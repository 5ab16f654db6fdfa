// Date-time values of the device records: day counts since 1899-12-30 as a
// double, the fraction being the time of day. For days before 1899-12-30 the
// time of day is subtracted (-1.25 is 1899-12-29 06:00), so that the whole
// part always names the day.
#pragma once

#include <optional>
#include <string_view>

namespace tallydesk::device {

struct CivilDate {
  int year = 0;
  int month = 0;
  int day = 0;
  friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

bool IsLeapYear(int year);
// Days of the month, leap years counted; 0 when the month is not 1 to 12.
int DaysInMonth(int year, int month);

// Empty when the date or time is not valid: year outside 1 to 9999, month
// outside 1 to 12, day outside the month, hour above 23, minute or second
// above 59, or any negative part.
std::optional<double> TryEncodeDate(long long year, long long month, long long day);
std::optional<double> TryEncodeDateTime(long long year, long long month, long long day, long long hour,
                                        long long minute, long long second);

// The calendar day of a date-time value; empty for values outside the years
// 1 to 9999 (and for NaN and infinities).
std::optional<CivilDate> DecodeDate(double dateTime);

// Reads the time text of a transaction record. Three forms are accepted:
//   "yyyy-M-d[ h:m[:s]]"  (a two-character year gets "20" in front),
//   "h:m[:s]"             (time of day on 1899-12-30),
//   "yyyyMMddhhmmss"      (twelve digits get "20" in front; fourteen that
//                          begin with "00" have those replaced by "20").
// A day beyond the end of its month is lowered to the month's last day.
// Every other text, and every part that is not a decimal integer or out of
// range, gives an empty result; callers that need a value use 0
// (1899-12-30 00:00:00).
std::optional<double> ParseRecordTime(std::string_view text);

}  // namespace tallydesk::device
