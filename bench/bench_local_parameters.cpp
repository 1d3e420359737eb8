// Edits of reactions whose kinetic laws each hold a parameter of their own
// named "k", as a user makes them through the host, at n = 1,000 and 8,000
// reactions: adding a reaction with such a law, renaming one law's "k" (and
// renaming one reaction), and deleting one reaction.  No edit should cost
// more because every other reaction has a "k" too.
//
// Every figure is the time of the timed operation alone (manual timing),
// per operation.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "model/BQuorvixRoot.hpp"
#include "support/BenchSupport.hpp"

namespace {

constexpr size_t kOperations = 200;

// A parameter takes a new name through "rename", a reaction through its
// property "Name".
void rename(OBInterface* object, const char* name) {
  callMethod(object, "rename", {qxCreateString(name)});
}

void setName(OBInterface* reaction, const char* name) {
  qxArray* text = qxCreateString(name);
  obkSetProperty(reaction, "Name", text);
  qxDestroyArray(text);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct LocalLaw {
  OBInterface* reaction = nullptr;
  OBInterface* k = nullptr;
};

// A reaction "<name>" of "<c>.x<i> -> <c>.y<i>" with a "MassAction" law
// whose forward rate is its own parameter "k".
LocalLaw addReactionWithLocalK(OBInterface* model, const std::string& name, const std::string& equation) {
  LocalLaw made;
  made.reaction = addNamed(model, "addreaction", equation);
  setName(made.reaction, name.c_str());
  OBInterface* law = addNamed(made.reaction, "addkineticlaw", "MassAction");
  made.k = addNamed(law, "addparameter", "k");
  callMethod(law, "setparameter", {qxCreateString("Forward Rate Parameter"), qxCreateString("k")});
  return made;
}

// n reactions r<i> over n / 8 compartments, each with its own "k", and a
// compartment "work" for the timed reactions.
OBInterface* buildModel(TestHost& host, size_t n) {
  OBInterface* model = host.construct("Model", {host.str("bench")});
  for (size_t i = 0; i < n / 8; ++i) addNamed(model, "addcompartment", "c" + std::to_string(i));
  addNamed(model, "addcompartment", "work");
  for (size_t i = 0; i < n; ++i) {
    const std::string c = "c" + std::to_string(i % (n / 8));
    const std::string index = std::to_string(i);
    addReactionWithLocalK(model, "r" + index, c + ".x" + index + " -> " + c + ".y" + index);
  }
  host.clearLogs();
  return model;
}

enum class Step { AddReaction, RenameLocalK, RenameReaction, DeleteReaction };

// Times kOperations of the step on a reaction of the compartment "work"
// (added and deleted around the timed part as the step needs).
void localKStep(benchmark::State& state, Step step) {
  TestHost& host = startedBenchHost();
  OBInterface* model = buildModel(host, static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    double seconds = 0;
    for (size_t i = 0; i < kOperations; ++i) {
      auto start = std::chrono::steady_clock::now();
      const LocalLaw made = addReactionWithLocalK(model, "timed", "work.a -> work.b");
      if (step == Step::AddReaction) seconds += secondsSince(start);
      if (step == Step::RenameLocalK || step == Step::RenameReaction) {
        OBInterface* renamed = step == Step::RenameLocalK ? made.k : made.reaction;
        const char* name = step == Step::RenameLocalK ? "k" : "timed";
        auto named = step == Step::RenameLocalK ? rename : setName;
        start = std::chrono::steady_clock::now();
        named(renamed, "other");
        named(renamed, name);
        seconds += secondsSince(start) / 2;
      }
      start = std::chrono::steady_clock::now();
      if (!made.reaction->destroy(OBDatabaseClient::getExternalClient())) state.SkipWithError("a deletion was refused");
      if (step == Step::DeleteReaction) seconds += secondsSince(start);
      host.clearLogs();
    }
    state.SetIterationTime(seconds);
  }
  host.call(getOBIRoot(), "reset");
  state.counters["per_operation"] = perItem(static_cast<double>(kOperations));
}

void BM_AddReactionWithLocalK(benchmark::State& state) { localKStep(state, Step::AddReaction); }
void BM_RenameLocalK(benchmark::State& state) { localKStep(state, Step::RenameLocalK); }
void BM_RenameReactionWithLocalK(benchmark::State& state) { localKStep(state, Step::RenameReaction); }
void BM_DeleteReactionWithLocalK(benchmark::State& state) { localKStep(state, Step::DeleteReaction); }

}  // namespace

BENCHMARK(BM_AddReactionWithLocalK)->Arg(1000)->Arg(8000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenameLocalK)->Arg(1000)->Arg(8000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenameReactionWithLocalK)->Arg(1000)->Arg(8000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteReactionWithLocalK)->Arg(1000)->Arg(8000)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
