// The model matrices against their baselines, on models of 1,000, 10,000
// and 100,000 reactions over as many species (each reaction two reactants,
// two products and a rate), built once through the host as a user builds
// them.  Every benchmark reports its cost per reaction: the stoichiometry
// and adjacency builders compare with one plain walk over every reaction's
// terms, the dependency builder with one parse of every rate, all measured
// in the same run.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include <ks_utils/MParseTree.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "compile/AdjacencyMatrix.hpp"
#include "compile/DependencyMatrix.hpp"
#include "compile/ModelWalk.hpp"
#include "compile/Stoichiometry.hpp"
#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "reactions/BReaction.hpp"
#include "support/BenchHost.hpp"

namespace {

std::string speciesName(int i, int n) { return "S" + std::to_string(i % n); }

// Reaction i: S(i) + S(i+1) -> S(i+2) + S(i+3), rate k*S(i)*S(i+1).
Kelbor* buildModel(TestHost& host, int n) {
  OBInterface* model = host.construct("Model", {host.str(("bench" + std::to_string(n)).c_str())});
  host.call(model, "addcompartment", {host.str("cell")}, 1);
  host.call(model, "addparameter", {host.str("k")}, 1);
  for (int i = 0; i < n; ++i) {
    const std::string equation = speciesName(i, n) + " + " + speciesName(i + 1, n) + " -> " +
                                 speciesName(i + 2, n) + " + " + speciesName(i + 3, n);
    const std::string rate = "k*" + speciesName(i, n) + "*" + speciesName(i + 1, n);
    host.call(model, "addreaction",
              {host.str(equation.c_str()), host.str("ReactionRate"), host.str(rate.c_str())}, 1);
  }
  return static_cast<Kelbor*>(componentOf(model));
}

// The models, made on first use in the shared host and kept for the run.
struct Models {
  std::map<int, Kelbor*> bySize;
  ~Models() { startedBenchHost().call(getOBIRoot(), "reset"); }
  Kelbor* get(int n) {
    Kelbor*& model = bySize[n];
    if (!model) model = buildModel(startedBenchHost(), n);
    return model;
  }
};

std::unique_ptr<Models>& models() {
  static std::unique_ptr<Models> instance;
  if (!instance) instance = std::make_unique<Models>();
  return instance;
}

void perReaction(benchmark::State& state, int n) {
  state.counters["per_reaction"] = benchmark::Counter(
      static_cast<double>(n),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The baseline of the graph builders: every reaction's reactant and product
// species and coefficients, read once.
void BM_PlainTermWalk(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Kelbor* model = models()->get(n);
  kstrVector<BSpecies*> species;
  for (auto _ : state) {
    double sum = 0.0;
    for (uint32_t j = 0; j < model->getNumReactions(); ++j) {
      const BReaction* r = model->getReactionAt(static_cast<int>(j));
      species.clear();
      r->getReactants(species);
      r->getProducts(species);
      size_t count = 0;
      double* coefficients = r->getStoichiometry(count);
      for (size_t k = 0; k < count; ++k) sum += coefficients[k];
      hbFree(coefficients);
      benchmark::DoNotOptimize(species.data());
    }
    benchmark::DoNotOptimize(sum);
  }
  perReaction(state, n);
}

void BM_StoichiometryMatrix(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Kelbor* model = models()->get(n);
  for (auto _ : state) {
    qxDestroyArray(kstr::compile::buildStoichiometryMatrix(model, false, nullptr, false, nullptr));
  }
  perReaction(state, n);
}

void BM_AdjacencyMatrix(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Kelbor* model = models()->get(n);
  for (auto _ : state) {
    qxDestroyArray(kstr::compile::buildAdjacencyMatrix(model, false, nullptr, false, nullptr));
  }
  perReaction(state, n);
}

// The baseline of the dependency builder: every rate text parsed once.
void BM_PlainRateParse(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Kelbor* model = models()->get(n);
  std::vector<std::string> rates;
  for (uint32_t j = 0; j < model->getNumReactions(); ++j) {
    rates.push_back(model->getReactionAt(static_cast<int>(j))->getReactionRate());
  }
  for (auto _ : state) {
    for (const std::string& rate : rates) {
      MParseTree tree(rate.c_str());
      tree.init(true);
      benchmark::DoNotOptimize(&tree);
    }
  }
  perReaction(state, n);
}

void BM_DependencyMatrix(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Kelbor* model = models()->get(n);
  for (auto _ : state) qxDestroyArray(kstr::compile::buildModelDependencyMatrix(model, true));
  perReaction(state, n);
}

#define KELBOR_MATRIX_BENCH(name) \
  BENCHMARK(name)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)

KELBOR_MATRIX_BENCH(BM_PlainTermWalk);
KELBOR_MATRIX_BENCH(BM_StoichiometryMatrix);
KELBOR_MATRIX_BENCH(BM_AdjacencyMatrix);
KELBOR_MATRIX_BENCH(BM_PlainRateParse);
KELBOR_MATRIX_BENCH(BM_DependencyMatrix);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  models().reset();
  return 0;
}
