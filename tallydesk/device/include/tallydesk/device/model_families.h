// Model families: named sets of terminal models, tested by membership of the
// model code a terminal reports (designation Tnn, code TARNWICK_MODEL_Tnn).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "tarnwick.h"

namespace tallydesk::device {

class ModelFamily {
 public:
  consteval ModelFamily(std::initializer_list<TarnwickModel> members) {
    for (TarnwickModel model : members) {
      if (model < TARNWICK_MODEL_FIRST || model > TARNWICK_MODEL_LAST) throw "not a published model code";
      mask_ |= std::uint32_t{1} << model;
    }
  }

  // False for every code that is no published model (0, negative, unknown).
  constexpr bool Contains(std::int32_t modelCode) const {
    return modelCode >= TARNWICK_MODEL_FIRST && modelCode <= TARNWICK_MODEL_LAST &&
           ((mask_ >> modelCode) & 1u) != 0;
  }

  // The member codes in ascending order.
  std::vector<std::int32_t> Members() const {
    std::vector<std::int32_t> codes;
    for (std::int32_t code = TARNWICK_MODEL_FIRST; code <= TARNWICK_MODEL_LAST; ++code) {
      if (Contains(code)) codes.push_back(code);
    }
    return codes;
  }

 private:
  std::uint32_t mask_ = 0;
};

// Terminals whose firmware cannot replay records: recovery is refused.
inline constexpr ModelFamily OldFirmwareModels{TARNWICK_MODEL_T05, TARNWICK_MODEL_T06, TARNWICK_MODEL_T12,
                                               TARNWICK_MODEL_T13, TARNWICK_MODEL_T14, TARNWICK_MODEL_T15};

// The next two select the rules inside the balance decoding path.
inline constexpr ModelFamily StandardModels{TARNWICK_MODEL_T01, TARNWICK_MODEL_T02, TARNWICK_MODEL_T03,
                                            TARNWICK_MODEL_T07, TARNWICK_MODEL_T08, TARNWICK_MODEL_T09,
                                            TARNWICK_MODEL_T10, TARNWICK_MODEL_T11};
inline constexpr ModelFamily EntryModels{TARNWICK_MODEL_T01, TARNWICK_MODEL_T02};

// Own decoding path; also admitted by the rules of the balance path.
inline constexpr ModelFamily CompactModels{TARNWICK_MODEL_T04};

// Decoding path that computes the trade amount from the balance value.
inline constexpr ModelFamily BalanceModels{TARNWICK_MODEL_T03, TARNWICK_MODEL_T05, TARNWICK_MODEL_T06,
                                           TARNWICK_MODEL_T07, TARNWICK_MODEL_T08, TARNWICK_MODEL_T09,
                                           TARNWICK_MODEL_T10, TARNWICK_MODEL_T11};

// Decoding path that takes the record's own type code.
inline constexpr ModelFamily TypeCodeModels{TARNWICK_MODEL_T12, TARNWICK_MODEL_T13, TARNWICK_MODEL_T14,
                                            TARNWICK_MODEL_T15, TARNWICK_MODEL_T16, TARNWICK_MODEL_T17,
                                            TARNWICK_MODEL_T18, TARNWICK_MODEL_T19, TARNWICK_MODEL_T20};

// The record's own type code and three further values.
inline constexpr ModelFamily ExtendedModels{TARNWICK_MODEL_T21, TARNWICK_MODEL_T22};

}  // namespace tallydesk::device
