// The library with its threads and a real UDP socket on 127.0.0.1, with the
// clock under the test's control.
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "fake_clock.h"
#include "host_recorder.h"
#include "server.h"
#include "temp_folder.h"
#include "online_clock.h"
#include "terminal_frames.h"
#include "udp_terminal.h"

namespace tillwire {
namespace {

using testing::FakeClock;
using testing::OnlineClock;
using testing::HostRecorder;
using testing::TempFolder;

class LifecycleTest : public ::testing::Test {
protected:
    LifecycleTest() {
        LibraryOptions options;
        options.clock = &clock;
        options.logFolder = (tmp.Path() / "OnLineLog").string();
        options.listenAddress = "127.0.0.1";
        library = std::make_unique<OnlineLibrary>(options);
    }
    ~LifecycleTest() override {
        clock.Advance(20000);  // unconfirmed trades expire: stopping ends
        library->StopOnline();
        // The library can only be destroyed once its threads have ended.
        library.reset();
    }

    bool Launch(std::vector<TTOnlineClock> clocks, int32_t port = 0) {
        std::vector<TTOnlineClock*> ptrs;
        for (auto& c : clocks) ptrs.push_back(&c);
        return library->LaunchOnline(ptrs.data(), static_cast<int32_t>(ptrs.size()) - 1, port, host.All());
    }
    uint16_t Port() const { return library->OnlineSvr ? library->OnlineSvr->BoundPort() : 0; }
    void Pump() { library->Queue.Dispatch(); }
    std::optional<std::vector<uint8_t>> Trade(const terminal::UdpTerminal& t, const terminal::Request& r = {},
                                              int timeoutMs = 3000) {
        t.Send(terminal::TradeRequest(r), Port());
        return t.Receive(timeoutMs, library->Queue.EventFd(), [this] { Pump(); });
    }
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
        return terminal::PumpUntil(library->Queue.EventFd(), [this] { Pump(); }, done, timeoutMs);
    }

    TempFolder tmp;
    FakeClock clock;
    HostRecorder host;
    std::unique_ptr<OnlineLibrary> library;
};

TEST_F(LifecycleTest, TradeOverUdpIsAnsweredConfirmedAndReported) {
    ASSERT_TRUE(Launch({OnlineClock(5)}));
    terminal::UdpTerminal t;
    const auto reply = Trade(t);
    ASSERT_TRUE(reply);
    const auto frame = terminal::Unreverse(reply->data(), reply->size());
    ASSERT_EQ(frame.size(), 2u + 8 + 37);
    EXPECT_EQ(frame[1], 0x11);  // sequence 1, address code 1
    ASSERT_EQ(host.requests.size(), 1u);
    EXPECT_STREQ(host.requests[0].DeviceIP, "127.0.0.1");

    t.Send(terminal::Confirmation(5, 1000), Port());
    ASSERT_TRUE(PumpUntil([&] { return !host.results.empty(); }));
    EXPECT_EQ(host.results[0].confirmed, 1);
    EXPECT_TRUE(library->StopOnline());
    EXPECT_FALSE(library->OnlineSvr);
}

TEST_F(LifecycleTest, EventDescriptorIsReadableExactlyWhileCallsWait) {
    ASSERT_TRUE(Launch({OnlineClock(5, clock.Now())}));  // not due for the offline watch
    const int fd = library->Queue.EventFd();
    auto readable = [fd] {
        pollfd p{fd, POLLIN, 0};
        return poll(&p, 1, 0) == 1;
    };
    EXPECT_FALSE(readable());
    terminal::UdpTerminal t;
    t.Send(terminal::TradeRequest({}), Port());
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 3000), 1);  // the listener waits for this thread
    EXPECT_TRUE(host.requests.empty());  // nothing runs until the host dispatches
    Pump();
    EXPECT_EQ(host.requests.size(), 1u);
    ASSERT_TRUE(t.Receive(3000));
}

TEST_F(LifecycleTest, SecondLaunchWhileRunningChangesNothing) {
    ASSERT_TRUE(Launch({OnlineClock(5)}));
    const uint16_t port = Port();
    TTOnlineClock other = OnlineClock(9);
    TTOnlineClock* ptr = &other;
    EXPECT_TRUE(library->LaunchOnline(&ptr, 0, 1, Callbacks{}));
    EXPECT_TRUE(library->LaunchOnlineByString("9,127.0.0.1,1", 1, Callbacks{}));
    EXPECT_EQ(Port(), port);
    ASSERT_EQ(library->OnlineClocks.Size(), 1u);
    terminal::UdpTerminal t;
    EXPECT_TRUE(Trade(t));  // device 5, with the first launch's callbacks
    EXPECT_EQ(host.requests.size(), 1u);
}

TEST_F(LifecycleTest, RelaunchStartsAfreshWithSequenceFromZero) {
    ASSERT_TRUE(Launch({OnlineClock(5)}));
    terminal::UdpTerminal t;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(Trade(t));
    for (int i = 0; i < 3; ++i) t.Send(terminal::Confirmation(5, 1000), Port());
    ASSERT_TRUE(PumpUntil([&] { return host.results.size() == 3; }));
    ASSERT_TRUE(library->StopOnline());

    ASSERT_TRUE(library->LaunchOnlineByString("6,127.0.0.1,4001", 0, host.All()));
    EXPECT_EQ(library->OnlineClocks.Size(), 1u);
    EXPECT_FALSE(Trade(t, {}, 200));  // device 5 is no longer registered
    terminal::Request r;
    r.deviceNo = 6;
    const auto reply = Trade(t, r);
    ASSERT_TRUE(reply);
    EXPECT_EQ(terminal::Unreverse(reply->data(), reply->size()).at(1) >> 4, 1);
}

TEST_F(LifecycleTest, PortInUseFailsAndLeavesNoServer) {
    terminal::UdpTerminal holder;  // holds a port on 127.0.0.1
    EXPECT_FALSE(Launch({OnlineClock(5)}, holder.Port()));
    EXPECT_FALSE(library->OnlineSvr);
    EXPECT_FALSE(library->StopOnline());
    EXPECT_TRUE(host.states.empty());  // a failed launch reports nothing
    ASSERT_TRUE(Launch({OnlineClock(5)}));
    terminal::UdpTerminal t;
    EXPECT_TRUE(Trade(t));
}

TEST_F(LifecycleTest, StopWithoutServerDoesNothing) {
    EXPECT_FALSE(library->StopOnline());
    EXPECT_FALSE(library->StopOnline());
}

TEST_F(LifecycleTest, EmptyTableRunsAndIgnoresEverything) {
    ASSERT_TRUE(library->LaunchOnline(nullptr, -1, 0, host.All()));
    terminal::UdpTerminal t;
    EXPECT_FALSE(Trade(t, {}, 200));
    EXPECT_TRUE(host.requests.empty());
    EXPECT_TRUE(host.states.empty());
}

TEST_F(LifecycleTest, StopWaitsUntilUnconfirmedTradesAreReported) {
    ASSERT_TRUE(Launch({OnlineClock(5)}));
    terminal::UdpTerminal t;
    ASSERT_TRUE(Trade(t));
    ASSERT_TRUE(Trade(t));
    std::atomic<bool> stopped{false};
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(stopped.load());  // still waiting for the two trades
        clock.Advance(10001);
    });
    EXPECT_TRUE(library->StopOnline());
    stopped = true;
    later.join();
    ASSERT_EQ(host.results.size(), 2u);
    EXPECT_EQ(host.results[0].confirmed, 0);
    EXPECT_EQ(host.results[1].confirmed, 0);
    EXPECT_FALSE(library->OnlineSvr);
}

TEST_F(LifecycleTest, StopFromInsideACallbackIsRefused) {
    ASSERT_TRUE(Launch({OnlineClock(5)}));
    bool stopResult = true;
    host.answer = [&](const TTradeRequest&, TTradeAnswer& a) {
        stopResult = library->StopOnline();
        a.TradeSerial = 1;
        return uint8_t{1};
    };
    terminal::UdpTerminal t;
    ASSERT_TRUE(Trade(t));
    EXPECT_FALSE(stopResult);
    EXPECT_TRUE(library->OnlineSvr);
}

TEST_F(LifecycleTest, OfflineWatchRunsOnItsOwn) {
    ASSERT_TRUE(Launch({OnlineClock(5), OnlineClock(6)}));
    // Launched with all-zero liveness: both reported offline in the first pass.
    ASSERT_TRUE(PumpUntil([&] { return host.states.size() == 2; }));
    EXPECT_EQ(host.states[0], (HostRecorder::State{5, 1}));
    terminal::UdpTerminal t;
    ASSERT_TRUE(Trade(t));
    EXPECT_EQ(host.states.back(), (HostRecorder::State{5, 0}));
    clock.Advance(300001);
    ASSERT_TRUE(PumpUntil([&] { return host.states.size() == 4; }));
    EXPECT_EQ(host.states.back(), (HostRecorder::State{5, 1}));
}

TEST_F(LifecycleTest, UnloadWithServerRunningEndsWithoutReports) {
    ASSERT_TRUE(Launch({OnlineClock(5)}));
    terminal::UdpTerminal t;
    ASSERT_TRUE(Trade(t));
    library.reset();  // pending trade dropped, threads ended
    EXPECT_TRUE(host.results.empty());
    LibraryOptions options;
    options.clock = &clock;
    options.logFolder = (tmp.Path() / "OnLineLog").string();
    library = std::make_unique<OnlineLibrary>(options);
}

}  // namespace
}  // namespace tillwire
