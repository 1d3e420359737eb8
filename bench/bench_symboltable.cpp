// Cost per operation of the symbol table with N species and N model
// parameters (N = 1,000 and 100,000): entering them, resolving each name
// once with a listener, and renaming 1,000 of them.  The "per_op" counter
// (seconds per operation) should stay flat from the small to the large
// table.
#include <benchmark/benchmark.h>

#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "expressions/ExpressionBasedComponent.hpp"
#include "expressions/SymbolTable.hpp"
#include "support/TestComponents.hpp"

namespace {

constexpr size_t kCompartments = 10;
constexpr size_t kListeners = 1000;
constexpr size_t kRenamed = 1000;

// The top of the qualified names.
class BenchModel : public TestComponent {
 public:
  BenchModel() : TestComponent(kstr::kstrmodel) {}
  void fillPartiallyQualifiedName(std::string&) const override {}
};

// A listener that takes every update without work of its own, so that only
// the table is measured.
class QuietListener : public ExpressionBasedComponent {
 public:
  const char* getType() const override { return "rule"; }
  kstr::bcomptype getEnumType() const override { return kstr::rule; }
  void detachListenerSupport() override {}
  void debugPrint(std::ostream&) const override {}
  void sendJavaUpdateEvents() override {}
  void updateAllExpressionsForComponentRemoved(const KelborComponent*) override {}
  void updateAllExpressionsForComponentNameChange(const KelborComponent*, const std::string&,
                                                  const std::string&) override {}
  void updateAllExpressionsForParentComponentRename(const KelborComponent*,
                                                    const KelborComponent*, const std::string&,
                                                    const std::string&,
                                                    const std::string&) override {}
  void updateAllExpressionsForComponentAdded(const KelborComponent*) override {}
  std::set<size_t> updateExpressionsForRename(const KelborComponent*, const std::string&,
                                              const std::set<size_t>& positions) override {
    return positions;
  }
};

// N species spread over ten compartments and N model parameters, made but
// not entered.
struct World {
  explicit World(size_t n) {
    for (size_t i = 0; i < kCompartments; ++i) {
      compartments.push_back(make(kstr::compartment, "c" + std::to_string(i), &model));
    }
    for (size_t i = 0; i < n; ++i) {
      TestComponent* compartment = compartments[i % kCompartments].get();
      species.push_back(make(kstr::species, "s" + std::to_string(i), compartment));
      parameters.push_back(make(kstr::parameter, "p" + std::to_string(i), &model));
      names.push_back("s" + std::to_string(i));
      names.push_back("p" + std::to_string(i));
    }
    for (size_t i = 0; i < kListeners; ++i) listeners.push_back(std::make_unique<QuietListener>());
  }
  static std::unique_ptr<TestComponent> make(kstr::bcomptype kind, const std::string& name,
                                             KelborComponent* parent) {
    auto c = std::make_unique<TestComponent>(kind);
    c->setName(name);
    c->setParent(parent);
    return c;
  }
  void enterAll(SymbolTable& table) {
    for (auto& c : compartments) table.componentAdded(c.get());
    for (size_t i = 0; i < species.size(); ++i) {
      table.componentAdded(species[i].get());
      table.componentAdded(parameters[i].get());
    }
  }
  void resolveAll(SymbolTable& table) {
    for (size_t i = 0; i < names.size(); ++i) {
      benchmark::DoNotOptimize(
          table.resolveSymbolAndListen(names[i], listeners[i % kListeners].get()));
    }
  }

  BenchModel model;
  std::vector<std::unique_ptr<TestComponent>> compartments;
  std::vector<std::unique_ptr<TestComponent>> species;
  std::vector<std::unique_ptr<TestComponent>> parameters;
  std::vector<std::string> names;
  std::vector<std::unique_ptr<QuietListener>> listeners;
};

void reportPerOperation(benchmark::State& state, size_t operationsPerIteration) {
  state.counters["per_op"] = benchmark::Counter(
      static_cast<double>(operationsPerIteration) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetLabel("N=" + std::to_string(state.range(0)));
}

// Entering N species and N parameters into an empty table.
void BM_EnterComponents(benchmark::State& state) {
  World world(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    auto table = std::make_unique<SymbolTable>();
    world.enterAll(*table);
    state.PauseTiming();
    table.reset();
    state.ResumeTiming();
  }
  reportPerOperation(state, 2 * world.species.size());
}

// Resolving every name once, each with a listener.
void BM_ResolveEachName(benchmark::State& state) {
  World world(static_cast<size_t>(state.range(0)));
  SymbolTable table;
  world.enterAll(table);
  for (auto _ : state) world.resolveAll(table);
  reportPerOperation(state, world.names.size());
}

// Renaming 1,000 components spread over the table, each with a listener:
// the rewrite, the name change and the re-key.  Odd rounds rename back.
void BM_RenameComponents(benchmark::State& state) {
  World world(static_cast<size_t>(state.range(0)));
  SymbolTable table;
  world.enterAll(table);
  std::vector<TestComponent*> renamed;
  const size_t n = world.species.size();
  for (size_t i = 0; i < kRenamed; ++i) {
    const size_t at = i * n / kRenamed;
    renamed.push_back(i % 2 ? world.species[at].get() : world.parameters[at].get());
  }
  bool back = false;
  for (auto _ : state) {
    state.PauseTiming();
    for (size_t i = 0; i < renamed.size(); ++i) {
      renamed[i]->addListener(world.listeners[i % kListeners].get());
    }
    state.ResumeTiming();
    for (TestComponent* c : renamed) {
      const std::string oldName = c->getName();
      const std::string newName = back ? oldName.substr(0, oldName.size() - 1) : oldName + "x";
      std::string oldQualified;
      c->fillPartiallyQualifiedName(oldQualified);
      table.componentRename(c, newName);
      c->setName(newName);
      table.componentNameChanged(c, oldName, oldQualified);
    }
    back = !back;
  }
  reportPerOperation(state, renamed.size());
}

}  // namespace

BENCHMARK(BM_EnterComponents)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResolveEachName)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenameComponents)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
