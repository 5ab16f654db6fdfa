// Status results of the library's 32-bit calls: 0 is success, every other
// value a failure. The console only tests for 0; the values tell a
// developer reading a log which failure it was.
#pragma once

#include <cstdint>

namespace tarnwick {

enum Result : std::int32_t {
    kResultOk = 0,
    kResultNoLink = 1,        // the handle names no open link
    kResultNotCalled = 2,     // no terminal addressed on the link (CallClock first)
    kResultLinkFailed = 3,    // no answer within the timeout, or the link broke
    kResultRefused = 4,       // the terminal answered with an error status
    kResultBadAnswer = 5,     // the answer did not have the expected shape
    kResultBadArgument = 6,   // an argument is out of range or a pointer is missing
    kResultNotSupported = 7,  // this library does not provide the call yet
};

} // namespace tarnwick
