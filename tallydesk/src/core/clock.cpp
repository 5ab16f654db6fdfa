#include "core/clock.h"

namespace tallydesk {

namespace {
std::function<QDateTime()> &source()
{
    static std::function<QDateTime()> fn;
    return fn;
}
} // namespace

QDateTime now()
{
    return source() ? source()() : QDateTime::currentDateTime();
}

void setNowSource(std::function<QDateTime()> fn)
{
    source() = std::move(fn);
}

} // namespace tallydesk
