#include "core/convert.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace tallydesk {

EConvertError::EConvertError(const QString &message)
    : std::runtime_error(message.toStdString()), message_(message)
{
}

bool tryStrToInt(const QString &text, int32_t &value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i < n && (text[i] == u'x' || text[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return false;
    uint64_t magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > 0xFFFFFFFFull)
            return false;
    }
    if (base == 16) {
        // Hexadecimal texts cover the whole 32-bit pattern ("$FFFFFFFF" is -1).
        uint32_t bits = static_cast<uint32_t>(magnitude);
        if (negative)
            bits = 0u - bits;
        value = static_cast<int32_t>(bits);
        return true;
    }
    if (negative) {
        if (magnitude > 0x80000000ull)
            return false;
        value = static_cast<int32_t>(-static_cast<int64_t>(magnitude));
    } else {
        if (magnitude > 0x7FFFFFFFull)
            return false;
        value = static_cast<int32_t>(magnitude);
    }
    return true;
}

int32_t strToIntDef(const QString &text, int32_t fallback)
{
    int32_t value;
    return tryStrToInt(text, value) ? value : fallback;
}

int32_t strToInt(const QString &text)
{
    int32_t value;
    if (!tryStrToInt(text, value))
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

double strToFloat(const QString &text)
{
    const QString t = trimBlanks(text);
    bool ok = false;
    double value = 0;
    // Plain decimal notation with an optional exponent; no hexadecimal, no
    // "inf"/"nan" words.
    bool plain = !t.isEmpty();
    for (QChar c : t) {
        if (!(c.isDigit() || c == u'.' || c == u'+' || c == u'-' || c == u'e' || c == u'E')) {
            plain = false;
            break;
        }
    }
    if (plain)
        value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

QString trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= u' ')
        ++begin;
    while (end > begin && text[end - 1].unicode() <= u' ')
        --end;
    return text.mid(begin, end - begin);
}

namespace {

// Decimal digits and exponent of |value| with 17 significant digits, which
// identifies every double exactly.
struct Decimal {
    QByteArray digits; // 17 digits, no point
    int exponent;      // value = 0.d1d2d3... * 10^exponent
};

Decimal decimalOf(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.16e", std::fabs(value));
    // d.dddddddddddddddde±XX
    QByteArray text(buffer);
    const int e = text.indexOf('e');
    Decimal d;
    d.digits = text.left(1) + text.mid(2, e - 2);
    d.exponent = text.mid(e + 1).toInt() + 1;
    return d;
}

// Rounds the digit string half away from zero to `keep` digits; returns the
// carry into a new leading digit.
bool roundDigits(QByteArray &digits, int keep)
{
    if (keep < 0) {
        digits.clear();
        return false;
    }
    if (keep >= digits.size())
        return false;
    const bool up = digits[keep] >= '5';
    digits.truncate(keep);
    if (!up)
        return false;
    for (int i = keep - 1; i >= 0; --i) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            digits[i] = digits[i] + 1;
            return false;
        }
    }
    digits.prepend('1');
    return true;
}

} // namespace

QString formatFixed(double value, int decimals)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        value = 0; // no "-0.00"
    Decimal d = decimalOf(value);
    if (value == 0)
        d.exponent = 1;
    // Digits before the point: exponent; after: decimals.
    const int keep = d.exponent + decimals;
    QByteArray digits = d.digits;
    if (keep < 0) {
        digits.clear();
    } else if (roundDigits(digits, keep)) {
        ++d.exponent;
    }
    // Build integer and fraction parts.
    QByteArray intPart;
    QByteArray fracPart;
    for (int pos = 0; pos < d.exponent; ++pos)
        intPart.append(pos < digits.size() ? digits[pos] : '0');
    if (intPart.isEmpty())
        intPart = "0";
    for (int k = 0; k < decimals; ++k) {
        const int pos = d.exponent + k;
        fracPart.append(pos >= 0 && pos < digits.size() ? digits[pos] : '0');
    }
    // Strip redundant leading zeros of the integer part.
    while (intPart.size() > 1 && intPart[0] == '0')
        intPart.remove(0, 1);
    bool allZero = true;
    for (char c : intPart + fracPart)
        allZero = allZero && c == '0';
    QString result;
    if (value < 0 && !allZero)
        result += u'-';
    result += QString::fromLatin1(intPart);
    if (decimals > 0)
        result += u'.' + QString::fromLatin1(fracPart);
    return result;
}

QString floatToStr(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");
    Decimal d = decimalOf(value);
    QByteArray digits = d.digits;
    if (roundDigits(digits, 15))
        ++d.exponent;
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);
    QString result;
    if (value < 0)
        result += u'-';
    // Fixed notation while the decimal exponent (value = 0.ddd * 10^e) lies
    // in -3 .. 15, i.e. from 0.0001 up to 15 digits before the point.
    if (d.exponent <= 15 && d.exponent >= -3) {
        if (d.exponent <= 0) {
            result += QStringLiteral("0.") + QString(-d.exponent, u'0') + QString::fromLatin1(digits);
        } else if (digits.size() <= d.exponent) {
            result += QString::fromLatin1(digits) + QString(d.exponent - digits.size(), u'0');
        } else {
            result += QString::fromLatin1(digits.left(d.exponent)) + u'.' +
                      QString::fromLatin1(digits.mid(d.exponent));
        }
    } else {
        result += QChar::fromLatin1(digits[0]);
        if (digits.size() > 1)
            result += u'.' + QString::fromLatin1(digits.mid(1));
        result += u'E' + QString::number(d.exponent - 1);
    }
    return result;
}

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;
} // namespace

double dateTimeToDays(const QDateTime &dateTime)
{
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    const double day = static_cast<double>(kEpoch.daysTo(date));
    const double fraction = time.msecsSinceStartOfDay() / kMsPerDay;
    // Before the epoch the fraction still counts forward from midnight, but
    // the sign of the whole number carries the day: -1.25 is 29 Dec 06:00.
    return day >= 0 ? day + fraction : day - fraction;
}

QDateTime daysToDateTime(double days)
{
    if (!std::isfinite(days))
        return {};
    // Round to whole milliseconds first so 09:05:02.9999999 reads 09:05:03.
    const double wholeDays = std::trunc(days);
    int64_t ms = std::llround(std::fabs(days - wholeDays) * kMsPerDay);
    int64_t dayNumber = static_cast<int64_t>(wholeDays);
    if (ms >= static_cast<int64_t>(kMsPerDay)) {
        ms -= static_cast<int64_t>(kMsPerDay);
        dayNumber += days < 0 ? -1 : 1;
    }
    // A day count carries no time zone: keep it as a plain calendar value
    // (UTC spec) so no daylight-saving gap can move it.
    return QDateTime(kEpoch.addDays(dayNumber), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)),
                     Qt::UTC);
}

QString formatDateTime(const QDateTime &dateTime)
{
    return dateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString formatDateTime(double days)
{
    return formatDateTime(daysToDateTime(days));
}

QString formatTime(const QDateTime &dateTime)
{
    return dateTime.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace tallydesk
