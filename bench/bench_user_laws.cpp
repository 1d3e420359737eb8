// User kinetic laws as a user's script handles them.  Removing one user law
// from the library costs the same among 250 and among 2,000 user laws (half
// of them bound by the reactions of a model): whether a law is in use is
// answered by the law itself, not by a walk of every model.  "setparameter"
// on a law that was rebound to 1,000 or to 12,000 distinct names before
// costs the same: the parameter-binding index keeps only the names the law
// holds now.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/OBDispatch.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "model/BQuorvixRoot.hpp"
#include "support/BenchHost.hpp"
#include "support/BenchSupport.hpp"

namespace {

// Calls the method with the object and texts, as the user; the outputs are
// given back.
void callWithTexts(OBInterface* object, const char* method, const std::vector<std::string>& texts) {
  std::vector<qxArray*> ins{obkHandleArray(object)};
  for (const std::string& text : texts) ins.push_back(qxCreateString(text.c_str()));
  qxArray* outs[1] = {nullptr};
  obkCallMethod(method, 0, outs, static_cast<int>(ins.size()), ins.data());
  for (qxArray* a : ins) qxDestroyArray(a);
  qxDestroyArray(outs[0]);
}

void addToLibrary(OBInterface* law) {
  qxArray* ins[2] = {obkHandleArray(getOBIRoot()), obkHandleArray(law)};
  qxArray* outs[1] = {nullptr};
  obkCallMethod("addtolibrary", 1, outs, 2, ins);
  for (qxArray* a : {ins[0], ins[1], outs[0]}) qxDestroyArray(a);
}

// n user laws "L<i>" in the user library; a model whose reaction i binds
// law L<i> for every odd i.  The timed step removes an unused law by name;
// it goes back into the library untimed.
void BM_RemoveOneOfManyUserLaws(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TestHost& host = startedBenchHost();
  std::vector<OBInterface*> laws;
  for (int i = 0; i < n; ++i) {
    const std::string name = "L" + std::to_string(i);
    OBInterface* law = host.construct("AbstractKineticLaw", {host.str(name.c_str()), host.str("k*S")});
    host.set(law, "ParameterVariables", host.str("k"));
    host.set(law, "SpeciesVariables", host.str("S"));
    addToLibrary(law);
    laws.push_back(law);
  }
  OBInterface* model = host.construct("Model", {host.str("laws")});
  host.call(model, "addcompartment", {host.str("cell")}, 1);
  for (int i = 1; i < n; i += 2) {
    OBInterface* r = addNamed(model, "addreaction", "S" + std::to_string(i) + " -> null");
    addNamed(r, "addkineticlaw", "L" + std::to_string(i));
  }
  host.clearLogs();
  int next = 0;
  for (auto _ : state) {
    const std::string name = "L" + std::to_string(next);
    callWithTexts(getOBIRoot(), "removefromlibrary", {"kineticlaw", name});
    state.PauseTiming();
    if (BQuorvixRoot::getInstance()->findLibraryIndex(2, name.c_str()) != -1) {
      state.SkipWithError("the law is still in the library");
    }
    addToLibrary(laws[next]);
    next = (next + 2) % n;
    // The host's logs (calls of "kstrgate" among them) would grow all run.
    if (next == 0) host.clearLogs();
    state.ResumeTiming();
  }
  state.counters["per_removal"] = perItem(1);
  state.SetLabel(std::to_string(n) + " user laws");
  host.call(getOBIRoot(), "reset");
  for (int i = 0; i < n; ++i) callWithTexts(getOBIRoot(), "removefromlibrary", {"kineticlaw", "L" + std::to_string(i)});
  for (OBInterface* law : laws) host.release(law);
  host.clearLogs();
}
BENCHMARK(BM_RemoveOneOfManyUserLaws)->Arg(250)->Arg(2000);

// A mass-action law bound, one "setparameter" after another, to n distinct
// names; then each timed "setparameter" binds it to one of two names.
void BM_SetParameterAfterManyRebinds(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TestHost& host = startedBenchHost();
  OBInterface* model = host.construct("Model", {host.str("rebinds")});
  host.call(model, "addcompartment", {host.str("cell")}, 1);
  for (const char* name : {"ka", "kb"}) addNamed(model, "addparameter", name);
  OBInterface* r = addNamed(model, "addreaction", "A -> B");
  OBInterface* law = addNamed(r, "addkineticlaw", "MassAction");
  const std::string variable = "Forward Rate Parameter";
  for (int i = 0; i < n; ++i) callWithTexts(law, "setparameter", {variable, "p" + std::to_string(i)});
  bool flip = false;
  size_t calls = 0;
  for (auto _ : state) {
    callWithTexts(law, "setparameter", {variable, flip ? "ka" : "kb"});
    flip = !flip;
    if (++calls % 4096 == 0) {
      state.PauseTiming();
      host.clearLogs();
      state.ResumeTiming();
    }
  }
  state.counters["per_setparameter"] = perItem(1);
  state.SetLabel(std::to_string(n) + " earlier names");
  host.call(getOBIRoot(), "reset");
  host.clearLogs();
}
BENCHMARK(BM_SetParameterAfterManyRebinds)->Arg(1000)->Arg(12000);

}  // namespace

BENCHMARK_MAIN();
