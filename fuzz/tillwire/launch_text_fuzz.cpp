// The terminal list text of LaunchOnlineByString: any text gives a table
// whose address fields stay zero-terminated inside their 16 bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device_table.h"

using namespace tillwire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);  // cut at the first zero below
    const auto table = ParseClockText(text.c_str(), 43970.5);
    if (table.size() > strlen(text.c_str()) + 1) abort();
    for (const auto& c : table) {
        if (strnlen(c.IP, sizeof c.IP) >= sizeof c.IP) abort();
        if (c.Online != 0 || c.Notified != 0 || c.OnlineTime != 43970.5) abort();
    }
    TTOnlineClocks clocks;
    clocks.Assign(table);
    TTOnlineClock found;
    std::size_t index;
    if (!table.empty() && !clocks.FindClock(static_cast<uint16_t>(table[0].ClockNo), found, index)) {
        if (table[0].ClockNo <= 0xFFFF) abort();
    }
    return 0;
}
