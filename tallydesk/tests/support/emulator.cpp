#include "emulator.h"

#include <QDeadlineTimer>
#include <QDir>

#ifndef TALLYDESK_BIN_DIR
#define TALLYDESK_BIN_DIR ""
#endif

namespace tallydesk::testing {

Emulator::~Emulator()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.write("quit\n");
        if (!process_.waitForFinished(2000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
}

QString Emulator::program()
{
    const QString dir = qEnvironmentVariable("TALLYDESK_BIN_DIR", QStringLiteral(TALLYDESK_BIN_DIR));
    return QDir(dir).filePath(QStringLiteral("tarnwick-terminal"));
}

bool Emulator::start(const QStringList &arguments)
{
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(program(), QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1"),
                                          QStringLiteral("--port"), QStringLiteral("0")} +
                                  arguments);
    if (!process_.waitForStarted(5000))
        return false;
    QString line;
    if (!waitFor(QStringLiteral("ready"), 0, &line))
        return false;
    for (const QString &l : output_.split(u'\n')) {
        if (l.startsWith(QStringLiteral("pty ")))
            ptyPath_ = l.mid(4).trimmed();
        if (l.startsWith(QStringLiteral("listening ")))
            port_ = l.section(u':', -1).trimmed().toInt();
    }
    return port_ > 0;
}

QString Emulator::command(const QString &line, const QString &expect)
{
    const int from = static_cast<int>(output_.count(u'\n'));
    process_.write((line + u'\n').toUtf8());
    process_.waitForBytesWritten(1000);
    if (expect.isEmpty())
        return {};
    QString found;
    waitFor(expect, from, &found);
    return found;
}

bool Emulator::waitFor(const QString &text, int fromLine, QString *line, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QStringList lines = output_.split(u'\n');
        for (int i = fromLine; i < lines.size(); ++i) {
            // Only complete lines count.
            if (i + 1 < lines.size() && lines[i].contains(text)) {
                *line = lines[i];
                return true;
            }
        }
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
            return false;
        process_.waitForReadyRead(static_cast<int>(qMax<qint64>(1, qMin<qint64>(100, deadline.remainingTime()))));
        output_ += QString::fromUtf8(process_.readAll());
    }
}

} // namespace tallydesk::testing
