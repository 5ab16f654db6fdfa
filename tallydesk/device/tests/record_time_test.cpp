#include "tallydesk/device/record_time.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

namespace tallydesk::device {
namespace {

// Day counts that other programs agree on (spreadsheets count the same way
// from 1900-03-01 on).
TEST(RecordTime, EncodesDaysFrom18991230) {
  EXPECT_EQ(TryEncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(TryEncodeDate(1900, 3, 1), 61.0);
  EXPECT_EQ(TryEncodeDate(2000, 1, 1), 36526.0);
  EXPECT_EQ(TryEncodeDate(2023, 1, 15), 44941.0);
  EXPECT_EQ(TryEncodeDate(1, 1, 1), -693593.0);
  EXPECT_EQ(TryEncodeDate(9999, 12, 31), 2958465.0);
  EXPECT_EQ(TryEncodeDateTime(2023, 1, 15, 12, 0, 0), 44941.5);
  EXPECT_DOUBLE_EQ(*TryEncodeDateTime(2023, 1, 15, 8, 30, 0), 44941.0 + 8.5 / 24);
  // Before 1899-12-30 the time of day is subtracted from the day.
  EXPECT_EQ(TryEncodeDateTime(1899, 12, 29, 6, 0, 0), -1.25);
}

TEST(RecordTime, RefusesInvalidDates) {
  EXPECT_FALSE(TryEncodeDate(0, 1, 1));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1));
  EXPECT_FALSE(TryEncodeDate(2023, 0, 1));
  EXPECT_FALSE(TryEncodeDate(2023, 13, 1));
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29));
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29));
  EXPECT_FALSE(TryEncodeDate(2023, 4, 0));
  EXPECT_FALSE(TryEncodeDate(2023, 4, -1));
  EXPECT_FALSE(TryEncodeDate(2023, 4, 31));
  EXPECT_FALSE(TryEncodeDateTime(2023, 1, 1, 24, 0, 0));
  EXPECT_FALSE(TryEncodeDateTime(2023, 1, 1, 0, 60, 0));
  EXPECT_FALSE(TryEncodeDateTime(2023, 1, 1, 0, 0, 60));
  EXPECT_FALSE(TryEncodeDateTime(2023, 1, 1, -1, 0, 0));
}

TEST(RecordTime, DecodesTheDayOfAValue) {
  for (const CivilDate date : {CivilDate{1, 1, 1}, CivilDate{1899, 12, 29}, CivilDate{1899, 12, 30},
                               CivilDate{1900, 2, 28}, CivilDate{2024, 2, 29}, CivilDate{9999, 12, 31}}) {
    const double value = *TryEncodeDateTime(date.year, date.month, date.day, 18, 0, 0);
    EXPECT_EQ(DecodeDate(value), date) << value;
  }
  EXPECT_FALSE(DecodeDate(-693594.0));
  EXPECT_FALSE(DecodeDate(2958466.0));
  EXPECT_FALSE(DecodeDate(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(DecodeDate(std::numeric_limits<double>::infinity()));
}

struct Moment {
  int year, month, day, hour, minute, second;
};

struct ParseCase {
  std::string text;
  std::optional<Moment> expected;  // empty: the parse fails
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ParseRecordTimeTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseRecordTimeTest, GivesTheMomentOrFails) {
  const auto& c = GetParam();
  const auto parsed = ParseRecordTime(c.text);
  if (!c.expected) {
    EXPECT_FALSE(parsed.has_value()) << *parsed;
    return;
  }
  const Moment& m = *c.expected;
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, TryEncodeDateTime(m.year, m.month, m.day, m.hour, m.minute, m.second));
}

constexpr std::nullopt_t kFails = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    DateForm, ParseRecordTimeTest,
    testing::Values(
        ParseCase{"2023-01-15 08:30:45", Moment{2023, 1, 15, 8, 30, 45}},
        ParseCase{"23-01-15 08:30", Moment{2023, 1, 15, 8, 30, 0}},
        ParseCase{"2023-1-5 8:3:4", Moment{2023, 1, 5, 8, 3, 4}},
        ParseCase{"2023-01-15", Moment{2023, 1, 15, 0, 0, 0}},
        ParseCase{"2023-01-15 ", Moment{2023, 1, 15, 0, 0, 0}},
        ParseCase{"2023-01-15 08:30:00 ", Moment{2023, 1, 15, 8, 30, 0}},
        ParseCase{"2023-01-15 08: 30", Moment{2023, 1, 15, 8, 30, 0}},
        ParseCase{"7-01-02", Moment{7, 1, 2, 0, 0, 0}},
        ParseCase{"023-01-02", Moment{23, 1, 2, 0, 0, 0}},
        ParseCase{"9999-12-31 23:59:59", Moment{9999, 12, 31, 23, 59, 59}},
        ParseCase{"0001-01-01 00:00:00", Moment{1, 1, 1, 0, 0, 0}}));

INSTANTIATE_TEST_SUITE_P(
    ClampedDay, ParseRecordTimeTest,
    testing::Values(ParseCase{"2023-02-30 10:00:00", Moment{2023, 2, 28, 10, 0, 0}},
                    ParseCase{"2024-02-30 10:00:00", Moment{2024, 2, 29, 10, 0, 0}},
                    ParseCase{"2000-02-31", Moment{2000, 2, 29, 0, 0, 0}},
                    ParseCase{"1900-02-29", Moment{1900, 2, 28, 0, 0, 0}},
                    ParseCase{"2023-04-31", Moment{2023, 4, 30, 0, 0, 0}},
                    ParseCase{"2023-12-99", Moment{2023, 12, 31, 0, 0, 0}},
                    ParseCase{"20230230101500", Moment{2023, 2, 28, 10, 15, 0}},
                    ParseCase{"240230101500", Moment{2024, 2, 29, 10, 15, 0}}));

INSTANTIATE_TEST_SUITE_P(
    TimeOfDay, ParseRecordTimeTest,
    testing::Values(ParseCase{"12:30", Moment{1899, 12, 30, 12, 30, 0}},
                    ParseCase{"12:30:15", Moment{1899, 12, 30, 12, 30, 15}},
                    ParseCase{"0:0", Moment{1899, 12, 30, 0, 0, 0}},
                    ParseCase{"23:59:59 ", Moment{1899, 12, 30, 23, 59, 59}}));

INSTANTIATE_TEST_SUITE_P(
    CompactDigits, ParseRecordTimeTest,
    testing::Values(ParseCase{"20230115083000", Moment{2023, 1, 15, 8, 30, 0}},
                    ParseCase{"230115083000", Moment{2023, 1, 15, 8, 30, 0}},
                    ParseCase{"00230115083000", Moment{2023, 1, 15, 8, 30, 0}},
                    ParseCase{"19991231235959", Moment{1999, 12, 31, 23, 59, 59}},
                    ParseCase{"000115083000", Moment{2000, 1, 15, 8, 30, 0}},
                    // Only the first fourteen characters are read.
                    ParseCase{"20230115083000123", Moment{2023, 1, 15, 8, 30, 0}}));

INSTANTIATE_TEST_SUITE_P(
    Failures, ParseRecordTimeTest,
    testing::Values(ParseCase{"", kFails}, ParseCase{" ", kFails}, ParseCase{"abc", kFails},
                    ParseCase{"2023-13-01", kFails}, ParseCase{"2023-00-10", kFails},
                    ParseCase{"2023-01-00", kFails}, ParseCase{"2023-01--3", kFails},
                    ParseCase{"0000-01-01", kFails}, ParseCase{"10000-01-01", kFails},
                    ParseCase{"2023-01-15 24:00", kFails}, ParseCase{"2023-01-15 23:60", kFails},
                    ParseCase{"2023-01-15 23:59:60", kFails}, ParseCase{"2023-01-15 -1:30", kFails},
                    ParseCase{"2023-01", kFails}, ParseCase{"-01-15", kFails}, ParseCase{"2023--15", kFails},
                    ParseCase{"2023-01-15T08:30", kFails}, ParseCase{"2023-01-15 08", kFails},
                    ParseCase{"2023-0a-15", kFails}, ParseCase{"2023-01-15 08:30:00:00", kFails},
                    ParseCase{"2023-01-15 08:30:00.5", kFails}, ParseCase{"2023-01-15  08:30", kFails},
                    ParseCase{"99999999999999999999-01-01", kFails}, ParseCase{"12:", kFails},
                    ParseCase{":30", kFails}, ParseCase{"12:3x", kFails}, ParseCase{"24:00", kFails},
                    ParseCase{"2301150830", kFails}, ParseCase{"2023011508300", kFails},
                    ParseCase{"2023011508300X", kFails}, ParseCase{"20231315083000", kFails},
                    ParseCase{"20230115 83000", kFails}, ParseCase{"20230115250000", kFails}));

}  // namespace
}  // namespace tallydesk::device
