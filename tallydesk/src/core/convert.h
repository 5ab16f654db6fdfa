// Number, text and date-time conversions with the rules the console's texts
// and the terminals expect: day-count date-times from 1899-12-30, strict and
// lenient integer parsing, the "0.00" money format and the general float
// format.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <stdexcept>

namespace tallydesk {

// The conversion error of the runtime. Its message is the text the operator
// sees in the error box, e.g. "'abc' is not a valid integer value".
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const QString &message);
    QString message() const { return message_; }

private:
    QString message_;
};

// Integer parsing: leading blanks, an optional sign, decimal digits or a
// hexadecimal number written "$FF", "0xFF" or "xFF"; nothing may follow.
// The value must fit a signed 32-bit integer.
bool tryStrToInt(const QString &text, int32_t &value);
int32_t strToIntDef(const QString &text, int32_t fallback);
int32_t strToInt(const QString &text); // throws EConvertError
double strToFloat(const QString &text); // throws EConvertError

// Removes leading and trailing blanks and control characters.
QString trimBlanks(const QString &text);

// Fixed format with the given number of decimals, rounding halves away from
// zero ("0.00" is formatFixed(v, 2)).
QString formatFixed(double value, int decimals);
// The general float format: up to 15 significant digits, no trailing zeros,
// scientific notation below 0.0001 and from 1E15 on (3.0 -> "3", 2.5 -> "2.5",
// 0.00001 -> "1E-5").
QString floatToStr(double value);

// Date-times as day counts since 1899-12-30; the fraction is the time of day.
// Uses the date and time as shown, whatever the time spec.
double dateTimeToDays(const QDateTime &dateTime);
// The calendar date and time of a day count, rounded to the millisecond, as
// a plain value without time zone (Qt::UTC spec).
QDateTime daysToDateTime(double days);
// "2024-03-07 09:05:03".
QString formatDateTime(double days);
QString formatDateTime(const QDateTime &dateTime);
// "09:05:03".
QString formatTime(const QDateTime &dateTime);

} // namespace tallydesk
