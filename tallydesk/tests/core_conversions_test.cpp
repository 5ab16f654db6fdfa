// Conversions, the text codec and the handler wrapper shared by every page.
#include "core/convert.h"
#include "core/handler.h"
#include "core/text_codec.h"
#include "recording_dialogs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tallydesk;
using tallydesk::testing::RecordingDialogs;

namespace {

struct IntCase {
    const char *text;
    bool valid;
    int32_t value;
};

void PrintTo(const IntCase &c, std::ostream *os)
{
    *os << '"' << c.text << '"';
}

class IntegerText : public ::testing::TestWithParam<IntCase> {};

TEST_P(IntegerText, ParsesLikeTheRuntime)
{
    const IntCase c = GetParam();
    const QString text = QString::fromUtf8(c.text);
    EXPECT_EQ(strToIntDef(text, -777), c.valid ? c.value : -777);
    if (c.valid) {
        EXPECT_EQ(strToInt(text), c.value);
    } else {
        try {
            strToInt(text);
            ADD_FAILURE() << "no conversion error for '" << c.text << "'";
        } catch (const EConvertError &error) {
            EXPECT_EQ(error.message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, IntegerText,
                         ::testing::Values(IntCase{"24", true, 24}, IntCase{"0", true, 0},
                                           IntCase{"-1", true, -1}, IntCase{"+7", true, 7},
                                           IntCase{"  12", true, 12}, // leading blanks are allowed
                                           IntCase{"12 ", false, 0},  // trailing ones are not
                                           IntCase{"", false, 0}, IntCase{" ", false, 0},
                                           IntCase{"-", false, 0}, IntCase{"abc", false, 0},
                                           IntCase{"1a", false, 0}, IntCase{"1.5", false, 0},
                                           IntCase{"$FF", true, 255}, IntCase{"$ff", true, 255},
                                           IntCase{"0x10", true, 16}, IntCase{"$FFFFFFFF", true, -1},
                                           IntCase{"$", false, 0}, IntCase{"$1G", false, 0},
                                           IntCase{"2147483647", true, 2147483647},
                                           IntCase{"2147483648", false, 0},
                                           IntCase{"-2147483648", true, std::numeric_limits<int32_t>::min()},
                                           IntCase{"-2147483649", false, 0},
                                           IntCase{"99999999999999999999", false, 0},
                                           IntCase{"１２", false, 0})); // full-width digits are no number

TEST(FloatText, StrictConversionNamesTheText)
{
    EXPECT_DOUBLE_EQ(strToFloat(QStringLiteral("2.5")), 2.5);
    EXPECT_DOUBLE_EQ(strToFloat(QStringLiteral(" -1e3 ")), -1000.0);
    for (const char *bad : {"", "abc", "1,5", "nan", "inf", "0x10"}) {
        try {
            strToFloat(QString::fromLatin1(bad));
            ADD_FAILURE() << "no conversion error for '" << bad << "'";
        } catch (const EConvertError &error) {
            EXPECT_EQ(error.message(),
                      QStringLiteral("'%1' is not a valid floating point value").arg(QLatin1String(bad)));
        }
    }
}

struct FloatCase {
    double value;
    const char *general;
    const char *money;
};

void PrintTo(const FloatCase &c, std::ostream *os)
{
    *os << c.general;
}

class FloatFormats : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatFormats, GeneralAndMoney)
{
    const FloatCase c = GetParam();
    EXPECT_EQ(floatToStr(c.value), QString::fromLatin1(c.general)) << c.value;
    EXPECT_EQ(formatFixed(c.value, 2), QString::fromLatin1(c.money)) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FloatFormats,
    ::testing::Values(FloatCase{0.0, "0", "0.00"}, FloatCase{-0.0, "0", "0.00"}, FloatCase{3.0, "3", "3.00"},
                      FloatCase{2.5, "2.5", "2.50"}, FloatCase{12.5, "12.5", "12.50"},
                      FloatCase{1.5, "1.5", "1.50"}, FloatCase{0.1, "0.1", "0.10"},
                      FloatCase{0.125, "0.125", "0.13"},    // halves round away from zero
                      FloatCase{-0.125, "-0.125", "-0.13"}, FloatCase{1.005, "1.005", "1.00"}, // 1.00499999...
                      FloatCase{-0.001, "-0.001", "0.00"},  // no "-0.00"
                      FloatCase{99.995, "99.995", "100.00"}, FloatCase{1.0 / 3.0, "0.333333333333333", "0.33"},
                      FloatCase{123456789012345.0, "123456789012345", "123456789012345.00"},
                      FloatCase{1e15, "1E15", "1000000000000000.00"}, FloatCase{0.00001, "1E-5", "0.00"},
                      FloatCase{0.0001, "0.0001", "0.00"}, FloatCase{-2.75e-7, "-2.75E-7", "0.00"},
                      FloatCase{1250 / 100.0, "12.5", "12.50"}));

TEST(FloatFormats, NotANumber)
{
    EXPECT_EQ(floatToStr(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("NAN"));
    EXPECT_EQ(floatToStr(-std::numeric_limits<double>::infinity()), QStringLiteral("-INF"));
}

TEST(Trim, BlanksAndControlCharacters)
{
    EXPECT_EQ(trimBlanks(QStringLiteral(" \t 127.0.0.1 \r\n")), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(trimBlanks(QStringLiteral("   ")), QString());
    EXPECT_EQ(trimBlanks(QStringLiteral("a b")), QStringLiteral("a b"));
}

struct DayCase {
    double days;
    const char *text;
};

void PrintTo(const DayCase &c, std::ostream *os)
{
    *os << c.text;
}

class DayCounts : public ::testing::TestWithParam<DayCase> {};

TEST_P(DayCounts, FormatAndRoundTrip)
{
    const DayCase c = GetParam();
    EXPECT_EQ(formatDateTime(c.days), QString::fromLatin1(c.text));
    const QDateTime parsed = QDateTime::fromString(QString::fromLatin1(c.text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    EXPECT_NEAR(dateTimeToDays(parsed), c.days, 0.5 / 86400000.0 + 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Table, DayCounts,
                         ::testing::Values(DayCase{0.0, "1899-12-30 00:00:00"},
                                           DayCase{2.75, "1900-01-01 18:00:00"},
                                           DayCase{-1.25, "1899-12-29 06:00:00"},
                                           DayCase{36526.0, "2000-01-01 00:00:00"},
                                           // 7 March 2024, 09:05:03
                                           DayCase{45358.0 + (9 * 3600 + 5 * 60 + 3) / 86400.0,
                                                   "2024-03-07 09:05:03"},
                                           DayCase{45291.0 + 86399.0 / 86400.0, "2023-12-31 23:59:59"}));

TEST(DayCounts, RoundsToTheMillisecondBeforeFormatting)
{
    // Just below a whole second, the stored value still reads that second.
    const double justBelow = 45358.0 + (9 * 3600 + 5 * 60 + 3) / 86400.0 - 1e-10;
    EXPECT_EQ(formatDateTime(justBelow), QStringLiteral("2024-03-07 09:05:03"));
    // Just below midnight rounds into the next day.
    EXPECT_EQ(formatDateTime(45358.0 - 1e-10), QStringLiteral("2024-03-07 00:00:00"));
    // Milliseconds survive the round trip.
    const QDateTime withMs(QDate(2024, 3, 7), QTime(9, 5, 3, 456));
    EXPECT_EQ(daysToDateTime(dateTimeToDays(withMs)).time().msec(), 456);
    EXPECT_EQ(formatTime(withMs), QStringLiteral("09:05:03"));
}

TEST(TextCodec, Cp936BytesBothWays)
{
    const QByteArray bytes = toCp936(QStringLiteral("联机成功"));
    EXPECT_EQ(bytes.toHex(), QByteArray("c1aabbfab3c9b9a6"));
    EXPECT_EQ(fromCp936(bytes), QStringLiteral("联机成功"));
    EXPECT_EQ(toCp936(QStringLiteral(" 127.0.0.1 ")), QByteArray(" 127.0.0.1 "));
}

TEST(TextCodec, FixedFieldsEndAtTheFirstZero)
{
    const char field[8] = {'\xc1', '\xaa', 0, 'x', 'y', 'z', 'w', 'v'};
    EXPECT_EQ(fromCp936(field, sizeof field), QStringLiteral("联"));
    // A full field without a zero is read to its end and no further.
    const char full[4] = {'A', 'B', 'C', 'D'};
    EXPECT_EQ(fromCp936(full, sizeof full), QStringLiteral("ABCD"));
    EXPECT_EQ(fromCp936(static_cast<const char *>(nullptr)), QString());
}

TEST(HandlerWrapper, ConversionErrorReachesTheErrorBoxAndEndsTheHandler)
{
    RecordingDialogs dialogs;
    bool after = false;
    runHandler([&] {
        strToInt(QStringLiteral("abc"));
        after = true;
    });
    EXPECT_FALSE(after);
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("error: 'abc' is not a valid integer value")});

    dialogs.clear();
    runHandler([] { throw std::runtime_error("link lost"); });
    EXPECT_EQ(dialogs.errors, QStringList{QStringLiteral("link lost")});

    dialogs.clear();
    runHandler([] { showMessage(QStringLiteral("ok")); });
    EXPECT_EQ(dialogs.shown, QStringList{QStringLiteral("message: ok")});
}

} // namespace
