/*
 * tarnwick.h - the card-terminal device library as the console sees it.
 *
 * 59 C functions, the records they exchange and the callbacks they make.
 * libTarnwick.so implements them over the terminal link (TCP or serial) to a
 * real terminal or to the emulator tarnwick-terminal.
 *
 * Conventions
 *  - Every function takes the link handle first, except OpenCommPort,
 *    OpenClientSocket, GetQRCode, SearchLanDevice and the upload calls.
 *    A handle is 0 on failure; a valid handle is never 0 and never -1.
 *  - Results: TBool (one byte, nonzero = success), or an int32_t status
 *    (0 = success, anything else = failure), or a value (handle, count).
 *  - Integers are 32-bit, Booleans one byte, date-times are doubles counting
 *    days from 1899-12-30 (the fraction is the time of day, local time).
 *  - Texts are zero-terminated code-page-936 byte strings. Output texts go
 *    into a caller buffer of the size named here, or through a pointer the
 *    library sets to a text it owns (valid until the next call on the same
 *    thread).
 *  - Records are byte-packed and little-endian; their layouts are binding.
 *  - Callbacks use the library's calling convention (TARNWICK_API).
 */
#ifndef TARNWICK_H
#define TARNWICK_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define TARNWICK_API __stdcall
#else
#define TARNWICK_API
#endif

#if defined(_WIN32) && defined(TARNWICK_BUILDING)
#define TARNWICK_EXPORT __declspec(dllexport)
#elif defined(TARNWICK_BUILDING)
#define TARNWICK_EXPORT __attribute__((visibility("default")))
#else
#define TARNWICK_EXPORT
#endif

#ifdef __cplusplus
#define TARNWICK_STATIC_ASSERT static_assert
extern "C" {
#else
#define TARNWICK_STATIC_ASSERT _Static_assert
#endif

typedef uint8_t TBool; /* one byte, nonzero = true */

/* ------------------------------------------------------------------------
 * Model codes. A terminal reports its model as a number (GetClockModelEx);
 * designation Tnn has the code nn. One table for the console and the
 * emulator.
 * ---------------------------------------------------------------------- */
enum TarnwickModel {
    TARNWICK_MODEL_T01 = 1,  TARNWICK_MODEL_T02 = 2,  TARNWICK_MODEL_T03 = 3,
    TARNWICK_MODEL_T04 = 4,  TARNWICK_MODEL_T05 = 5,  TARNWICK_MODEL_T06 = 6,
    TARNWICK_MODEL_T07 = 7,  TARNWICK_MODEL_T08 = 8,  TARNWICK_MODEL_T09 = 9,
    TARNWICK_MODEL_T10 = 10, TARNWICK_MODEL_T11 = 11, TARNWICK_MODEL_T12 = 12,
    TARNWICK_MODEL_T13 = 13, TARNWICK_MODEL_T14 = 14, TARNWICK_MODEL_T15 = 15,
    TARNWICK_MODEL_T16 = 16, TARNWICK_MODEL_T17 = 17, TARNWICK_MODEL_T18 = 18,
    TARNWICK_MODEL_T19 = 19, TARNWICK_MODEL_T20 = 20, TARNWICK_MODEL_T21 = 21,
    TARNWICK_MODEL_T22 = 22
};
#define TARNWICK_MODEL_FIRST 1
#define TARNWICK_MODEL_LAST 22

/* Designation text of a model code ("T01" .. "T22"), or NULL for a code
 * that is no known model. */
static inline const char *TarnwickModelDesignation(int32_t code)
{
    static const char *const names[] = {
        "T01", "T02", "T03", "T04", "T05", "T06", "T07", "T08", "T09", "T10", "T11",
        "T12", "T13", "T14", "T15", "T16", "T17", "T18", "T19", "T20", "T21", "T22"};
    return (code >= TARNWICK_MODEL_FIRST && code <= TARNWICK_MODEL_LAST) ? names[code - 1] : NULL;
}

/* Model code of a designation text ("T06" -> 6), or 0 when it is none. */
static inline int32_t TarnwickModelCode(const char *designation)
{
    if (!designation || designation[0] != 'T' || designation[1] < '0' || designation[1] > '9'
        || designation[2] < '0' || designation[2] > '9' || designation[3] != '\0')
        return 0;
    int32_t code = (designation[1] - '0') * 10 + (designation[2] - '0');
    return (code >= TARNWICK_MODEL_FIRST && code <= TARNWICK_MODEL_LAST) ? code : 0;
}

/* Buffer sizes the caller provides. */
#define TARNWICK_PAGE_RECORDS 16        /* records and name-list entries per page */
#define TARNWICK_MAX_LAN_DEVICES 256    /* TLanDevice records of a search buffer */
#define TARNWICK_TEXT_BUFFER 1024       /* manager card, remote IP, list format */
#define TARNWICK_LIST_TEXT_BUFFER 4097  /* ReadDeviceListCardAsString */
#define TARNWICK_SHORT_TEXT_BUFFER 200  /* privilege groups, water-control key */
#define TARNWICK_NFC_KEY_BUFFER 32      /* GetNFCCodeKey: up to 12 hex digits + zero */
#define MaxSpanTimeSlots 12             /* TSpanTimeSlot records of a slot buffer */

#pragma pack(push, 1)

/* ------------------------------------------------------------------------
 * TClockInfo: how the collecting call reaches the terminal. Laid out as 120
 * bytes for a 32-bit target; the three text fields are references to
 * counted strings (a pointer to the first character, preceded in memory by
 * the 32-bit length and before that a 32-bit reference count; NULL for an
 * empty text), so on a 64-bit target they are 8 bytes wide and the record is
 * 132 bytes.
 * ---------------------------------------------------------------------- */
typedef struct TClockInfo {
    int32_t Reserved0;       /* zero */
    int32_t ClockId;         /* device number */
    int32_t ComPort;         /* 1..5 on a serial link, else 0 */
    int32_t BaudRate;        /* serial link only, else 0 */
    uint8_t Reserved16[72];  /* zero */
    int32_t LinkType;        /* 0 = serial, 1 = network */
    const char *IPAddress;   /* counted string; NULL on a serial link */
    int32_t Port;            /* TCP port; 0 on a serial link */
    int32_t Reserved100;     /* zero */
    const char *Reserved104; /* counted string, always NULL */
    const char *Reserved108; /* counted string, always NULL */
    uint8_t Reserved112[8];  /* zero */
} TClockInfo;

#define TARNWICK_CLOCKINFO_PTR_GROWTH (3 * ((int)sizeof(void *) - 4))
TARNWICK_STATIC_ASSERT(sizeof(TClockInfo) == 120 + TARNWICK_CLOCKINFO_PTR_GROWTH, "TClockInfo size");
TARNWICK_STATIC_ASSERT(offsetof(TClockInfo, ClockId) == 4, "TClockInfo.ClockId");
TARNWICK_STATIC_ASSERT(offsetof(TClockInfo, ComPort) == 8, "TClockInfo.ComPort");
TARNWICK_STATIC_ASSERT(offsetof(TClockInfo, BaudRate) == 12, "TClockInfo.BaudRate");
TARNWICK_STATIC_ASSERT(offsetof(TClockInfo, LinkType) == 88, "TClockInfo.LinkType");
TARNWICK_STATIC_ASSERT(offsetof(TClockInfo, IPAddress) == 92, "TClockInfo.IPAddress");
TARNWICK_STATIC_ASSERT(offsetof(TClockInfo, Port) == 92 + sizeof(void *), "TClockInfo.Port");
TARNWICK_STATIC_ASSERT(offsetof(TClockInfo, Reserved104) == 104 + (sizeof(void *) - 4), "TClockInfo.Reserved104");
TARNWICK_STATIC_ASSERT(offsetof(TClockInfo, Reserved112) == 112 + TARNWICK_CLOCKINFO_PTR_GROWTH, "TClockInfo.Reserved112");

/* ------------------------------------------------------------------------
 * TCollectedRecord: one record as the collecting call hands it to the
 * record callback. The console prints the fields below unchanged.
 * ---------------------------------------------------------------------- */
typedef struct TCollectedRecord {
    uint8_t Flag;             /* 0: record state */
    char CardNo[20];          /* 1: card number text */
    char TradeTime[24];       /* 21: "YYYY-MM-DD HH:MM:SS" */
    int32_t Amount;           /* 45: amount, cents */
    int32_t Balance;          /* 49: balance after the trade, cents */
    uint8_t Reserved53[20];
    int32_t RecordNo;         /* 73: position in the terminal's store */
    uint8_t Reserved77[4];
    int32_t ClockId;          /* 81: device number */
    uint8_t Reserved85[304];
    int32_t TradeType;        /* 389 */
    uint8_t Reserved393[40];
    int32_t TradeSerial;      /* 433: the terminal's trade serial */
    uint8_t Reserved437[24];
    int32_t CardSerial;       /* 461: the card's own trade counter */
} TCollectedRecord;

TARNWICK_STATIC_ASSERT(sizeof(TCollectedRecord) == 465, "TCollectedRecord size");
TARNWICK_STATIC_ASSERT(offsetof(TCollectedRecord, CardNo) == 1, "TCollectedRecord.CardNo");
TARNWICK_STATIC_ASSERT(offsetof(TCollectedRecord, TradeTime) == 21, "TCollectedRecord.TradeTime");
TARNWICK_STATIC_ASSERT(offsetof(TCollectedRecord, Amount) == 45, "TCollectedRecord.Amount");
TARNWICK_STATIC_ASSERT(offsetof(TCollectedRecord, Balance) == 49, "TCollectedRecord.Balance");
TARNWICK_STATIC_ASSERT(offsetof(TCollectedRecord, RecordNo) == 73, "TCollectedRecord.RecordNo");
TARNWICK_STATIC_ASSERT(offsetof(TCollectedRecord, ClockId) == 81, "TCollectedRecord.ClockId");
TARNWICK_STATIC_ASSERT(offsetof(TCollectedRecord, TradeType) == 389, "TCollectedRecord.TradeType");
TARNWICK_STATIC_ASSERT(offsetof(TCollectedRecord, TradeSerial) == 433, "TCollectedRecord.TradeSerial");
TARNWICK_STATIC_ASSERT(offsetof(TCollectedRecord, CardSerial) == 461, "TCollectedRecord.CardSerial");

/* ------------------------------------------------------------------------
 * TConsumeRecord: the terminal's transaction record (record recovery and
 * the upload listener), 658 bytes. Amounts are in cents. Texts end at the
 * first zero byte or at the end of their field. Fields named ValueNNN carry
 * values whose meaning depends on the model family; the decoder copies them.
 * ---------------------------------------------------------------------- */
typedef struct TConsumeRecord {
    char CardNo[16];            /* 0 */
    uint8_t Reserved16[38];
    int32_t Value54;            /* 54 */
    char TradeTime[19];         /* 58: date-time text */
    int32_t ConsumeAmount;      /* 77: consumption, cents */
    int32_t CashBalance;        /* 81: cash balance, cents */
    int32_t Kind3Amount;        /* 85: amount of record kind 3 */
    int32_t CompactCount;       /* 89: count field of compact records of other kinds */
    int32_t TypeCode;           /* 93: the record's own type code */
    int32_t Value97;            /* 97 */
    int32_t CashCardCount;      /* 101 */
    char Text105[10];           /* 105 */
    uint8_t Reserved115[231];
    int32_t BitmapMonth;        /* 346: month (types 7 and 11) */
    int32_t BitmapDay;          /* 350: day; 32 or more selects the bitmap form */
    char BitmapHex[101];        /* 354: hexadecimal text (types 7 and 11) */
    uint8_t Reserved455[4];
    int32_t BalanceCents;       /* 459: balance from which the trade amount is computed */
    int32_t OverrideKind;       /* 463: 19 gives type 7, 101 gives type 101 */
    uint8_t Reserved467[4];
    int32_t TradeType;          /* 471 */
    uint8_t Bytes475[12];       /* 475 */
    int32_t Value487;           /* 487 */
    uint8_t Reserved491[4];
    int32_t Value495;           /* 495 */
    uint8_t Reserved499[4];
    int32_t Value503;           /* 503 */
    int32_t SubKind;            /* 507 */
    int32_t Value511;           /* 511: copied as decimal text */
    int32_t SubsidyCardCount;   /* 515 */
    int32_t PayMarker;          /* 519: 17/18 payment kind 1, 33 special */
    uint8_t Bytes523[8];        /* 523 */
    uint8_t Reserved531[4];
    int32_t RecordKind;         /* 535: 1, 2, 3, 64 select the detailed rules */
    char SerialNo[20];          /* 539: the terminal's serial number text */
    int32_t Value559;           /* 559 */
    uint8_t Reserved563[13];
    int32_t SubsidyBalance;     /* 576: cents */
    int32_t Value580;           /* 580: cents */
    uint8_t Reserved584[21];
    int32_t Value605;           /* 605 */
    uint8_t Reserved609[18];
    int32_t Value627;           /* 627 */
    int32_t Value631;           /* 631 */
    uint8_t Byte635;            /* 635 */
    int32_t Value636;           /* 636 */
    int32_t Value640;           /* 640 */
    uint8_t Reserved644[14];
} TConsumeRecord;

TARNWICK_STATIC_ASSERT(sizeof(TConsumeRecord) == 658, "TConsumeRecord size");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value54) == 54, "TConsumeRecord.Value54");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, TradeTime) == 58, "TConsumeRecord.TradeTime");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, ConsumeAmount) == 77, "TConsumeRecord.ConsumeAmount");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, CashBalance) == 81, "TConsumeRecord.CashBalance");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Kind3Amount) == 85, "TConsumeRecord.Kind3Amount");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, CompactCount) == 89, "TConsumeRecord.CompactCount");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, TypeCode) == 93, "TConsumeRecord.TypeCode");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value97) == 97, "TConsumeRecord.Value97");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, CashCardCount) == 101, "TConsumeRecord.CashCardCount");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Text105) == 105, "TConsumeRecord.Text105");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, BitmapMonth) == 346, "TConsumeRecord.BitmapMonth");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, BitmapDay) == 350, "TConsumeRecord.BitmapDay");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, BitmapHex) == 354, "TConsumeRecord.BitmapHex");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, BalanceCents) == 459, "TConsumeRecord.BalanceCents");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, OverrideKind) == 463, "TConsumeRecord.OverrideKind");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, TradeType) == 471, "TConsumeRecord.TradeType");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Bytes475) == 475, "TConsumeRecord.Bytes475");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value487) == 487, "TConsumeRecord.Value487");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value495) == 495, "TConsumeRecord.Value495");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value503) == 503, "TConsumeRecord.Value503");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, SubKind) == 507, "TConsumeRecord.SubKind");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value511) == 511, "TConsumeRecord.Value511");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, SubsidyCardCount) == 515, "TConsumeRecord.SubsidyCardCount");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, PayMarker) == 519, "TConsumeRecord.PayMarker");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Bytes523) == 523, "TConsumeRecord.Bytes523");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, RecordKind) == 535, "TConsumeRecord.RecordKind");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, SerialNo) == 539, "TConsumeRecord.SerialNo");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value559) == 559, "TConsumeRecord.Value559");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, SubsidyBalance) == 576, "TConsumeRecord.SubsidyBalance");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value580) == 580, "TConsumeRecord.Value580");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value605) == 605, "TConsumeRecord.Value605");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value627) == 627, "TConsumeRecord.Value627");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value631) == 631, "TConsumeRecord.Value631");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Byte635) == 635, "TConsumeRecord.Byte635");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value636) == 636, "TConsumeRecord.Value636");
TARNWICK_STATIC_ASSERT(offsetof(TConsumeRecord, Value640) == 640, "TConsumeRecord.Value640");

/* ------------------------------------------------------------------------
 * TNameListRecord: one name-list entry, 356 bytes, both directions. Entries
 * travel in arrays of up to TARNWICK_PAGE_RECORDS. Texts shorter than their
 * field are followed by zero bytes; StartDate and EndDate have no
 * terminator of their own.
 * ---------------------------------------------------------------------- */
typedef struct TNameListRecord {
    int32_t ListType;          /* 0: 0 black, 1 white, 2..4, -1, 12 allowance; +16 when deleted */
    char CardNo[20];           /* 4 */
    char PersonNo[16];         /* 24 */
    char Name[16];             /* 40 */
    uint8_t Reserved56[160];
    char Pin[4];               /* 216: four decimal digits, no terminator */
    int32_t Value220;          /* 220 */
    int32_t AllowanceAmount;   /* 224 */
    int32_t AllowanceKind;     /* 228 */
    int32_t AllowanceFlag;     /* 232 */
    int32_t Value236;          /* 236 */
    char StartDate[8];         /* 240: "YYYYMMDD", no terminator */
    char EndDate[8];           /* 248: "YYYYMMDD", followed by a zero byte */
    uint8_t Reserved256[40];
    char PhysicalCardNo[9];    /* 296: hexadecimal text */
    char ExpiryDate[8];        /* 305: "YYYYMMDD", followed by a zero byte */
    uint8_t Reserved313[43];
} TNameListRecord;

TARNWICK_STATIC_ASSERT(sizeof(TNameListRecord) == 356, "TNameListRecord size");
TARNWICK_STATIC_ASSERT(offsetof(TNameListRecord, CardNo) == 4, "TNameListRecord.CardNo");
TARNWICK_STATIC_ASSERT(offsetof(TNameListRecord, PersonNo) == 24, "TNameListRecord.PersonNo");
TARNWICK_STATIC_ASSERT(offsetof(TNameListRecord, Name) == 40, "TNameListRecord.Name");
TARNWICK_STATIC_ASSERT(offsetof(TNameListRecord, Pin) == 216, "TNameListRecord.Pin");
TARNWICK_STATIC_ASSERT(offsetof(TNameListRecord, Value220) == 220, "TNameListRecord.Value220");
TARNWICK_STATIC_ASSERT(offsetof(TNameListRecord, AllowanceAmount) == 224, "TNameListRecord.AllowanceAmount");
TARNWICK_STATIC_ASSERT(offsetof(TNameListRecord, Value236) == 236, "TNameListRecord.Value236");
TARNWICK_STATIC_ASSERT(offsetof(TNameListRecord, StartDate) == 240, "TNameListRecord.StartDate");
TARNWICK_STATIC_ASSERT(offsetof(TNameListRecord, EndDate) == 248, "TNameListRecord.EndDate");
TARNWICK_STATIC_ASSERT(offsetof(TNameListRecord, PhysicalCardNo) == 296, "TNameListRecord.PhysicalCardNo");
TARNWICK_STATIC_ASSERT(offsetof(TNameListRecord, ExpiryDate) == 305, "TNameListRecord.ExpiryDate");

/* TSpanTimeSlot: one slot of the time-slot table, 16 bytes. */
typedef struct TSpanTimeSlot {
    int32_t ConsumeMode;  /* 0: work mode */
    int32_t FixedAmount;  /* 4: cents; 0 unless ConsumeMode is 1 */
    int32_t LimitCount;   /* 8: transactions allowed in the slot */
    uint8_t BegHour;      /* 12 */
    uint8_t BegMinute;    /* 13 */
    uint8_t EndHour;      /* 14 */
    uint8_t EndMinute;    /* 15 */
} TSpanTimeSlot;

TARNWICK_STATIC_ASSERT(sizeof(TSpanTimeSlot) == 16, "TSpanTimeSlot size");
TARNWICK_STATIC_ASSERT(offsetof(TSpanTimeSlot, LimitCount) == 8, "TSpanTimeSlot.LimitCount");
TARNWICK_STATIC_ASSERT(offsetof(TSpanTimeSlot, BegHour) == 12, "TSpanTimeSlot.BegHour");
TARNWICK_STATIC_ASSERT(offsetof(TSpanTimeSlot, EndMinute) == 15, "TSpanTimeSlot.EndMinute");

/* TLanDevice: one terminal answering a LAN search, 227 bytes. */
typedef struct TLanDevice {
    char Mac[18];              /* 0: "AA-BB-CC-DD-EE-FF" */
    uint8_t Reserved18[14];
    int32_t Model;             /* 32: model code */
    char Name[32];             /* 36: terminal name text */
    uint8_t Reserved68[23];
    int32_t ClockNo;           /* 91: device number */
    char Mask[8];              /* 95: reserved for the subnet mask (binary) */
    char IP[16];               /* 103: IP address text, zero-terminated */
    int32_t Port;              /* 119 */
    uint8_t Reserved123[104];
} TLanDevice;

TARNWICK_STATIC_ASSERT(sizeof(TLanDevice) == 227, "TLanDevice size");
TARNWICK_STATIC_ASSERT(offsetof(TLanDevice, Model) == 32, "TLanDevice.Model");
TARNWICK_STATIC_ASSERT(offsetof(TLanDevice, ClockNo) == 91, "TLanDevice.ClockNo");
TARNWICK_STATIC_ASSERT(offsetof(TLanDevice, IP) == 103, "TLanDevice.IP");
TARNWICK_STATIC_ASSERT(offsetof(TLanDevice, Port) == 119, "TLanDevice.Port");

#pragma pack(pop)

/* ------------------------------------------------------------------------
 * Callbacks
 * ---------------------------------------------------------------------- */

/* Record collection: called once per record during ReadAllRecord, on the
 * calling thread. Return nonzero to go on. */
typedef TBool(TARNWICK_API *TReadRecordProc)(int32_t reserved, TCollectedRecord *record);
/* Record collection: called between pages, on the calling thread. */
typedef void(TARNWICK_API *TReadProgressProc)(int32_t done, int32_t total);

/* Upload listener (StartUpLoad). serial points to a 17-byte block holding
 * the terminal's serial number (zero-terminated or filling all 17 bytes).
 * Callbacks may run on the listener's own thread. */
typedef void(TARNWICK_API *TOnUploadLogin)(int32_t clockId, const char *serial, const char *ip,
                                          int32_t port, int32_t *reply);
typedef void(TARNWICK_API *TOnUploadState)(int32_t clockId, const char *serial, int32_t state,
                                          int32_t reserved);
typedef void(TARNWICK_API *TOnUploadRecords)(int32_t clockId, const char *serial, int32_t reserved,
                                            int32_t count, TConsumeRecord *records, uint8_t *reply);
typedef void(TARNWICK_API *TOnUploadText)(int32_t reserved, const char *serial, int32_t reserved2,
                                         int32_t reserved3, const char *text, uint8_t *reply);

/* ------------------------------------------------------------------------
 * Links
 * ---------------------------------------------------------------------- */

/* Opens serial port COMn at the baud rate; returns a handle or 0. */
TARNWICK_EXPORT int32_t TARNWICK_API OpenCommPort(int32_t port, int32_t baudRate);
/* Opens a TCP link to ip:port; returns a handle or 0. */
TARNWICK_EXPORT int32_t TARNWICK_API OpenClientSocket(const char *ip, int32_t port);
/* Addresses the terminal with the device number on the link. */
TARNWICK_EXPORT TBool TARNWICK_API CallClock(int32_t handle, int32_t clockId);
/* Ends the addressing of CallClock (result ignored by the console). */
TARNWICK_EXPORT int32_t TARNWICK_API UnCallClock(int32_t handle);
/* Closes a link opened by either open call (result ignored). */
TARNWICK_EXPORT int32_t TARNWICK_API ClosePortHandle(int32_t handle);
/* Closes a socket opened for one operation (result ignored). */
TARNWICK_EXPORT int32_t TARNWICK_API CloseClientSocket(int32_t handle);

/* ------------------------------------------------------------------------
 * Clock, device number, device information
 * ---------------------------------------------------------------------- */
TARNWICK_EXPORT TBool TARNWICK_API ReadClockTime(int32_t handle, double *dateTime);
TARNWICK_EXPORT TBool TARNWICK_API SetClockTime(int32_t handle, double dateTime);
TARNWICK_EXPORT TBool TARNWICK_API SetClockID(int32_t handle, int32_t newClockId);
TARNWICK_EXPORT TBool TARNWICK_API GetClockModelEx(int32_t handle, int32_t *model, double *version,
                                                  int32_t *readerType, uint8_t *phonePay,
                                                  int32_t *cardFormat);

/* ------------------------------------------------------------------------
 * Card security
 * ---------------------------------------------------------------------- */
TARNWICK_EXPORT int32_t TARNWICK_API SetManagerCardEx(int32_t handle, int32_t cardKind, int32_t length,
                                                     const char *card, int32_t flags);
/* card: caller buffer of TARNWICK_TEXT_BUFFER bytes. */
TARNWICK_EXPORT int32_t TARNWICK_API ReadManagerCardEx(int32_t handle, int32_t cardKind, int32_t *value,
                                                      char *card);
TARNWICK_EXPORT int32_t TARNWICK_API ReadBasicSector(int32_t handle, int32_t *sector);
TARNWICK_EXPORT int32_t TARNWICK_API SetBasicSector(int32_t handle, int32_t sector);
TARNWICK_EXPORT int32_t TARNWICK_API SetUserKey(int32_t handle, const char *password);
TARNWICK_EXPORT int32_t TARNWICK_API SetUserPasswordNew(int32_t handle, int32_t keyKind, const char *key);
TARNWICK_EXPORT int32_t TARNWICK_API SetEnterPriseID(int32_t handle, int32_t enterpriseId);
TARNWICK_EXPORT int32_t TARNWICK_API ReadEnterPriseID(int32_t handle, int32_t *enterpriseId);
/* *key points to a caller buffer of TARNWICK_NFC_KEY_BUFFER bytes. */
TARNWICK_EXPORT int32_t TARNWICK_API GetNFCCodeKey(int32_t handle, int32_t *sectorCode, char **key);
TARNWICK_EXPORT int32_t TARNWICK_API SetNFCCodeKey(int32_t handle, int32_t sectorCode, const char *key);

/* ------------------------------------------------------------------------
 * Privilege groups
 * ---------------------------------------------------------------------- */
/* *groups points to a caller buffer of TARNWICK_SHORT_TEXT_BUFFER bytes. */
TARNWICK_EXPORT int32_t TARNWICK_API ReadPrivillege(int32_t handle, uint8_t *enabled, char **groups);
TARNWICK_EXPORT int32_t TARNWICK_API SetPrivillege(int32_t handle, uint8_t enabled, const char *groups);

/* ------------------------------------------------------------------------
 * Card-swipe settings
 * ---------------------------------------------------------------------- */
TARNWICK_EXPORT int32_t TARNWICK_API ReadAllDeviceWorkMode(int32_t handle, int32_t *mode1, int32_t *mode2,
                                                          int32_t *mode3, int32_t *mode4, int32_t *mode5,
                                                          int32_t *mode6, int32_t *mode7, int32_t *mode8);
TARNWICK_EXPORT int32_t TARNWICK_API SetAllDeviceWorkMode(int32_t handle, int32_t mode1, int32_t mode2,
                                                         int32_t mode3, int32_t mode4, int32_t mode5,
                                                         int32_t mode6, int32_t mode7, int32_t mode8);
TARNWICK_EXPORT int32_t TARNWICK_API ReadCardTimeInterval_4G(int32_t handle, int32_t *sameCard,
                                                            int32_t *otherCard);
TARNWICK_EXPORT int32_t TARNWICK_API SetCardTimeInterval_4G(int32_t handle, int32_t sameCard,
                                                           int32_t otherCard);

/* ------------------------------------------------------------------------
 * Records
 * ---------------------------------------------------------------------- */
/* Collects every stored record; returns the number collected. info must
 * stay valid after the call. */
TARNWICK_EXPORT int32_t TARNWICK_API ReadAllRecord(int32_t handle, TClockInfo *info, TReadRecordProc onRecord,
                                                  TReadProgressProc onProgress);
TARNWICK_EXPORT TBool TARNWICK_API ClearAllReadCard(int32_t handle);
/* Phase 1 starts a recovery, 2 continues it, 3 ends it. *count is
 * TARNWICK_PAGE_RECORDS on entry (room in batch) and the number delivered
 * on return. */
TARNWICK_EXPORT int32_t TARNWICK_API RecoveryRecord(int32_t handle, int32_t phase, int32_t *count,
                                                   TConsumeRecord *batch);

/* ------------------------------------------------------------------------
 * Name lists
 * ---------------------------------------------------------------------- */
TARNWICK_EXPORT TBool TARNWICK_API ReadListCardTotalB(int32_t handle, int32_t *capacity, int32_t *whiteTotal,
                                                     int32_t *blackTotal, int32_t *otherTotal);
/* text: caller buffer of TARNWICK_TEXT_BUFFER bytes. */
TARNWICK_EXPORT int32_t TARNWICK_API ReadNameListFormatEx(int32_t handle, int32_t *format, char *text);
TARNWICK_EXPORT int32_t TARNWICK_API DownLoadNameList(int32_t handle, int32_t count, TNameListRecord *entries);
TARNWICK_EXPORT TBool TARNWICK_API DeleteNameList(int32_t handle, int32_t listType, int32_t reserved,
                                                 const char *cardNo);
/* *count is the room in entries on entry (at most TARNWICK_PAGE_RECORDS)
 * and the number delivered on return. */
TARNWICK_EXPORT TBool TARNWICK_API ReadDeviceListCard(int32_t handle, int32_t first, int32_t *count,
                                                     TNameListRecord *entries);
/* text: caller buffer of TARNWICK_LIST_TEXT_BUFFER bytes. */
TARNWICK_EXPORT TBool TARNWICK_API ReadDeviceListCardAsString(int32_t handle, int32_t first, int32_t *count,
                                                             char *text);
TARNWICK_EXPORT int32_t TARNWICK_API ClearAllNamelist(int32_t handle);

/* ------------------------------------------------------------------------
 * Upload (terminals send records on their own)
 * ---------------------------------------------------------------------- */
TARNWICK_EXPORT int32_t TARNWICK_API SetRemoteIP(int32_t handle, const char *ip, int32_t port, int32_t mode,
                                                const char *domain, int32_t reserved);
/* ip and domain: caller buffers of TARNWICK_TEXT_BUFFER bytes. */
TARNWICK_EXPORT int32_t TARNWICK_API ReadRemoteIP(int32_t handle, char *ip, int32_t *port, int32_t *mode,
                                                 char *domain, int32_t *reserved);
TARNWICK_EXPORT TBool TARNWICK_API StartUpLoad(int32_t port);
TARNWICK_EXPORT int32_t TARNWICK_API SetUpLoadProc(TOnUploadLogin onLogin, TOnUploadState onState,
                                                  TOnUploadRecords onRecords);
TARNWICK_EXPORT int32_t TARNWICK_API SetUpLoadProcStr(TOnUploadLogin onLogin, TOnUploadState onState,
                                                     TOnUploadText onText);
TARNWICK_EXPORT int32_t TARNWICK_API StopUpLoad(void);

/* ------------------------------------------------------------------------
 * Time-slot consumption
 * ---------------------------------------------------------------------- */
TARNWICK_EXPORT int32_t TARNWICK_API SetSpanTimeofPrice(int32_t handle, const TSpanTimeSlot *slots,
                                                       int32_t count);
/* slots: caller buffer of MaxSpanTimeSlots records. */
TARNWICK_EXPORT int32_t TARNWICK_API ReadSpanTimeofPrice(int32_t handle, TSpanTimeSlot *slots, int32_t *count);
TARNWICK_EXPORT int32_t TARNWICK_API SetConsumetimeParam(int32_t handle, int32_t runInTimeMode,
                                                        int32_t allowOutOfTime);
TARNWICK_EXPORT int32_t TARNWICK_API GetConsumetimeParam(int32_t handle, int32_t *runInTimeMode,
                                                        int32_t *allowOutOfTime);

/* ------------------------------------------------------------------------
 * Online-trade settings, LAN search, consumption QR codes
 * ---------------------------------------------------------------------- */
TARNWICK_EXPORT int32_t TARNWICK_API SetWorkModelSta(int32_t handle, int32_t workModel, int32_t tradeMode);
TARNWICK_EXPORT int32_t TARNWICK_API GetCurrentWorkModelSta(int32_t handle, int32_t *workModel,
                                                           int32_t *tradeMode);
TARNWICK_EXPORT int32_t TARNWICK_API SetRealTimeCardType(int32_t handle, int32_t cardType);
TARNWICK_EXPORT int32_t TARNWICK_API ReadRealTimeCardType(int32_t handle, int32_t *cardType);
/* devices: caller buffer of TARNWICK_MAX_LAN_DEVICES records. */
TARNWICK_EXPORT TBool TARNWICK_API SearchLanDevice(TLanDevice *devices, int32_t *count);
/* *content is set to a text the library owns. */
TARNWICK_EXPORT int32_t TARNWICK_API GetQRCode(const char *request, char **content);
TARNWICK_EXPORT int32_t TARNWICK_API SetQRCodeKey(int32_t handle, const char *factor);

/* ------------------------------------------------------------------------
 * Water-control terminals
 * ---------------------------------------------------------------------- */
TARNWICK_EXPORT int32_t TARNWICK_API SetWaterDevSector(int32_t handle, int32_t sector, int32_t keyType,
                                                      const char *key);
/* *key points to a caller buffer of TARNWICK_SHORT_TEXT_BUFFER bytes. */
TARNWICK_EXPORT int32_t TARNWICK_API GetWaterDevSector(int32_t handle, int32_t *sector, int32_t *keyType,
                                                      char **key);
TARNWICK_EXPORT int32_t TARNWICK_API SetWaterDevTradeModel(int32_t handle, int32_t tradeMode,
                                                          int32_t tradeMethod);
TARNWICK_EXPORT int32_t TARNWICK_API GetWaterDevTradeModel(int32_t handle, int32_t *tradeMode,
                                                          int32_t *tradeMethod);
/* *json is set to a JSON text the library owns. */
TARNWICK_EXPORT int32_t TARNWICK_API GetWaterDevParam(int32_t handle, char **json);
TARNWICK_EXPORT int32_t TARNWICK_API SetWaterDevParam(int32_t handle, const char *json);

#ifdef __cplusplus
}
#endif

#endif /* TARNWICK_H */
