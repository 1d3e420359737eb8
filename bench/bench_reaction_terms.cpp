// Editing the terms of one long reaction as a user does: "addreactant" with
// K names in one call (a cell of names), "addreactant" of one name to a
// reaction of n reactants, and "rmreactant" of one name from it (and
// "rmproduct" of n products).  The cost per added name is the same at
// K = 100 and K = 800, and the work of one addition or removal the same on
// reactions of 500 and of 4,000 terms (a removal's time grows somewhat with
// the memory the longer reaction spans).
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "reactions/BReaction.hpp"
#include "support/BenchSupport.hpp"

namespace {

std::string speciesName(int i) { return "S" + std::to_string(i); }

// A model with the compartment "cell" and the reaction "null -> P".
OBInterface* reactionInNewModel(TestHost& host, OBInterface*& model) {
  model = host.construct("Model", {host.str("bench")});
  host.call(model, "addcompartment", {host.str("cell")}, 1);
  return objectOf(host.call(model, "addreaction", {host.str("null -> P")}, 1).at(0));
}

// A cell row of the names S<first> ... S<first + count - 1>.
qxArray* namesCell(TestHost& host, int first, int count) {
  qxArray* cell = host.own(qxCreateCellMatrix(1, static_cast<size_t>(count)));
  for (int i = 0; i < count; ++i) {
    qxSetCell(cell, static_cast<size_t>(i), qxCreateString(speciesName(first + i).c_str()));
  }
  return cell;
}

// One "addreactant" of K new species names per iteration, on a fresh
// reaction; the counter is the cost per name (the species are made too).
void BM_AddReactantNamesInOneCall(benchmark::State& state) {
  const int names = static_cast<int>(state.range(0));
  TestHost& host = startedBenchHost();
  for (auto _ : state) {
    state.PauseTiming();
    OBInterface* model = nullptr;
    OBInterface* r = reactionInNewModel(host, model);
    qxArray* cell = namesCell(host, 0, names);
    state.ResumeTiming();
    host.call(r, "addreactant", {cell}, 1);
    state.PauseTiming();
    if (static_cast<int>(dynamic_cast<BReaction*>(componentOf(r))->getNumReactants()) != names) {
      state.SkipWithError("not every name became a reactant");
    }
    host.clearLogs();
    host.call(getOBIRoot(), "reset");
    state.ResumeTiming();
  }
  state.counters["per_name"] = perItem(static_cast<double>(names));
}
BENCHMARK(BM_AddReactantNamesInOneCall)->Arg(100)->Arg(800)->Unit(benchmark::kMillisecond)
    ->Iterations(5);

constexpr int kSpread = 50;

// "addreactant" of one name per iteration to a reaction of n reactants:
// the names are those of 50 of its own terms spread over the side, each
// taken away untimed first, so that the addition makes no species and the
// reaction has n terms after each one.
void BM_AddReactantToLongReaction(benchmark::State& state) {
  const int terms = static_cast<int>(state.range(0));
  TestHost& host = startedBenchHost();
  OBInterface* model = nullptr;
  OBInterface* r = reactionInNewModel(host, model);
  host.call(r, "addreactant", {namesCell(host, 0, terms)}, 1);
  std::vector<qxArray*> names;
  for (int i = 0; i < kSpread; ++i) names.push_back(host.str(speciesName(i * (terms / kSpread)).c_str()));
  const auto held = [&] { return static_cast<int>(dynamic_cast<BReaction*>(componentOf(r))->getNumReactants()); };
  size_t next = 0;
  for (auto _ : state) {
    qxArray* name = names[next];
    next = (next + 1) % names.size();
    host.call(r, "rmreactant", {name}, 1);
    const auto start = std::chrono::steady_clock::now();
    host.call(r, "addreactant", {name}, 1);
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    host.clearLogs();
    if (held() != terms) {
      state.SkipWithError("an addition did not give the reaction its term back");
      break;
    }
  }
  host.clearLogs();
  host.call(getOBIRoot(), "reset");
}
BENCHMARK(BM_AddReactantToLongReaction)->Arg(500)->Arg(4000)->Unit(benchmark::kMicrosecond)->UseManualTime();

// "rmreactant" ("rmproduct") of one name per iteration from a reaction of
// n reactants (products).  The names removed are 50 terms spread over the
// whole side, taken in turn; each removed term is added back untimed, at
// the end of its side, so that the reaction keeps its n terms and a removal
// moves on average a quarter of the equation's text, however many
// iterations run.  Only the removal is timed (each on the clock alone: the
// removals of a run are many thousands, not one short burst that the
// machine's state of the moment decides).
void removeFromLongSide(benchmark::State& state, const char* add, const char* remove,
                        size_t (BReaction::*count)() const) {
  const int terms = static_cast<int>(state.range(0));
  TestHost& host = startedBenchHost();
  OBInterface* model = nullptr;
  OBInterface* r = reactionInNewModel(host, model);
  host.call(r, add, {namesCell(host, 0, terms)}, 1);
  std::vector<qxArray*> names;
  for (int i = 0; i < kSpread; ++i) names.push_back(host.str(speciesName(i * (terms / kSpread)).c_str()));
  const auto held = [&] { return static_cast<int>((dynamic_cast<BReaction*>(componentOf(r))->*count)()); };
  const int before = held();
  size_t next = 0;
  for (auto _ : state) {
    qxArray* name = names[next];
    next = (next + 1) % names.size();
    const auto start = std::chrono::steady_clock::now();
    host.call(r, remove, {name}, 1);
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    if (held() != before - 1) {
      state.SkipWithError("a removal did not take exactly one term away");
      break;
    }
    host.call(r, add, {name}, 1);
    host.clearLogs();
  }
  if (held() != before) state.SkipWithError("a removed term was not added back");
  host.clearLogs();
  host.call(getOBIRoot(), "reset");
}

void BM_RemoveReactantFromLongReaction(benchmark::State& state) {
  removeFromLongSide(state, "addreactant", "rmreactant", &BReaction::getNumReactants);
}
BENCHMARK(BM_RemoveReactantFromLongReaction)->Arg(500)->Arg(4000)->Unit(benchmark::kMicrosecond)
    ->UseManualTime();

// The product "P" of "null -> P" stays before the added products.
void BM_RemoveProductFromLongReaction(benchmark::State& state) {
  removeFromLongSide(state, "addproduct", "rmproduct", &BReaction::getNumProducts);
}
BENCHMARK(BM_RemoveProductFromLongReaction)->Arg(500)->Arg(4000)->Unit(benchmark::kMicrosecond)
    ->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
