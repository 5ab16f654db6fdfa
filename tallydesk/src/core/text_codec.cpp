#include "core/text_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <cstring>

namespace tallydesk {

namespace {

// Opening a converter costs more than most conversions, so each thread keeps
// one of each; being stateless, no call leaves anything for the next.
QStringEncoder &gbkEncoder()
{
    thread_local QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    return encoder;
}

QStringDecoder &gbkDecoder()
{
    thread_local QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    return decoder;
}

} // namespace

QByteArray toCp936(const QString &text)
{
    QStringEncoder &encoder = gbkEncoder();
    if (!encoder.isValid())
        return text.toLocal8Bit();
    QByteArray bytes = encoder.encode(text);
    return bytes;
}

QString fromCp936(const char *bytes, std::size_t size)
{
    if (bytes == nullptr)
        return {};
    const void *zero = std::memchr(bytes, 0, size);
    const std::size_t length = zero ? static_cast<const char *>(zero) - bytes : size;
    QStringDecoder &decoder = gbkDecoder();
    if (!decoder.isValid())
        return QString::fromLocal8Bit(bytes, static_cast<qsizetype>(length));
    return decoder.decode(QByteArrayView(bytes, static_cast<qsizetype>(length)));
}

QString fromCp936(const char *text)
{
    return text ? fromCp936(text, std::strlen(text)) : QString();
}

QString fromCp936(const QByteArray &bytes)
{
    return fromCp936(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace tallydesk
