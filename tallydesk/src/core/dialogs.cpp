#include "core/dialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace tallydesk {

namespace {

QString title()
{
    const QString name = QApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Tallydesk") : name;
}

QWidget *owner()
{
    return QApplication::activeWindow();
}

// The texts carry "\r\n" line ends; the box shows plain line breaks.
QString shown(const QString &text)
{
    QString lines = text;
    return lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

class MessageBoxDialogs final : public Dialogs {
public:
    void message(const QString &text) override
    {
        QMessageBox::information(owner(), title(), shown(text));
    }
    void warning(const QString &text) override
    {
        QMessageBox::warning(owner(), title(), shown(text));
    }
    bool question(const QString &text, const QString &caption) override
    {
        return QMessageBox::question(owner(), caption.isEmpty() ? title() : caption, shown(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    void conversionError(const QString &text) override
    {
        QMessageBox::critical(owner(), title(), shown(text));
    }
};

MessageBoxDialogs messageBoxes;
Dialogs *current = nullptr;

} // namespace

Dialogs &dialogs()
{
    return current ? *current : static_cast<Dialogs &>(messageBoxes);
}

Dialogs *setDialogs(Dialogs *replacement)
{
    Dialogs *previous = current;
    current = replacement;
    return previous;
}

} // namespace tallydesk
