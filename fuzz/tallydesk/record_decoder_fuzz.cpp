// Arbitrary device records decoded for arbitrary model codes. The record
// lives in a heap block of exactly its size, so a read past its end is
// caught; reads past a text field inside it show as texts that are too long
// or unterminated in the decoded record, which is checked here.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "tallydesk/device/record_decoder.h"
#include "tallydesk/device/record_time.h"
#include "tallydesk/device/record_values.h"

namespace {

using tallydesk::device::DecodeDate;
using tallydesk::device::DecodeTradeRecord;
using tallydesk::device::RecordText;
using tallydesk::device::TTradeRecord;

void Check(bool condition) {
  if (!condition) std::abort();
}

template <std::size_t N>
void CheckText(const char (&field)[N], std::size_t longest) {
  Check(::strnlen(field, N) <= longest);
}

template <std::size_t N>
void CheckZero(const std::uint8_t (&field)[N]) {
  for (std::uint8_t b : field) Check(b == 0);
}

void CheckDecoded(const TConsumeRecord& record, const TTradeRecord& t) {
  CheckZero(t.Reserved6);
  Check(t.Reserved18 == 0);
  CheckZero(t.Reserved20);
  CheckZero(t.Reserved33);
  CheckZero(t.Reserved40);
  CheckZero(t.Reserved47);
  Check(RecordText(t.CardNo) == RecordText(record.CardNo));
  CheckText(t.Value511Text, 11);
  CheckText(t.Text105, sizeof record.Text105);
  CheckText(t.CardPart1, 4);
  CheckText(t.CardPart2, 4);
  CheckText(t.Text23, 1);
  CheckText(t.Text28, 1);
  const std::size_t bits = ::strnlen(t.Bits, sizeof t.Bits);
  Check(bits == 0 || bits == 64);
  for (std::size_t i = 0; i < bits; ++i) Check(t.Bits[i] == '0' || t.Bits[i] == '1');
  Check(t.TradeTime == 0.0 || DecodeDate(t.TradeTime).has_value());
  Check(t.DerivedDate == 0.0 || DecodeDate(t.DerivedDate).has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // First byte: a model code from -1 to 24, or (above 25) a raw 32-bit code
  // from the next four bytes. Then the device number, then the record.
  if (size < 1) return 0;
  std::int32_t model = static_cast<std::int32_t>(data[0]) - 1;
  std::size_t at = 1;
  if (data[0] > 25 && size >= 5) {
    std::memcpy(&model, data + 1, 4);
    at = 5;
  }
  std::int32_t device = 0;
  if (size - at >= 4) {
    std::memcpy(&device, data + at, 4);
    at += 4;
  }
  auto record = std::make_unique<TConsumeRecord>();
  std::memset(record.get(), 0, sizeof(TConsumeRecord));
  std::memcpy(record.get(), data + at, std::min(size - at, sizeof(TConsumeRecord)));
  const TConsumeRecord original = *record;

  TTradeRecord first;
  std::memset(&first, 0x11, sizeof first);
  DecodeTradeRecord(model, device, record.get(), first);
  CheckDecoded(*record, first);

  // Nothing left from an earlier record shows in the next one, and the
  // device record is only read.
  TTradeRecord second;
  std::memset(&second, 0xEE, sizeof second);
  DecodeTradeRecord(model, device, record.get(), second);
  Check(std::memcmp(&first, &second, sizeof first) == 0);
  Check(std::memcmp(&original, record.get(), sizeof original) == 0);
  return 0;
}
