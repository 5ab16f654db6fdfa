#include "tallydesk/device/record_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include "tallydesk/device/model_families.h"
#include "tallydesk/device/record_time.h"
#include "tallydesk/device/record_values.h"

namespace tallydesk::device {
namespace {

constexpr std::int32_t kDevice = 7;

// The fields of the packed records are compared as values (+field): a
// reference to one of them may be misaligned.

// ---------------------------------------------------------------------------
// Field-by-field comparison of decoded records, naming every field that
// differs, so a test states the whole expected record.

enum class Kind { Int, Double, Text, Bytes };

struct FieldInfo {
  const char* name;
  std::size_t offset;
  std::size_t size;
  Kind kind;
};

#define TRADE_FIELD(field, kind) FieldInfo{#field, offsetof(TTradeRecord, field), sizeof(TTradeRecord::field), kind}

const FieldInfo kTradeFields[] = {
    TRADE_FIELD(Value511Text, Kind::Text),     TRADE_FIELD(Value97, Kind::Int),
    TRADE_FIELD(CashCardCount, Kind::Int),     TRADE_FIELD(Text105, Kind::Text),
    TRADE_FIELD(ClockId, Kind::Int),           TRADE_FIELD(Reserved6, Kind::Bytes),
    TRADE_FIELD(CardNo, Kind::Text),           TRADE_FIELD(TradeTime, Kind::Double),
    TRADE_FIELD(Value54, Kind::Int),           TRADE_FIELD(TypeCode, Kind::Int),
    TRADE_FIELD(CardCount, Kind::Int),         TRADE_FIELD(SubsidyCardCount, Kind::Int),
    TRADE_FIELD(Consumption, Kind::Double),    TRADE_FIELD(TradeAmount, Kind::Double),
    TRADE_FIELD(BalanceAmount, Kind::Double),  TRADE_FIELD(SubsidyBalance, Kind::Double),
    TRADE_FIELD(Value580Amount, Kind::Double), TRADE_FIELD(Reserved18, Kind::Int),
    TRADE_FIELD(PaymentFlag, Kind::Int),       TRADE_FIELD(Reserved20, Kind::Bytes),
    TRADE_FIELD(CardPart1, Kind::Text),        TRADE_FIELD(CardPart2, Kind::Text),
    TRADE_FIELD(Text23, Kind::Text),           TRADE_FIELD(Bytes523, Kind::Bytes),
    TRADE_FIELD(Value495, Kind::Int),          TRADE_FIELD(TradeType, Kind::Int),
    TRADE_FIELD(Bytes475, Kind::Bytes),        TRADE_FIELD(Text28, Kind::Text),
    TRADE_FIELD(PaymentKind, Kind::Int),       TRADE_FIELD(Value503, Kind::Int),
    TRADE_FIELD(SubKind, Kind::Int),           TRADE_FIELD(RecordKind, Kind::Int),
    TRADE_FIELD(Reserved33, Kind::Bytes),      TRADE_FIELD(OwnTypeCode, Kind::Int),
    TRADE_FIELD(Value605, Kind::Int),          TRADE_FIELD(Value559, Kind::Int),
    TRADE_FIELD(Value487, Kind::Int),          TRADE_FIELD(BitmapOrder, Kind::Int),
    TRADE_FIELD(DerivedDate, Kind::Double),    TRADE_FIELD(Reserved40, Kind::Bytes),
    TRADE_FIELD(Bits, Kind::Text),             TRADE_FIELD(Value627, Kind::Int),
    TRADE_FIELD(Value631, Kind::Int),          TRADE_FIELD(Byte635, Kind::Bytes),
    TRADE_FIELD(Value636, Kind::Int),          TRADE_FIELD(Value640, Kind::Int),
    TRADE_FIELD(Reserved47, Kind::Bytes),
};

std::string Show(const TTradeRecord& record, const FieldInfo& field) {
  const auto* at = reinterpret_cast<const unsigned char*>(&record) + field.offset;
  std::ostringstream out;
  switch (field.kind) {
    case Kind::Int: {
      std::int32_t v;
      std::memcpy(&v, at, sizeof v);
      out << v;
      break;
    }
    case Kind::Double: {
      double v;
      std::memcpy(&v, at, sizeof v);
      out.precision(17);
      out << v;
      break;
    }
    case Kind::Text:
    case Kind::Bytes:
      for (std::size_t i = 0; i < field.size; ++i) {
        if (field.kind == Kind::Text && at[i] >= ' ' && at[i] < 0x7F) {
          out << at[i];
        } else {
          out << "\\x" << std::hex << static_cast<int>(at[i]) << std::dec;
        }
      }
      break;
  }
  return out.str();
}

void ExpectSameRecord(const TTradeRecord& expected, const TTradeRecord& actual) {
  for (const FieldInfo& field : kTradeFields) {
    const auto* e = reinterpret_cast<const unsigned char*>(&expected) + field.offset;
    const auto* a = reinterpret_cast<const unsigned char*>(&actual) + field.offset;
    if (std::memcmp(e, a, field.size) != 0) {
      ADD_FAILURE() << "field " << (&field - kTradeFields + 1) << " " << field.name << ": expected "
                    << Show(expected, field) << ", decoded " << Show(actual, field);
    }
  }
}

TEST(TradeRecordFields, CoverTheWholeRecordInOrder) {
  std::size_t next = 0;
  for (const FieldInfo& field : kTradeFields) {
    EXPECT_EQ(field.offset, next) << field.name;
    next = field.offset + field.size;
  }
  EXPECT_EQ(next, sizeof(TTradeRecord));
  EXPECT_EQ(std::size(kTradeFields), 47u);
}

// ---------------------------------------------------------------------------
// Device records.

template <std::size_t N>
void SetText(char (&field)[N], std::string_view text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(text.size(), N));
}

template <std::size_t N>
void SetText(TTradeRecord&, char (&field)[N], std::string_view text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

const std::string_view kCard = "6225880112345678";  // fills the field: no terminator
const std::string_view kTime = "2023-01-15 08:30:45";  // fills the field as well

// A record in which every value differs and every byte that is no field of
// the decoder holds junk, so a value copied from the wrong place shows.
TConsumeRecord RichRecord() {
  TConsumeRecord r;
  std::memset(&r, 0xA5, sizeof r);
  SetText(r.CardNo, kCard);
  r.Value54 = 5454;
  SetText(r.TradeTime, kTime);
  r.ConsumeAmount = 250;
  r.CashBalance = 8181;
  r.Kind3Amount = 8585;
  r.CompactCount = 8989;
  r.TypeCode = 16;
  r.Value97 = 9797;
  r.CashCardCount = 101;
  SetText(r.Text105, "TXT105");
  r.BitmapMonth = 3;
  r.BitmapDay = 14;
  SetText(r.BitmapHex, "0123456789ABCDEF");
  r.BalanceCents = 10000;
  r.OverrideKind = 0;
  r.TradeType = 2;
  for (std::uint8_t i = 0; i < 12; ++i) r.Bytes475[i] = static_cast<std::uint8_t>(0x40 + i);
  r.Value487 = 487;
  r.Value495 = 495;
  r.Value503 = 503;
  r.SubKind = 5;
  r.Value511 = -511;
  r.SubsidyCardCount = 515;
  r.PayMarker = 0;
  for (std::uint8_t i = 0; i < 8; ++i) r.Bytes523[i] = static_cast<std::uint8_t>(0x60 + i);
  r.RecordKind = 1;
  SetText(r.SerialNo, "SN-0001");
  r.Value559 = 559;
  r.SubsidyBalance = 576;
  r.Value580 = 580;
  r.Value605 = 605;
  r.Value627 = 627;
  r.Value631 = 631;
  r.Byte635 = 0x35;
  r.Value636 = 636;
  r.Value640 = 640;
  return r;
}

TTradeRecord Decode(std::int32_t model, const TConsumeRecord& record) {
  TTradeRecord decoded;
  std::memset(&decoded, 0x5A, sizeof decoded);  // whatever was left from the last record
  DecodeTradeRecord(model, kDevice, &record, decoded);
  return decoded;
}

TTradeRecord ZeroRecord() {
  TTradeRecord t;
  std::memset(&t, 0, sizeof t);
  return t;
}

TTradeRecord OnlyCardNumber() {
  TTradeRecord t = ZeroRecord();
  SetText(t, t.CardNo, kCard);
  return t;
}

double At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) { return *TryEncodeDateTime(y, mo, d, h, mi, s); }

// ---------------------------------------------------------------------------
// One model of each path, every field.

TEST(DecodeTradeRecord, TypeCodeModelsTakeTheRecordsOwnRemappedTypeCode) {
  TConsumeRecord r = RichRecord();
  r.TypeCode = 4;
  TTradeRecord expected = OnlyCardNumber();
  expected.ClockId = kDevice;
  expected.TradeTime = At(2023, 1, 15, 8, 30, 45);
  expected.TypeCode = 14;
  expected.Value54 = 5454;
  expected.OwnTypeCode = 1;
  expected.Value559 = 559;
  expected.Value97 = 9797;
  ExpectSameRecord(expected, Decode(TARNWICK_MODEL_T16, r));
}

TEST(DecodeTradeRecord, TypeCodeModelsRemapTypeCodes) {
  const std::pair<std::int32_t, std::int32_t> cases[] = {{1, 11}, {2, 11}, {3, 11}, {4, 14}, {15, 0},
                                                         {0, 0},  {5, 5},   {11, 11}, {-3, -3}};
  for (const auto& [own, decoded] : cases) {
    TConsumeRecord r = RichRecord();
    r.TypeCode = own;
    for (std::int32_t model : TypeCodeModels.Members()) {
      EXPECT_EQ(+Decode(model, r).TypeCode, decoded) << "model " << model << ", type code " << own;
    }
  }
}

TEST(DecodeTradeRecord, ExtendedModelsTakeTheTypeCodeUnchangedAndThreeValues) {
  TConsumeRecord r = RichRecord();
  r.TypeCode = 4;
  TTradeRecord expected = OnlyCardNumber();
  expected.ClockId = kDevice;
  expected.TradeTime = At(2023, 1, 15, 8, 30, 45);
  expected.TypeCode = 4;
  expected.Value54 = 5454;
  expected.Value559 = 559;
  expected.Value627 = 627;
  expected.Value631 = 631;
  expected.Byte635 = 0x35;
  ExpectSameRecord(expected, Decode(TARNWICK_MODEL_T21, r));
  ExpectSameRecord(expected, Decode(TARNWICK_MODEL_T22, r));
}

TTradeRecord CompactExpected() {
  TTradeRecord expected = OnlyCardNumber();
  expected.ClockId = kDevice;
  expected.Consumption = 2.5;
  expected.TradeAmount = 97.5;
  expected.CardCount = 101;
  expected.TypeCode = 1;
  expected.Value97 = 9797;
  expected.CashCardCount = 101;
  expected.TradeTime = At(2023, 1, 15, 8, 30, 45);
  expected.TradeType = 2;
  expected.BalanceAmount = 100.0;
  expected.PaymentKind = 0;
  expected.Value503 = 503;
  expected.Value636 = 636;
  expected.Value640 = 640;
  expected.SubsidyCardCount = 515;
  expected.SubsidyBalance = 5.76;
  expected.Value580Amount = 5.8;
  return expected;
}

TEST(DecodeTradeRecord, CompactModelsDetailedKind) {
  ExpectSameRecord(CompactExpected(), Decode(TARNWICK_MODEL_T04, RichRecord()));
}

TEST(DecodeTradeRecord, CompactModelsOtherKindCountFromItsOwnField) {
  TConsumeRecord r = RichRecord();
  r.RecordKind = 9;
  TTradeRecord expected = CompactExpected();
  expected.CardCount = 8989;
  ExpectSameRecord(expected, Decode(TARNWICK_MODEL_T04, r));
}

struct CompactTypeCase {
  std::int32_t recordKind, tradeType, overridingKind, type, count;
};

class CompactTypeTest : public testing::TestWithParam<CompactTypeCase> {};

TEST_P(CompactTypeTest, TypeFromTradeTypeAndOverridingKind) {
  const auto& c = GetParam();
  TConsumeRecord r = RichRecord();
  r.RecordKind = c.recordKind;
  r.TradeType = c.tradeType;
  r.OverrideKind = c.overridingKind;
  const TTradeRecord t = Decode(TARNWICK_MODEL_T04, r);
  EXPECT_EQ(+t.TypeCode, c.type);
  EXPECT_EQ(+t.CardCount, c.count);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CompactTypeTest,
                         testing::Values(CompactTypeCase{1, 2, 0, 1, 101}, CompactTypeCase{2, 4, 0, 3, 101},
                                         CompactTypeCase{3, 9, 0, 0, 101}, CompactTypeCase{64, 2, 19, 7, 101},
                                         CompactTypeCase{64, 2, 101, 101, 101},
                                         // Other kinds: the same type rule, the count of their own field.
                                         CompactTypeCase{0, 2, 0, 1, 8989}, CompactTypeCase{4, 4, 0, 3, 8989},
                                         CompactTypeCase{9, 2, 19, 7, 8989},
                                         CompactTypeCase{-1, 2, 101, 101, 8989}));

// The edge case operators meet on balance terminals: a payment of kind 1
// (marker 17) has no consumption, and its amount is the balance value.
TEST(DecodeTradeRecord, BalanceModelsRuleAEveryField) {
  TConsumeRecord r = RichRecord();
  r.PayMarker = 17;
  TTradeRecord expected = OnlyCardNumber();
  SetText(expected, expected.Value511Text, "-511");
  expected.Value97 = 9797;
  expected.CashCardCount = 101;
  SetText(expected, expected.Text105, "TXT105");
  expected.ClockId = kDevice;
  expected.TradeTime = At(2023, 1, 15, 8, 30, 45);
  expected.Value54 = 0;
  expected.TypeCode = 4;
  expected.CardCount = 101;
  expected.SubsidyCardCount = 515;
  expected.Consumption = 0.0;
  expected.TradeAmount = 100.0;
  expected.BalanceAmount = 100.0;
  expected.SubsidyBalance = 5.76;
  expected.Value580Amount = 5.8;
  expected.PaymentFlag = 1;
  SetText(expected, expected.CardPart1, "6225");
  SetText(expected, expected.CardPart2, "8801");
  SetText(expected, expected.Text23, "0");
  std::memcpy(expected.Bytes523, r.Bytes523, 8);
  expected.Value495 = 495;
  expected.TradeType = 2;
  std::memcpy(expected.Bytes475, r.Bytes475, 12);
  SetText(expected, expected.Text28, "0");
  expected.PaymentKind = 1;
  expected.Value503 = 503;
  expected.SubKind = 5;
  expected.RecordKind = 1;
  expected.Value605 = 605;
  expected.Value487 = 487;
  ExpectSameRecord(expected, Decode(TARNWICK_MODEL_T07, r));
}

TEST(DecodeTradeRecord, BalanceModelsSpecialMarkerAndTexts) {
  TConsumeRecord r = RichRecord();
  r.PayMarker = 33;
  r.Value511 = INT32_MIN;
  SetText(r.Text105, "ABCDEFGHIJ");  // fills its field
  TTradeRecord t = Decode(TARNWICK_MODEL_T10, r);
  EXPECT_EQ(+t.Value495, 12);
  EXPECT_EQ(+t.PaymentKind, 2);
  EXPECT_EQ(+t.PaymentFlag, 0);
  EXPECT_EQ(+t.Consumption, 2.5);
  EXPECT_STREQ(t.Value511Text, "-2147483648");
  EXPECT_STREQ(t.Text105, "ABCDEFGHIJ");

  SetText(r.Text105, "");
  t = Decode(TARNWICK_MODEL_T10, r);
  EXPECT_STREQ(t.Text105, "0");
}

struct BalanceCase {
  const char* name;
  std::int32_t model, recordKind, subKind, payMarker, tradeType, overridingKind;
  std::int32_t type, amountCents, consumptionCents, paymentKind, paymentFlag, count;
  const char* part1;
  const char* part2;
};

void PrintTo(const BalanceCase& c, std::ostream* os) { *os << c.name; }

class BalanceRuleTest : public testing::TestWithParam<BalanceCase> {};

TEST_P(BalanceRuleTest, TypeAmountAndPayment) {
  const auto& c = GetParam();
  TConsumeRecord r = RichRecord();  // balance 10000, consumption 250, kind-3 amount 8585
  r.RecordKind = c.recordKind;
  r.SubKind = c.subKind;
  r.PayMarker = c.payMarker;
  r.TradeType = c.tradeType;
  r.OverrideKind = c.overridingKind;
  const TTradeRecord t = Decode(c.model, r);
  EXPECT_EQ(+t.TypeCode, c.type);
  EXPECT_EQ(+t.TradeAmount, MoneyFromCents(c.amountCents));
  EXPECT_EQ(+t.Consumption, MoneyFromCents(c.consumptionCents));
  EXPECT_EQ(+t.PaymentKind, c.paymentKind);
  EXPECT_EQ(+t.PaymentFlag, c.paymentFlag);
  EXPECT_EQ(+t.CardCount, c.count);
  EXPECT_STREQ(t.CardPart1, c.part1);
  EXPECT_STREQ(t.CardPart2, c.part2);
  EXPECT_EQ(+t.RecordKind, c.recordKind);
  EXPECT_EQ(+t.SubKind, c.subKind);
  EXPECT_EQ(+t.BalanceAmount, 100.0);
}

constexpr std::int32_t S = 10250, D = 9750;
constexpr auto T03 = TARNWICK_MODEL_T03, T07 = TARNWICK_MODEL_T07, T11 = TARNWICK_MODEL_T11;

INSTANTIATE_TEST_SUITE_P(
    SubKinds, BalanceRuleTest,
    testing::Values(
        BalanceCase{"sub1", T07, 1, 1, 0, 2, 0, 6, S, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"sub2", T07, 2, 2, 0, 2, 0, 8, 250, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"sub3", T07, 64, 3, 0, 2, 0, 2, S, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"sub4", T07, 1, 4, 0, 2, 0, 3, S, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"sub5", T07, 1, 5, 0, 2, 0, 4, D, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"sub7", T07, 1, 7, 0, 2, 0, 11, D, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"sub8", T07, 1, 8, 0, 2, 0, 10, D, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"sub51", T07, 1, 51, 0, 2, 0, 51, S, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"sub52", T07, 1, 52, 0, 2, 0, 52, S, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"sub128", T07, 1, 128, 0, 2, 0, 128, S, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"otherSubKeepsBaseType1", T07, 1, 99, 0, 2, 0, 1, D, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"otherSubKeepsBaseType3", T07, 1, 0, 0, 4, 0, 3, D, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"otherSubKeepsBaseType0", T07, 1, 6, 0, 9, 0, 0, D, 250, 2, 0, 101, "6225", "8801"}));

INSTANTIATE_TEST_SUITE_P(
    RecordKinds, BalanceRuleTest,
    testing::Values(
        // Kind 3: the amount of its own field, only the type from the sub-kind.
        BalanceCase{"kind3sub1", T07, 3, 1, 0, 2, 0, 6, 8585, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"kind3sub2", T11, 3, 2, 0, 2, 0, 8, 8585, 250, 2, 0, 101, "6225", "8801"},
        // Rule B for every other kind.
        BalanceCase{"kind9", T07, 9, 1, 0, 2, 0, 6, S, 250, 2, 0, 101, "1", "1"},
        BalanceCase{"kind0", T03, 0, 5, 0, 2, 0, 4, D, 250, 2, 0, 101, "1", "1"},
        BalanceCase{"kindNegative", T11, -64, 99, 0, 4, 0, 3, D, 250, 2, 0, 101, "1", "1"}));

INSTANTIATE_TEST_SUITE_P(
    PaymentAndOverride, BalanceRuleTest,
    testing::Values(
        BalanceCase{"marker17sub5", T07, 1, 5, 17, 2, 0, 4, 10000, 0, 1, 1, 101, "6225", "8801"},
        BalanceCase{"marker18sub1", T07, 1, 1, 18, 2, 0, 6, 10000, 0, 1, 1, 101, "6225", "8801"},
        BalanceCase{"marker17sub2", T07, 9, 2, 17, 2, 0, 8, 0, 0, 1, 1, 101, "1", "1"},
        BalanceCase{"marker17kind3", T07, 3, 5, 17, 2, 0, 4, 8585, 0, 1, 1, 101, "6225", "8801"},
        BalanceCase{"marker33", T07, 1, 1, 33, 2, 0, 6, S, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"override19", T07, 1, 1, 0, 2, 19, 7, S, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"override101", T07, 9, 5, 0, 2, 101, 101, D, 250, 2, 0, 101, "1", "1"}));

// T01 and T02 records go through the entry rules: the kind-3 amount field
// for every record kind, the card parts from the card number.
INSTANTIATE_TEST_SUITE_P(
    EntryModels, BalanceRuleTest,
    testing::Values(
        BalanceCase{"T01kind1", TARNWICK_MODEL_T01, 1, 5, 0, 2, 0, 4, 8585, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"T01kind9", TARNWICK_MODEL_T01, 9, 1, 0, 4, 0, 6, 8585, 250, 2, 0, 101, "6225", "8801"},
        BalanceCase{"T02marker17", TARNWICK_MODEL_T02, 1, 1, 17, 2, 0, 6, 8585, 0, 1, 1, 101, "6225", "8801"},
        BalanceCase{"T02otherSub", TARNWICK_MODEL_T02, 2, 99, 0, 4, 19, 7, 8585, 250, 2, 0, 101, "6225", "8801"}));

// T05 and T06 have no rule of their own: common fields only.
INSTANTIATE_TEST_SUITE_P(
    NoRule, BalanceRuleTest,
    testing::Values(BalanceCase{"T05", TARNWICK_MODEL_T05, 1, 1, 17, 2, 19, 0, 0, 250, 0, 0, 8989, "", ""},
                    BalanceCase{"T06", TARNWICK_MODEL_T06, 9, 5, 0, 4, 0, 0, 0, 250, 0, 0, 8989, "", ""}));

TEST(DecodeTradeRecord, BalanceModelsWithoutConsumptionPaymentFlag) {
  TConsumeRecord r = RichRecord();
  r.ConsumeAmount = 0;
  EXPECT_EQ(+Decode(TARNWICK_MODEL_T05, r).PaymentFlag, 1);
}

// Sums and differences of two 32-bit amounts are not cut to 32 bits.
TEST(DecodeTradeRecord, AmountsBeyond32Bits) {
  TConsumeRecord r = RichRecord();
  r.BalanceCents = INT32_MAX;
  r.ConsumeAmount = INT32_MAX;
  r.SubKind = 1;  // sum
  EXPECT_EQ(+Decode(TARNWICK_MODEL_T07, r).TradeAmount, 42949672.94);
  r.BalanceCents = INT32_MIN;
  r.SubKind = 5;  // difference
  EXPECT_EQ(+Decode(TARNWICK_MODEL_T07, r).TradeAmount, -42949672.95);
  EXPECT_EQ(+Decode(TARNWICK_MODEL_T04, r).TradeAmount, -42949672.95);
}

// ---------------------------------------------------------------------------
// Types 7 and 11: a day of a month or a bitmap of days.

struct MonthDayCase {
  const char* name;
  std::string time, hex;
  std::int32_t month, day;
  std::int32_t order;
  double derived;
};

void PrintTo(const MonthDayCase& c, std::ostream* os) { *os << c.name; }

class MonthDayTest : public testing::TestWithParam<MonthDayCase> {};

TEST_P(MonthDayTest, DerivedDateAndBits) {
  const auto& c = GetParam();
  TConsumeRecord r = RichRecord();
  SetText(r.TradeTime, c.time);
  SetText(r.BitmapHex, c.hex);
  r.BitmapMonth = c.month;
  r.BitmapDay = c.day;
  for (const auto& [subKind, overridingKind] : {std::pair{7, 0}, std::pair{1, 19}}) {  // type 11, type 7
    r.SubKind = subKind;
    r.OverrideKind = overridingKind;
    const TTradeRecord t = Decode(TARNWICK_MODEL_T07, r);
    EXPECT_EQ(+t.BitmapOrder, c.order);
    EXPECT_EQ(+t.DerivedDate, c.derived);
    EXPECT_EQ(std::string(t.Bits), HexToBits(RecordText(r.BitmapHex), c.order));
  }
}

const std::string kHex = "0123456789ABCDEF";

INSTANTIATE_TEST_SUITE_P(
    DayOfMonth, MonthDayTest,
    testing::Values(MonthDayCase{"sameYear", "2023-01-15 08:30:45", kHex, 3, 14, 0, At(2023, 3, 14)},
                    MonthDayCase{"nextYear", "2023-12-05 08:00", kHex, 1, 10, 0, At(2024, 1, 10)},
                    MonthDayCase{"monthBefore", "2023-12-05 08:00", kHex, 11, 10, 0, At(2023, 11, 10)},
                    MonthDayCase{"twoMonthsBefore", "2023-12-05 08:00", kHex, 10, 10, 0, At(2024, 10, 10)},
                    MonthDayCase{"day31", "2023-01-15", kHex, 1, 31, 0, At(2023, 1, 31)},
                    MonthDayCase{"leapDay", "2024-01-15", kHex, 2, 29, 0, At(2024, 2, 29)},
                    // Record time that does not convert: 1899-12-30.
                    MonthDayCase{"noRecordTime", "garbage", kHex, 3, 14, 0, At(1900, 3, 14)}));

INSTANTIATE_TEST_SUITE_P(
    InvalidDays, MonthDayTest,
    testing::Values(MonthDayCase{"day30InFebruary", "2023-01-15", kHex, 2, 30, 0, 0.0},
                    MonthDayCase{"day29InFebruary", "2023-01-15", kHex, 2, 29, 0, 0.0},
                    MonthDayCase{"day0", "2023-01-15", kHex, 3, 0, 0, 0.0},
                    MonthDayCase{"negativeDay", "2023-01-15", kHex, 3, -5, 0, 0.0},
                    MonthDayCase{"dayMin", "2023-01-15", kHex, 3, INT32_MIN, 0, 0.0},
                    MonthDayCase{"month0", "2023-01-15", kHex, 0, 10, 0, 0.0},
                    MonthDayCase{"month13", "2023-01-15", kHex, 13, 10, 0, 0.0},
                    MonthDayCase{"monthMax", "2023-01-15", kHex, INT32_MAX, 10, 0, 0.0},
                    MonthDayCase{"monthMin", "2023-01-15", kHex, INT32_MIN, 10, 0, 0.0},
                    MonthDayCase{"yearBeyond9999", "9999-12-05", kHex, 1, 10, 0, 0.0}));

INSTANTIATE_TEST_SUITE_P(
    Bitmap, MonthDayTest,
    testing::Values(MonthDayCase{"thirdDigit", "2023-01-15", "0A3F000000000000", 7, 32, 1, At(2023, 3, 1)},
                    MonthDayCase{"thirdDigitLower", "2023-01-15", "00c1", 0, 1000, 1, At(2023, 12, 1)},
                    MonthDayCase{"firstDigitWhenThirdIs0", "2023-01-15", "C00F", 0, 32, 1, At(2023, 12, 1)},
                    MonthDayCase{"firstDigitWhenThirdIsNoDigit", "2023-06-15", "5-Z", 0, 32, 1, At(2023, 5, 1)},
                    MonthDayCase{"shortText", "2023-06-15", "5", 0, 32, 1, At(2023, 5, 1)},
                    MonthDayCase{"emptyText", "2023-06-15", "", 0, 32, 1, 0.0},
                    MonthDayCase{"noDigits", "2023-06-15", "Z0Z", 0, 32, 1, 0.0},
                    MonthDayCase{"month13", "2023-06-15", "00D", 0, 32, 1, 0.0},
                    MonthDayCase{"nextYear", "2023-12-15", "001", 0, INT32_MAX, 1, At(2024, 1, 1)},
                    // The text fills all of its field without a terminator.
                    MonthDayCase{"filledField", "2023-06-15", std::string(101, '9'), 0, 32, 1, At(2023, 9, 1)}));

TEST(DecodeTradeRecord, OtherTypesHaveNoMonthDay) {
  TConsumeRecord r = RichRecord();
  r.SubKind = 8;  // type 10
  const TTradeRecord t = Decode(TARNWICK_MODEL_T07, r);
  EXPECT_EQ(+t.BitmapOrder, 0);
  EXPECT_EQ(+t.DerivedDate, 0.0);
  EXPECT_STREQ(t.Bits, "");
}

// ---------------------------------------------------------------------------
// Records that stop early.

TEST(DecodeTradeRecord, UnknownModelsGetOnlyTheCardNumber) {
  for (std::int32_t model : {0, -1, 23, 31, 32, 64, 1000, INT32_MAX, INT32_MIN}) {
    ExpectSameRecord(OnlyCardNumber(), Decode(model, RichRecord()));
  }
}

TEST(DecodeTradeRecord, RecordsWithoutCardNumberStayEmptyOnBalanceAndCompactPaths) {
  TConsumeRecord r = RichRecord();
  SetText(r.CardNo, "");
  for (std::int32_t model : {TARNWICK_MODEL_T01, TARNWICK_MODEL_T03, TARNWICK_MODEL_T04, TARNWICK_MODEL_T05,
                             TARNWICK_MODEL_T07, TARNWICK_MODEL_T11}) {
    ExpectSameRecord(ZeroRecord(), Decode(model, r));
  }
  // The record's own type code does not need a card.
  EXPECT_EQ(+Decode(TARNWICK_MODEL_T12, r).TypeCode, 16);
  EXPECT_EQ(+Decode(TARNWICK_MODEL_T21, r).TypeCode, 16);
}

TEST(DecodeTradeRecord, TimeThatDoesNotConvertGivesZero) {
  TConsumeRecord r = RichRecord();
  for (const char* time : {"", "not a time", "2023-02-30 25:00:00", "2023-01-15 08:30:4x"}) {
    SetText(r.TradeTime, time);
    for (std::int32_t model : {TARNWICK_MODEL_T16, TARNWICK_MODEL_T21, TARNWICK_MODEL_T04, TARNWICK_MODEL_T07}) {
      EXPECT_EQ(+Decode(model, r).TradeTime, 0.0) << model << " " << time;
    }
  }
}

TEST(DecodeTradeRecord, NullRecordLeavesTheDecodedRecordZero) {
  TTradeRecord t;
  std::memset(&t, 0x5A, sizeof t);
  DecodeTradeRecord(TARNWICK_MODEL_T07, kDevice, nullptr, t);
  ExpectSameRecord(ZeroRecord(), t);
}

}  // namespace
}  // namespace tallydesk::device
