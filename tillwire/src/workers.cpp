#include <algorithm>
#include <exception>

#include "server.h"

namespace tillwire {

// ---------------------------------------------------------------- worker base

TWorkerThread::~TWorkerThread() {
    Terminate();
    if (thread_.joinable()) thread_.join();
}

void TWorkerThread::Start() {
    thread_ = std::thread([this] {
        Execute();
        finished_.store(true, std::memory_order_release);
    });
}

void TWorkerThread::Terminate() {
    {
        std::lock_guard<std::mutex> lock(pauseMutex_);
        terminated_.store(true, std::memory_order_release);
    }
    pauseCv_.notify_all();
}

void TWorkerThread::Join() {
    if (thread_.joinable()) thread_.join();
}

void TWorkerThread::Pause(int ms) {
    std::unique_lock<std::mutex> lock(pauseMutex_);
    pauseCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return Terminated(); });
}

// ---------------------------------------------------------------- clear thread

TClearThread::TClearThread(TTCPOnLineSvr& server, int pauseMs) : server_(server), pauseMs_(pauseMs) {}

TClearThread::~TClearThread() {
    Terminate();
    Join();
}

bool TClearThread::IsExpired(const TTradeRequest& request) const {
    return static_cast<uint32_t>(server_.library.clock.Tick() - request.QueuedTick) > kConfirmTimeoutMs;
}

void TClearThread::NotifyConfirmed() {
    const TOnTradeResult onResult = server_.library.callbacks.OnTradeResult;
    if (onResult) onResult(FCurrent, 1, &FResultFlag);
}

void TClearThread::NotifyExpired() {
    const TOnTradeResult onResult = server_.library.callbacks.OnTradeResult;
    if (onResult) onResult(FCurrent, 0, &FResultFlag);
}

bool TClearThread::Pass() {
    enum class Outcome { None, Confirmed, Expired } outcome = Outcome::None;
    OnlineLibrary& library = server_.library;
    {
        std::lock_guard<std::mutex> lock(library.PendingLock);
        try {
            // From the most recently queued down: one request per pass.
            for (auto it = server_.PendingList.rbegin(); it != server_.PendingList.rend(); ++it) {
                FResultFlag = 0;
                FCurrent = *it;
                if (FCurrent->Confirmed != 0) {
                    outcome = Outcome::Confirmed;
                    break;
                }
                if (IsExpired(*FCurrent)) {
                    outcome = Outcome::Expired;
                    break;
                }
            }
        } catch (const std::exception& e) {
            outcome = Outcome::None;
            library.WriteLog(kLogClearThread, e.what());
        }
    }
    if (outcome == Outcome::None) return false;

    try {
        // The host hears of it on the loading thread while this thread waits;
        // no lock is held meanwhile.
        auto notify = [this, outcome] {
            if (outcome == Outcome::Confirmed) NotifyConfirmed();
            else NotifyExpired();
        };
        if (!library.Queue.Invoke(notify)) return false;  // unloading
        std::lock_guard<std::mutex> lock(library.PendingLock);
        auto& list = server_.PendingList;
        const auto it = std::find(list.begin(), list.end(), FCurrent);
        if (it != list.end()) {
            list.erase(it);
            delete FCurrent;
        }
        FCurrent = nullptr;
    } catch (const std::exception& e) {
        library.WriteLog(kLogClearThread2, e.what());
    }
    return true;
}

void TClearThread::Execute() {
    while (!Terminated()) {
        // A pass that settled a request is followed at once by the next, so
        // that the list keeps pace with the trades; an idle pass pauses.
        if (!Pass()) Pause(pauseMs_);
    }
}

// ---------------------------------------------------------------- heart thread

THeartThread::THeartThread(TTCPOnLineSvr& server, TTOnlineClocks& clocks, int pauseMs)
    : server_(server), FClocks(clocks), pauseMs_(pauseMs) {}

THeartThread::~THeartThread() {
    Terminate();
    Join();
}

void THeartThread::NotifyOffline() {
    OnlineLibrary& library = server_.library;
    // Tested again on the loading thread, where datagrams are handled, so that
    // the host hears online and offline in the order they happened.
    if (!FClocks.MarkOfflineIfDue(FIndex, FClock.ClockNo, library.clock.Now())) return;
    const TOnOnlineState onState = library.callbacks.OnOnlineState;
    if (onState) onState(FClock.ClockNo, 1);
}

void THeartThread::Pass() {
    OnlineLibrary& library = server_.library;
    try {
        for (std::size_t i = 0; !Terminated(); ++i) {
            if (!FClocks.Get(i, FClock)) break;
            if (!TTOnlineClocks::IsDue(FClock, library.clock.Now())) continue;
            FIndex = i;
            auto notify = [this] { NotifyOffline(); };
            if (!library.Queue.Invoke(notify)) break;
        }
    } catch (const std::exception& e) {
        library.WriteLog(kLogHeartThread, e.what());
    }
}

void THeartThread::Execute() {
    while (!Terminated()) {
        Pass();
        Pause(pauseMs_);
    }
}

}  // namespace tillwire
