#include "screenshots.h"

#include "core/dialogs.h"
#include "dialogs/clock_dialog.h"
#include "dialogs/edit_dialog.h"
#include "main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QThread>
#include <cstdio>


namespace tallydesk {

namespace {

// Prints what would have been shown in a box, answers questions with No.
class PrintingDialogs final : public Dialogs {
public:
    void message(const QString &text) override { print("message", text); }
    void warning(const QString &text) override { print("warning", text); }
    bool question(const QString &text, const QString &) override
    {
        print("question", text);
        return false;
    }
    void conversionError(const QString &text) override { print("error", text); }

private:
    static void print(const char *kind, const QString &text)
    {
        std::printf("%s: %s\n", kind, text.toUtf8().constData());
        std::fflush(stdout);
    }
};

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

bool save(QWidget *widget, const QString &path)
{
    settle();
    const bool ok = widget->grab().save(path, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "could not write", path.toUtf8().constData());
    std::fflush(stdout);
    return ok;
}

template <typename Dialog> bool saveDialog(TForm1 &window, const QString &path)
{
    Dialog dialog(&window);
    dialog.show();
    const bool ok = save(&dialog, path);
    dialog.close();
    return ok;
}

} // namespace

int takeScreenshots(TForm1 &window, const QString &folder, int port)
{
    PrintingDialogs printing;
    Dialogs *previous = setDialogs(&printing);
    QDir().mkpath(folder);
    const QDir dir(folder);
    bool ok = true;

    if (port > 0) {
        // Only ever the local emulator.
        window.findChild<QRadioButton *>(QStringLiteral("rbTCP"))->setChecked(true);
        window.findChild<QLineEdit *>(QStringLiteral("edtIP"))->setText(QStringLiteral("127.0.0.1"));
        window.findChild<QLineEdit *>(QStringLiteral("edtPort"))->setText(QString::number(port));
        window.findChild<QAbstractButton *>(QStringLiteral("btnConnect"))->click();
    }

    QTabWidget *pages = window.pageControl();
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        const QString name = QStringLiteral("%1-%2.png").arg(i + 1, 2, 10, QLatin1Char('0')).arg(pages->widget(i)->objectName());
        ok = save(&window, dir.filePath(name)) && ok;
    }
    pages->setCurrentIndex(0);
    ok = saveDialog<TfrmDlgClock>(window, dir.filePath(QStringLiteral("dialog-TfrmDlgClock.png"))) && ok;
    ok = saveDialog<TfrmEdit>(window, dir.filePath(QStringLiteral("dialog-TfrmEdit.png"))) && ok;
    if (port > 0)
        window.findChild<QAbstractButton *>(QStringLiteral("btnDisConnect"))->click();
    setDialogs(previous);
    return ok ? 0 : 1;
}

} // namespace tallydesk
