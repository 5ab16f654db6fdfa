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
    OnlineLibrary& library = server_.library;
    settled_.clear();
    {
        std::lock_guard<std::mutex> lock(library.PendingLock);
        try {
            // From the most recently queued down: every request with an
            // outcome is settled in this pass, the latest first.
            for (auto it = server_.PendingList.rbegin(); it != server_.PendingList.rend(); ++it) {
                TTradeRequest* request = *it;
                if (request->Confirmed != 0) settled_.push_back({request, true});
                else if (IsExpired(*request)) settled_.push_back({request, false});
            }
        } catch (const std::exception& e) {
            library.WriteLog(kLogClearThread, e.what());
        }
    }
    if (settled_.empty()) return false;

    // The host hears of them on the loading thread while this thread waits;
    // no lock is held meanwhile. A request whose report failed stays in the
    // list and is reported again in a later pass.
    std::size_t reported = 0;
    auto notify = [this, &library, &reported] {
        for (const Settled& s : settled_) {
            FResultFlag = 0;
            FCurrent = s.request;
            try {
                if (s.confirmed) NotifyConfirmed();
                else NotifyExpired();
            } catch (const std::exception& e) {
                library.WriteLog(kLogClearThread2, e.what());
                return;
            } catch (...) {
                library.WriteLog(kLogClearThread2, "unknown failure");
                return;
            }
            ++reported;
        }
    };
    if (!library.Queue.Invoke(notify)) return false;  // unloading
    FCurrent = nullptr;
    try {
        removing_.clear();
        for (std::size_t i = 0; i < reported; ++i) removing_.push_back(settled_[i].request);
        std::sort(removing_.begin(), removing_.end());
        std::lock_guard<std::mutex> lock(library.PendingLock);
        auto& list = server_.PendingList;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [this](TTradeRequest* r) {
                                      return std::binary_search(removing_.begin(), removing_.end(), r);
                                  }),
                   list.end());
        for (TTradeRequest* r : removing_) delete r;
    } catch (const std::exception& e) {
        library.WriteLog(kLogClearThread2, e.what());
    }
    return true;
}

void TClearThread::Execute() {
    while (!Terminated()) {
        Pass();
        Pause(pauseMs_);
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
