// Every message, question and error box of the console goes through this
// seam. The console shows QMessageBox under the application's name; tests
// install their own Dialogs that records the texts and answers questions.
#pragma once

#include <QString>

class QWidget;

namespace tallydesk {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal box with the text and one OK button.
    virtual void message(const QString &text) = 0;
    // The same with a warning icon.
    virtual void warning(const QString &text) = 0;
    // A modal question with Yes and No buttons; true for Yes.
    virtual bool question(const QString &text, const QString &caption) = 0;
    // The runtime's error box for a failure raised inside a handler, e.g. a
    // conversion error "'abc' is not a valid integer value".
    virtual void conversionError(const QString &text) = 0;
};

// The dialogs in use; QMessageBox-based unless replaced.
Dialogs &dialogs();
// Replaces the dialogs in use (nullptr restores the message boxes); returns
// the previous replacement, or nullptr.
Dialogs *setDialogs(Dialogs *replacement);

// Shorthand for dialogs().message(text).
inline void showMessage(const QString &text)
{
    dialogs().message(text);
}

} // namespace tallydesk
