// Time texts of any shape, and the same bytes as hexadecimal day bitmaps.
// libFuzzer hands over a heap block of exactly the input's size, so any read
// past the text is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tallydesk/device/record_time.h"
#include "tallydesk/device/record_values.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (const auto value = tallydesk::device::ParseRecordTime(text)) {
    // Every accepted text names a valid day of the years 1 to 9999.
    const auto date = tallydesk::device::DecodeDate(*value);
    if (!date || date->year < 1 || date->year > 9999) std::abort();
  }

  for (int orderFlag : {0, 1}) {
    const std::string bits = tallydesk::device::HexToBits(text, orderFlag);
    if (bits.size() != 64) std::abort();
    for (char c : bits) {
      if (c != '0' && c != '1') std::abort();
    }
  }
  return 0;
}
