// The shared library as a host sees it: loaded with dlopen, driven through
// its C exports and its event descriptor, terminals on 127.0.0.1.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "terminal_frames.h"
#include "tillwire.h"
#include "udp_terminal.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Library {
    void* handle = nullptr;
    decltype(&LaunchOnline) launch = nullptr;
    decltype(&LaunchOnlineByString) launchByString = nullptr;
    decltype(&StopOnline) stop = nullptr;
    decltype(&TillwireEventFd) eventFd = nullptr;
    decltype(&TillwireDispatch) dispatch = nullptr;

    Library() {
        char exe[PATH_MAX + 1] = {};
        const ssize_t n = readlink("/proc/self/exe", exe, PATH_MAX);
        std::string dir(exe, n > 0 ? static_cast<std::size_t>(n) : 0);
        dir = dir.substr(0, dir.rfind('/'));
        handle = dlopen((dir + "/libtillwire.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        launch = reinterpret_cast<decltype(launch)>(dlsym(handle, "LaunchOnline"));
        launchByString = reinterpret_cast<decltype(launchByString)>(dlsym(handle, "LaunchOnlineByString"));
        stop = reinterpret_cast<decltype(stop)>(dlsym(handle, "StopOnline"));
        eventFd = reinterpret_cast<decltype(eventFd)>(dlsym(handle, "TillwireEventFd"));
        dispatch = reinterpret_cast<decltype(dispatch)>(dlsym(handle, "TillwireDispatch"));
    }
};

Library& Lib() {
    static Library lib;
    return lib;
}

// What the host saw; only ever touched on this thread (the loading thread).
struct Seen {
    std::vector<TTradeRequest> requests;
    std::vector<std::pair<uint32_t, int32_t>> results;  // serial, confirmed
    std::vector<std::pair<uint32_t, int32_t>> states;
    uint32_t nextSerial = 5000;
    std::thread::id thread;
    bool wrongThread = false;
};
Seen* g_seen = nullptr;

void Check() {
    if (std::this_thread::get_id() != g_seen->thread) g_seen->wrongThread = true;
}

void TILLWIRE_CALL OnRequest(TTradeRequest* r, TTradeAnswer* a, uint8_t* accept) {
    Check();
    g_seen->requests.push_back(*r);
    a->TradeSerial = g_seen->nextSerial++;
    std::memcpy(a->Text, "\xBF\xA8\xBB\xA7\xD0\xD5\xC3\xFB", 9);
    a->Balance = 150;
    a->ExtraValue = 30;
    *accept = 1;
}
void TILLWIRE_CALL OnResult(TTradeRequest* r, int32_t confirmed, uint8_t* flag) {
    Check();
    g_seen->results.emplace_back(+r->TradeSerial, confirmed);
    *flag = 1;
}
void TILLWIRE_CALL OnState(uint32_t clockNo, int32_t state) {
    Check();
    g_seen->states.emplace_back(clockNo, state);
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TILLWIRE_LISTEN_ADDRESS", "127.0.0.1", 1);
        ASSERT_NE(Lib().handle, nullptr) << dlerror();
        ASSERT_TRUE(Lib().launch && Lib().launchByString && Lib().stop && Lib().eventFd && Lib().dispatch);
        seen.thread = std::this_thread::get_id();
        g_seen = &seen;
        port = terminal::FreeLoopbackPort();
    }
    void TearDown() override {
        Lib().stop();
        EXPECT_FALSE(seen.wrongThread) << "a callback ran off the loading thread";
        g_seen = nullptr;
    }
    void Pump() { Lib().dispatch(); }
    std::optional<Bytes> Trade(const terminal::UdpTerminal& t, const terminal::Request& r, int timeoutMs = 3000) {
        t.Send(terminal::TradeRequest(r), port);
        return t.Receive(timeoutMs, Lib().eventFd(), [this] { Pump(); });
    }
    bool PumpUntil(const std::function<bool()>& done) {
        return terminal::PumpUntil(Lib().eventFd(), [this] { Pump(); }, done);
    }

    Seen seen;
    uint16_t port = 0;
};

TEST_F(EndToEnd, TradeAnsweredByteForByteConfirmedAndReported) {
    TTOnlineClock records[1];
    std::memset(records, 0, sizeof records);
    records[0].ClockNo = 5;
    std::strcpy(records[0].IP, "127.0.0.1");
    records[0].Port = 4001;
    records[0].OnlineTime = 1e9;  // far ahead: not due for the offline watch
    TTOnlineClock* ptrs[] = {&records[0]};
    ASSERT_EQ(Lib().launch(ptrs, 0, port, OnRequest, OnResult, OnState), 1);
    std::memset(records, 0xFF, sizeof records);  // the library keeps its own copy

    terminal::UdpTerminal t;
    terminal::Request r;
    r.amount = 1250;
    const auto reply = Trade(t, r);
    ASSERT_TRUE(reply);
    Bytes params = {0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    terminal::PutBE32(params, 30);
    terminal::PutBE32(params, 150);
    terminal::PutBE32(params, 5000);
    const uint8_t name[16] = {0xBF, 0xA8, 0xBB, 0xA7, 0xD0, 0xD5, 0xC3, 0xFB};
    params.insert(params.end(), name, name + 16);
    Bytes expected = terminal::Frame(5, 0x0B02, params, 1);
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(*reply, expected);

    ASSERT_EQ(seen.requests.size(), 1u);
    EXPECT_EQ(+seen.requests[0].Amount, 1250u);
    EXPECT_STREQ(seen.requests[0].DeviceIP, "127.0.0.1");
    EXPECT_EQ(seen.states, (std::vector<std::pair<uint32_t, int32_t>>{{5, 0}}));

    t.Send(terminal::Confirmation(5, 5000), port);
    ASSERT_TRUE(PumpUntil([&] { return !seen.results.empty(); }));
    EXPECT_EQ(seen.results[0], (std::pair<uint32_t, int32_t>{5000, 1}));

    EXPECT_EQ(Lib().stop(), 1);
    EXPECT_EQ(Lib().stop(), 0);
}

TEST_F(EndToEnd, LaunchByStringRegistersEveryTerminal) {
    const std::string text = "60,127.0.0.1,4001|61,127.0.0.1,";
    ASSERT_EQ(Lib().launchByString(text.c_str(), port, OnRequest, OnResult, OnState), 1);
    EXPECT_EQ(Lib().launchByString("", port + 1, nullptr, nullptr, nullptr), 1);  // running: unchanged
    terminal::UdpTerminal a, b;
    terminal::Request r60, r61;
    r60.deviceNo = 60;
    r61.deviceNo = 61;
    ASSERT_TRUE(Trade(a, r60));
    ASSERT_TRUE(Trade(b, r61));
    a.Send(terminal::Confirmation(60, 5000), port);
    b.Send(terminal::Confirmation(61, 5001), port);
    ASSERT_TRUE(PumpUntil([&] { return seen.results.size() == 2; }));
    EXPECT_EQ(seen.results[0].second + seen.results[1].second, 2);
    EXPECT_EQ(seen.states, (std::vector<std::pair<uint32_t, int32_t>>{{60, 0}, {61, 0}}));
}

TEST_F(EndToEnd, RandomDatagramsDoNotDisturbTrades) {
    ASSERT_EQ(Lib().launchByString("5,127.0.0.1,4001|6,127.0.0.1,4001", port, OnRequest, OnResult, OnState), 1);
    terminal::UdpTerminal good, noisy;
    std::mt19937 rng(99);
    for (int round = 0; round < 100; ++round) {
        for (int j = 0; j < 10; ++j) {
            Bytes junk(rng() % 1500);
            for (auto& x : junk) x = static_cast<uint8_t>(rng());
            if (junk.size() > 4 && rng() % 2) {
                junk[2] = 0;
                junk[3] = static_cast<uint8_t>(5 + rng() % 2);
            }
            noisy.Send(junk, port);
        }
        const auto reply = Trade(good, {});
        ASSERT_TRUE(reply) << "round " << round;
        ASSERT_FALSE(terminal::Unreverse(reply->data(), reply->size()).empty());
        good.Send(terminal::Confirmation(5, seen.nextSerial - 1), port);
    }
    ASSERT_TRUE(PumpUntil([&] { return seen.results.size() == 100; }));
    for (const auto& r : seen.results) EXPECT_EQ(r.second, 1);
    // The noisy sender never got anything back.
    EXPECT_FALSE(noisy.Receive(50));
}

TEST_F(EndToEnd, UnbindablePortFailsAndTheNextLaunchStartsAfresh) {
    terminal::UdpTerminal holder;
    EXPECT_EQ(Lib().launchByString("5,127.0.0.1,4001", holder.Port(), OnRequest, OnResult, OnState), 0);
    EXPECT_EQ(Lib().launchByString("5,127.0.0.1,4001", 0, OnRequest, OnResult, OnState), 0);
    EXPECT_EQ(Lib().launchByString("5,127.0.0.1,4001", 70000, OnRequest, OnResult, OnState), 0);
    EXPECT_EQ(Lib().stop(), 0);  // nothing was left running
    ASSERT_EQ(Lib().launchByString("5,127.0.0.1,4001", port, OnRequest, OnResult, OnState), 1);
    terminal::UdpTerminal t;
    EXPECT_TRUE(Trade(t, {}));
    t.Send(terminal::Confirmation(5, seen.nextSerial - 1), port);
    EXPECT_TRUE(PumpUntil([&] { return seen.results.size() == 1; }));
}

TEST_F(EndToEnd, ExportsRefuseCallsFromOtherThreads) {
    uint8_t launched = 1, stopped = 1;
    std::thread other([&] {
        launched = Lib().launchByString("5,127.0.0.1,4001", port, OnRequest, OnResult, OnState);
        stopped = Lib().stop();
    });
    other.join();
    EXPECT_EQ(launched, 0);
    EXPECT_EQ(stopped, 0);
}

}  // namespace
