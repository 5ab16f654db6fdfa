#include "tallydesk/device/record_values.h"

namespace tallydesk::device {
namespace {

// The four bits of a digit, most significant first or reversed.
void AppendGroup(std::string& out, int value, bool reversed) {
  for (int i = 0; i < 4; ++i) {
    const int bit = reversed ? i : 3 - i;
    out.push_back((value >> bit) & 1 ? '1' : '0');
  }
}

}  // namespace

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

double MoneyFromCents(std::int64_t cents) {
  // The amount is meant as the cents nudged by a millionth, divided by 100,
  // written with two decimals and read back. For whole cents that text is
  // exactly cents / 100 in decimal, and reading it back gives the double
  // nearest to that value, which is what the correctly rounded division
  // below gives directly (every 64-bit amount a record can produce is far
  // below 2^53, so the cents are exact as a double).
  return static_cast<double>(cents) / 100.0;
}

std::string HexToBits(std::string_view text, int orderFlag) {
  char digits[16];
  for (std::size_t i = 0; i < 16; ++i) digits[i] = i < text.size() ? text[i] : '0';
  std::string bits;
  bits.reserve(64);
  for (std::size_t i = 0; i < 16; i += 2) {
    const int first = HexDigitValue(digits[i]);
    const int second = HexDigitValue(digits[i + 1]);
    if (orderFlag == 0) {
      AppendGroup(bits, second, true);
      AppendGroup(bits, first, true);
    } else {
      AppendGroup(bits, first, false);
      AppendGroup(bits, second, true);
    }
  }
  return bits;
}

}  // namespace tallydesk::device
