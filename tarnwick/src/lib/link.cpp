#include "lib/link.h"

#include <cstdlib>

namespace tarnwick {

int CallTimeoutMs() {
    constexpr int kDefault = 3000;
    const char *env = std::getenv("TARNWICK_TIMEOUT_MS");
    if (!env || !*env) return kDefault;
    char *end = nullptr;
    const long v = std::strtol(env, &end, 10);
    if (*end != '\0' || v < 1 || v > 600'000) return kDefault;
    return static_cast<int>(v);
}

std::uint32_t Link::Addressed() {
    std::lock_guard lock(mutex_);
    return addressed_;
}

void Link::SetAddressed(std::uint32_t device) {
    std::lock_guard lock(mutex_);
    addressed_ = device;
}

CallResult Link::Call(std::uint16_t command, const std::vector<std::uint8_t> &payload, std::uint32_t device) {
    std::lock_guard lock(mutex_);
    CallResult result;
    if (broken_) return result;
    if (device == 0) device = addressed_;
    if (device == 0) {
        result.outcome = CallOutcome::NotCalled;
        return result;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_);

    link::Frame request;
    request.type = link::FrameType::Request;
    request.sequence = ++sequence_;
    request.command = command;
    request.device = device;
    request.payload = payload;
    std::vector<std::uint8_t> bytes;
    if (!link::EncodeFrame(request, bytes)) {
        result.outcome = CallOutcome::LinkClosed;
        return result;
    }
    switch (channel_.WriteAll(bytes.data(), bytes.size(), deadline)) {
    case IoStatus::Ok: break;
    case IoStatus::Timeout: result.outcome = CallOutcome::Timeout; return result;
    case IoStatus::Closed: broken_ = true; return result;
    }

    std::uint8_t buf[4096];
    for (;;) {
        while (auto frame = decoder_.Next()) {
            if (frame->type == link::FrameType::Response && frame->sequence == request.sequence &&
                frame->command == request.command && frame->device == request.device) {
                result.outcome = CallOutcome::Answered;
                result.response = std::move(*frame);
                return result;
            }
        }
        std::size_t got = 0;
        switch (channel_.ReadSome(buf, sizeof buf, got, deadline)) {
        case IoStatus::Ok: decoder_.Feed(buf, got); break;
        case IoStatus::Timeout: result.outcome = CallOutcome::Timeout; return result;
        case IoStatus::Closed: broken_ = true; result.outcome = CallOutcome::LinkClosed; return result;
        }
    }
}

LinkTable &LinkTable::Instance() {
    // Never destroyed: a host may still call in while the process exits.
    static auto *table = new LinkTable;
    return *table;
}

std::int32_t LinkTable::Add(std::shared_ptr<Link> link) {
    std::lock_guard lock(mutex_);
    // New slots first, then the next free slot after the last one handed
    // out, so a handle that was just closed is not given to the next link
    // at once and a stale handle rarely reaches another terminal.
    constexpr std::size_t kFreshSlots = 64;
    const std::size_t n = slots_.size();
    for (std::size_t i = 0; i < n && n >= kFreshSlots; ++i) {
        const std::size_t s = (next_ + i) % n;
        if (!slots_[s]) {
            slots_[s] = std::move(link);
            next_ = s + 1;
            return static_cast<std::int32_t>(s + 1);
        }
    }
    constexpr std::size_t kMaxLinks = 4096;
    if (n >= kMaxLinks) return 0;
    slots_.push_back(std::move(link));
    next_ = slots_.size();
    return static_cast<std::int32_t>(slots_.size());
}

std::shared_ptr<Link> LinkTable::Find(std::int32_t handle) {
    std::lock_guard lock(mutex_);
    if (handle <= 0 || static_cast<std::size_t>(handle) > slots_.size()) return nullptr;
    return slots_[static_cast<std::size_t>(handle) - 1];
}

std::shared_ptr<Link> LinkTable::Remove(std::int32_t handle) {
    std::lock_guard lock(mutex_);
    if (handle <= 0 || static_cast<std::size_t>(handle) > slots_.size()) return nullptr;
    return std::move(slots_[static_cast<std::size_t>(handle) - 1]);
}

} // namespace tarnwick
