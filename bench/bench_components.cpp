// Cost of creating a component through the host and of setting a property
// on it, with 1,000 and with 100,000 components alive.  The per-operation
// times should not grow with the number of live components.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "support/TestComponents.hpp"
#include "support/TestThing.hpp"

namespace {

void setUp() {
  static bool done = [] {
    registerMessageCatalog();
    testThingClass();
    hbTestSetEcho(false);
    return true;
  }();
  (void)done;
}

// Creates `alive` components, then measures creating one more and setting
// its Name.
void BM_CreateComponent(benchmark::State& state) {
  setUp();
  TestHost host;
  const auto alive = static_cast<size_t>(state.range(0));
  std::vector<OBInterface*> objects;
  objects.reserve(alive);
  for (size_t i = 0; i < alive; ++i) objects.push_back(host.construct("Kestrion.TestThing"));
  for (auto _ : state) {
    OBInterface* o = host.construct("Kestrion.TestThing");
    benchmark::DoNotOptimize(o);
    state.PauseTiming();
    host.destroy(o);
    host.release(o);
    state.ResumeTiming();
  }
  for (OBInterface* o : objects) host.destroy(o);
  state.SetLabel(std::to_string(alive) + " alive");
}
BENCHMARK(BM_CreateComponent)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Sets the Name of each of `alive` components in turn, through the host.
void BM_SetProperty(benchmark::State& state) {
  setUp();
  TestHost host;
  const auto alive = static_cast<size_t>(state.range(0));
  std::vector<OBInterface*> objects;
  objects.reserve(alive);
  for (size_t i = 0; i < alive; ++i) objects.push_back(host.construct("Kestrion.TestThing"));
  qxArray* name = host.str("n");
  size_t i = 0;
  for (auto _ : state) {
    host.set(objects[i], "Name", name);
    i = (i + 1) % alive;
  }
  for (OBInterface* o : objects) host.destroy(o);
  state.SetLabel(std::to_string(alive) + " alive");
}
BENCHMARK(BM_SetProperty)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
