#include "clock.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace tillwire {

uint32_t RealClock::Tick() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

double RealClock::Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    const time_t secs = ts.tv_sec;
    localtime_r(&secs, &local);
    const double localMs = (static_cast<double>(secs) + static_cast<double>(local.tm_gmtoff)) * 1000.0 +
                           static_cast<double>(ts.tv_nsec / 1000000);
    return kUnixEpochDayCount + localMs / kMillisecondsPerDay;
}

DateTimeParts SplitDayCount(double dayCount) {
    using namespace std::chrono;
    DateTimeParts p;
    if (!std::isfinite(dayCount) || std::fabs(dayCount) > 3.0e6) return p;
    const long long totalMs = std::llround((dayCount - kUnixEpochDayCount) * kMillisecondsPerDay);
    long long days = totalMs / 86400000LL;
    long long msOfDay = totalMs % 86400000LL;
    if (msOfDay < 0) {
        msOfDay += 86400000LL;
        --days;
    }
    const year_month_day ymd{sys_days{std::chrono::days{days}}};
    p.year = static_cast<int>(ymd.year());
    p.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    p.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    p.hour = static_cast<int>(msOfDay / 3600000);
    p.minute = static_cast<int>(msOfDay / 60000 % 60);
    p.second = static_cast<int>(msOfDay / 1000 % 60);
    p.millisecond = static_cast<int>(msOfDay % 1000);
    return p;
}

std::string FormatDate(double dayCount) {
    const DateTimeParts p = SplitDayCount(dayCount);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
    return buf;
}

std::string FormatDateTime(double dayCount) {
    const DateTimeParts p = SplitDayCount(dayCount);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second, p.millisecond);
    return buf;
}

double DayCount(int year, int month, int day, int hour, int minute, int second, int millisecond) {
    using namespace std::chrono;
    const sys_days date{std::chrono::year{year} / std::chrono::month{static_cast<unsigned>(month)} /
                        std::chrono::day{static_cast<unsigned>(day)}};
    const double ms = ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond;
    return kUnixEpochDayCount + static_cast<double>(date.time_since_epoch().count()) + ms / kMillisecondsPerDay;
}

}  // namespace tillwire
