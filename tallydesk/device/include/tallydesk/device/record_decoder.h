// Decoding of the terminal's transaction records by model family.
#pragma once

#include <cstdint>

#include "tallydesk/device/trade_record.h"
#include "tarnwick.h"

namespace tallydesk::device {

// Fills `decoded` from one device record of a terminal of the given model.
// `decoded` is zero-filled first and then gets the card number; what else
// is filled depends on the model family:
//   TypeCodeModels  the record's type code (remapped), time and a few values;
//   BalanceModels   amounts computed from the balance value, the payment
//                   kind, the type code from the sub-kind, the month day or
//                   bitmap of types 7 and 11;
//   EntryModels     (T01, T02) the entry rules of the balance path, see
//                   record_decoder.cpp;
//   ExtendedModels  the record's own type code and three further values;
//   CompactModels   amounts and counts of the compact terminal.
// Any other model code gets only the card number. The device record is only
// read; a null record leaves `decoded` zero-filled.
void DecodeTradeRecord(std::int32_t modelCode, std::int32_t deviceNumber, const TConsumeRecord* record,
                       TTradeRecord& decoded);

}  // namespace tallydesk::device
