// Editing the terms of one long reaction as a user does: "addreactant" with
// K names in one call (a cell of names), and "rmreactant" of one name from
// a reaction of n reactants (and "rmproduct" of n products).  The cost per
// added name is the same at K = 100 and K = 800, and the cost of one removal
// the same on reactions of 500 and of 4,000 terms.
#include <benchmark/benchmark.h>

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

// "rmreactant" ("rmproduct") of one name per iteration from a reaction of
// n reactants (products): 50 terms spread over the whole side, one after
// the other, so that the reaction keeps nearly n terms and a removal moves
// on average half of the terms behind it; the time is the cost of one
// removal.
constexpr int kRemovals = 50;

void removeFromLongSide(benchmark::State& state, const char* add, const char* remove,
                        size_t (BReaction::*count)() const) {
  const int terms = static_cast<int>(state.range(0));
  TestHost& host = startedBenchHost();
  OBInterface* model = nullptr;
  OBInterface* r = reactionInNewModel(host, model);
  host.call(r, add, {namesCell(host, 0, terms)}, 1);
  std::vector<qxArray*> names;
  for (int i = 0; i < kRemovals; ++i) {
    names.push_back(host.str(speciesName(i * (terms / kRemovals)).c_str()));
  }
  const auto held = [&] { return static_cast<int>((dynamic_cast<BReaction*>(componentOf(r))->*count)()); };
  const int before = held();
  int next = 0;
  for (auto _ : state) host.call(r, remove, {names[static_cast<size_t>(next++)]}, 1);
  if (held() != before - kRemovals) state.SkipWithError("not every removal took a term away");
  host.clearLogs();
  host.call(getOBIRoot(), "reset");
}

void BM_RemoveReactantFromLongReaction(benchmark::State& state) {
  removeFromLongSide(state, "addreactant", "rmreactant", &BReaction::getNumReactants);
}
BENCHMARK(BM_RemoveReactantFromLongReaction)->Arg(500)->Arg(4000)->Unit(benchmark::kMicrosecond)
    ->Iterations(kRemovals);

// The product "P" of "null -> P" stays before the added products.
void BM_RemoveProductFromLongReaction(benchmark::State& state) {
  removeFromLongSide(state, "addproduct", "rmproduct", &BReaction::getNumProducts);
}
BENCHMARK(BM_RemoveProductFromLongReaction)->Arg(500)->Arg(4000)->Unit(benchmark::kMicrosecond)
    ->Iterations(kRemovals);

}  // namespace

BENCHMARK_MAIN();
