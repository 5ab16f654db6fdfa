// Conversions of the values kept in transaction records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tallydesk::device {

// An amount in currency units from a count of cents, rounded to two decimals
// (150 gives 1.5, -150 gives -1.5). Sums of two 32-bit amounts are passed
// whole, so the argument is 64 bits wide.
double MoneyFromCents(std::int64_t cents);

// Value of a hexadecimal digit ("0" to "9", "A" to "F", "a" to "f"); 0 for
// any other character.
int HexDigitValue(char c);

// 64 characters "0" and "1" from the first 16 hexadecimal digits of the text
// (shorter texts are filled up with "0"; a character that is not a
// hexadecimal digit counts as "0").
//   order flag 0: each byte (pair of digits) gives its eight bits from the
//                 least significant to the most significant;
//   any other:    every odd-numbered digit (1st, 3rd, ...) gives its four
//                 bits most significant first, every even-numbered digit
//                 least significant first.
std::string HexToBits(std::string_view text, int orderFlag);

// The text of a fixed record field: its bytes up to the first zero byte, or
// all of them when the text fills the field.
inline std::string_view RecordText(const char* field, std::size_t width) {
  const void* end = std::memchr(field, 0, width);
  return {field, end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : width};
}

template <std::size_t N>
std::string_view RecordText(const char (&field)[N]) {
  return RecordText(field, N);
}

}  // namespace tallydesk::device
