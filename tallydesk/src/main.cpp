// Tallydesk: the console for setting up and exercising card terminals.
#include "main_window.h"
#include "screenshots.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <ctime>

namespace {

// For bench/console_startup.sh only: once the window is on the screen, print
// the wall-clock time and quit.
void quitWhenShown(TForm1 &form)
{
    auto *poll = new QTimer(&form);
    poll->setInterval(1);
    QObject::connect(poll, &QTimer::timeout, &form, [&form, poll] {
        if (!form.windowHandle() || !form.windowHandle()->isExposed())
            return;
        poll->stop();
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::printf("shown-at %lld%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
        std::fflush(stdout);
        QApplication::quit();
    });
    poll->start();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallydesk"));

    TForm1 form;
    // Centred on the desktop.
    if (QScreen *screen = QGuiApplication::primaryScreen())
        form.move(screen->availableGeometry().center() - form.rect().center());
    form.show();

    // Picture mode for scripts/screenshots only.
    const QString pictures = qEnvironmentVariable("TALLYDESK_SCREENSHOTS");
    if (!pictures.isEmpty())
        return tallydesk::takeScreenshots(form, pictures, qEnvironmentVariableIntValue("TALLYDESK_SCREENSHOTS_PORT"));
    if (qEnvironmentVariableIsSet("TALLYDESK_QUIT_WHEN_SHOWN"))
        quitWhenShown(form);
    return app.exec();
}
