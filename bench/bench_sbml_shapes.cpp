// Reading SBML along the two axes a file grows on besides its number of
// components: how deep compartments nest (a chain of n compartments, each
// outside the next, and a loop of n outside references, which the read
// refuses) and how many operands one operator takes (a rate that is one
// n-ary plus of n operands).  Each benchmark reads through "sbmlread" with
// "stream" and "skipcc" (libSBML's consistency check is not the engine's
// work: it grows faster than linearly on both shapes) and reports the cost
// per compartment or per operand at 1,000 and 8,000, in wall-clock time:
// libSBML's parse runs on a thread of its own.
#include <benchmark/benchmark.h>

#include <sbml/SBMLTypes.h>

#include <cstdint>
#include <string>

#include <hb/hb_test.hpp>
#include <interp/interp_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "model/BQuorvixRoot.hpp"

namespace {

std::string document(const std::string& lists) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<sbml xmlns=\"http://www.sbml.org/sbml/level2\" level=\"2\" version=\"1\">\n<model id=\"m\">\n" +
         lists + "</model>\n</sbml>\n";
}

// Compartments c0 ... c(n-1), each outside the next; with loop c0 is
// outside the last one, so that every compartment is its own ancestor.
std::string compartmentChain(int64_t n, bool loop) {
  std::string lists = "<listOfCompartments>\n";
  for (int64_t i = 0; i < n; ++i) {
    lists += "<compartment id=\"c" + std::to_string(i) + "\" size=\"1\"";
    if (i > 0 || loop) lists += " outside=\"c" + std::to_string(i > 0 ? i - 1 : n - 1) + "\"";
    lists += "/>\n";
  }
  return document(lists + "</listOfCompartments>\n");
}

// One reaction whose rate is the sum of n terms k_(i mod 100) * A.
std::string naryPlus(int64_t n) {
  std::string lists =
      "<listOfCompartments><compartment id=\"cell\" size=\"1\"/></listOfCompartments>\n"
      "<listOfSpecies><species id=\"A\" compartment=\"cell\" initialAmount=\"1\"/></listOfSpecies>\n"
      "<listOfParameters>\n";
  for (int i = 0; i < 100; ++i) lists += "<parameter id=\"k" + std::to_string(i) + "\" value=\"1\"/>\n";
  lists += "</listOfParameters>\n<listOfReactions><reaction id=\"r\"><listOfReactants>"
           "<speciesReference species=\"A\"/></listOfReactants><kineticLaw>"
           "<math xmlns=\"http://www.w3.org/1998/Math/MathML\"><apply><plus/>\n";
  for (int64_t i = 0; i < n; ++i) {
    lists += "<apply><times/><ci>k" + std::to_string(i % 100) + "</ci><ci>A</ci></apply>\n";
  }
  return document(lists + "</apply></math></kineticLaw></reaction></listOfReactions>\n");
}

void perItem(benchmark::State& state) {
  state.counters["per_item"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// "sbmlread" of the text, once untimed first; the model's deletion is not
// timed.  A read the engine refuses counts as done.
void readThroughHost(benchmark::State& state, const std::string& text) {
  hbTestSetEcho(false);
  TestHost host;
  host.start();
  interpTestSetCallLogging(false);
  OBInterface* service = host.construct("SBMLReadWrite");
  const auto readOnce = [&] {
    TestHost::errorOf([&] {
      host.call(service, "sbmlread", {host.str(text.c_str()), host.cell({host.str("stream"), host.str("skipcc")})}, 1);
    });
  };
  readOnce();
  host.call(getOBIRoot(), "reset");
  for (auto _ : state) {
    readOnce();
    state.PauseTiming();
    host.call(getOBIRoot(), "reset");
    host.clearLogs();
    state.ResumeTiming();
  }
  host.release(service);
  interpTestSetCallLogging(true);
  perItem(state);
}

// libSBML's own parse and destruction of the same text: the floor of the
// engine's read.
void readThroughLibsbml(benchmark::State& state, const std::string& text) {
  delete readSBMLFromString(text.c_str());
  for (auto _ : state) delete readSBMLFromString(text.c_str());
  perItem(state);
}

void BM_LibsbmlReadCompartmentChain(benchmark::State& state) {
  readThroughLibsbml(state, compartmentChain(state.range(0), false));
}

void BM_LibsbmlReadOutsideLoop(benchmark::State& state) {
  readThroughLibsbml(state, compartmentChain(state.range(0), true));
}

void BM_LibsbmlReadNaryPlus(benchmark::State& state) { readThroughLibsbml(state, naryPlus(state.range(0))); }

void BM_ReadCompartmentChain(benchmark::State& state) {
  readThroughHost(state, compartmentChain(state.range(0), false));
}

void BM_ReadOutsideLoop(benchmark::State& state) {
  readThroughHost(state, compartmentChain(state.range(0), true));
}

void BM_ReadNaryPlus(benchmark::State& state) { readThroughHost(state, naryPlus(state.range(0))); }

}  // namespace

BENCHMARK(BM_LibsbmlReadCompartmentChain)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibsbmlReadOutsideLoop)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibsbmlReadNaryPlus)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadCompartmentChain)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadOutsideLoop)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadNaryPlus)->Arg(1000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
