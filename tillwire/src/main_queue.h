// The queue of calls for the thread that loaded the library (on the original
// platform, its hidden application window). Other threads hand a call over
// and wait until the loading thread has run it; the event descriptor is
// readable while calls wait, so any host can drive the queue with poll().
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace tillwire {

class MainThreadQueue {
public:
    // The calling thread becomes the queue's owner (the loading thread).
    MainThreadQueue();
    ~MainThreadQueue();
    MainThreadQueue(const MainThreadQueue&) = delete;
    MainThreadQueue& operator=(const MainThreadQueue&) = delete;

    int EventFd() const { return efd_; }
    bool OnOwnerThread() const { return std::this_thread::get_id() == owner_; }
    // Nonzero while the owner thread runs a call (or a callback inside one).
    int Depth() const { return depth_; }

    // Runs fn(ctx) on the owner thread and returns when it has run: at once
    // when called on the owner thread, otherwise by queueing it and waiting.
    // Returns false, without running it, once the queue is closed.
    bool Invoke(void (*fn)(void*), void* ctx);
    template <class F>
    bool Invoke(F& f) {
        return Invoke([](void* p) { (*static_cast<F*>(p))(); }, &f);
    }

    // On the owner thread: runs every call now waiting, in the order they
    // came. Does nothing on other threads and inside a running call.
    void Dispatch();

    // On the owner thread: dispatches until done() holds, looking again at
    // least every 10 ms.
    void DispatchUntil(const std::function<bool()>& done);

    // Releases every waiting caller without running its call; later Invoke
    // calls return false at once.
    void Close();

private:
    struct Call {
        void (*fn)(void*);
        void* ctx;
        Call* next;
        bool done;
        bool ran;
    };
    void ResetEventLocked();

    std::thread::id owner_;
    int efd_ = -1;
    int depth_ = 0;  // owner thread only
    std::mutex mutex_;
    std::condition_variable doneCv_;
    Call* head_ = nullptr;
    Call* tail_ = nullptr;
    bool closed_ = false;
};

}  // namespace tillwire
