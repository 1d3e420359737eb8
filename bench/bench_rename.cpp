// Cost of renaming a species per expression that uses it, in models of
// 1,000 and 100,000 species each used by one expression of its own.  One
// extra species is used by `users` more expressions; renaming it must cost
// the same per affected expression whatever the size of the model.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "model/Kelbor.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "support/BenchSupport.hpp"
#include "support/TestComponents.hpp"
#include "support/TestRule.hpp"

namespace {

struct RenameWorld : OneCompartmentWorld {
  std::vector<TestRule*> rules;
  BSpecies* target = nullptr;

  RenameWorld(size_t size, size_t users) {
    for (size_t i = 0; i < size; ++i) {
      BSpecies* s = addSpecies("s" + std::to_string(i));
      addRule(s->getName() + " + 1");
    }
    target = addSpecies("target");
    for (size_t i = 0; i < users; ++i) addRule("2*target");
  }
  ~RenameWorld() {
    model.notifyModelBeingDestroyed();
    for (TestRule* r : rules) model.deleteRule(r);
    for (TestRule* r : rules) delete r;
  }
  void addRule(const std::string& text) {
    auto* r = new TestRule(text);
    model.addRule(r);
    rules.push_back(r);
  }
};

// Time per affected expression.
void BM_RenamePerAffectedExpression(benchmark::State& state) {
  benchRenameTargetBackAndForth<RenameWorld>(state, "species");
}
BENCHMARK(BM_RenamePerAffectedExpression)
    ->Args({1000, 10})
    ->Args({100000, 10})
    ->Args({1000, 10000})
    ->Args({100000, 10000})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
