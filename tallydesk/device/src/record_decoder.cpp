#include "tallydesk/device/record_decoder.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

#include "tallydesk/device/model_families.h"
#include "tallydesk/device/record_time.h"
#include "tallydesk/device/record_values.h"

// Model choices of the decoder:
//
// EntryModels (T01, T02). These terminals are in none of the decoding
// families, but the balance path has rules written for them: the amount
// comes from the kind-3 amount field, type and payment kind as for the other
// balance terminals. An operator recovering records from such a terminal
// wants to see the consumption, the amount and the type of every record,
// not a card number followed by zeros, so their records are decoded through
// those entry rules.
//
// CompactModels (T04) records of a record kind other than 1, 2, 3 and 64.
// They carry their count in the field at 89 instead of the cash card count,
// but the trade type and the overriding kind mean the same for every kind,
// so their type code follows the same rule as the detailed kinds: the base
// type of the trade type, then 19 gives 7 and 101 gives 101.

namespace tallydesk::device {
namespace {

constexpr std::int32_t kPaymentMarkerOwnKind1 = 17;
constexpr std::int32_t kPaymentMarkerOwnKind2 = 18;
constexpr std::int32_t kPaymentMarkerSpecial = 33;

// The text goes into a zero-filled field; one byte always stays zero.
template <std::size_t N>
void PutText(char (&field)[N], std::string_view text) {
  if (text.empty()) return;  // an empty view may have no data at all
  std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

template <std::size_t N, std::size_t M>
void PutBytes(std::uint8_t (&field)[N], const std::uint8_t (&bytes)[M]) {
  static_assert(M <= N);
  std::memcpy(field, bytes, M);
}

// Characters `first` to `first + count - 1` (from 0), as many as there are.
std::string_view Slice(std::string_view text, std::size_t first, std::size_t count) {
  if (first >= text.size()) return {};
  return text.substr(first, count);
}

double RecordDateTime(const TConsumeRecord& record) {
  return ParseRecordTime(RecordText(record.TradeTime)).value_or(0.0);
}

bool IsDetailedRecordKind(std::int32_t kind) { return kind == 1 || kind == 2 || kind == 3 || kind == 64; }

std::int32_t BaseType(std::int32_t tradeType) {
  if (tradeType == 2) return 1;
  if (tradeType == 4) return 3;
  return 0;
}

std::int32_t ApplyOverridingKind(std::int32_t type, std::int32_t overridingKind) {
  if (overridingKind == 19) return 7;
  if (overridingKind == 101) return 101;
  return type;
}

enum class AmountRule { Sum, Difference, Consumption };

struct SubKindRule {
  std::int32_t type;  // -1: the base type stays
  AmountRule amount;
};

SubKindRule RuleOfSubKind(std::int32_t subKind) {
  switch (subKind) {
    case 1: return {6, AmountRule::Sum};
    case 2: return {8, AmountRule::Consumption};
    case 3: return {2, AmountRule::Sum};
    case 4: return {3, AmountRule::Sum};
    case 5: return {4, AmountRule::Difference};
    case 7: return {11, AmountRule::Difference};
    case 8: return {10, AmountRule::Difference};
    case 51: return {51, AmountRule::Sum};
    case 52: return {52, AmountRule::Sum};
    case 128: return {128, AmountRule::Sum};
    default: return {-1, AmountRule::Difference};
  }
}

void DecodeTypeCode(std::int32_t deviceNumber, const TConsumeRecord& record, TTradeRecord& out) {
  out.ClockId = deviceNumber;
  out.TradeTime = RecordDateTime(record);
  std::int32_t type = record.TypeCode;
  if (type == 1 || type == 2 || type == 3) {
    type = 11;
  } else if (type == 4) {
    type = 14;
  } else if (type == 15) {
    type = 0;
  }
  out.TypeCode = type;
  out.Value54 = record.Value54;
  out.OwnTypeCode = 1;
  out.Value559 = record.Value559;
  out.Value97 = record.Value97;
}

void DecodeExtended(std::int32_t deviceNumber, const TConsumeRecord& record, TTradeRecord& out) {
  out.ClockId = deviceNumber;
  out.TradeTime = RecordDateTime(record);
  out.TypeCode = record.TypeCode;
  out.Value54 = record.Value54;
  out.Value559 = record.Value559;
  out.Value627 = record.Value627;
  out.Value631 = record.Value631;
  out.Byte635 = record.Byte635;
}

void DecodeCompact(std::int32_t deviceNumber, const TConsumeRecord& record, TTradeRecord& out) {
  const std::int32_t paymentKind = 0;
  if (RecordText(record.CardNo).empty()) return;
  // Amounts are computed in 64 bits: the difference of two 32-bit values
  // does not always fit in 32.
  const std::int64_t consumption = record.ConsumeAmount;
  const std::int64_t amount = std::int64_t{record.BalanceCents} - consumption;
  std::int32_t count = record.CompactCount;
  if (IsDetailedRecordKind(record.RecordKind)) count = record.CashCardCount;
  const std::int32_t type = ApplyOverridingKind(BaseType(record.TradeType), record.OverrideKind);

  out.ClockId = deviceNumber;
  out.Consumption = MoneyFromCents(consumption);
  out.TradeAmount = MoneyFromCents(amount);
  out.CardCount = count;
  out.TypeCode = type;
  out.Value97 = record.Value97;
  out.CashCardCount = record.CashCardCount;
  out.TradeTime = RecordDateTime(record);
  out.TradeType = record.TradeType;
  out.BalanceAmount = MoneyFromCents(record.BalanceCents);
  out.PaymentKind = paymentKind;
  out.Value503 = record.Value503;
  out.Value636 = record.Value636;
  out.Value640 = record.Value640;
  out.SubsidyCardCount = record.SubsidyCardCount;
  out.SubsidyBalance = MoneyFromCents(record.SubsidyBalance);
  out.Value580Amount = MoneyFromCents(record.Value580);
}

// Types 7 and 11 carry a day of a month: either month and day, or a bitmap
// of the month's days whose first digits name the month.
void DecodeMonthDay(const TConsumeRecord& record, TTradeRecord& out) {
  const std::string_view hex = RecordText(record.BitmapHex);
  std::int64_t month = 0;
  std::int64_t day = 0;
  std::int32_t order = 0;
  if (record.BitmapDay < 32) {
    month = record.BitmapMonth;
    day = record.BitmapDay;
  } else {
    order = 1;
    day = 1;
    const int third = hex.size() > 2 ? HexDigitValue(hex[2]) : 0;
    month = third != 0 ? third : (hex.empty() ? 0 : HexDigitValue(hex[0]));
  }
  out.BitmapOrder = order;
  // The record's own time tells the year; a month far behind the record's
  // month lies in the following year.
  if (const auto when = DecodeDate(out.TradeTime)) {
    const std::int64_t year = when->year + (when->month > month + 1 ? 1 : 0);
    out.DerivedDate = TryEncodeDate(year, month, day).value_or(0.0);
  }
  PutText(out.Bits, HexToBits(hex, order));
}

void DecodeBalance(std::int32_t modelCode, std::int32_t deviceNumber, const TConsumeRecord& record,
                   TTradeRecord& out) {
  std::int32_t paymentKind = 0;
  const std::string_view card = RecordText(record.CardNo);
  if (card.empty()) return;

  // Working values: the record itself is never changed.
  std::int64_t consumption = record.ConsumeAmount;
  std::int32_t count = record.CompactCount;
  std::int32_t type = 0;
  std::int64_t amount = 0;
  const std::int64_t balance = record.BalanceCents;

  const auto takePaymentKind = [&] {
    paymentKind = 2;
    if (record.PayMarker == kPaymentMarkerOwnKind1 || record.PayMarker == kPaymentMarkerOwnKind2) {
      paymentKind = 1;
      consumption = 0;
    }
  };
  const auto typeOfSubKind = [&](const SubKindRule& rule) {
    if (rule.type >= 0) type = rule.type;
  };
  const auto amountOfSubKind = [&](const SubKindRule& rule) {
    switch (rule.amount) {
      case AmountRule::Sum: amount = balance + consumption; break;
      case AmountRule::Difference: amount = balance - consumption; break;
      case AmountRule::Consumption: amount = consumption; break;
    }
  };
  const SubKindRule subKind = RuleOfSubKind(record.SubKind);

  if (StandardModels.Contains(modelCode) && EntryModels.Contains(modelCode)) {
    PutText(out.CardPart1, Slice(card, 0, 4));
    PutText(out.CardPart2, Slice(card, 4, 4));
    type = BaseType(record.TradeType);
    count = record.CashCardCount;
    takePaymentKind();
    amount = record.Kind3Amount;
    typeOfSubKind(subKind);
    type = ApplyOverridingKind(type, record.OverrideKind);
  } else if (StandardModels.Contains(modelCode) || CompactModels.Contains(modelCode)) {
    if (IsDetailedRecordKind(record.RecordKind)) {
      PutText(out.CardPart1, Slice(card, 0, 4));
      PutText(out.CardPart2, Slice(card, 4, 4));
    } else {
      PutText(out.CardPart1, "1");
      PutText(out.CardPart2, "1");
    }
    type = BaseType(record.TradeType);
    count = record.CashCardCount;
    takePaymentKind();
    if (record.RecordKind == 3) {
      amount = record.Kind3Amount;
    } else {
      amountOfSubKind(subKind);
    }
    typeOfSubKind(subKind);
    type = ApplyOverridingKind(type, record.OverrideKind);
  }
  // T05 and T06 have no rule of their own (recovery refuses them): they get
  // the common fields with type 0, amount 0 and payment kind 0.

  out.ClockId = deviceNumber;
  out.Consumption = MoneyFromCents(consumption);
  out.TradeAmount = MoneyFromCents(amount);
  out.SubsidyBalance = MoneyFromCents(record.SubsidyBalance);
  out.Value580Amount = MoneyFromCents(record.Value580);
  out.CardCount = count;
  out.SubsidyCardCount = record.SubsidyCardCount;
  out.TypeCode = type;
  std::to_chars(out.Value511Text, out.Value511Text + sizeof out.Value511Text - 1, record.Value511);
  out.Value97 = record.Value97;
  out.CashCardCount = record.CashCardCount;
  const std::string_view text105 = RecordText(record.Text105);
  PutText(out.Text105, text105.empty() ? std::string_view("0") : text105);
  out.TradeTime = RecordDateTime(record);
  PutText(out.Text23, "0");
  PutBytes(out.Bytes523, record.Bytes523);
  out.Value495 = record.PayMarker == kPaymentMarkerSpecial ? 12 : record.Value495;
  out.TradeType = record.TradeType;
  out.SubKind = record.SubKind;
  out.BalanceAmount = MoneyFromCents(balance);
  PutBytes(out.Bytes475, record.Bytes475);
  PutText(out.Text28, "0");
  out.PaymentKind = paymentKind;
  out.Value487 = record.Value487;
  out.Value503 = record.Value503;
  out.Value54 = 0;
  if (paymentKind == 1) {
    out.PaymentFlag = 1;
  } else if (paymentKind == 2) {
    out.PaymentFlag = 0;
  } else {
    out.PaymentFlag = out.Consumption == 0.0 ? 1 : 0;
  }
  out.Value605 = record.Value605;
  out.RecordKind = record.RecordKind;

  if (type == 7 || type == 11) DecodeMonthDay(record, out);
}

}  // namespace

void DecodeTradeRecord(std::int32_t modelCode, std::int32_t deviceNumber, const TConsumeRecord* record,
                       TTradeRecord& decoded) {
  std::memset(&decoded, 0, sizeof decoded);
  if (record == nullptr) return;
  PutText(decoded.CardNo, RecordText(record->CardNo));

  if (TypeCodeModels.Contains(modelCode)) {
    DecodeTypeCode(deviceNumber, *record, decoded);
  } else if (BalanceModels.Contains(modelCode) || EntryModels.Contains(modelCode)) {
    DecodeBalance(modelCode, deviceNumber, *record, decoded);
  } else if (ExtendedModels.Contains(modelCode)) {
    DecodeExtended(deviceNumber, *record, decoded);
  } else if (CompactModels.Contains(modelCode)) {
    DecodeCompact(deviceNumber, *record, decoded);
  }
}

}  // namespace tallydesk::device
