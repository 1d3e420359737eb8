// The unit manager: a conversion factor is computed once per unit text and
// then read from the memoised resolution, so its cost per call does not
// grow with the number of user units; a chain of user units, each naming
// its predecessor three times, costs the same per link at 10 and at 25
// links (not 3^k).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <ks_utils/Units.hpp>

namespace {

OVUnits::UnitManagerApi& manager() { return *getUnitManagerApiFcn(); }

void registerUnit(const std::string& name, const std::string& composition, double multiplier) {
  OVUnits::UnitRepresentationApi* unit = manager().newUnit();
  unit->setName(name);
  unit->setComposition(composition);
  unit->setMultiplier(multiplier);
  if (!manager().registerUnit(unit)) delete unit;
}

// n user units "c<i>" = i millimole/litre; each iteration reads the factor
// of one text of them to mole/litre.
void BM_ConversionFactorPerText(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  hbTestSetEcho(false);
  manager().resetUserDefinitions();
  std::vector<std::string> texts;
  for (int i = 1; i <= n; ++i) {
    registerUnit("c" + std::to_string(i), "millimole/litre", i);
    texts.push_back("c" + std::to_string(i) + "/second");
  }
  size_t next = 0;
  double sum = 0;
  for (auto _ : state) {
    sum += manager().getConverter(texts[next], "mole/(litre*second)").convert(1.0);
    next = (next + 1) % texts.size();
  }
  benchmark::DoNotOptimize(sum);
  manager().resetUserDefinitions();
}
BENCHMARK(BM_ConversionFactorPerText)->Arg(100)->Arg(10000);

// Registers u0 .. u<k> with u_i = u_(i-1)*u_(i-1)/u_(i-1) and resolves the
// last; the counter is the cost per link.
void BM_RegisterUnitChain(benchmark::State& state) {
  const int k = static_cast<int>(state.range(0));
  hbTestSetEcho(false);
  for (auto _ : state) {
    manager().resetUserDefinitions();
    registerUnit("u0", "second", 2.0);
    for (int i = 1; i <= k; ++i) {
      const std::string previous = "u" + std::to_string(i - 1);
      registerUnit("u" + std::to_string(i), previous + "*" + previous + "/" + previous, 1.0);
    }
    benchmark::DoNotOptimize(manager().getConverter("u" + std::to_string(k), "second").convert(1.0));
  }
  manager().resetUserDefinitions();
  state.counters["per_link"] = benchmark::Counter(
      static_cast<double>(k), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RegisterUnitChain)->Arg(10)->Arg(25);

}  // namespace

BENCHMARK_MAIN();
