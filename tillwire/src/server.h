// The online-trade server: the process-wide state of the library
// (OnlineLibrary), the server object TTCPOnLineSvr with its UDP listener and
// datagram handler, and the two worker threads TClearThread and THeartThread.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "clock.h"
#include "codec.h"
#include "device_table.h"
#include "log_writer.h"
#include "main_queue.h"
#include "tillwire.h"

namespace tillwire {

class OnlineLibrary;
class TTCPOnLineSvr;

// A request is expired when the tick minus its QueuedTick (unsigned 32-bit
// difference) is greater than this.
inline constexpr uint32_t kConfirmTimeoutMs = 10000;

struct Callbacks {
    TOnTradeRequest OnTradeRequest = nullptr;
    TOnTradeResult OnTradeResult = nullptr;
    TOnOnlineState OnOnlineState = nullptr;
};

// The sender of a datagram.
struct TPeer {
    sockaddr_in addr{};
    char ip[16] = {};
    static TPeer From(const sockaddr_in& addr);
    static TPeer Loopback(uint16_t port);
};

class TWorkerThread {
public:
    virtual ~TWorkerThread();
    void Start();
    // Asks the thread to end; it notices at the top of its next pass.
    void Terminate();
    bool Terminated() const { return terminated_.load(std::memory_order_acquire); }
    bool Finished() const { return finished_.load(std::memory_order_acquire); }
    void Join();

protected:
    virtual void Execute() = 0;
    // Sleeps ms milliseconds or until Terminate.
    void Pause(int ms);

private:
    std::thread thread_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::mutex pauseMutex_;
    std::condition_variable pauseCv_;
};

// Settles accepted trades: reports each to the host once confirmed, or once
// 10 seconds passed without confirmation, and frees it. One pass settles
// every request that has an outcome, the most recently queued first, in one
// call on the loading thread.
class TClearThread final : public TWorkerThread {
public:
    TClearThread(TTCPOnLineSvr& server, int pauseMs);
    ~TClearThread() override;
    // One pass; true when it settled at least one request.
    bool Pass();
    bool IsExpired(const TTradeRequest& request) const;

protected:
    void Execute() override;

private:
    void NotifyConfirmed();
    void NotifyExpired();
    struct Settled {
        TTradeRequest* request;
        bool confirmed;
    };
    TTCPOnLineSvr& server_;
    int pauseMs_;
    uint8_t FResultFlag = 0;
    TTradeRequest* FCurrent = nullptr;
    std::vector<Settled> settled_;        // this pass's outcomes, latest first
    std::vector<TTradeRequest*> removing_;
};

// Watches the device table and reports a terminal offline once, when its
// OnlineTime lies more than 300 seconds back.
class THeartThread final : public TWorkerThread {
public:
    THeartThread(TTCPOnLineSvr& server, TTOnlineClocks& clocks, int pauseMs);
    ~THeartThread() override;
    void Pass();

protected:
    void Execute() override;

private:
    void NotifyOffline();
    TTCPOnLineSvr& server_;
    TTOnlineClocks& FClocks;
    int pauseMs_;
    TTOnlineClock FClock{};
    std::size_t FIndex = 0;
};

class TTCPOnLineSvr {
public:
    // Creates the pending list and starts the heart thread, then the clear
    // thread (unless the library runs without workers).
    explicit TTCPOnLineSvr(OnlineLibrary& library);
    // Stops like Shutdown when it was not called.
    ~TTCPOnLineSvr();
    TTCPOnLineSvr(const TTCPOnLineSvr&) = delete;
    TTCPOnLineSvr& operator=(const TTCPOnLineSvr&) = delete;

    // Listening on or off. Switching on binds FPort; when that fails the
    // server stays off.
    void SetActive(bool value);
    // On the loading thread: stops listening, waits (dispatching) until every
    // pending request has been settled, then ends both threads.
    void Shutdown();
    // At unload: the same without waiting for the pending requests and
    // without reporting them; the queue is already closed.
    void Abandon();

    void ClearClocks();
    bool FindClock(uint16_t deviceNo, TTOnlineClock& clock, std::size_t& index);

    // The read event of the UDP server: handles one datagram on the loading thread.
    void OnIdUDPServerRead(const uint8_t* datagram, std::size_t length, const TPeer& peer);

    static void AnalyzeRequestData(const TTOnlineClock& clock, const uint8_t* data,
                                   TTradeRequest& request);
    void AddPending(TTradeRequest* request);
    void ConfirmPending(uint32_t clockNo, uint32_t tradeSerial);
    static uint32_t ParseConfirm(const uint8_t* data);
    // Builds the 0x0B02 reply into out (1025 bytes); returns its length.
    std::size_t BuildReply(const char* cardNo, int32_t resultCode, std::string_view text,
                           uint32_t extraValue, uint32_t balance, uint32_t tradeSerial,
                           uint8_t* out);

    // The port actually bound (when FPort is 0 the system picks one).
    uint16_t BoundPort() const { return boundPort_; }
    std::size_t PendingCount();
    // Copies of the pending requests, in list order.
    std::vector<TTradeRequest> PendingSnapshot();

    OnlineLibrary& library;
    int FSeq = 0;
    bool FActive = false;
    int32_t FPort = 0;
    int FAddrCode = 0;
    uint8_t FAddr[kAddressSize] = {};
    std::unique_ptr<TClearThread> FClearThread;
    std::unique_ptr<THeartThread> FHeartThread;
    // Accepted requests awaiting confirmation, in the order answered; guarded
    // by the library's PendingLock.
    std::vector<TTradeRequest*> PendingList;

    // Replaces the socket for sending replies (tests, fuzzing).
    std::function<void(const uint8_t*, std::size_t, const TPeer&)> SendHook;

private:
    friend class TClearThread;
    void Send(const uint8_t* bytes, std::size_t length, const TPeer& peer);
    void ListenLoop();
    void StopListener();
    void TradeRequest(const TTOnlineClock& clock, const uint8_t* data, const TPeer& peer);

    int socket_ = -1;
    int wakeFd_ = -1;
    uint16_t boundPort_ = 0;
    bool accepting_ = false;  // loading thread only
    bool shutDown_ = false;
    std::thread listener_;
    std::atomic<bool> listenerFinished_{true};
};

struct LibraryOptions {
    Clock* clock = nullptr;        // required; must outlive the library
    std::string logFolder;         // the OnLineLog folder
    std::string listenAddress;     // IPv4 text; empty: all local addresses
    bool startWorkers = true;      // false: tests run the passes themselves
    int clearPauseMs = 10;
    int heartPauseMs = 100;
};

// The process-wide state: what a loaded library holds. Created on the
// loading thread, which becomes the thread of every host callback.
class OnlineLibrary {
public:
    explicit OnlineLibrary(LibraryOptions options);
    // Unload: stops a running server without reporting its pending requests.
    ~OnlineLibrary();
    OnlineLibrary(const OnlineLibrary&) = delete;
    OnlineLibrary& operator=(const OnlineLibrary&) = delete;

    bool LaunchOnline(TTOnlineClock** clocks, int32_t lastIndex, int32_t port, const Callbacks& cb);
    bool LaunchOnlineByString(const char* text, int32_t port, const Callbacks& cb);
    bool StopOnline();

    void WriteLog(std::string_view text) { Log.WriteLog(text); }
    void WriteLog(std::string_view fixed, std::string_view message);

    LibraryOptions options;
    Clock& clock;
    TLogWriter Log;
    MainThreadQueue Queue;
    std::mutex PendingLock;
    TTOnlineClocks OnlineClocks;
    Callbacks callbacks;  // loading thread only
    std::unique_ptr<TTCPOnLineSvr> OnlineSvr;

private:
    bool Launch(std::vector<TTOnlineClock> table, int32_t port, const Callbacks& cb);
};

}  // namespace tillwire
