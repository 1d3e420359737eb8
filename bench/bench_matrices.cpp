// The model matrices against their baselines, on models of 1,000, 10,000
// and 100,000 reactions over as many species (each reaction two reactants,
// two products and a rate), built once through the host as a user builds
// them.  Every benchmark reports its cost per reaction: the stoichiometry
// and adjacency builders compare with one plain walk over every reaction's
// terms, the dependency builder with one parse of every rate, all measured
// in the same run.
//
// What is warm, as in real use: the model has just been built or edited,
// so it is in memory, and every benchmark warms up before it is timed.  A
// host that has run for a while keeps the memory its arrays gave back, so
// the process allocator is set to keep freed memory instead of returning it
// to the system: a build then reuses pages an earlier build touched, and the
// timings show the builders' work rather than the system's page faults on
// fresh memory.  Pass --fresh-memory to keep the allocator's defaults and
// see those faults as well.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <ks_utils/MParseTree.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "compile/AdjacencyMatrix.hpp"
#include "compile/DependencyMatrix.hpp"
#include "compile/ModelWalk.hpp"
#include "compile/ReactionTerms.hpp"
#include "compile/RowIndex.hpp"
#include "compile/Stoichiometry.hpp"
#include "expressions/ReactionExpression.hpp"
#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "quantities/BSpecies.hpp"
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

// Adds up one side's terms: each term's species and coefficient read once.
void readSide(const kstr::ReactionExpression& equation, bool productSide, uintptr_t& species,
              double& sum) {
  const size_t count = productSide ? equation.getNumProducts() : equation.getNumReactants();
  for (size_t k = 0; k < count; ++k) {
    const kstr::ReactionTerm& term =
        productSide ? equation.getProductAt(k) : equation.getReactantAt(k);
    species ^= reinterpret_cast<uintptr_t>(term.species);
    sum += term.stoichiometry;
  }
}

// The baseline of the graph builders: every reaction of the model and its
// reactant and product terms (species and coefficient) read once, in place,
// the way the builders read them.
void BM_PlainTermWalk(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Kelbor* model = models()->get(n);
  for (auto _ : state) {
    uintptr_t species = 0;
    double sum = 0.0;
    const auto count = static_cast<int>(model->getNumReactions());
    for (int j = 0; j < count; ++j) {
      const kstr::ReactionExpression& equation = model->getReactionAt(j)->getEquation();
      readSide(equation, false, species, sum);
      readSide(equation, true, species, sum);
    }
    benchmark::DoNotOptimize(species);
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

// The time of each step of a builder, added up over the timed builds and
// reported as nanoseconds per reaction beside the benchmark's own figure.
class PhaseTimes {
 public:
  explicit PhaseTimes(std::vector<std::string> names)
      : names_(std::move(names)), totals_(names_.size(), 0.0) {}
  // Starts the first step of a build.
  void start() {
    step_ = 0;
    last_ = Clock::now();
  }
  // Ends the current step; the next one starts.
  void next() {
    const Clock::time_point now = Clock::now();
    totals_[step_++] += std::chrono::duration<double, std::nano>(now - last_).count();
    last_ = now;
  }
  void report(benchmark::State& state, int n) const {
    const double builds = static_cast<double>(state.iterations()) * n;
    for (size_t i = 0; i < names_.size(); ++i) state.counters[names_[i]] = totals_[i] / builds;
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::vector<std::string> names_;
  std::vector<double> totals_;
  size_t step_ = 0;
  Clock::time_point last_;
};

// The first three steps of the stoichiometry builder, each timed: the lists of
// species and reactions, the row index over the species, and the pass over
// every reaction's terms that finds their rows.
struct TermSteps {
  kstrVector<BSpecies*> species;
  kstrVector<BReaction*> reactions;
  kstr::compile::ReactionTermTable terms;
  TermSteps(Kelbor* model, PhaseTimes& phases) {
    kstr::compile::collectSpeciesAndReactions(model, species, reactions);
    phases.next();
    const kstr::compile::RowIndex rows(species);
    phases.next();
    terms.read(reactions, rows);
    phases.next();
  }
};

// The stoichiometry builder's steps, one by one as the builder takes them:
// the lists of species and reactions, the row index over the species, the
// pass over every reaction's terms that finds their rows, the netting of
// the columns, and the host array made and destroyed.
void BM_StoichiometrySteps(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Kelbor* model = models()->get(n);
  PhaseTimes phases({"1_lists", "2_index", "3_terms", "4_net", "5_array"});
  for (auto _ : state) {
    phases.start();
    TermSteps read(model, phases);
    kstr::compile::netStoichiometryColumns(read.terms);
    phases.next();
    qxDestroyArray(kstr::compile::writeStoichiometryColumns(read.terms, read.species.size()));
    phases.next();
  }
  phases.report(state, n);
  perReaction(state, n);
}

// The pass over every reaction's terms as the builders take it, but with
// no species to find rows for: what the pass costs without its lookups.
void BM_TermPassWithoutRows(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Kelbor* model = models()->get(n);
  kstrVector<BSpecies*> species;
  kstrVector<BReaction*> reactions;
  kstr::compile::collectSpeciesAndReactions(model, species, reactions);
  const kstr::compile::RowIndex noRows;
  for (auto _ : state) {
    kstr::compile::ReactionTermTable terms;
    terms.read(reactions, noRows);
    benchmark::DoNotOptimize(terms.rows.data());
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

// The dependency builder's steps: the model walk, the row index over the
// species and parameters, the components of every rate,
// their rows gathered into columns, and the host array made and destroyed.
void BM_DependencySteps(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Kelbor* model = models()->get(n);
  PhaseTimes phases({"1_walk", "2_index", "3_rates", "4_columns", "5_array"});
  for (auto _ : state) {
    phases.start();
    const kstr::compile::ModelWalk walk(model, false, false);
    phases.next();
    kstr::compile::RowIndex rows;
    rows.reserve(walk.species.size() + walk.parameters.size());
    rows.add(walk.species, 0);
    rows.add(walk.parameters, static_cast<uint32_t>(walk.species.size()));
    phases.next();
    kstrVector<const void*> components;
    kstrVector<size_t> ends;
    kstr::compile::collectRateComponents(walk.reactions, components, ends);
    phases.next();
    const kstr::compile::GatheredColumns columns =
        kstr::compile::rateColumns(components, ends, rows);
    phases.next();
    qxDestroyArray(columns.write(walk.species.size() + walk.parameters.size()));
    phases.next();
  }
  phases.report(state, n);
  perReaction(state, n);
}

// Each size warms up, then runs long enough for about a hundred builds at
// the largest size.
#define KELBOR_MATRIX_BENCH(name)                                       \
  BENCHMARK(name)->Arg(1000)->Arg(10000)->Arg(100000)->MinWarmUpTime(0.2) \
      ->MinTime(1.0)->Unit(benchmark::kMillisecond)

KELBOR_MATRIX_BENCH(BM_PlainTermWalk);
KELBOR_MATRIX_BENCH(BM_StoichiometryMatrix);
KELBOR_MATRIX_BENCH(BM_StoichiometrySteps);
KELBOR_MATRIX_BENCH(BM_TermPassWithoutRows);
KELBOR_MATRIX_BENCH(BM_AdjacencyMatrix);
KELBOR_MATRIX_BENCH(BM_PlainRateParse);
KELBOR_MATRIX_BENCH(BM_DependencyMatrix);
KELBOR_MATRIX_BENCH(BM_DependencySteps);

}  // namespace

int main(int argc, char** argv) {
  bool freshMemory = false;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--fresh-memory") == 0) {
      freshMemory = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  if (!freshMemory) {
    // Freed memory stays in the heap (no trimming, no separate mappings for
    // large blocks), as in a host that has been running.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);  // the largest it takes
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  models().reset();
  return 0;
}
