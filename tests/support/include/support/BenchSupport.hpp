// Helpers shared by the benchmarks: host calls that add named components,
// call a method and delete models, the per-item cost counter, the lookup of
// a species instance by name, and the engine-level model of one compartment
// with the rename-back-and-forth loop of the rename benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>

#include "model/Kelbor.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "support/BenchHost.hpp"
#include "support/TestComponents.hpp"

// Calls the handle-returning method (e.g. "addspecies") on the parent with
// the name as its one argument, as the user; answers the new object.
inline OBInterface* addNamed(OBInterface* parent, const char* method, const std::string& name) {
  qxArray* ins[2] = {obkHandleArray(parent), qxCreateString(name.c_str())};
  qxArray* outs[1] = {nullptr};
  obkCallMethod(method, 1, outs, 2, ins);
  OBInterface* made = obkHandleOf(outs[0]);
  for (qxArray* a : {ins[0], ins[1], outs[0]}) qxDestroyArray(a);
  return made;
}

// Calls the method on the object with further host arguments (taken over
// and destroyed here), as the user; answers the output's handle when one
// output of one handle was asked for and given, else null.
inline OBInterface* callMethod(OBInterface* object, const char* method, std::vector<qxArray*> args,
                               int nargout = 0) {
  args.insert(args.begin(), obkHandleArray(object));
  qxArray* outs[1] = {nullptr};
  obkCallMethod(method, nargout, outs, static_cast<int>(args.size()), args.data());
  OBInterface* made = nargout > 0 && outs[0] && qxGetNumberOfElements(outs[0]) == 1 ? obkHandleOf(outs[0]) : nullptr;
  for (qxArray* a : args) qxDestroyArray(a);
  qxDestroyArray(outs[0]);
  return made;
}

// Deletes the model through its host method "delete".
inline void deleteModel(OBInterface* model) {
  qxArray* ins[1] = {obkHandleArray(model)};
  qxArray* outs[1] = {nullptr};
  obkCallMethod("delete", 0, outs, 1, ins);
  qxDestroyArray(ins[0]);
}

// A counter that shows the time of one iteration divided by items: the cost
// per item when every iteration handles that many.
inline benchmark::Counter perItem(double items) {
  return benchmark::Counter(items, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The host instance of the model's species of that name (null when none).
inline OBInterface* speciesInstanceNamed(const Kelbor& model, const std::string& name) {
  for (uint32_t i = 0; i < model.getNumSpeciesInTree(); ++i) {
    const BSpecies* species = model.getSpeciesInTreeAt(i);
    if (species->getName() == name) return species->getOBI();
  }
  return nullptr;
}

// A model built without the host, with one compartment "cell" and the
// species added to it.  A derived world takes whatever else it added out of
// the model in its own destructor; this one then frees the species and the
// compartment.
struct OneCompartmentWorld {
  Kelbor model;
  BCompartment* cell = new BCompartment();
  std::vector<BSpecies*> species;

  OneCompartmentWorld() {
    cell->setName("cell");
    model.addCompartment(cell);
  }
  ~OneCompartmentWorld() {
    for (BSpecies* s : species) delete s;
    cell->releaseHandleVectors();
    delete cell;
  }
  OneCompartmentWorld(const OneCompartmentWorld&) = delete;
  OneCompartmentWorld& operator=(const OneCompartmentWorld&) = delete;

  BSpecies* addSpecies(const std::string& name) {
    auto* s = new BSpecies();
    s->setName(name);
    cell->addSpecies(s);
    species.push_back(s);
    return s;
  }
};

// Renames world.target to "renamed" and back, one rename per iteration, in a
// World(size, users) built from the benchmark's two arguments; every rename
// rewrites `users` texts, the items.  The label reads "<size> <what>, <users>
// users".
template <class World>
void benchRenameTargetBackAndForth(benchmark::State& state, const char* what) {
  registerMessageCatalog();
  hbTestSetEcho(false);
  const auto size = static_cast<size_t>(state.range(0));
  const auto users = static_cast<size_t>(state.range(1));
  World world(size, users);
  bool flip = false;
  for (auto _ : state) {
    world.target->rename(flip ? "target" : "renamed");
    flip = !flip;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * users));
  state.SetLabel(std::to_string(size) + " " + what + ", " + std::to_string(users) + " users");
}
