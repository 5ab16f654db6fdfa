// TTradeRecord: a transaction record decoded for the console (527 bytes,
// byte-packed). The numbers in the comments are the field numbers the record
// views refer to; ValueNNN, TextNNN and BytesNNN are copies of the device
// record's values at offset NNN, whose meaning belongs to the terminal
// firmware. Texts are zero-terminated inside their field. Amounts (fields
// 13 to 17) are in currency units; date-times (8, 39) count days from
// 1899-12-30.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tallydesk::device {

#pragma pack(push, 1)
struct TTradeRecord {
  char Value511Text[20];          //  1: decimal text of the value at 511
  std::int32_t Value97;           //  2
  std::int32_t CashCardCount;     //  3
  char Text105[20];               //  4: the text at 105, "0" when it is empty
  std::int32_t ClockId;           //  5: device number
  std::uint8_t Reserved6[20];     //  6
  char CardNo[20];                //  7
  double TradeTime;               //  8: 0 when the time text does not convert
  std::int32_t Value54;           //  9
  std::int32_t TypeCode;          // 10
  std::int32_t CardCount;         // 11: decoded cash card count
  std::int32_t SubsidyCardCount;  // 12
  double Consumption;             // 13
  double TradeAmount;             // 14
  double BalanceAmount;           // 15: the balance value at 459
  double SubsidyBalance;          // 16
  double Value580Amount;          // 17
  std::int32_t Reserved18;        // 18
  std::int32_t PaymentFlag;       // 19
  std::uint8_t Reserved20[21];    // 20
  char CardPart1[20];             // 21: characters 1 to 4 of the card number, or "1"
  char CardPart2[20];             // 22: characters 5 to 8 of the card number, or "1"
  char Text23[20];                // 23: "0"
  std::uint8_t Bytes523[20];      // 24: the 8 bytes at 523
  std::int32_t Value495;          // 25: 12 when the payment marker is 33
  std::int32_t TradeType;         // 26
  std::uint8_t Bytes475[40];      // 27: the 12 bytes at 475
  char Text28[20];                // 28: "0"
  std::int32_t PaymentKind;       // 29: 0, 1 or 2
  std::int32_t Value503;          // 30
  std::int32_t SubKind;           // 31
  std::int32_t RecordKind;        // 32
  std::uint8_t Reserved33[5];     // 33
  std::int32_t OwnTypeCode;       // 34: 1 for records that carry their own type code
  std::int32_t Value605;          // 35
  std::int32_t Value559;          // 36
  std::int32_t Value487;          // 37
  std::int32_t BitmapOrder;       // 38: order flag of the bit string, 0 or 1
  double DerivedDate;             // 39: 0 when it is not a valid date
  std::uint8_t Reserved40[18];    // 40
  char Bits[100];                 // 41: 64 characters "0" and "1"
  std::int32_t Value627;          // 42
  std::int32_t Value631;          // 43
  std::uint8_t Byte635;           // 44
  std::int32_t Value636;          // 45
  std::int32_t Value640;          // 46
  std::uint8_t Reserved47[10];    // 47
};
#pragma pack(pop)

static_assert(sizeof(TTradeRecord) == 527, "TTradeRecord size");
static_assert(offsetof(TTradeRecord, Value97) == 20);
static_assert(offsetof(TTradeRecord, CashCardCount) == 24);
static_assert(offsetof(TTradeRecord, Text105) == 28);
static_assert(offsetof(TTradeRecord, ClockId) == 48);
static_assert(offsetof(TTradeRecord, Reserved6) == 52);
static_assert(offsetof(TTradeRecord, CardNo) == 72);
static_assert(offsetof(TTradeRecord, TradeTime) == 92);
static_assert(offsetof(TTradeRecord, Value54) == 100);
static_assert(offsetof(TTradeRecord, TypeCode) == 104);
static_assert(offsetof(TTradeRecord, CardCount) == 108);
static_assert(offsetof(TTradeRecord, SubsidyCardCount) == 112);
static_assert(offsetof(TTradeRecord, Consumption) == 116);
static_assert(offsetof(TTradeRecord, TradeAmount) == 124);
static_assert(offsetof(TTradeRecord, BalanceAmount) == 132);
static_assert(offsetof(TTradeRecord, SubsidyBalance) == 140);
static_assert(offsetof(TTradeRecord, Value580Amount) == 148);
static_assert(offsetof(TTradeRecord, Reserved18) == 156);
static_assert(offsetof(TTradeRecord, PaymentFlag) == 160);
static_assert(offsetof(TTradeRecord, Reserved20) == 164);
static_assert(offsetof(TTradeRecord, CardPart1) == 185);
static_assert(offsetof(TTradeRecord, CardPart2) == 205);
static_assert(offsetof(TTradeRecord, Text23) == 225);
static_assert(offsetof(TTradeRecord, Bytes523) == 245);
static_assert(offsetof(TTradeRecord, Value495) == 265);
static_assert(offsetof(TTradeRecord, TradeType) == 269);
static_assert(offsetof(TTradeRecord, Bytes475) == 273);
static_assert(offsetof(TTradeRecord, Text28) == 313);
static_assert(offsetof(TTradeRecord, PaymentKind) == 333);
static_assert(offsetof(TTradeRecord, Value503) == 337);
static_assert(offsetof(TTradeRecord, SubKind) == 341);
static_assert(offsetof(TTradeRecord, RecordKind) == 345);
static_assert(offsetof(TTradeRecord, Reserved33) == 349);
static_assert(offsetof(TTradeRecord, OwnTypeCode) == 354);
static_assert(offsetof(TTradeRecord, Value605) == 358);
static_assert(offsetof(TTradeRecord, Value559) == 362);
static_assert(offsetof(TTradeRecord, Value487) == 366);
static_assert(offsetof(TTradeRecord, BitmapOrder) == 370);
static_assert(offsetof(TTradeRecord, DerivedDate) == 374);
static_assert(offsetof(TTradeRecord, Reserved40) == 382);
static_assert(offsetof(TTradeRecord, Bits) == 400);
static_assert(offsetof(TTradeRecord, Value627) == 500);
static_assert(offsetof(TTradeRecord, Value631) == 504);
static_assert(offsetof(TTradeRecord, Byte635) == 508);
static_assert(offsetof(TTradeRecord, Value636) == 509);
static_assert(offsetof(TTradeRecord, Value640) == 513);
static_assert(offsetof(TTradeRecord, Reserved47) == 517);

}  // namespace tallydesk::device
