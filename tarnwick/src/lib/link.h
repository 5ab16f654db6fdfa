// A link of the stand-in library: one channel, the device number it
// addresses, and request/response exchange with a per-call deadline.
#pragma once

#include "lib/channel.h"
#include "link/frame.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace tarnwick {

enum class CallOutcome {
    Answered,    // a response arrived; its status says how the terminal took it
    NotCalled,   // no terminal addressed on this link (CallClock first)
    Timeout,     // no matching response before the deadline
    LinkClosed,  // the peer went away or the link failed
};

struct CallResult {
    CallOutcome outcome = CallOutcome::LinkClosed;
    link::Frame response;

    bool Ok() const { return outcome == CallOutcome::Answered && response.status == 0; }
};

class Link {
public:
    Link(int fd, Channel::Kind kind, int timeoutMs) : channel_(fd, kind), timeoutMs_(timeoutMs) {}

    // Sends one request to `device` (the addressed terminal when 0) and waits
    // for its response. Frames that do not answer this request (stale answers
    // to calls that timed out, noise) are skipped.
    CallResult Call(std::uint16_t command, const std::vector<std::uint8_t> &payload, std::uint32_t device = 0);

    std::uint32_t Addressed();
    void SetAddressed(std::uint32_t device);
    void Shutdown() { channel_.Shutdown(); }
    Channel::Kind kind() const { return channel_.kind(); }

private:
    std::mutex mutex_;  // one call at a time per link
    Channel channel_;
    link::FrameDecoder decoder_;
    int timeoutMs_;
    std::uint16_t sequence_ = 0;
    std::uint32_t addressed_ = 0;
    bool broken_ = false;
};

// The default per-call timeout, or TARNWICK_TIMEOUT_MS when it holds a number
// of milliseconds between 1 and 600000.
int CallTimeoutMs();

// The table of open links. Handles are small positive integers, never 0 or -1.
class LinkTable {
public:
    static LinkTable &Instance();

    std::int32_t Add(std::shared_ptr<Link> link);
    std::shared_ptr<Link> Find(std::int32_t handle);
    std::shared_ptr<Link> Remove(std::int32_t handle);

private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<Link>> slots_;  // handle h lives in slots_[h - 1]
    std::size_t next_ = 0;
};

} // namespace tarnwick
