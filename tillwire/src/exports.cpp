// The shared library: its load-time set-up and the C exports.
#include <cstdlib>
#include <new>

#include "server.h"
#include "tillwire.h"

namespace {

tillwire::RealClock* g_clock = nullptr;
tillwire::OnlineLibrary* g_library = nullptr;

// Runs in the thread that loads the library; that thread runs every callback.
__attribute__((constructor)) void TillwireLoad() {
    g_clock = new (std::nothrow) tillwire::RealClock();
    if (g_clock == nullptr) return;
    tillwire::LibraryOptions options;
    options.clock = g_clock;
    options.logFolder = tillwire::ExecutableFolder() + "/OnLineLog";
    try {
        g_library = new tillwire::OnlineLibrary(std::move(options));
    } catch (...) {
        g_library = nullptr;
    }
}

// A server still running at unload ends without reporting its pending trades:
// the host is going away.
__attribute__((destructor)) void TillwireUnload() {
    delete g_library;
    g_library = nullptr;
    delete g_clock;
    g_clock = nullptr;
}

// The address to listen on: all local addresses unless
// TILLWIRE_LISTEN_ADDRESS names one (tests and benchmarks use 127.0.0.1).
void ReadListenAddress() {
    const char* address = std::getenv("TILLWIRE_LISTEN_ADDRESS");
    g_library->options.listenAddress = address ? address : "";
}

bool PortInRange(int32_t port) { return port > 0 && port <= 65535; }

// The part both launches share: a launch while a server runs goes straight
// through (it changes nothing); a new server needs a valid port and takes
// the listen address as it is now. No failure crosses the C boundary.
template <typename Launch>
uint8_t LaunchGuarded(int32_t port, Launch launch) {
    if (g_library == nullptr) return 0;
    try {
        if (!g_library->OnlineSvr) {
            if (!PortInRange(port)) return 0;
            ReadListenAddress();
        }
        return launch() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace

extern "C" {

TILLWIRE_API uint8_t TILLWIRE_CALL LaunchOnline(TTOnlineClock** clocks, int32_t lastIndex, int32_t port,
                                                TOnTradeRequest onTradeRequest, TOnTradeResult onTradeResult,
                                                TOnOnlineState onOnlineState) {
    return LaunchGuarded(port, [&] {
        return g_library->LaunchOnline(clocks, lastIndex, port, {onTradeRequest, onTradeResult, onOnlineState});
    });
}

TILLWIRE_API uint8_t TILLWIRE_CALL LaunchOnlineByString(const char* text, int32_t port,
                                                        TOnTradeRequest onTradeRequest,
                                                        TOnTradeResult onTradeResult,
                                                        TOnOnlineState onOnlineState) {
    return LaunchGuarded(port, [&] {
        return g_library->LaunchOnlineByString(text, port, {onTradeRequest, onTradeResult, onOnlineState});
    });
}

TILLWIRE_API uint8_t TILLWIRE_CALL StopOnline(void) {
    if (g_library == nullptr) return 0;
    try {
        return g_library->StopOnline() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

TILLWIRE_API int TILLWIRE_CALL TillwireEventFd(void) { return g_library ? g_library->Queue.EventFd() : -1; }

TILLWIRE_API void TILLWIRE_CALL TillwireDispatch(void) {
    if (g_library) g_library->Queue.Dispatch();
}

}  // extern "C"
