// Runs tarnwick-terminal (from the build's bin folder) for an end-to-end
// test: on 127.0.0.1 with a free port, optionally with a serial
// pseudo-terminal, and lets the test type commands.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace tallydesk::testing {

class Emulator {
public:
    Emulator() = default;
    ~Emulator();
    Emulator(const Emulator &) = delete;
    Emulator &operator=(const Emulator &) = delete;

    // Starts it with the extra arguments; true once it printed "ready".
    bool start(const QStringList &arguments = {});
    // Types a command; when `expect` is given, waits until the emulator
    // printed a line containing it and returns that line (empty on timeout).
    QString command(const QString &line, const QString &expect = {});
    // Everything printed so far.
    QString output() const { return output_; }

    int port() const { return port_; }
    QString ptyPath() const { return ptyPath_; }
    static QString program();

private:
    bool waitFor(const QString &text, int fromLine, QString *line, int timeoutMs = 10000);

    QProcess process_;
    QString output_;
    int port_ = 0;
    QString ptyPath_;
};

} // namespace tallydesk::testing
