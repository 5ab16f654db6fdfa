#include "tallydesk/device/record_values.h"

#include <gtest/gtest.h>

#include <charconv>
#include <climits>
#include <string>

namespace tallydesk::device {
namespace {

struct MoneyCase {
  std::int64_t cents;
  double expected;
};

class MoneyFromCentsTest : public testing::TestWithParam<MoneyCase> {};

// Exact equality: the amount is the double nearest to the decimal value.
TEST_P(MoneyFromCentsTest, GivesTheAmountInCurrencyUnits) {
  EXPECT_EQ(MoneyFromCents(GetParam().cents), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Amounts, MoneyFromCentsTest,
                         testing::Values(MoneyCase{150, 1.5}, MoneyCase{-150, -1.5}, MoneyCase{0, 0.0},
                                         MoneyCase{1, 0.01}, MoneyCase{-1, -0.01}, MoneyCase{5, 0.05},
                                         MoneyCase{-5, -0.05}, MoneyCase{99, 0.99}, MoneyCase{10, 0.1},
                                         MoneyCase{123456, 1234.56}, MoneyCase{INT32_MAX, 21474836.47},
                                         MoneyCase{INT32_MIN, -21474836.48},
                                         MoneyCase{std::int64_t{INT32_MAX} - INT32_MIN, 42949672.95}));

// The amount is defined as: cents plus a millionth, divided by 100, written
// with two decimals and read back. Whole cents never sit on a half cent, so
// that must agree everywhere with the plain division.
TEST(MoneyFromCents, AgreesWithTheTwoDecimalRoundTrip) {
  const auto roundTrip = [](std::int64_t cents) {
    char text[64];
    const auto written =
        std::to_chars(text, text + sizeof text, (static_cast<double>(cents) + 0.000001) / 100, std::chars_format::fixed, 2);
    double value = 0;
    std::from_chars(text, written.ptr, value);
    return value;
  };
  for (std::int64_t cents = -200000; cents <= 200000; ++cents) {
    ASSERT_EQ(MoneyFromCents(cents), roundTrip(cents)) << cents;
  }
  for (std::int64_t cents : {std::int64_t{INT32_MAX}, std::int64_t{INT32_MIN}, std::int64_t{INT32_MAX} * 2,
                             std::int64_t{INT32_MIN} * 2, std::int64_t{999999999}, std::int64_t{-999999999}}) {
    EXPECT_EQ(MoneyFromCents(cents), roundTrip(cents)) << cents;
  }
}

struct BitsCase {
  std::string text;
  int orderFlag;
  std::string expected;  // shorter than 64: the rest are zeros
};

void PrintTo(const BitsCase& c, std::ostream* os) { *os << '"' << c.text << "\", flag " << c.orderFlag; }

class HexToBitsTest : public testing::TestWithParam<BitsCase> {};

TEST_P(HexToBitsTest, GivesSixtyFourBits) {
  const auto& c = GetParam();
  std::string expected = c.expected;
  expected.resize(64, '0');
  EXPECT_EQ(HexToBits(c.text, c.orderFlag), expected);
}

INSTANTIATE_TEST_SUITE_P(
    ByteOrder, HexToBitsTest,
    testing::Values(
        BitsCase{"80", 0, "00000001"}, BitsCase{"01", 0, "10000000"}, BitsCase{"0C", 0, "00110000"},
        BitsCase{"0123456789ABCDEF", 0,
                 "10000000" "11000100" "10100010" "11100110" "10010001" "11010101" "10110011" "11110111"},
        BitsCase{"0123456789abcdef", 0,
                 "10000000" "11000100" "10100010" "11100110" "10010001" "11010101" "10110011" "11110111"},
        BitsCase{"8", 0, "00000001"},  // filled up: "80"
        BitsCase{"", 0, ""}));

INSTANTIATE_TEST_SUITE_P(
    DigitOrder, HexToBitsTest,
    testing::Values(
        BitsCase{"0C", 1, "00000011"}, BitsCase{"80", 1, "10000000"}, BitsCase{"08", 1, "00000001"},
        BitsCase{"0123456789ABCDEF", 1,
                 "0000" "1000" "0010" "1100" "0100" "1010" "0110" "1110" "1000" "1001" "1010" "1101" "1100"
                 "1011" "1110" "1111"},
        BitsCase{"", 1, ""}));

INSTANTIATE_TEST_SUITE_P(
    TextsOfAnyShape, HexToBitsTest,
    testing::Values(
        // Only the first sixteen digits count.
        BitsCase{"FFFFFFFFFFFFFFFF0123", 1, std::string(64, '1')},
        BitsCase{"FFFFFFFFFFFFFFFFFF", 0, std::string(64, '1')},
        // Characters that are no hexadecimal digit count as "0".
        BitsCase{"G1", 1, "00001000"}, BitsCase{"1G", 0, "00001000"}, BitsCase{"-x 9", 1, "0000000000001001"},
        BitsCase{std::string("\0F", 2), 1, "00001111"}, BitsCase{"\xC4\xE3", 0, ""}));

TEST(RecordText, EndsAtTheFirstZeroOrTheEndOfTheField) {
  const char filled[4] = {'A', 'B', 'C', 'D'};
  const char shorter[4] = {'A', 'B', 0, 'D'};
  const char empty[4] = {0, 'B', 'C', 'D'};
  EXPECT_EQ(RecordText(filled), "ABCD");
  EXPECT_EQ(RecordText(shorter), "AB");
  EXPECT_EQ(RecordText(empty), "");
}

}  // namespace
}  // namespace tallydesk::device
