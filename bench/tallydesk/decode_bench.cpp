// Records decoded per second for a balance terminal and a terminal that
// reports its own type codes, beside copying the same 658-byte record (the
// least any handling of a record costs), measured in the same run; the
// ratio says how many record copies one decode costs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tallydesk/device/record_decoder.h"

namespace {

using tallydesk::device::DecodeTradeRecord;
using tallydesk::device::TTradeRecord;

template <std::size_t N>
void SetText(char (&field)[N], const char* text) {
  std::memset(field, 0, N);
  std::memcpy(field, text, std::min(std::strlen(text), N));
}

TConsumeRecord TypicalRecord() {
  TConsumeRecord r;
  std::memset(&r, 0, sizeof r);
  SetText(r.CardNo, "6225880112345678");
  SetText(r.TradeTime, "2023-01-15 08:30:45");
  r.ConsumeAmount = 1250;
  r.CashBalance = 48750;
  r.BalanceCents = 50000;
  r.TradeType = 2;
  r.SubKind = 5;
  r.RecordKind = 1;
  r.CashCardCount = 17;
  r.SubsidyCardCount = 3;
  r.SubsidyBalance = 2000;
  r.TypeCode = 4;
  r.Value511 = 123456;
  SetText(r.Text105, "0001");
  SetText(r.BitmapHex, "0C3F00FF00000000");
  r.BitmapMonth = 3;
  r.BitmapDay = 14;
  return r;
}

void Decode(benchmark::State& state, std::int32_t model, const TConsumeRecord& record) {
  TTradeRecord decoded;
  for (auto _ : state) {
    benchmark::DoNotOptimize(&record);
    DecodeTradeRecord(model, 1, &record, decoded);
    benchmark::DoNotOptimize(&decoded);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_CopyRecord(benchmark::State& state) {
  const TConsumeRecord record = TypicalRecord();
  TConsumeRecord copy;
  for (auto _ : state) {
    benchmark::DoNotOptimize(&record);
    std::memcpy(&copy, &record, sizeof copy);
    benchmark::DoNotOptimize(&copy);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CopyRecord);

void BM_DecodeBalanceRecord(benchmark::State& state) {
  Decode(state, TARNWICK_MODEL_T07, TypicalRecord());
}
BENCHMARK(BM_DecodeBalanceRecord);

// Type 11 records also derive a date and a 64-bit day bitmap.
void BM_DecodeBalanceRecordMonthDay(benchmark::State& state) {
  TConsumeRecord record = TypicalRecord();
  record.SubKind = 7;
  record.BitmapDay = 32;
  Decode(state, TARNWICK_MODEL_T07, record);
}
BENCHMARK(BM_DecodeBalanceRecordMonthDay);

void BM_DecodeTypeCodeRecord(benchmark::State& state) {
  Decode(state, TARNWICK_MODEL_T16, TypicalRecord());
}
BENCHMARK(BM_DecodeTypeCodeRecord);

// The console's table, followed by records per second of each decode and
// its ratio to the copy baseline.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const auto rate = run.counters.find("items_per_second");
      if (rate != run.counters.end()) rates_[run.benchmark_name()] = rate->second.value;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto baseline = rates_.find("BM_CopyRecord");
    if (baseline == rates_.end()) return;
    std::printf("\n%-34s %16s %12s\n", "records per second", "records/s", "copies/decode");
    std::printf("%-34s %16.0f %12s\n", "baseline: copy a record", baseline->second, "1");
    for (const auto& [name, rate] : rates_) {
      if (name == baseline->first) continue;
      std::printf("%-34s %16.0f %12.1f\n", name.c_str(), rate, baseline->second / rate);
    }
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
