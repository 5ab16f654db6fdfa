// Tallydesk: the console for setting up and exercising card terminals.
#include "main_window.h"
#include "screenshots.h"

#include <QApplication>
#include <QScreen>

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
    return app.exec();
}
