// Reactions built the way a user builds them: through the host's
// "addreaction" with equation texts (and a rate as property/value pair).
// A model of n species and n reactions costs the same per reaction at 1,000
// and 10,000 reactions; renaming a species used by 1,000 of them costs the
// same per affected reaction whatever the size of the model.  The same holds
// for reactions given kinetic laws (mass action, and an enzyme law for every
// tenth reaction) and for renaming a species bound in 1,000 enzyme laws.
// Adding a reaction costs the same among 10 and among 10,000 compartments,
// and the sorted users of a species cost the same per user at 1,000 and
// 10,000.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"
#include "support/BenchSupport.hpp"

namespace {

constexpr int kHubUsers = 1000;

// The equation and rate of reaction i: a chain S0 -> S1 -> ... in which the
// first kHubUsers reactions also consume the species Hub.
std::string equationOf(int i, int n) {
  const std::string next = "S" + std::to_string((i + 1) % n);
  if (i < kHubUsers) return "S" + std::to_string(i) + " + Hub -> " + next;
  return "S" + std::to_string(i) + " -> " + next;
}

std::string rateOf(int i) {
  if (i < kHubUsers) return "k*S" + std::to_string(i) + "*Hub";
  return "k*S" + std::to_string(i);
}

// Builds the model through the host; answers its instance.
OBInterface* buildModel(TestHost& host, int n) {
  OBInterface* model = host.construct("Model", {host.str("bench")});
  host.call(model, "addcompartment", {host.str("cell")}, 1);
  host.call(model, "addparameter", {host.str("k")}, 1);
  for (int i = 0; i < n; ++i) {
    host.call(model, "addreaction",
              {host.str(equationOf(i, n).c_str()), host.str("ReactionRate"),
               host.str(rateOf(i).c_str())},
              1);
  }
  return model;
}

void resetRoot(TestHost& host) { host.call(getOBIRoot(), "reset"); }

// Untimed end of one iteration: the model must hold every reaction; then the
// root is emptied for the next one.
void finishIteration(benchmark::State& state, TestHost& host, OBInterface* model, int reactions) {
  state.PauseTiming();
  const auto* kelbor = static_cast<const Kelbor*>(componentOf(model));
  if (!kelbor || static_cast<int>(kelbor->getNumReactions()) != reactions) {
    state.SkipWithError("the model does not hold every reaction");
  }
  host.clearLogs();
  resetRoot(host);
  state.ResumeTiming();
}

void countPerReaction(benchmark::State& state, int reactions) {
  state.counters["per_reaction"] = perItem(static_cast<double>(reactions));
}

// One model of n species (plus Hub) and n reactions per iteration; the
// counter is the cost per reaction.
void BM_BuildFromEquations(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  hbTestSetEcho(false);
  for (auto _ : state) {
    state.PauseTiming();
    TestHost host;
    host.start();
    state.ResumeTiming();
    OBInterface* model = buildModel(host, n);
    finishIteration(state, host, model, n);
  }
  countPerReaction(state, n);
}
BENCHMARK(BM_BuildFromEquations)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Renames Hub (used by kHubUsers reactions in equation and rate) back and
// forth in a model of n reactions; the counter is the cost per affected
// reaction.
void BM_RenameSpeciesUsedBy1000Reactions(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  hbTestSetEcho(false);
  TestHost host;
  host.start();
  OBInterface* model = buildModel(host, n);
  Kelbor* kelbor = static_cast<Kelbor*>(componentOf(model));
  OBInterface* hub = speciesInstanceNamed(*kelbor, "Hub");
  bool flip = false;
  for (auto _ : state) {
    host.call(hub, "rename", {host.str(flip ? "Hub" : "Hub2")});
    flip = !flip;
  }
  const BReaction* first = kelbor->getReactionAt(0);
  if (first->getReactionRate().find("Hub") == std::string::npos) {
    state.SkipWithError("the rate did not follow the rename");
  }
  state.counters["per_affected_reaction"] = perItem(static_cast<double>(kHubUsers));
  host.clearLogs();
  resetRoot(host);
}
BENCHMARK(BM_RenameSpeciesUsedBy1000Reactions)->Arg(1000)->Arg(10000)
    ->Unit(benchmark::kMillisecond)->Iterations(10);

// Adds kAddedReactions reactions whose species live in the compartments of a
// model of n compartments (the equations name them "cJ.A"); the counter is
// the cost per reaction, which must not grow with the number of compartments.
constexpr int kAddedReactions = 1000;

void BM_AddReactionAmongCompartments(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  hbTestSetEcho(false);
  for (auto _ : state) {
    state.PauseTiming();
    TestHost host;
    host.start();
    OBInterface* model = host.construct("Model", {host.str("bench")});
    for (int c = 0; c < n; ++c) {
      host.call(model, "addcompartment", {host.str(("c" + std::to_string(c)).c_str())}, 1);
    }
    host.clearLogs();
    state.ResumeTiming();
    for (int i = 0; i < kAddedReactions; ++i) {
      const std::string compartment = "c" + std::to_string((i * 7919) % n);
      const std::string equation = compartment + ".A" + std::to_string(i) + " -> " + compartment +
                                   ".B" + std::to_string(i);
      host.call(model, "addreaction", {host.str(equation.c_str())}, 1);
    }
    finishIteration(state, host, model, kAddedReactions);
  }
  countPerReaction(state, kAddedReactions);
}
BENCHMARK(BM_AddReactionAmongCompartments)->Arg(10)->Arg(10000)->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Asks 20 times for the sorted users of a species that n reactions use (in
// their equations and rates); the counter is the cost per user and call,
// which must not grow with the number of users.
void BM_SortedUsagesOfASpecies(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  constexpr int kCalls = 20;
  hbTestSetEcho(false);
  TestHost host;
  host.start();
  OBInterface* model = host.construct("Model", {host.str("bench")});
  host.call(model, "addcompartment", {host.str("cell")}, 1);
  host.call(model, "addparameter", {host.str("k")}, 1);
  for (int i = 0; i < n; ++i) {
    host.call(model, "addreaction",
              {host.str(("Hub -> P" + std::to_string(i)).c_str()), host.str("ReactionRate"),
               host.str("k*Hub")},
              1);
  }
  OBInterface* hub = static_cast<Kelbor*>(componentOf(model))
                         ->getNamedCompartment("cell")
                         ->getNamedSpecies("Hub")
                         ->getOBI();
  for (auto _ : state) {
    for (int call = 0; call < kCalls; ++call) {
      std::vector<qxArray*> out = host.call(hub, "privategetusages", {host.logical(true)}, 1);
      if (qxGetNumberOfElements(out.at(0)) != static_cast<size_t>(n)) {
        state.SkipWithError("not every user was found");
      }
    }
    state.PauseTiming();
    host.clearLogs();
    state.ResumeTiming();
  }
  state.counters["per_user_and_call"] = perItem(static_cast<double>(n) * kCalls);
  host.clearLogs();
  resetRoot(host);
}
BENCHMARK(BM_SortedUsagesOfASpecies)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// n reactions with a "MassAction" law bound to k, and n/10 more with a
// "Henri-Michaelis-Menten" law bound to Vm, Km and their substrate.
OBInterface* buildModelWithLaws(TestHost& host, int n) {
  OBInterface* model = host.construct("Model", {host.str("bench")});
  host.call(model, "addcompartment", {host.str("cell")}, 1);
  for (const char* name : {"k", "Vm", "Km"}) host.call(model, "addparameter", {host.str(name)}, 1);
  const auto bind = [&](OBInterface* law, const char* method, const char* variable, const std::string& name) {
    host.call(law, method, {host.str(variable), host.str(name.c_str())});
  };
  for (int i = 0; i < n; ++i) {
    OBInterface* r = objectOf(host.call(model, "addreaction", {host.str(equationOf(i, n).c_str())}, 1).at(0));
    OBInterface* law = objectOf(host.call(r, "addkineticlaw", {host.str("MassAction")}, 1).at(0));
    bind(law, "setparameter", "Forward Rate Parameter", "k");
  }
  for (int i = 0; i < n / 10; ++i) {
    const std::string substrate = i < kHubUsers ? "Hub" : "S" + std::to_string(i);
    OBInterface* r = objectOf(
        host.call(model, "addreaction", {host.str((substrate + " -> E" + std::to_string(i)).c_str())}, 1).at(0));
    OBInterface* law = objectOf(host.call(r, "addkineticlaw", {host.str("Henri-Michaelis-Menten")}, 1).at(0));
    bind(law, "setparameter", "Vm", "Vm");
    bind(law, "setparameter", "Km", "Km");
    bind(law, "setspecies", "S", substrate);
  }
  return model;
}

// The counter is the cost per reaction (n + n/10 reactions, each with a law).
void BM_BuildWithKineticLaws(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  hbTestSetEcho(false);
  for (auto _ : state) {
    state.PauseTiming();
    TestHost host;
    host.start();
    state.ResumeTiming();
    OBInterface* model = buildModelWithLaws(host, n);
    state.PauseTiming();
    const auto* kelbor = static_cast<const Kelbor*>(componentOf(model));
    const BReaction* last = kelbor->getReactionAt(kelbor->getNumReactions() - 1);
    if (last->getReactionRate().find("Vm*") != 0) state.SkipWithError("the enzyme rate was not written");
    resetRoot(host);
    state.ResumeTiming();
  }
  state.counters["per_reaction"] = perItem(static_cast<double>(n + n / 10));
}
BENCHMARK(BM_BuildWithKineticLaws)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Renames Hub, the substrate bound in 1,000 enzyme laws (model of 10,000
// reactions with laws); the counter is the cost per affected law.
void BM_RenameSpeciesBoundIn1000Laws(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  hbTestSetEcho(false);
  TestHost host;
  host.start();
  OBInterface* model = buildModelWithLaws(host, n);
  Kelbor* kelbor = static_cast<Kelbor*>(componentOf(model));
  OBInterface* hub = speciesInstanceNamed(*kelbor, "Hub");
  bool flip = false;
  for (auto _ : state) {
    host.set(hub, "Name", host.str(flip ? "Hub" : "Hub2"));
    flip = !flip;
  }
  const BReaction* enzyme = kelbor->getReactionAt(static_cast<size_t>(n));
  if (enzyme->getReactionRate().find("Hub") == std::string::npos) {
    state.SkipWithError("the enzyme rate did not follow the rename");
  }
  state.counters["per_affected_law"] = perItem(static_cast<double>(std::min(kHubUsers, n / 10)));
  host.clearLogs();
  resetRoot(host);
}
BENCHMARK(BM_RenameSpeciesBoundIn1000Laws)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
