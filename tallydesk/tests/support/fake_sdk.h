// A scripted stand-in for the device library. While a FakeSdk lives, every
// entry of the console's library table is replaced: the link, clock and
// device-information calls record their arguments and return the results
// set here; any other call is recorded as "unexpected <name>" and fails the
// test. Tests may replace further entries of sdk() themselves.
#pragma once

#include "core/sdk.h"

#include <QCursor>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tallydesk::testing {

class FakeSdk {
public:
    FakeSdk();
    ~FakeSdk();
    FakeSdk(const FakeSdk &) = delete;
    FakeSdk &operator=(const FakeSdk &) = delete;

    // Calls in order, e.g. "OpenClientSocket( 127.0.0.1 ,4001)", "CallClock(7,24)".
    std::vector<std::string> calls;

    // Results.
    int32_t openResult = 7;           // OpenCommPort and OpenClientSocket
    bool callClockResult = true;
    bool readClockResult = true;
    double clockTime = 45358.37850694444; // what ReadClockTime delivers
    bool setClockTimeResult = true;
    bool setClockIdResult = true;
    bool modelResult = true;
    int32_t model = 6;
    double version = 3.0;
    int32_t readerType = 1;
    uint8_t phonePay = 0;
    int32_t cardFormat = 2;

    // Runs inside the open calls (e.g. to look at the cursor or to throw).
    std::function<void()> duringOpen;
    // The override cursor shape seen by the last open call, if any.
    std::optional<Qt::CursorShape> cursorDuringOpen;
    // The exact day count passed to the last SetClockTime.
    double lastSetClockTime = 0;

    static FakeSdk *current();
    static void unexpected(const char *name);

private:
    ScopedSdk restore_;
};

} // namespace tallydesk::testing
