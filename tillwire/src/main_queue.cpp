#include "main_queue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace tillwire {

MainThreadQueue::MainThreadQueue() : owner_(std::this_thread::get_id()) {
    efd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

MainThreadQueue::~MainThreadQueue() {
    Close();
    if (efd_ >= 0) close(efd_);
}

void MainThreadQueue::ResetEventLocked() {
    uint64_t value;
    while (read(efd_, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool MainThreadQueue::Invoke(void (*fn)(void*), void* ctx) {
    if (OnOwnerThread()) {
        ++depth_;
        try {
            fn(ctx);
        } catch (...) {
        }
        --depth_;
        return true;
    }
    Call call{fn, ctx, nullptr, false, false};
    std::unique_lock<std::mutex> lock(mutex_);
    if (closed_) return false;
    const bool wasEmpty = head_ == nullptr;
    if (tail_) tail_->next = &call;
    else head_ = &call;
    tail_ = &call;
    if (wasEmpty) {
        const uint64_t one = 1;
        while (write(efd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
    doneCv_.wait(lock, [&] { return call.done; });
    return call.ran;
}

void MainThreadQueue::Dispatch() {
    if (!OnOwnerThread() || depth_ > 0) return;
    Call* list;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        list = head_;
        head_ = tail_ = nullptr;
        if (list) ResetEventLocked();
    }
    while (list) {
        Call* call = list;
        list = call->next;  // the caller may return once its call is marked done
        ++depth_;
        try {
            call->fn(call->ctx);
        } catch (...) {
        }
        --depth_;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            call->ran = true;
            call->done = true;
        }
        doneCv_.notify_all();
    }
}

void MainThreadQueue::DispatchUntil(const std::function<bool()>& done) {
    while (true) {
        Dispatch();
        if (done()) return;
        pollfd p{efd_, POLLIN, 0};
        poll(&p, 1, 10);
    }
}

void MainThreadQueue::Close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        for (Call* call = head_; call;) {
            Call* next = call->next;
            call->ran = false;
            call->done = true;
            call = next;
        }
        if (head_) ResetEventLocked();
        head_ = tail_ = nullptr;
    }
    doneCv_.notify_all();
}

}  // namespace tillwire
