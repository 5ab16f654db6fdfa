#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

namespace tillwire {

namespace {

std::string_view FailureMessage(const std::exception& e) { return e.what(); }

// Bytes of a zero-terminated field, at most size of them.
std::string_view FieldText(const char* field, std::size_t size) {
    return std::string_view(field, strnlen(field, size));
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void PutBE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

}  // namespace

TPeer TPeer::From(const sockaddr_in& addr) {
    TPeer peer;
    peer.addr = addr;
    if (inet_ntop(AF_INET, &addr.sin_addr, peer.ip, sizeof peer.ip) == nullptr) peer.ip[0] = 0;
    return peer;
}

TPeer TPeer::Loopback(uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return From(addr);
}

// ---------------------------------------------------------------- server object

TTCPOnLineSvr::TTCPOnLineSvr(OnlineLibrary& lib) : library(lib) {
    if (library.options.startWorkers) {
        FClearThread = std::make_unique<TClearThread>(*this, library.options.clearPauseMs);
        FHeartThread = std::make_unique<THeartThread>(*this, library.OnlineClocks, library.options.heartPauseMs);
        FHeartThread->Start();
        FClearThread->Start();
    }
}

TTCPOnLineSvr::~TTCPOnLineSvr() {
    if (!shutDown_) {
        if (library.Queue.OnOwnerThread()) Shutdown();
        else Abandon();
    }
}

void TTCPOnLineSvr::SetActive(bool value) {
    if (value == FActive) return;
    if (value) {
        FSeq = 0;
        if (FPort < 0 || FPort > 65535) return;
        const int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (sock < 0) return;
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(FPort));
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        if (!library.options.listenAddress.empty() &&
            inet_pton(AF_INET, library.options.listenAddress.c_str(), &addr.sin_addr) != 1) {
            close(sock);
            return;
        }
        if (bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            close(sock);  // the port is in use: the server stays off, nothing reported
            return;
        }
        sockaddr_in bound{};
        socklen_t boundLen = sizeof bound;
        getsockname(sock, reinterpret_cast<sockaddr*>(&bound), &boundLen);
        boundPort_ = ntohs(bound.sin_port);
        const int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wake < 0) {
            close(sock);
            return;
        }
        socket_ = sock;
        wakeFd_ = wake;
        accepting_ = true;
        listenerFinished_.store(false, std::memory_order_release);
        try {
            listener_ = std::thread([this] { ListenLoop(); });
        } catch (...) {
            close(socket_);
            close(wakeFd_);
            socket_ = wakeFd_ = -1;
            accepting_ = false;
            listenerFinished_.store(true);
            return;
        }
    } else {
        StopListener();
    }
    FActive = value;
}

void TTCPOnLineSvr::StopListener() {
    accepting_ = false;  // a datagram already handed over is dropped
    if (listener_.joinable()) {
        const uint64_t one = 1;
        while (write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
        library.Queue.DispatchUntil([this] { return listenerFinished_.load(std::memory_order_acquire); });
        listener_.join();
    }
    if (socket_ >= 0) close(socket_);
    if (wakeFd_ >= 0) close(wakeFd_);
    socket_ = wakeFd_ = -1;
}

void TTCPOnLineSvr::ListenLoop() {
    // Datagrams waiting together are handed over together: the loading
    // thread handles them one after another, in arrival order, in one call,
    // and the listener waits until it has. Only the first 1025 bytes of a
    // datagram are used, so each buffer holds that much and a little more.
    constexpr unsigned kBatch = 32;
    constexpr std::size_t kSlot = 2048;
    std::vector<uint8_t> buffers(kBatch * kSlot);
    sockaddr_in from[kBatch];
    iovec iov[kBatch];
    mmsghdr msgs[kBatch];
    struct Hand {
        TTCPOnLineSvr* server;
        mmsghdr* msgs;
        sockaddr_in* from;
        int count;
        void operator()() {
            for (int i = 0; i < count && server->accepting_; ++i) {
                if (msgs[i].msg_hdr.msg_namelen < sizeof(sockaddr_in) || from[i].sin_family != AF_INET) continue;
                server->OnIdUDPServerRead(static_cast<const uint8_t*>(msgs[i].msg_hdr.msg_iov->iov_base),
                                          msgs[i].msg_len, TPeer::From(from[i]));
            }
        }
    };
    while (true) {
        for (unsigned i = 0; i < kBatch; ++i) {
            iov[i].iov_base = buffers.data() + i * kSlot;
            iov[i].iov_len = kSlot;
            std::memset(&msgs[i], 0, sizeof msgs[i]);
            msgs[i].msg_hdr.msg_name = &from[i];
            msgs[i].msg_hdr.msg_namelen = sizeof from[i];
            msgs[i].msg_hdr.msg_iov = &iov[i];
            msgs[i].msg_hdr.msg_iovlen = 1;
        }
        const int n = recvmmsg(socket_, msgs, kBatch, MSG_DONTWAIT, nullptr);
        if (n > 0) {
            Hand hand{this, msgs, from, n};
            if (!library.Queue.Invoke(hand)) break;  // the queue is closed: unloading
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != ECONNREFUSED) {
            // Unexpected socket failure: keep the thread alive but do not spin.
            pollfd w{wakeFd_, POLLIN, 0};
            if (poll(&w, 1, 10) > 0) break;
            continue;
        }
        pollfd fds[2] = {{socket_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) continue;
        if (fds[1].revents & POLLIN) break;
    }
    listenerFinished_.store(true, std::memory_order_release);
}

void TTCPOnLineSvr::Shutdown() {
    if (shutDown_) return;
    SetActive(false);
    MainThreadQueue& queue = library.Queue;
    // Every pending request leaves the list through the clear thread; the
    // lock is held only for each look.
    if (FClearThread) {
        queue.DispatchUntil([this] { return PendingCount() == 0; });
        FClearThread->Terminate();
        queue.DispatchUntil([this] { return FClearThread->Finished(); });
        FClearThread->Join();
    }
    if (FHeartThread) {
        FHeartThread->Terminate();
        queue.DispatchUntil([this] { return FHeartThread->Finished(); });
        FHeartThread->Join();
    }
    {
        std::lock_guard<std::mutex> lock(library.PendingLock);
        for (TTradeRequest* r : PendingList) delete r;
        PendingList.clear();
    }
    shutDown_ = true;
}

void TTCPOnLineSvr::Abandon() {
    if (shutDown_) return;
    accepting_ = false;
    if (listener_.joinable()) {
        const uint64_t one = 1;
        while (write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
        listener_.join();  // the closed queue releases a handed-over datagram
    }
    if (socket_ >= 0) close(socket_);
    if (wakeFd_ >= 0) close(wakeFd_);
    socket_ = wakeFd_ = -1;
    FActive = false;
    for (TWorkerThread* t : {static_cast<TWorkerThread*>(FClearThread.get()),
                             static_cast<TWorkerThread*>(FHeartThread.get())}) {
        if (t) {
            t->Terminate();
            t->Join();
        }
    }
    std::lock_guard<std::mutex> lock(library.PendingLock);
    for (TTradeRequest* r : PendingList) delete r;
    PendingList.clear();
    shutDown_ = true;
}

void TTCPOnLineSvr::ClearClocks() { library.OnlineClocks.ClearClocks(); }

bool TTCPOnLineSvr::FindClock(uint16_t deviceNo, TTOnlineClock& clock, std::size_t& index) {
    return library.OnlineClocks.FindClock(deviceNo, clock, index);
}

std::size_t TTCPOnLineSvr::PendingCount() {
    std::lock_guard<std::mutex> lock(library.PendingLock);
    return PendingList.size();
}

std::vector<TTradeRequest> TTCPOnLineSvr::PendingSnapshot() {
    std::lock_guard<std::mutex> lock(library.PendingLock);
    std::vector<TTradeRequest> copy;
    copy.reserve(PendingList.size());
    for (const TTradeRequest* r : PendingList) copy.push_back(*r);
    return copy;
}

void TTCPOnLineSvr::Send(const uint8_t* bytes, std::size_t length, const TPeer& peer) {
    if (length == 0) return;
    if (SendHook) {
        SendHook(bytes, length, peer);
        return;
    }
    if (socket_ < 0) return;
    // A failure to send is absorbed: the terminal asks again or the trade
    // expires unconfirmed.
    sendto(socket_, bytes, length, MSG_DONTWAIT | MSG_NOSIGNAL,
           reinterpret_cast<const sockaddr*>(&peer.addr), sizeof peer.addr);
}

// ---------------------------------------------------------------- datagrams

void TTCPOnLineSvr::OnIdUDPServerRead(const uint8_t* datagram, std::size_t length, const TPeer& peer) {
    try {
        uint8_t buffer[kFrameBufferSize] = {};
        const std::size_t size = std::min(length, kFrameBufferSize);
        if (datagram != nullptr && size > 0) std::memcpy(buffer, datagram, size);

        // The device number: the first two address bytes of a terminal's frame.
        const uint16_t deviceNo = static_cast<uint16_t>((buffer[2] << 8) | buffer[3]);
        TTOnlineClock clock;
        std::size_t index = 0;
        if (!FindClock(deviceNo, clock, index)) return;

        // Every datagram from a registered terminal renews its liveness; the
        // host hears when it was offline before.
        if (library.OnlineClocks.MarkHeard(index, library.clock.Now())) {
            if (library.callbacks.OnOnlineState) library.callbacks.OnOnlineState(clock.ClockNo, 0);
        }

        uint8_t data[kFrameBufferSize];
        uint16_t dataLen = 0;
        DecodeFrame(buffer, size, data, dataLen, FAddr, FAddrCode);
        const uint16_t command = static_cast<uint16_t>((data[0] << 8) | data[1]);
        if (command == kCmdTradeRequest) {
            TradeRequest(clock, data, peer);
        } else if (command == kCmdTradeReply) {
            ConfirmPending(clock.ClockNo, ParseConfirm(data));
        }
    } catch (const std::exception& e) {
        library.WriteLog(kLogServerRead, FailureMessage(e));
    } catch (...) {
        library.WriteLog(kLogServerRead, "unknown failure");
    }
}

void TTCPOnLineSvr::TradeRequest(const TTOnlineClock& clock, const uint8_t* data, const TPeer& peer) {
    auto request = std::make_unique<TTradeRequest>();
    std::memset(request.get(), 0, sizeof(TTradeRequest));
    try {
        AnalyzeRequestData(clock, data, *request);
    } catch (const std::exception& e) {
        library.WriteLog(kLogAnalyzeRequest, FailureMessage(e));
    }
    const std::string_view cardNo = FieldText(request->CardNo, sizeof request->CardNo);
    if (cardNo.empty() || cardNo == "0") return;

    std::memcpy(request->DeviceIP, peer.ip, sizeof request->DeviceIP);
    request->DeviceIP[sizeof request->DeviceIP - 1] = 0;
    request->ClockNo = clock.ClockNo;

    const TOnTradeRequest onRequest = library.callbacks.OnTradeRequest;
    if (onRequest == nullptr) return;
    TTradeAnswer answer;
    std::memset(&answer, 0, sizeof answer);
    uint8_t accept = 0;
    onRequest(request.get(), &answer, &accept);
    if (accept == 0) return;

    request->TradeSerial = answer.TradeSerial;
    if (answer.ExtraText[0] != 0) {
        std::memcpy(request->ExtraText, answer.ExtraText, sizeof request->ExtraText);
        request->ExtraText[sizeof request->ExtraText - 1] = 0;
    }
    // The host's text is read up to its first zero, never past its field.
    const std::string_view text = FieldText(answer.Text, sizeof answer.Text);
    char card[sizeof request->CardNo];
    std::memcpy(card, request->CardNo, sizeof card);
    card[sizeof card - 1] = 0;

    uint8_t reply[kFrameBufferSize];
    if (answer.ResultCode != 0) {
        const std::size_t n = BuildReply(card, answer.ResultCode, text, 0, 0, 0, reply);
        Send(reply, n, peer);
        return;  // refused: the request is freed
    }
    AddPending(request.release());  // now owned by the pending list
    const std::size_t n =
        BuildReply(card, 0, text, answer.ExtraValue, answer.Balance, answer.TradeSerial, reply);
    Send(reply, n, peer);
}

void TTCPOnLineSvr::AnalyzeRequestData(const TTOnlineClock& clock, const uint8_t* data,
                                       TTradeRequest& request) {
    request.MachineNo = data[2];
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 8; ++i) {
        request.CardNo[2 * i] = kHex[data[3 + i] >> 4];
        request.CardNo[2 * i + 1] = kHex[data[3 + i] & 0x0F];
    }
    request.CardNo[16] = 0;
    request.Aux1 = data[11];
    request.Aux2 = data[12];
    request.Aux3 = data[13];
    request.ClockNo = clock.ClockNo;
    request.Amount = BEToDWord(data + 14);
}

void TTCPOnLineSvr::AddPending(TTradeRequest* request) {
    std::lock_guard<std::mutex> lock(library.PendingLock);
    request->QueuedTick = library.clock.Tick();
    request->Confirmed = 0;
    try {
        PendingList.push_back(request);
    } catch (...) {
        delete request;
        throw;
    }
}

void TTCPOnLineSvr::ConfirmPending(uint32_t clockNo, uint32_t tradeSerial) {
    std::lock_guard<std::mutex> lock(library.PendingLock);
    // The first request still waiting: a terminal may hold several trades
    // with one serial, and each confirmation settles one of them.
    for (TTradeRequest* r : PendingList) {
        if (r->ClockNo == clockNo && r->TradeSerial == tradeSerial && r->Confirmed == 0) {
            r->Confirmed = 1;
            return;
        }
    }
}

uint32_t TTCPOnLineSvr::ParseConfirm(const uint8_t* data) {
    if (data[2] != 0) return 0;
    return BEToDWord(data + 3);
}

std::size_t TTCPOnLineSvr::BuildReply(const char* cardNo, int32_t resultCode, std::string_view text,
                                      uint32_t extraValue, uint32_t balance, uint32_t tradeSerial,
                                      uint8_t* out) {
    FSeq = FSeq >= 15 ? 0 : FSeq + 1;
    try {
        uint8_t params[kFrameBufferSize] = {};
        std::size_t count = 0;
        params[0] = static_cast<uint8_t>(resultCode & 0xFF);
        if (resultCode != 0) {
            // Room for the frame around it: at most 1025 - 8 - 8 - 2 text bytes.
            const std::size_t room = kFrameBufferSize - 8 - kAddressSize - 2;
            const std::size_t k = std::min(text.size(), room);
            if (k > 0) std::memcpy(params + 1, text.data(), k);
            params[1 + k] = 0;
            count = k + 2;
        } else {
            std::string padded = "0000000000000000";
            padded += cardNo ? std::string_view(cardNo, strnlen(cardNo, 21)) : std::string_view();
            padded = padded.substr(padded.size() - 16);
            for (int i = 0; i < 8; ++i) {
                const int hi = HexDigit(padded[2 * i]);
                const int lo = HexDigit(padded[2 * i + 1]);
                params[1 + i] = (hi < 0 || lo < 0) ? 0 : static_cast<uint8_t>(hi * 16 + lo);
            }
            PutBE32(params + 9, extraValue);
            PutBE32(params + 13, balance);
            PutBE32(params + 17, tradeSerial);
            const bool blank = std::all_of(text.begin(), text.end(),
                                           [](char c) { return static_cast<unsigned char>(c) <= ' '; });
            if (!blank) std::memcpy(params + 21, text.data(), std::min<std::size_t>(text.size(), 16));
            count = 37;
        }
        Record_Command record;
        return EncodeFrame(kCmdTradeReply, params, count, FSeq, FAddrCode, FAddr, record, out);
    } catch (...) {
        std::memset(out, 0, kFrameBufferSize);
        return 0;
    }
}

// ---------------------------------------------------------------- library

OnlineLibrary::OnlineLibrary(LibraryOptions opts)
    : options(std::move(opts)), clock(*options.clock), Log(*options.clock, options.logFolder) {}

OnlineLibrary::~OnlineLibrary() {
    Queue.Close();
    if (OnlineSvr) {
        OnlineSvr->Abandon();
        OnlineSvr.reset();
    }
}

void OnlineLibrary::WriteLog(std::string_view fixed, std::string_view message) {
    try {
        std::string line(fixed);
        line += message;
        Log.WriteLog(line);
    } catch (...) {
    }
}

bool OnlineLibrary::Launch(std::vector<TTOnlineClock> table, int32_t port, const Callbacks& cb) {
    if (!Queue.OnOwnerThread()) return false;
    if (OnlineSvr) return OnlineSvr->FActive;  // running: nothing changes
    callbacks = {};  // a launch that fails reports nothing
    auto server = std::make_unique<TTCPOnLineSvr>(*this);
    server->ClearClocks();
    OnlineClocks.Assign(std::move(table));
    server->FPort = port;
    server->SetActive(true);
    if (!server->FActive) {
        // Not listening: leave nothing behind, so that the next launch starts afresh.
        server->Shutdown();
        return false;
    }
    // The workers' calls wait for this thread, so the host hears nothing
    // before the launch returns.
    callbacks = cb;
    OnlineSvr = std::move(server);
    return true;
}

bool OnlineLibrary::LaunchOnline(TTOnlineClock** clocks, int32_t lastIndex, int32_t port, const Callbacks& cb) {
    if (!Queue.OnOwnerThread()) return false;
    if (OnlineSvr) return OnlineSvr->FActive;
    std::vector<TTOnlineClock> table;
    if (clocks != nullptr && lastIndex >= 0) {
        table.resize(static_cast<std::size_t>(lastIndex) + 1);
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (clocks[i] != nullptr) std::memcpy(&table[i], clocks[i], sizeof(TTOnlineClock));
            else std::memset(&table[i], 0, sizeof(TTOnlineClock));
        }
    }
    return Launch(std::move(table), port, cb);
}

bool OnlineLibrary::LaunchOnlineByString(const char* text, int32_t port, const Callbacks& cb) {
    if (!Queue.OnOwnerThread()) return false;
    if (OnlineSvr) return OnlineSvr->FActive;
    return Launch(ParseClockText(text, clock.Now()), port, cb);
}

bool OnlineLibrary::StopOnline() {
    // From inside a callback the wait could never end: the thread that
    // waits for the callback would be waited for.
    if (!Queue.OnOwnerThread() || Queue.Depth() > 0) return false;
    if (!OnlineSvr) return false;
    OnlineSvr->Shutdown();
    OnlineSvr.reset();
    return true;
}

}  // namespace tillwire
