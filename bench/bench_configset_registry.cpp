// Cost of finding, adding and copying configuration sets in a model that
// holds many, driven through the host methods: "getconfigset" of every set
// (per set returned) and of one set by name, "addconfigset" (per add), and
// copyobj of one set into its own model again and again (per copy, each
// copy taking the next free suffix).  Each is run with 500 and 4,000 sets
// (the adds and copies are removed again after each timed iteration); the
// cost per operation should be the same at both sizes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/BenchSupport.hpp"

namespace {

TestHost& startedHost() { return startedBenchHost(); }

std::string setName(size_t i) { return "set" + std::to_string(i); }

// A model holding its default set and n more.
OBInterface* modelWithSets(TestHost& host, size_t n) {
  OBInterface* model = host.construct("Model", {host.str("bench")});
  for (size_t i = 0; i < n; ++i) callMethod(model, "addconfigset", {qxCreateString(setName(i).c_str())}, 1);
  return model;
}

void dropModel(TestHost& host, OBInterface* model) {
  deleteModel(model);
  host.release(model);
}

// getconfigset(m): every set of the model; reported per set returned.
void BM_GetAllConfigSets(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto n = static_cast<size_t>(state.range(0));
  OBInterface* model = modelWithSets(host, n);
  for (auto _ : state) callMethod(model, "getconfigset", {}, 1);
  state.counters["per_set"] = perItem(static_cast<double>(n + 1));
  dropModel(host, model);
}
BENCHMARK(BM_GetAllConfigSets)->Arg(500)->Arg(4000)->Unit(benchmark::kMicrosecond);

// getconfigset(m, name) of sets spread over the model; reported per call.
void BM_GetConfigSetByName(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto n = static_cast<size_t>(state.range(0));
  const size_t calls = 100;
  OBInterface* model = modelWithSets(host, n);
  for (auto _ : state) {
    for (size_t i = 0; i < calls; ++i) callMethod(model, "getconfigset", {qxCreateString(setName(i * n / calls).c_str())}, 1);
  }
  state.counters["per_call"] = perItem(static_cast<double>(calls));
  dropModel(host, model);
}
BENCHMARK(BM_GetConfigSetByName)->Arg(500)->Arg(4000)->Unit(benchmark::kMicrosecond);

// Removes the sets named by the calls after the timed ones, so that every
// iteration starts from the same model (and the heap is reused rather than
// rebuilt with a whole new model).
void removeSets(OBInterface* model, const std::vector<std::string>& names) {
  for (const std::string& name : names) callMethod(model, "removeconfigset", {qxCreateString(name.c_str())});
}

// addconfigset of 100 more sets to a model that holds n; reported per add.
void BM_AddConfigSet(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto n = static_cast<size_t>(state.range(0));
  const size_t adds = 100;
  OBInterface* model = modelWithSets(host, n);
  std::vector<std::string> added;
  for (size_t i = 0; i < adds; ++i) added.push_back(setName(n + i));
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& name : added) callMethod(model, "addconfigset", {qxCreateString(name.c_str())}, 1);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    removeSets(model, added);
  }
  state.counters["per_add"] = perItem(static_cast<double>(adds));
  dropModel(host, model);
}
BENCHMARK(BM_AddConfigSet)->Arg(500)->Arg(4000)->Unit(benchmark::kMillisecond)->Iterations(400)->UseManualTime();

// copyobj of one set into its model once n copies of it are there (named
// set_1 ... set_n): the next 100 copies, reported per copy.
void BM_CopyConfigSetRepeatedly(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto n = static_cast<size_t>(state.range(0));
  const size_t copies = 100;
  OBInterface* model = host.construct("Model", {host.str("bench")});
  OBInterface* set = callMethod(model, "addconfigset", {qxCreateString("set")}, 1);
  for (size_t i = 0; i < n; ++i) callMethod(set, "copyobj", {obkHandleArray(model)}, 1);
  std::vector<std::string> copied;
  for (size_t i = 0; i < copies; ++i) copied.push_back("set_" + std::to_string(n + 1 + i));
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < copies; ++i) callMethod(set, "copyobj", {obkHandleArray(model)}, 1);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    removeSets(model, copied);
  }
  state.counters["per_copy"] = perItem(static_cast<double>(copies));
  dropModel(host, model);
}
BENCHMARK(BM_CopyConfigSetRepeatedly)->Arg(500)->Arg(4000)->Unit(benchmark::kMillisecond)->Iterations(400)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
