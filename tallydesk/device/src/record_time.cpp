#include "tallydesk/device/record_time.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace tallydesk::device {
namespace {

constexpr long long kSecondsPerDay = 86400;

// Days from 0000-03-01 based proleptic Gregorian count (valid for every
// year this module accepts).
long long DaysFromCivil(long long y, long long m, long long d) {
  y -= m <= 2 ? 1 : 0;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(long long z) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long d = doy - (153 * mp + 2) / 5 + 1;
  const long long m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  return CivilDate{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

const long long kEpochDays = DaysFromCivil(1899, 12, 30);

// Blanks and control characters, as the time texts are trimmed.
bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsTrimmed(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsTrimmed(s.back())) s.remove_suffix(1);
  return s;
}

// A decimal integer of 32 bits: an optional sign and at least one digit,
// nothing else (no blanks).
std::optional<long long> ReadInt(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return std::nullopt;
  long long value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return value;
}

struct Fields {
  std::optional<long long> year, month, day, hour, minute, second;
};

// "h:m" or "h:m:s": the hour up to the first ":", then the minute up to a
// further ":" and the second trimmed, or the minute trimmed and second 0.
bool ReadClock(std::string_view s, Fields& f) {
  const auto colon = s.find(':');
  if (colon == std::string_view::npos) return false;
  f.hour = ReadInt(s.substr(0, colon));
  const std::string_view rest = s.substr(colon + 1);
  const auto colon2 = rest.find(':');
  if (colon2 != std::string_view::npos) {
    f.minute = ReadInt(rest.substr(0, colon2));
    f.second = ReadInt(Trim(rest.substr(colon2 + 1)));
  } else {
    f.minute = ReadInt(Trim(rest));
    f.second = 0;
  }
  return true;
}

bool ReadDateForm(std::string_view text, Fields& f) {
  const auto dash1 = text.find('-');
  std::string year(text.substr(0, dash1));
  if (year.size() == 2) year.insert(0, "20");
  f.year = ReadInt(year);
  const std::string_view afterYear = text.substr(dash1 + 1);
  const auto dash2 = afterYear.find('-');
  if (dash2 == std::string_view::npos) return false;
  f.month = ReadInt(afterYear.substr(0, dash2));
  const std::string_view rest = afterYear.substr(dash2 + 1);
  if (rest.find(':') == std::string_view::npos) {
    f.day = ReadInt(Trim(rest));
    f.hour = f.minute = f.second = 0;
    return true;
  }
  const auto blank = rest.find(' ');
  if (blank == std::string_view::npos) return false;
  f.day = ReadInt(Trim(rest.substr(0, blank)));
  return ReadClock(rest.substr(blank + 1), f);
}

bool ReadCompactForm(std::string_view text, Fields& f) {
  std::string s(text);
  if (s.size() == 12) s.insert(0, "20");
  if (s.size() == 14 && s.compare(0, 2, "00") == 0) s.replace(0, 2, "20");
  // Every piece needs its full width; characters after the seconds are not
  // looked at.
  if (s.size() < 14) return false;
  const std::string_view v(s);
  f.year = ReadInt(v.substr(0, 4));
  f.month = ReadInt(v.substr(4, 2));
  f.day = ReadInt(v.substr(6, 2));
  f.hour = ReadInt(v.substr(8, 2));
  f.minute = ReadInt(v.substr(10, 2));
  f.second = ReadInt(v.substr(12, 2));
  return true;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::optional<double> TryEncodeDate(long long year, long long month, long long day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(static_cast<int>(year), static_cast<int>(month))) {
    return std::nullopt;
  }
  return static_cast<double>(DaysFromCivil(year, month, day) - kEpochDays);
}

std::optional<double> TryEncodeDateTime(long long year, long long month, long long day, long long hour,
                                        long long minute, long long second) {
  const auto date = TryEncodeDate(year, month, day);
  if (!date || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return std::nullopt;
  }
  const double time = static_cast<double>(hour * 3600 + minute * 60 + second) / kSecondsPerDay;
  return *date < 0 ? *date - time : *date + time;
}

std::optional<CivilDate> DecodeDate(double dateTime) {
  // 0001-01-01 and 9999-12-31, as day counts from 1899-12-30.
  static const double kFirst = static_cast<double>(DaysFromCivil(1, 1, 1) - kEpochDays);
  static const double kLast = static_cast<double>(DaysFromCivil(9999, 12, 31) - kEpochDays);
  if (!std::isfinite(dateTime)) return std::nullopt;
  const double days = std::trunc(dateTime);
  if (days < kFirst || days > kLast) return std::nullopt;
  return CivilFromDays(static_cast<long long>(days) + kEpochDays);
}

std::optional<double> ParseRecordTime(std::string_view text) {
  Fields f;
  bool shaped = false;
  if (text.find('-') != std::string_view::npos) {
    shaped = ReadDateForm(text, f);
  } else if (text.find(':') != std::string_view::npos) {
    f.year = 1899;
    f.month = 12;
    f.day = 30;
    shaped = ReadClock(text, f);
  } else {
    shaped = ReadCompactForm(text, f);
  }
  if (!shaped || !f.year || !f.month || !f.day || !f.hour || !f.minute || !f.second) return std::nullopt;
  long long day = *f.day;
  if (*f.year >= 1 && *f.year <= 9999 && *f.month >= 1 && *f.month <= 12) {
    const int last = DaysInMonth(static_cast<int>(*f.year), static_cast<int>(*f.month));
    if (day > last) day = last;
  }
  return TryEncodeDateTime(*f.year, *f.month, day, *f.hour, *f.minute, *f.second);
}

}  // namespace tallydesk::device
