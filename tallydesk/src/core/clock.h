// "Now" for the console: the PC's local date and time. Tests fix it.
#pragma once

#include <QDateTime>
#include <functional>

namespace tallydesk {

// The current local date and time, milliseconds included.
QDateTime now();
// Replaces the source of now() (an empty function restores the system clock).
void setNowSource(std::function<QDateTime()> source);

} // namespace tallydesk
