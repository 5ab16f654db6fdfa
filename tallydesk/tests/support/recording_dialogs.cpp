#include "recording_dialogs.h"

namespace tallydesk::testing {

RecordingDialogs::RecordingDialogs() : previous_(setDialogs(this))
{
}

RecordingDialogs::~RecordingDialogs()
{
    setDialogs(previous_);
}

void RecordingDialogs::message(const QString &text)
{
    shown << QStringLiteral("message: ") + text;
    messages << text;
}

void RecordingDialogs::warning(const QString &text)
{
    shown << QStringLiteral("warning: ") + text;
}

bool RecordingDialogs::question(const QString &text, const QString &caption)
{
    shown << QStringLiteral("question: %1: %2").arg(caption, text);
    if (answers.empty())
        return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingDialogs::conversionError(const QString &text)
{
    shown << QStringLiteral("error: ") + text;
    errors << text;
}

void RecordingDialogs::clear()
{
    shown.clear();
    messages.clear();
    errors.clear();
}

} // namespace tallydesk::testing
