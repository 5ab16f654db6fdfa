// Texts towards the device library and the trade library travel as
// zero-terminated code-page-936 (GBK) bytes; this is the one place that
// converts them.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

namespace tallydesk {

// GBK bytes of the text, without a terminating zero (QByteArray::constData()
// adds one).
QByteArray toCp936(const QString &text);
// Decodes the bytes up to the first zero byte, or all `size` bytes when none.
QString fromCp936(const char *bytes, std::size_t size);
// Decodes a zero-terminated text; a null pointer gives an empty text.
QString fromCp936(const char *text);
QString fromCp936(const QByteArray &bytes);

} // namespace tallydesk
