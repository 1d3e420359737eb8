// Cost of rules and events in large models: adding a rule or an event to a
// model of 1,000 and of 10,000 species that already holds as many rules and
// a tenth as many events (the cost per rule must stay within 2x between the
// two sizes), and renaming a species that 1,000 of those rules and events
// use (cost per affected text).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <hb/hb_test.hpp>

#include "model/Kelbor.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BRule.hpp"
#include "support/BenchSupport.hpp"
#include "support/TestComponents.hpp"

namespace {

// A model of `size` species, one rule per species and one event per ten
// species; `users` of the rules and events (nine rules for each event)
// name the species "target" instead.
struct RuleEventWorld : OneCompartmentWorld {
  BParameter* k = new BParameter();
  std::vector<BRule*> rules;
  std::vector<BEvent*> events;
  BSpecies* target = nullptr;

  RuleEventWorld(size_t size, size_t users) {
    k->setName("k");
    model.addParameter(k);
    for (size_t i = 0; i < size; ++i) addSpecies("s" + std::to_string(i));
    target = addSpecies("target");
    const size_t eventUsers = users / 10;
    const size_t ruleUsers = users - eventUsers;
    for (size_t i = 0; i < size; ++i) {
      const std::string s = "s" + std::to_string(i);
      rules.push_back(addRule(i < ruleUsers ? "x = k*target + " + s : s + " = k*" + s));
    }
    for (size_t i = 0; i < size / 10; ++i) {
      const std::string s = "s" + std::to_string(i);
      events.push_back(i < eventUsers ? addEvent("target > 1", {s + " = 0", "y = 2*target"})
                                      : addEvent(s + " > 1", {s + " = 0"}));
    }
  }
  ~RuleEventWorld() {
    model.notifyModelBeingDestroyed();
    model.setRules({});
    model.setEvents({});
    for (BRule* r : rules) delete r;
    for (BEvent* e : events) delete e;
    model.removeAllParameters();
    delete k;
  }
  BRule* addRule(const std::string& text) {
    auto* r = new BRule(text.c_str());
    model.addRule(r);
    return r;
  }
  BEvent* addEvent(const std::string& trigger, const kstrVector<std::string>& fcns) {
    auto* e = new BEvent();
    model.addEvent(e);
    e->setTriggerCondition(trigger.c_str());
    e->setTriggerFunctions(&fcns);
    return e;
  }
};

constexpr size_t kBatch = 100;

void BM_AddRule(benchmark::State& state) {
  registerMessageCatalog();
  hbTestSetEcho(false);
  const auto size = static_cast<size_t>(state.range(0));
  RuleEventWorld world(size, 0);
  std::vector<BRule*> added;
  for (auto _ : state) {
    for (size_t i = 0; i < kBatch; ++i) {
      added.push_back(world.addRule("z = k*s" + std::to_string((i * 7919) % size) + " + 1"));
    }
    state.PauseTiming();
    for (BRule* r : added) {
      world.model.deleteRule(r);
      delete r;
    }
    added.clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kBatch));
  state.SetLabel(std::to_string(size) + " species and rules");
}
BENCHMARK(BM_AddRule)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_AddEvent(benchmark::State& state) {
  registerMessageCatalog();
  hbTestSetEcho(false);
  const auto size = static_cast<size_t>(state.range(0));
  RuleEventWorld world(size, 0);
  std::vector<BEvent*> added;
  for (auto _ : state) {
    for (size_t i = 0; i < kBatch; ++i) {
      const std::string s = "s" + std::to_string((i * 7919) % size);
      added.push_back(world.addEvent(s + " > k", {s + " = 0", "k = k + 1"}));
    }
    state.PauseTiming();
    for (BEvent* e : added) {
      world.model.deleteEvent(e);
      delete e;
    }
    added.clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kBatch));
  state.SetLabel(std::to_string(size) + " species and rules, " + std::to_string(size / 10) + " events");
}
BENCHMARK(BM_AddEvent)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Renames "target" back and forth; every iteration rewrites `users` texts
// (the items), whatever the size of the model.
void BM_RenameSpeciesUsedByRulesAndEvents(benchmark::State& state) {
  benchRenameTargetBackAndForth<RuleEventWorld>(state, "species and rules");
}
BENCHMARK(BM_RenameSpeciesUsedByRulesAndEvents)
    ->Args({1000, 1000})
    ->Args({10000, 1000})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
