#include "device_table.h"

#include <cstring>
#include <deque>
#include <string>

namespace tillwire {

void TTOnlineClocks::Assign(std::vector<TTOnlineClock> entries) {
    std::lock_guard<std::mutex> lock(lock_);
    entries_ = std::move(entries);
}

void TTOnlineClocks::ClearClocks() {
    std::lock_guard<std::mutex> lock(lock_);
    for (auto& e : entries_) std::memset(&e, 0, sizeof e);
}

std::size_t TTOnlineClocks::Size() const {
    std::lock_guard<std::mutex> lock(lock_);
    return entries_.size();
}

std::vector<TTOnlineClock> TTOnlineClocks::Snapshot() const {
    std::lock_guard<std::mutex> lock(lock_);
    return entries_;
}

bool TTOnlineClocks::Get(std::size_t index, TTOnlineClock& out) const {
    std::lock_guard<std::mutex> lock(lock_);
    if (index >= entries_.size()) return false;
    out = entries_[index];
    return true;
}

bool TTOnlineClocks::FindClock(uint16_t deviceNo, TTOnlineClock& out, std::size_t& index) const {
    std::lock_guard<std::mutex> lock(lock_);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].ClockNo == uint32_t{deviceNo}) {
            out = entries_[i];
            index = i;
            return true;
        }
    }
    return false;
}

bool TTOnlineClocks::MarkHeard(std::size_t index, double now) {
    std::lock_guard<std::mutex> lock(lock_);
    if (index >= entries_.size()) return false;
    TTOnlineClock& e = entries_[index];
    const bool wasOffline = e.Online == 0;
    e.Online = 1;
    e.Notified = 0;
    e.OnlineTime = now;
    return wasOffline;
}

bool TTOnlineClocks::IsDue(const TTOnlineClock& entry, double now) {
    if (entry.Notified != 0) return false;
    // In milliseconds, so that the day-count fractions do not blur the limit.
    const double ageMs = (now - entry.OnlineTime) * 86400000.0;
    return ageMs > kOfflineAfterSeconds * 1000.0 + 0.5;
}

bool TTOnlineClocks::MarkOfflineIfDue(std::size_t index, uint32_t clockNo, double now) {
    std::lock_guard<std::mutex> lock(lock_);
    if (index >= entries_.size()) return false;
    TTOnlineClock& e = entries_[index];
    if (e.ClockNo != clockNo || !IsDue(e, now)) return false;
    e.Online = 0;
    e.Notified = 1;
    return true;
}

std::vector<std::string_view> SplitDelimited(std::string_view text, char delimiter,
                                             std::deque<std::string>& quotedStore) {
    std::vector<std::string_view> items;
    std::size_t p = 0;
    const std::size_t end = text.size();
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    // Quoted items are unescaped into quotedStore (a deque: the views stay valid).
    quotedStore.clear();

    while (p < end && blank(text[p])) ++p;
    while (p < end) {
        if (text[p] == '"') {
            std::string item;
            ++p;
            while (p < end) {
                if (text[p] == '"') {
                    if (p + 1 < end && text[p + 1] == '"') {
                        item += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += text[p++];
            }
            quotedStore.push_back(std::move(item));
            items.emplace_back(quotedStore.back());
        } else {
            const std::size_t start = p;
            while (p < end && !blank(text[p]) && text[p] != delimiter) ++p;
            items.emplace_back(text.substr(start, p - start));
        }
        while (p < end && blank(text[p])) ++p;
        if (p < end && text[p] == delimiter) {
            if (p + 1 == end) items.emplace_back();
            do {
                ++p;
            } while (p < end && blank(text[p]));
        }
    }
    return items;
}

int32_t StrToIntDef(std::string_view text, int32_t def) {
    if (text.empty()) return def;
    std::size_t i = 0;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) return def;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return def;
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) return def;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return def;
    return static_cast<int32_t>(value);
}

std::vector<TTOnlineClock> ParseClockText(const char* text, double now) {
    std::vector<TTOnlineClock> table;
    if (text == nullptr) return table;
    std::deque<std::string> outerStore, innerStore;
    const auto entries = SplitDelimited(text, '|', outerStore);
    table.reserve(entries.size());
    for (const auto entry : entries) {
        const auto fields = SplitDelimited(entry, ',', innerStore);
        TTOnlineClock clock;
        std::memset(&clock, 0, sizeof clock);
        clock.ClockNo = static_cast<uint32_t>(StrToIntDef(fields.size() > 0 ? fields[0] : "", 0));
        if (fields.size() > 1) {
            const std::size_t n = std::min<std::size_t>(fields[1].size(), sizeof clock.IP - 1);
            if (n > 0) std::memcpy(clock.IP, fields[1].data(), n);
        }
        clock.Port = static_cast<uint32_t>(StrToIntDef(fields.size() > 2 ? fields[2] : "", 4001));
        clock.Online = 0;
        clock.Notified = 0;
        clock.OnlineTime = now;
        table.push_back(clock);
    }
    return table;
}

}  // namespace tillwire
