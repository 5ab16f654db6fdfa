// A host for the core tests: records what the library reports and answers
// trade requests as the test tells it. The callbacks are plain functions, as
// a C host's are; they reach the recorder through one pointer.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "server.h"

namespace tillwire::testing {

struct HostRecorder {
    struct Result {
        TTradeRequest request;
        int32_t confirmed;
    };
    struct State {
        uint32_t clockNo;
        int32_t state;
        bool operator==(const State&) const = default;
    };

    std::vector<TTradeRequest> requests;
    std::vector<Result> results;
    std::vector<State> states;
    // Fills the answer and returns the Accept byte.
    std::function<uint8_t(const TTradeRequest&, TTradeAnswer&)> answer = [](const TTradeRequest&, TTradeAnswer& a) {
        a.TradeSerial = 1000;
        std::strcpy(a.Text, "Holder");
        a.Balance = 150;
        a.ExtraValue = 30;
        return uint8_t{1};
    };
    std::function<void()> onResult;

    static HostRecorder*& Current() {
        static HostRecorder* current = nullptr;
        return current;
    }
    HostRecorder() { Current() = this; }
    ~HostRecorder() { Current() = nullptr; }

    static void TILLWIRE_CALL OnRequest(TTradeRequest* r, TTradeAnswer* a, uint8_t* accept) {
        HostRecorder* h = Current();
        h->requests.push_back(*r);
        *accept = h->answer(*r, *a);
    }
    static void TILLWIRE_CALL OnResult(TTradeRequest* r, int32_t confirmed, uint8_t* flag) {
        HostRecorder* h = Current();
        h->results.push_back({*r, confirmed});
        *flag = 1;
        if (h->onResult) h->onResult();
    }
    static void TILLWIRE_CALL OnState(uint32_t clockNo, int32_t state) { Current()->states.push_back({clockNo, state}); }

    Callbacks All() const { return {&OnRequest, &OnResult, &OnState}; }
};

}  // namespace tillwire::testing
