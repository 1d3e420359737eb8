// Cost of building a model through the host methods of "Model" and
// "Compartment": compartments and parameters added to the model, one
// species added to each compartment.  Reported per add, for models of
// 1,000 and 10,000 components of each kind; the cost per add should not
// grow with the size of the model.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "model/Kelbor.hpp"
#include "support/BenchSupport.hpp"

namespace {

TestHost& startedHost() { return startedBenchHost(); }

// A model with n compartments, n species (one in each) and n parameters.
OBInterface* buildModel(TestHost& host, size_t n) {
  OBInterface* model = host.construct("Model", {host.str("bench")});
  for (size_t i = 0; i < n; ++i) {
    const std::string index = std::to_string(i);
    OBInterface* compartment = addNamed(model, "addcompartment", "c" + index);
    addNamed(compartment, "addspecies", "s" + index);
    addNamed(model, "addparameter", "k" + index);
  }
  return model;
}

// The whole build; the counter gives the time of one add.
void BM_BuildModelThroughHostMethods(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto n = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    OBInterface* model = buildModel(host, n);
    state.PauseTiming();
    deleteModel(model);
    host.release(model);
    state.ResumeTiming();
  }
  state.counters["per_add"] = perItem(static_cast<double>(3 * n));
}
BENCHMARK(BM_BuildModelThroughHostMethods)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// One more compartment, species and parameter on a model that already holds
// n of each; they are deleted again outside the timing.
void BM_AddOneOfEachAtSize(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto n = static_cast<size_t>(state.range(0));
  OBInterface* model = buildModel(host, n);
  size_t round = 0;
  for (auto _ : state) {
    const std::string index = "x" + std::to_string(round++);
    OBInterface* compartment = addNamed(model, "addcompartment", index);
    OBInterface* species = addNamed(compartment, "addspecies", index);
    OBInterface* parameter = addNamed(model, "addparameter", index);
    benchmark::DoNotOptimize(species);
    state.PauseTiming();
    parameter->destroy(OBDatabaseClient::getExternalClient());
    compartment->destroy(OBDatabaseClient::getExternalClient());
    state.ResumeTiming();
  }
  deleteModel(model);
  host.release(model);
  state.counters["per_add"] = perItem(3);
}
BENCHMARK(BM_AddOneOfEachAtSize)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);


// copyobj of a whole model of n compartments, species and parameters; to be
// read against BM_BuildModelThroughHostMethods at the same size.
void BM_CopyModel(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto n = static_cast<size_t>(state.range(0));
  OBInterface* model = buildModel(host, n);
  qxArray* ins[1] = {obkHandleArray(model)};
  for (auto _ : state) {
    qxArray* outs[1] = {nullptr};
    obkCallMethod("copyobj", 1, outs, 1, ins);
    OBInterface* copy = obkHandleOf(outs[0]);
    state.PauseTiming();
    copy->getReference();
    qxDestroyArray(outs[0]);
    deleteModel(copy);
    copy->releaseReference();
    state.ResumeTiming();
  }
  qxDestroyArray(ins[0]);
  deleteModel(model);
  host.release(model);
  state.counters["per_component"] = perItem(static_cast<double>(3 * n));
}
BENCHMARK(BM_CopyModel)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// "delete" of a whole model of n compartments, species and parameters.
void BM_DeleteModel(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto n = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    OBInterface* model = buildModel(host, n);
    state.ResumeTiming();
    deleteModel(model);
    state.PauseTiming();
    host.release(model);
    state.ResumeTiming();
  }
  state.counters["per_component"] = perItem(static_cast<double>(3 * n));
}
BENCHMARK(BM_DeleteModel)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
