// Cost of adding one species to a compartment (the compartment's
// "addspecies" through the test host) and one parameter to a model (the
// Parameter creation entry through the test host, then the wiring below the
// model), with about 1,000 and about 100,000 of them already alive.  The
// name checks go through the compartment's name index and the model's
// symbol table, so the per-add time should not grow with the number alive.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "../tests/quantities/QuantityStandIns.hpp"
#include "core/ModelComponentOBC.hpp"
#include "core/TreeWiring.hpp"
#include "quantities/CompartmentOBC.hpp"
#include "quantities/ParameterOBC.hpp"
#include "quantities/SpeciesOBC.hpp"
#include "support/TestComponents.hpp"

namespace {

constexpr int kBatch = 1000;

void setUp() {
  static bool done = [] {
    registerMessageCatalog();
    getModelComponentOBClass();
    getCompartmentOBClass();
    getSpeciesOBClass();
    getParameterOBClass();
    qtest::testModelClass();
    hbTestSetEcho(false);
    return true;
  }();
  (void)done;
}

// A model with one compartment below it.
struct Scene {
  TestHost host;
  OBInterface* model = nullptr;
  OBInterface* compartment = nullptr;
  int next = 0;

  Scene() {
    model = host.construct("Kestrion.Model");
    compartment = host.construct("Kestrion.Compartment", {host.str("cell")});
    addCompartmentBelowModel(compartment, model);
  }
  ~Scene() {
    // The model is torn down as a whole; its components need not update
    // each other on the way.
    qtest::behind<Kelbor>(model)->notifyModelBeingDestroyed();
  }
  std::string nextName(const char* prefix) { return prefix + std::to_string(next++); }
  void addSpecies() {
    host.call(compartment, "addspecies", {host.str(nextName("S").c_str()), host.num(1)}, 1);
  }
  void addParameter() {
    OBInterface* p = host.construct("Kestrion.Parameter",
                                    {host.str(nextName("k").c_str()), host.num(0.5)});
    attachParameterToModel(p, model);
  }
};

// Fills the scene to alive - kBatch, then times the last kBatch adds.
template <class Add>
void timeAdds(benchmark::State& state, Add add) {
  setUp();
  const int alive = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    {
      auto scene = std::make_unique<Scene>();
      for (int i = 0; i < alive - kBatch; ++i) add(*scene);
      state.ResumeTiming();
      for (int i = 0; i < kBatch; ++i) add(*scene);
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.counters["time_per_add"] = benchmark::Counter(
      static_cast<double>(state.iterations() * kBatch),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_AddSpecies(benchmark::State& state) {
  timeAdds(state, [](Scene& scene) { scene.addSpecies(); });
}

void BM_AddParameter(benchmark::State& state) {
  timeAdds(state, [](Scene& scene) { scene.addParameter(); });
}

}  // namespace

BENCHMARK(BM_AddSpecies)->Arg(1000)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddParameter)->Arg(1000)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
