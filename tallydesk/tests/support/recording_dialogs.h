// Test stand-in for the dialogs seam: records every text that would have
// been shown and answers questions from a script. Installed for its
// lifetime.
#pragma once

#include "core/dialogs.h"

#include <QStringList>
#include <deque>
#include <ostream>

// Readable texts in test failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace tallydesk::testing {

class RecordingDialogs final : public Dialogs {
public:
    RecordingDialogs();
    ~RecordingDialogs() override;

    void message(const QString &text) override;
    void warning(const QString &text) override;
    bool question(const QString &text, const QString &caption) override;
    void conversionError(const QString &text) override;

    // Every box in order, as "message: <text>", "warning: <text>",
    // "question: <caption>: <text>", "error: <text>".
    QStringList shown;
    // Texts of the plain message boxes only.
    QStringList messages;
    QStringList errors;
    // Answers for question(); No when empty.
    std::deque<bool> answers;

    void clear();

private:
    Dialogs *previous_;
};

} // namespace tallydesk::testing
