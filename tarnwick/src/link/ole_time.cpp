#include "link/ole_time.h"

#include <cmath>
#include <ctime>

namespace tarnwick::link {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
// 1899-12-30 lies this many days before 1970-01-01.
constexpr std::int64_t kEpochOffsetDays = 25569;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

struct Civil {
    int year, month, day;
};

Civil CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = yoe + era * 400;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

} // namespace

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

std::int64_t DaysFromCivil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::int64_t MillisFromClock(const ClockFields &c) {
    const std::int64_t days = DaysFromCivil(c.year, c.month, c.day) + kEpochOffsetDays;
    return days * kMsPerDay + ((c.hour * 60 + c.minute) * 60 + c.second) * 1000LL + c.millisecond;
}

std::optional<ClockFields> ClockFromMillis(std::int64_t ms) {
    const std::int64_t days = FloorDiv(ms, kMsPerDay);
    std::int64_t rest = ms - days * kMsPerDay;
    const Civil civil = CivilFromDays(days - kEpochOffsetDays);
    if (civil.year < 1900 || civil.year > 9999) return std::nullopt;
    ClockFields c;
    c.year = static_cast<std::uint16_t>(civil.year);
    c.month = static_cast<std::uint8_t>(civil.month);
    c.day = static_cast<std::uint8_t>(civil.day);
    c.millisecond = static_cast<std::uint16_t>(rest % 1000);
    rest /= 1000;
    c.second = static_cast<std::uint8_t>(rest % 60);
    rest /= 60;
    c.minute = static_cast<std::uint8_t>(rest % 60);
    c.hour = static_cast<std::uint8_t>(rest / 60);
    return c;
}

double DateTimeFromClock(const ClockFields &c) {
    return static_cast<double>(MillisFromClock(c)) / static_cast<double>(kMsPerDay);
}

std::optional<ClockFields> ClockFromDateTime(double dateTime) {
    // Day 2 is 1900-01-01, day 2958466 is 10000-01-01; checking the double
    // first keeps the conversion to an integer defined.
    if (!std::isfinite(dateTime) || dateTime < 2.0 || dateTime >= 2958466.0) return std::nullopt;
    const auto ms = static_cast<std::int64_t>(std::llround(dateTime * static_cast<double>(kMsPerDay)));
    return ClockFromMillis(ms);
}

ClockFields HostLocalNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    const time_t secs = ts.tv_sec;
    tm local{};
    localtime_r(&secs, &local);
    ClockFields c;
    c.year = static_cast<std::uint16_t>(local.tm_year + 1900);
    c.month = static_cast<std::uint8_t>(local.tm_mon + 1);
    c.day = static_cast<std::uint8_t>(local.tm_mday);
    c.hour = static_cast<std::uint8_t>(local.tm_hour);
    c.minute = static_cast<std::uint8_t>(local.tm_min);
    // A leap second (tm_sec 60) is shown as the last second of the minute.
    c.second = static_cast<std::uint8_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
    c.millisecond = static_cast<std::uint16_t>(ts.tv_nsec / 1'000'000);
    return c;
}

} // namespace tarnwick::link
