#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_table.h"
#include "online_clock.h"

namespace tillwire {
namespace {

using testing::OnlineClock;

struct Entry {
    uint32_t clockNo;
    std::string ip;
    uint32_t port;
    bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Entry& e) {
    return os << "{" << e.clockNo << ", \"" << e.ip << "\", " << e.port << "}";
}

struct TextCase {
    const char* name;
    const char* text;
    std::vector<Entry> expected;
    friend void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }
};

class ClockText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ClockText, BuildsTheTable) {
    const double now = 43970.25;
    const auto table = ParseClockText(GetParam().text, now);
    std::vector<Entry> got;
    for (const auto& c : table) {
        // The address field always ends in a zero within its 16 bytes.
        ASSERT_LT(strnlen(c.IP, sizeof c.IP), sizeof c.IP);
        got.push_back({c.ClockNo, c.IP, c.Port});
        EXPECT_EQ(c.Online, 0);
        EXPECT_EQ(+c.Notified, 0u);
        EXPECT_EQ(+c.OnlineTime, now);
    }
    EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    LaunchText, ClockText,
    ::testing::Values(
        TextCase{"two_entries", "60,127.0.0.1,4001|61,127.0.0.2,4002",
                 {{60, "127.0.0.1", 4001}, {61, "127.0.0.2", 4002}}},
        TextCase{"empty_text", "", {}},
        TextCase{"blank_text", "  \t ", {}},
        TextCase{"empty_and_word_ports_default", "1,127.0.0.1,|2,127.0.0.1,abc",
                 {{1, "127.0.0.1", 4001}, {2, "127.0.0.1", 4001}}},
        TextCase{"trailing_separator_adds_empty_entry", "7,127.0.0.1,5000|",
                 {{7, "127.0.0.1", 5000}, {0, "", 4001}}},
        TextCase{"fewer_fields_take_defaults", "9|10,127.0.0.1", {{9, "", 4001}, {10, "127.0.0.1", 4001}}},
        TextCase{"word_device_number_is_0", "abc,127.0.0.1,4001", {{0, "127.0.0.1", 4001}}},
        TextCase{"long_address_cut_to_15", "3,123456789012345678901234,4001", {{3, "123456789012345", 4001}}},
        TextCase{"blanks_around_items_skipped", "  60,127.0.0.1,4001  |  61,127.0.0.1,4002 ",
                 {{60, "127.0.0.1", 4001}, {61, "127.0.0.1", 4002}}},
        // A blank inside an item ends it: the rest becomes entries of their own.
        TextCase{"blank_inside_splits", "60,127.0.0.1, 4001|61", {{60, "127.0.0.1", 4001}, {4001, "", 4001}, {61, "", 4001}}},
        TextCase{"quoted_entry_holds_separators", "\"60,127.0.0.1,4001\"|\"61,127.0.0.1,4002\"",
                 {{60, "127.0.0.1", 4001}, {61, "127.0.0.1", 4002}}},
        TextCase{"quoted_field_with_bar", "\"5,\"\"a|b\"\",4003\"", {{5, "a|b", 4003}}},
        TextCase{"lone_separator", "|", {{0, "", 4001}, {0, "", 4001}}},
        TextCase{"signs_and_overflow", "-1,x,+7|99999999999,y,70000",
                 {{0xFFFFFFFFu, "x", 7}, {0, "y", 70000}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClockText, NullTextIsEmpty) { EXPECT_TRUE(ParseClockText(nullptr, 0).empty()); }

TEST(StrToIntDef, OnlyWholeDecimalNumbers) {
    EXPECT_EQ(StrToIntDef("123", 9), 123);
    EXPECT_EQ(StrToIntDef("-2147483648", 9), INT32_MIN);
    EXPECT_EQ(StrToIntDef("2147483647", 9), INT32_MAX);
    EXPECT_EQ(StrToIntDef("2147483648", 9), 9);
    EXPECT_EQ(StrToIntDef("12a", 9), 9);
    EXPECT_EQ(StrToIntDef("-", 9), 9);
    EXPECT_EQ(StrToIntDef("", 9), 9);
    EXPECT_EQ(StrToIntDef("0x10", 9), 9);
}

TEST(DeviceTable, FindClockTakesTheFirstMatchOfTheZeroExtendedNumber) {
    TTOnlineClocks table;
    TTOnlineClock a = OnlineClock(0x10005), b = OnlineClock(5), c = OnlineClock(5);
    std::strcpy(b.IP, "first");
    std::strcpy(c.IP, "second");
    table.Assign({a, b, c});
    TTOnlineClock found;
    std::size_t index = 99;
    ASSERT_TRUE(table.FindClock(5, found, index));
    EXPECT_EQ(index, 1u);
    EXPECT_STREQ(found.IP, "first");
    EXPECT_FALSE(table.FindClock(6, found, index));

    table.ClearClocks();
    EXPECT_EQ(table.Size(), 3u);
    ASSERT_TRUE(table.FindClock(0, found, index));  // zero-filled entries
    EXPECT_EQ(index, 0u);
}

TEST(DeviceTable, LivenessTransitions) {
    const double t0 = 43970.0;
    const double second = 1.0 / 86400.0;
    TTOnlineClocks table;
    table.Assign({OnlineClock(1, t0)});

    EXPECT_FALSE(TTOnlineClocks::IsDue(OnlineClock(1, t0), t0 + 300 * second));
    EXPECT_TRUE(TTOnlineClocks::IsDue(OnlineClock(1, t0), t0 + 300.001 * second));
    EXPECT_FALSE(TTOnlineClocks::IsDue(OnlineClock(1, t0, 0, 1), t0 + 1000 * second));
    EXPECT_TRUE(TTOnlineClocks::IsDue(OnlineClock(1, 0), t0));  // launched all zero: due at once

    EXPECT_TRUE(table.MarkHeard(0, t0));    // offline -> online
    EXPECT_FALSE(table.MarkHeard(0, t0 + 100 * second));  // renews, no new report
    EXPECT_FALSE(table.MarkOfflineIfDue(0, 1, t0 + 350 * second));  // renewed at +100 s
    EXPECT_FALSE(table.MarkOfflineIfDue(0, 2, t0 + 401 * second));  // another terminal now
    EXPECT_TRUE(table.MarkOfflineIfDue(0, 1, t0 + 401 * second));
    EXPECT_FALSE(table.MarkOfflineIfDue(0, 1, t0 + 900 * second));  // reported once
    TTOnlineClock e;
    ASSERT_TRUE(table.Get(0, e));
    EXPECT_EQ(e.Online, 0);
    EXPECT_EQ(+e.Notified, 1u);
    EXPECT_TRUE(table.MarkHeard(0, t0 + 901 * second));  // online again
    ASSERT_TRUE(table.Get(0, e));
    EXPECT_EQ(e.Online, 1);
    EXPECT_EQ(+e.Notified, 0u);
    EXPECT_FALSE(table.MarkHeard(5, t0));
    EXPECT_FALSE(table.MarkOfflineIfDue(5, 1, t0));
}

}  // namespace
}  // namespace tillwire
