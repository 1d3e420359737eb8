// Cost of deleting a species that every configuration set of its model
// logs: a model of n species (100 to a compartment), all of them in the
// StatesToLog of its default set and the first 1,000 among its sensitivity
// input factors.  1% of the species are deleted one by one; reported per
// deletion for models of 1,000 and 100,000 species.  The cost per deletion
// should not grow with the size of the model.  A second benchmark times the
// configuration sets' share of each deletion alone.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "configsets/KStrConfigurationSetApi.hpp"
#include "model/Kelbor.hpp"
#include "support/BenchSupport.hpp"

namespace {

TestHost& startedHost() { return startedBenchHost(); }

// Writes a vector of handles to a property of an object as the user.
void setHandles(OBInterface* object, const char* property, const std::vector<OBInterface*>& handles) {
  Vector vector;
  for (OBInterface* handle : handles) vector.addElement(handle);
  object->set(object->getProperty(property), &vector, OBDatabaseClient::getExternalClient());
}

OBInterface* childOfClass(OBInterface* parent, const char* className) {
  for (OBInterface* child : parent->getChildren()) {
    if (std::string(child->getClass()->getName()) == className) return child;
  }
  return nullptr;
}

struct LoggedModel {
  OBInterface* model = nullptr;
  std::vector<OBInterface*> species;
};

LoggedModel buildLoggedModel(TestHost& host, size_t n) {
  LoggedModel built;
  built.model = host.construct("Model", {host.str("bench")});
  OBInterface* compartment = nullptr;
  for (size_t i = 0; i < n; ++i) {
    if (i % 100 == 0) compartment = addNamed(built.model, "addcompartment", "c" + std::to_string(i / 100));
    built.species.push_back(addNamed(compartment, "addspecies", "s" + std::to_string(i)));
  }
  OBInterface* set = static_cast<Kelbor*>(built.model->getComponentObject())->getConfigSet("default")->getOBI();
  setHandles(childOfClass(set, "RuntimeOptions"), "StatesToLog", built.species);
  const std::vector<OBInterface*> inputs(built.species.begin(),
                                         built.species.begin() + static_cast<long>(std::min<size_t>(n, 1000)));
  setHandles(childOfClass(set, "SensitivityAnalysisOptions"), "SpeciesInputFactors", inputs);
  return built;
}

// Deletes every hundredth species, spread over the model (logged ones and
// sensitivity inputs among them).
void BM_DeleteLoggedSpecies(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto n = static_cast<size_t>(state.range(0));
  const size_t deletions = n / 100;
  for (auto _ : state) {
    LoggedModel built = buildLoggedModel(host, n);
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < deletions; ++i) {
      built.species[i * 100 + i % 100]->destroy(OBDatabaseClient::getExternalClient());
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    deleteModel(built.model);
    host.release(built.model);
  }
  state.counters["per_deletion"] = perItem(static_cast<double>(deletions));
}
BENCHMARK(BM_DeleteLoggedSpecies)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

// The configuration sets' share of a deletion alone: the same species
// leave the states to log and the sensitivity inputs of every set of the
// model, without the rest of the species' removal.
void BM_RemoveStateFromConfigSets(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto n = static_cast<size_t>(state.range(0));
  const size_t removals = n / 100;
  for (auto _ : state) {
    LoggedModel built = buildLoggedModel(host, n);
    auto* model = static_cast<Kelbor*>(built.model->getComponentObject());
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < removals; ++i) {
      OBInterface* species = built.species[i * 100 + i % 100];
      model->removeStateFromConfigSets(species, static_cast<KelborComponent*>(species->getComponentObject()));
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    deleteModel(built.model);
    host.release(built.model);
  }
  state.counters["per_removal"] = perItem(static_cast<double>(removals));
}
BENCHMARK(BM_RemoveStateFromConfigSets)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
