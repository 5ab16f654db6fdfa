// The device table (OnlineClocks): the registered terminals and their
// liveness. An entry's Online, Notified and OnlineTime are read and written
// as one unit under the table's lock; the lock is never held while a host
// callback runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tillwire.h"

namespace tillwire {

// A terminal is due to be reported offline when the local time minus 300
// seconds is later than its OnlineTime.
inline constexpr double kOfflineAfterSeconds = 300.0;

class TTOnlineClocks {
public:
    void Assign(std::vector<TTOnlineClock> entries);
    // Zero-fills every entry (the length stays).
    void ClearClocks();
    std::size_t Size() const;
    std::vector<TTOnlineClock> Snapshot() const;
    bool Get(std::size_t index, TTOnlineClock& out) const;

    // The first entry whose ClockNo equals the device number.
    bool FindClock(uint16_t deviceNo, TTOnlineClock& out, std::size_t& index) const;

    // A datagram came from the terminal at index: it is online as of now.
    // Returns true when it was offline before (the host hears of it).
    bool MarkHeard(std::size_t index, double now);

    // Offline watch, test and update in one step: when the entry at index
    // (still the terminal clockNo) is due, marks it offline and reported and
    // returns true.
    bool MarkOfflineIfDue(std::size_t index, uint32_t clockNo, double now);

    static bool IsDue(const TTOnlineClock& entry, double now);

private:
    mutable std::mutex lock_;
    std::vector<TTOnlineClock> entries_;
};

// The entries of a LaunchOnlineByString text: entries separated by '|',
// fields by ','; fields are device number (0 when not a number), address (cut
// to 15 characters) and port (4001 when not a number). Every entry gets
// OnlineTime = now.
std::vector<TTOnlineClock> ParseClockText(const char* text, double now);

// The delimited-text rule of the original platform's string lists: blanks
// and control characters around an item are skipped, a blank also ends an
// unquoted item, an item in double quotes may hold separators ("" is a
// quote), and a separator at the very end adds an empty item.
std::vector<std::string_view> SplitDelimited(std::string_view text, char delimiter,
                                             std::deque<std::string>& quotedStore);

// Decimal integer with optional sign filling the whole text, else def.
int32_t StrToIntDef(std::string_view text, int32_t def);

}  // namespace tillwire
