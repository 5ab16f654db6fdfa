// Button handlers run inside runHandler(): a conversion error (or any other
// failure) raised by a handler ends the handler and is shown in the runtime's
// error box through the dialogs seam, as the framework did; the program goes
// on.
#pragma once

#include "core/convert.h"
#include "core/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <exception>
#include <utility>

namespace tallydesk {

template <typename Fn> void runHandler(Fn &&fn)
{
    try {
        std::forward<Fn>(fn)();
    } catch (const EConvertError &error) {
        dialogs().conversionError(error.message());
    } catch (const std::exception &error) {
        dialogs().conversionError(QString::fromLocal8Bit(error.what()));
    }
}

// Connects a button's click to a handler method, run through runHandler().
template <typename Receiver>
void onClick(QAbstractButton *button, Receiver *receiver, void (Receiver::*handler)())
{
    QObject::connect(button, &QAbstractButton::clicked, receiver,
                     [receiver, handler] { runHandler([&] { (receiver->*handler)(); }); });
}

// Shows the hourglass cursor for its lifetime; the default cursor comes back
// on every way out, an exception included.
class HourglassCursor {
public:
    HourglassCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourglassCursor() { QApplication::restoreOverrideCursor(); }
    HourglassCursor(const HourglassCursor &) = delete;
    HourglassCursor &operator=(const HourglassCursor &) = delete;
};

} // namespace tallydesk
