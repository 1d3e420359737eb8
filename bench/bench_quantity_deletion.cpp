// Cost of deleting one species or one parameter, delete guard included, as a
// user deletes them: a model of n species (one compartment) and n model
// parameters, with n/10 reactions "x<i> -> y<i>" whose "MassAction" laws are
// bound to parameters k<i> of the model (so the species guard and the
// parameter guard both have reactions and mass-action laws to consider).
// 1,000 species and 1,000 parameters spread evenly over the model are
// deleted one by one, in order; the counter is the cost per deletion, for
// n = 1,000 and n = 100,000.  It should not grow with the model.
//
// One run of 1,000 deletions is short (a few milliseconds) and swings with
// whatever else the machine does, so every size is repeated on fresh models
// and only the aggregates are printed: read the median rows.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "model/BQuorvixRoot.hpp"
#include "support/BenchHost.hpp"

namespace {

constexpr size_t kDeletions = 1000;

struct Built {
  OBInterface* model = nullptr;
  std::vector<OBInterface*> species;
  std::vector<OBInterface*> parameters;
};

OBInterface* addNamed(TestHost& host, OBInterface* parent, const char* method, const std::string& text) {
  return objectOf(host.call(parent, method, {host.str(text.c_str())}, 1).at(0));
}

Built buildModel(TestHost& host, size_t n) {
  Built built;
  built.model = host.construct("Model", {host.str("bench")});
  OBInterface* cell = addNamed(host, built.model, "addcompartment", "cell");
  for (size_t i = 0; i < n; ++i) {
    built.species.push_back(addNamed(host, cell, "addspecies", "s" + std::to_string(i)));
    built.parameters.push_back(addNamed(host, built.model, "addparameter", "p" + std::to_string(i)));
  }
  for (size_t i = 0; i < n / 10; ++i) {
    const std::string index = std::to_string(i);
    addNamed(host, built.model, "addparameter", "k" + index);
    OBInterface* reaction = addNamed(host, built.model, "addreaction", "x" + index + " -> y" + index);
    OBInterface* law = addNamed(host, reaction, "addkineticlaw", "MassAction");
    host.call(law, "setparameter", {host.str("Forward Rate Parameter"), host.str(("k" + index).c_str())});
  }
  host.clearLogs();
  return built;
}

// Deletes kDeletions of the given instances, spread evenly, in order; the
// time of the deletions alone is the iteration's time.
void deleteSpread(benchmark::State& state, bool species) {
  TestHost& host = startedBenchHost();
  const auto n = static_cast<size_t>(state.range(0));
  const size_t stride = n / kDeletions;
  for (auto _ : state) {
    Built built = buildModel(host, n);
    const std::vector<OBInterface*>& victims = species ? built.species : built.parameters;
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < kDeletions; ++i) {
      if (!victims[i * stride]->destroy(OBDatabaseClient::getExternalClient())) {
        state.SkipWithError("a deletion was refused");
      }
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    host.clearLogs();
    host.call(getOBIRoot(), "reset");
  }
  state.counters["per_deletion"] = benchmark::Counter(
      static_cast<double>(kDeletions), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_DeleteSpecies(benchmark::State& state) { deleteSpread(state, true); }
void BM_DeleteParameters(benchmark::State& state) { deleteSpread(state, false); }

// Fresh models per repetition; a 100,000 model takes seconds to build.
constexpr int kRepetitions = 5;

void deletionCase(benchmark::internal::Benchmark* bench, long size) {
  bench->Arg(size)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1)
      ->Repetitions(kRepetitions)
      ->ReportAggregatesOnly(true)
      ->UseManualTime();
}
void smallModel(benchmark::internal::Benchmark* bench) { deletionCase(bench, 1000); }
void largeModel(benchmark::internal::Benchmark* bench) { deletionCase(bench, 100000); }

// Both kinds at 1,000 first, then both at 100,000: a small model built after
// a large one was freed lands on a scattered heap and runs slower, so each
// size sees the same heap for both kinds.
BENCHMARK(BM_DeleteSpecies)->Apply(smallModel);
BENCHMARK(BM_DeleteParameters)->Apply(smallModel);
BENCHMARK(BM_DeleteSpecies)->Apply(largeModel);
BENCHMARK(BM_DeleteParameters)->Apply(largeModel);

}  // namespace

BENCHMARK_MAIN();
