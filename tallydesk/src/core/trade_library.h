// The online-trade library as the console calls it: one table of the four
// functions it uses, bound to libtillwire.so when the program is loaded.
// Tests replace entries with scripted fakes (ScopedTradeLibrary).
#pragma once

#include <tillwire.h>

namespace tallydesk {

struct TradeLibraryTable {
    decltype(&::LaunchOnline) LaunchOnline = &::LaunchOnline;
    decltype(&::StopOnline) StopOnline = &::StopOnline;
    decltype(&::TillwireEventFd) TillwireEventFd = &::TillwireEventFd;
    decltype(&::TillwireDispatch) TillwireDispatch = &::TillwireDispatch;
};

// The table in use (the library's unless a test replaced entries).
TradeLibraryTable &tradeLibrary();

// Restores the table in use when it goes out of scope.
class ScopedTradeLibrary {
public:
    ScopedTradeLibrary() : saved_(tradeLibrary()) {}
    ~ScopedTradeLibrary() { tradeLibrary() = saved_; }
    ScopedTradeLibrary(const ScopedTradeLibrary &) = delete;
    ScopedTradeLibrary &operator=(const ScopedTradeLibrary &) = delete;

private:
    TradeLibraryTable saved_;
};

} // namespace tallydesk
