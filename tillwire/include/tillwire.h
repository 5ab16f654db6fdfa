/*
 * Tillwire: the online-trade server library.
 *
 * A host loads libtillwire, registers its card terminals with LaunchOnline
 * (or LaunchOnlineByString) and from then on answers every trade request
 * that a terminal in online-trade mode sends to the UDP port. Every host
 * callback runs on the thread that loaded the library, inside
 * TillwireDispatch or StopOnline, one at a time: watch TillwireEventFd()
 * for readability (poll, select, a QSocketNotifier) and call
 * TillwireDispatch() whenever it is readable.
 *
 * Records are packed and little-endian; their offsets are part of the
 * interface and asserted below. Texts are zero-terminated code page 936
 * bytes.
 */
#ifndef TILLWIRE_H
#define TILLWIRE_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  define TILLWIRE_CALL __stdcall
#  if defined(TILLWIRE_BUILDING)
#    define TILLWIRE_API __declspec(dllexport)
#  else
#    define TILLWIRE_API __declspec(dllimport)
#  endif
#else
#  define TILLWIRE_CALL
#  if defined(TILLWIRE_BUILDING)
#    define TILLWIRE_API __attribute__((visibility("default")))
#  else
#    define TILLWIRE_API
#  endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)

/* One registered terminal (37 bytes). */
typedef struct TTOnlineClock {
    uint32_t ClockNo;     /*  0: device number (the terminal sends it as 16 bits) */
    char IP[16];          /*  4: terminal address text, at most 15 characters */
    uint32_t Port;        /* 20: terminal port */
    uint8_t Online;       /* 24: 1 once heard from, 0 while offline */
    uint32_t Notified;    /* 25: 1 once reported offline */
    double OnlineTime;    /* 29: days since 1899-12-30, local time */
} TTOnlineClock;

/* One trade request (91 bytes); owned by the library, valid during the callback. */
typedef struct TTradeRequest {
    char DeviceIP[16];    /*  0: sender address text */
    uint32_t ClockNo;     /* 16: device number of the sending terminal */
    char CardNo[21];      /* 20: 16 lowercase hexadecimal digits */
    char ExtraText[21];   /* 41: the answer's ExtraText, when given */
    uint32_t MachineNo;   /* 62 */
    uint32_t Aux1;        /* 66 */
    uint32_t Aux2;        /* 70 */
    uint32_t Aux3;        /* 74 */
    uint32_t Amount;      /* 78: cents */
    uint32_t QueuedTick;  /* 82: millisecond tick at which the accepted trade was queued */
    uint8_t Confirmed;    /* 86: 1 once the terminal confirmed */
    uint32_t TradeSerial; /* 87: the answer's TradeSerial */
} TTradeRequest;

/* The host's answer to one request (238 bytes), zero-filled before the call. */
typedef struct TTradeAnswer {
    uint32_t TradeSerial; /*   0: returned by the terminal in its confirmation */
    int32_t ResultCode;   /*   4: 0 accepts; otherwise refuses (low byte sent) */
    char Text[201];       /*   8: holder name (accepted, 16 bytes sent) or message (refused) */
    char ExtraText[21];   /* 209: copied into the request when not empty */
    uint32_t Balance;     /* 230: cents, sent with an accepted trade */
    uint32_t ExtraValue;  /* 234: sent with an accepted trade */
} TTradeAnswer;

#pragma pack(pop)

#ifdef __cplusplus
#  define TILLWIRE_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#  define TILLWIRE_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

TILLWIRE_STATIC_ASSERT(sizeof(TTOnlineClock) == 37, "TTOnlineClock is 37 bytes");
TILLWIRE_STATIC_ASSERT(offsetof(TTOnlineClock, ClockNo) == 0, "ClockNo");
TILLWIRE_STATIC_ASSERT(offsetof(TTOnlineClock, IP) == 4, "IP");
TILLWIRE_STATIC_ASSERT(offsetof(TTOnlineClock, Port) == 20, "Port");
TILLWIRE_STATIC_ASSERT(offsetof(TTOnlineClock, Online) == 24, "Online");
TILLWIRE_STATIC_ASSERT(offsetof(TTOnlineClock, Notified) == 25, "Notified");
TILLWIRE_STATIC_ASSERT(offsetof(TTOnlineClock, OnlineTime) == 29, "OnlineTime");

TILLWIRE_STATIC_ASSERT(sizeof(TTradeRequest) == 91, "TTradeRequest is 91 bytes");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeRequest, DeviceIP) == 0, "DeviceIP");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeRequest, ClockNo) == 16, "ClockNo");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeRequest, CardNo) == 20, "CardNo");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeRequest, ExtraText) == 41, "ExtraText");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeRequest, MachineNo) == 62, "MachineNo");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeRequest, Aux1) == 66, "Aux1");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeRequest, Aux2) == 70, "Aux2");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeRequest, Aux3) == 74, "Aux3");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeRequest, Amount) == 78, "Amount");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeRequest, QueuedTick) == 82, "QueuedTick");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeRequest, Confirmed) == 86, "Confirmed");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeRequest, TradeSerial) == 87, "TradeSerial");

TILLWIRE_STATIC_ASSERT(sizeof(TTradeAnswer) == 238, "TTradeAnswer is 238 bytes");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeAnswer, TradeSerial) == 0, "TradeSerial");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeAnswer, ResultCode) == 4, "ResultCode");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeAnswer, Text) == 8, "Text");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeAnswer, ExtraText) == 209, "ExtraText");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeAnswer, Balance) == 230, "Balance");
TILLWIRE_STATIC_ASSERT(offsetof(TTradeAnswer, ExtraValue) == 234, "ExtraValue");

/* A trade request from a registered terminal: fill the answer and set *accept
 * nonzero to have the terminal answered; left 0, nothing is sent. */
typedef void (TILLWIRE_CALL *TOnTradeRequest)(TTradeRequest *request, TTradeAnswer *answer,
                                              uint8_t *accept);
/* Outcome of an answered, accepted trade: confirmed 1, or 0 when no
 * confirmation came within 10 seconds. The request is freed on return. */
typedef void (TILLWIRE_CALL *TOnTradeResult)(TTradeRequest *request, int32_t confirmed,
                                             uint8_t *flag);
/* A terminal came online (state 0) or went offline (state 1). */
typedef void (TILLWIRE_CALL *TOnOnlineState)(uint32_t clockNo, int32_t state);

/* Starts the server on the UDP port with a copy of the terminals clocks[0..lastIndex].
 * Nonzero when a server runs and listens afterwards; a launch while running
 * changes nothing. A port that cannot be bound gives 0 and leaves no server. */
TILLWIRE_API uint8_t TILLWIRE_CALL LaunchOnline(TTOnlineClock **clocks, int32_t lastIndex,
                                                int32_t port, TOnTradeRequest onTradeRequest,
                                                TOnTradeResult onTradeResult,
                                                TOnOnlineState onOnlineState);

/* As LaunchOnline, the terminals given as text: "60,127.0.0.1,4001|61,127.0.0.1,4002". */
TILLWIRE_API uint8_t TILLWIRE_CALL LaunchOnlineByString(const char *text, int32_t port,
                                                        TOnTradeRequest onTradeRequest,
                                                        TOnTradeResult onTradeResult,
                                                        TOnOnlineState onOnlineState);

/* Stops the server once every accepted trade has been reported, dispatching
 * meanwhile. Nonzero when a server was stopped. */
TILLWIRE_API uint8_t TILLWIRE_CALL StopOnline(void);

/* Readable while calls wait for the loading thread. */
TILLWIRE_API int TILLWIRE_CALL TillwireEventFd(void);

/* Runs, on the loading thread, every call now waiting. */
TILLWIRE_API void TILLWIRE_CALL TillwireDispatch(void);

#ifdef __cplusplus
}
#endif

#endif /* TILLWIRE_H */
