// Edits whose cost must not grow with parts of the model they do not touch,
// as a user makes them through the host:
//
// - adding, renaming and deleting a species whose name a species of every
//   other compartment has too (ATP in each of n compartments, each used by
//   a reaction of its own compartment, named qualified), at n = 1,000 and
//   16,000, also adding one after n / 4 ATP entered ahead of the others
//   were deleted;
// - deleting a compartment (empty, or holding a species nothing uses) in a
//   model of n reactions over n / 8 compartments, at n = 4,000 and 32,000,
//   and an empty one among n compartments (each with its species ATP and
//   ADP and a reaction), at n = 1,000 and 16,000.
//
// Every figure is the time of the timed operation alone (manual timing),
// per operation.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "model/BQuorvixRoot.hpp"
#include "support/BenchSupport.hpp"

namespace {

constexpr size_t kOperations = 200;

OBInterface* addNamed(TestHost&, OBInterface* parent, const char* method, const std::string& text) {
  return addNamed(parent, method, text);
}

// The host method "rename", its arguments given back at once (the test
// host would keep them until it goes).
void rename(OBInterface* object, const char* name) {
  qxArray* ins[2] = {obkHandleArray(object), qxCreateString(name)};
  qxArray* outs[1] = {nullptr};
  obkCallMethod("rename", 0, outs, 2, ins);
  for (qxArray* a : {ins[0], ins[1], outs[0]}) qxDestroyArray(a);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void perOperation(benchmark::State& state) {
  state.counters["per_operation"] = benchmark::Counter(
      static_cast<double>(kOperations), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// n compartments c<i>, each with species ATP and ADP and a reaction
// "c<i>.ATP -> c<i>.ADP", and one compartment "work" with none; ahead of
// them `leading` compartments with an ATP only (in atps).
struct SharedNames {
  OBInterface* model = nullptr;
  OBInterface* work = nullptr;
  OBInterface* someAtp = nullptr;
  std::vector<OBInterface*> atps;
};

SharedNames buildSharedNames(TestHost& host, size_t n, size_t leading = 0) {
  SharedNames built;
  built.model = host.construct("Model", {host.str("bench")});
  // First, when asked, compartments whose ATP nothing uses.
  for (size_t i = 0; i < leading; ++i) {
    OBInterface* compartment = addNamed(host, built.model, "addcompartment", "early" + std::to_string(i));
    built.atps.push_back(addNamed(host, compartment, "addspecies", "ATP"));
  }
  for (size_t i = 0; i < n; ++i) {
    const std::string c = "c" + std::to_string(i);
    OBInterface* compartment = addNamed(host, built.model, "addcompartment", c);
    OBInterface* atp = addNamed(host, compartment, "addspecies", "ATP");
    addNamed(host, compartment, "addspecies", "ADP");
    addNamed(host, built.model, "addreaction", c + ".ATP -> " + c + ".ADP");
    if (i == n / 2) built.someAtp = atp;
  }
  built.work = addNamed(host, built.model, "addcompartment", "work");
  host.clearLogs();
  return built;
}

enum class SpeciesStep { Add, Rename, Delete };

// Times kOperations of the step on a species ATP of the compartment "work"
// (added and deleted around the timed part as the step needs).
void sharedNameStep(benchmark::State& state, SpeciesStep step, bool quarterLeft = false) {
  TestHost& host = startedBenchHost();
  const auto n = static_cast<size_t>(state.range(0));
  const SharedNames built = buildSharedNames(host, n, quarterLeft ? n / 4 : 0);
  if (quarterLeft) {
    // The ATP entered first, a quarter as many as the others, deleted.
    for (size_t i = 0; i < built.atps.size(); ++i) {
      if (!built.atps[i]->destroy(OBDatabaseClient::getExternalClient())) state.SkipWithError("a deletion was refused");
    }
    host.clearLogs();
  }
  for (auto _ : state) {
    double seconds = 0;
    for (size_t i = 0; i < kOperations; ++i) {
      auto start = std::chrono::steady_clock::now();
      OBInterface* species = addNamed(host, built.work, "addspecies", "ATP");
      if (step == SpeciesStep::Add) seconds += secondsSince(start);
      if (step == SpeciesStep::Rename) {
        start = std::chrono::steady_clock::now();
        rename(species, "ATPx");
        rename(species, "ATP");
        seconds += secondsSince(start) / 2;
      }
      start = std::chrono::steady_clock::now();
      species->destroy(OBDatabaseClient::getExternalClient());
      if (step == SpeciesStep::Delete) seconds += secondsSince(start);
      host.clearLogs();
    }
    state.SetIterationTime(seconds);
  }
  host.call(getOBIRoot(), "reset");
  perOperation(state);
}

void BM_AddSpeciesSharingItsName(benchmark::State& state) { sharedNameStep(state, SpeciesStep::Add); }
void BM_RenameSpeciesSharingItsName(benchmark::State& state) { sharedNameStep(state, SpeciesStep::Rename); }
void BM_DeleteSpeciesSharingItsName(benchmark::State& state) { sharedNameStep(state, SpeciesStep::Delete); }
void BM_AddSpeciesAfterAQuarterOfItsNameLeft(benchmark::State& state) {
  sharedNameStep(state, SpeciesStep::Add, true);
}

// n reactions "r<i>" turning x<i> into y<i>, spread over n / 8 compartments.
OBInterface* buildReactions(TestHost& host, size_t n) {
  OBInterface* model = host.construct("Model", {host.str("bench")});
  std::vector<OBInterface*> compartments;
  for (size_t i = 0; i < n / 8; ++i) {
    compartments.push_back(addNamed(host, model, "addcompartment", "c" + std::to_string(i)));
  }
  for (size_t i = 0; i < n; ++i) {
    const std::string c = "c" + std::to_string(i % compartments.size());
    const std::string index = std::to_string(i);
    addNamed(host, model, "addreaction", c + ".x" + index + " -> " + c + ".y" + index);
  }
  host.clearLogs();
  return model;
}

// Times the deletion of kOperations compartments made for it (empty, or
// with one species nothing uses).
void deleteCompartments(benchmark::State& state, OBInterface* model, bool withSpecies) {
  TestHost& host = startedBenchHost();
  for (auto _ : state) {
    std::vector<OBInterface*> made;
    for (size_t i = 0; i < kOperations; ++i) {
      made.push_back(addNamed(host, model, "addcompartment", "tmp" + std::to_string(i)));
      if (withSpecies) addNamed(host, made.back(), "addspecies", "unused" + std::to_string(i));
    }
    const auto start = std::chrono::steady_clock::now();
    for (OBInterface* compartment : made) {
      if (!compartment->destroy(OBDatabaseClient::getExternalClient())) state.SkipWithError("a deletion was refused");
    }
    state.SetIterationTime(secondsSince(start));
    host.clearLogs();
  }
  host.call(getOBIRoot(), "reset");
  perOperation(state);
}

void BM_DeleteEmptyCompartment(benchmark::State& state) {
  deleteCompartments(state, buildReactions(startedBenchHost(), static_cast<size_t>(state.range(0))), false);
}
void BM_DeleteCompartmentWithUnusedSpecies(benchmark::State& state) {
  deleteCompartments(state, buildReactions(startedBenchHost(), static_cast<size_t>(state.range(0))), true);
}
void BM_DeleteEmptyCompartmentAmongMany(benchmark::State& state) {
  TestHost& host = startedBenchHost();
  deleteCompartments(state, buildSharedNames(host, static_cast<size_t>(state.range(0))).model, false);
}

}  // namespace

BENCHMARK(BM_AddSpeciesSharingItsName)->Arg(1000)->Arg(16000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenameSpeciesSharingItsName)->Arg(1000)->Arg(16000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteSpeciesSharingItsName)->Arg(1000)->Arg(16000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddSpeciesAfterAQuarterOfItsNameLeft)->Arg(1000)->Arg(16000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteEmptyCompartment)->Arg(4000)->Arg(32000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteCompartmentWithUnusedSpecies)->Arg(4000)->Arg(32000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteEmptyCompartmentAmongMany)->Arg(1000)->Arg(16000)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
