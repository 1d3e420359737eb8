// SBML reading and writing against libSBML's own parse and write of the
// same document.  Generated level 2 version 1 models of n reactions (two
// reactants, two products and a mass-action rate each, one compartment, n
// species and n rate constants), at 1,000 and 10,000 reactions, and with
// --full at 100,000.  Each engine operation is timed in a pair with the
// libSBML operation it is compared with, the two in turn in every
// iteration; every pair reports the cost per reaction of each and their
// ratio, and at the end the ratios are printed per size.  Two more
// benchmarks time libSBML's write alone of the document "sbmlwrite" gives,
// and "sbmlread" of n species that share one name (cost per species at
// 1,000 and 4,000).
#include <benchmark/benchmark.h>

#include <sbml/SBMLTypes.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <interp/interp_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "model/BQuorvixRoot.hpp"

namespace {

std::string species(int i, int n) { return "S" + std::to_string(i % n); }

std::string generatedModel(int n) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<sbml xmlns=\"http://www.sbml.org/sbml/level2\" level=\"2\" version=\"1\">\n"
      // Written by this tool: its unitless species read as they stand.
      "<annotation>\nCreated by The Ostrevane, Inc. Kestrion tool, Version 3.0.0\n</annotation>\n<model id=\"bench\">\n"
      "<listOfCompartments><compartment id=\"cell\" size=\"1\"/></listOfCompartments>\n<listOfSpecies>\n";
  for (int i = 0; i < n; ++i) text += "<species id=\"S" + std::to_string(i) + "\" compartment=\"cell\" initialAmount=\"10\"/>\n";
  text += "</listOfSpecies>\n<listOfParameters>\n";
  for (int i = 0; i < n; ++i) text += "<parameter id=\"k" + std::to_string(i) + "\" value=\"0.1\"/>\n";
  text += "</listOfParameters>\n<listOfReactions>\n";
  for (int i = 0; i < n; ++i) {
    const std::string a = species(i, n), b = species(i + 1, n), c = species(i + 2, n), d = species(i + 3, n);
    text += "<reaction id=\"R" + std::to_string(i) + "\" reversible=\"false\"><listOfReactants>"
            "<speciesReference species=\"" + a + "\"/><speciesReference species=\"" + b +
            "\"/></listOfReactants><listOfProducts><speciesReference species=\"" + c +
            "\"/><speciesReference species=\"" + d + "\"/></listOfProducts><kineticLaw>"
            "<math xmlns=\"http://www.w3.org/1998/Math/MathML\"><apply><times/><ci>k" + std::to_string(i) +
            "</ci><ci>" + a + "</ci><ci>" + b + "</ci></apply></math></kineticLaw></reaction>\n";
  }
  return text + "</listOfReactions>\n</model>\n</sbml>\n";
}

const std::string& modelText(int n) {
  static std::map<int, std::string> texts;
  auto it = texts.find(n);
  if (it == texts.end()) it = texts.emplace(n, generatedModel(n)).first;
  return it->second;
}


void perReaction(benchmark::State& state) {
  state.counters["per_reaction"] =
      benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

double medianOf(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A pair of operations timed in turn in every iteration, libSBML's first and
// then the engine's, so that both meet the same heap, caches and load: timed
// as benchmarks of their own, one after the other, each met the heap that
// the runs before it had left, and the ratio of the two moved by up to a
// half with the order and history of the runs, though neither's work had
// changed.  `after` (the removal of a read model) follows the engine's
// operation untimed.  The time of an iteration is the sum of the two; the
// counters are the median per reaction of each, in microseconds, and the
// ratio of the engine's median to libSBML's.
template <class LibsbmlOperation, class EngineOperation, class After>
void timePair(benchmark::State& state, LibsbmlOperation&& libsbml, EngineOperation&& engine, After&& after) {
  const double reactions = static_cast<double>(state.range(0));
  std::vector<double> libsbmlTimes, engineTimes;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    libsbml();
    const Clock::time_point middle = Clock::now();
    engine();
    const Clock::time_point end = Clock::now();
    state.SetIterationTime(secondsBetween(start, end));
    libsbmlTimes.push_back(secondsBetween(start, middle));
    engineTimes.push_back(secondsBetween(middle, end));
    after();
  }
  const double libsbmlMedian = medianOf(libsbmlTimes);
  const double engineMedian = medianOf(engineTimes);
  state.counters["libsbml_us"] = libsbmlMedian * 1e6 / reactions;
  state.counters["engine_us"] = engineMedian * 1e6 / reactions;
  state.counters["ratio"] = libsbmlMedian > 0.0 ? engineMedian / libsbmlMedian : 0.0;
}

// The engine's service on a test host that prints nothing.  The interpreter
// stand-in only counts the read's calls to the add functions, and the object
// system's stand-in records no property event: their logs (the arguments of
// every call, a record of every event) are test aids the host does not have,
// as the other benchmarks' host has them off.
struct ServiceHost {
  TestHost host;
  OBInterface* service = nullptr;

  ServiceHost() {
    hbTestSetEcho(false);
    host.start();
    interpTestSetCallLogging(false);
    obkSetEventLogEnabled(false);
    service = host.construct("SBMLReadWrite");
  }
  ~ServiceHost() {
    host.release(service);
    host.call(getOBIRoot(), "reset");
    obkSetEventLogEnabled(true);
    interpTestSetCallLogging(true);
  }
  ServiceHost(const ServiceHost&) = delete;
  ServiceHost& operator=(const ServiceHost&) = delete;

  qxArray* read(const std::string& text, bool skipConsistencyCheck) {
    return host.call(service, "sbmlread", {host.str(text.c_str()), readOptions(skipConsistencyCheck)}, 1).at(0);
  }
  qxArray* readOptions(bool skipConsistencyCheck) {
    return skipConsistencyCheck ? host.cell({host.str("stream"), host.str("skipcc")}) : host.cell({host.str("stream")});
  }
  void removeModels() {
    host.call(getOBIRoot(), "reset");
    host.clearLogs();
  }
};

// "sbmlread" of the text (its arguments made before the clock starts, as
// the user's values exist before the call) against libSBML's read of the
// same text and the destruction of its document; with the consistency
// check, against libSBML's read and check.  The read model is removed
// untimed.  Both run once untimed first, so that no timed run pays for
// growing the heap of the process.
void readPair(benchmark::State& state, bool skipConsistencyCheck) {
  const std::string& text = modelText(static_cast<int>(state.range(0)));
  ServiceHost service;
  const auto libsbmlRead = [&] {
    std::unique_ptr<SBMLDocument> document(readSBMLFromString(text.c_str()));
    if (!skipConsistencyCheck) document->checkConsistency();
    benchmark::DoNotOptimize(document.get());
  };
  libsbmlRead();
  service.read(text, skipConsistencyCheck);
  service.removeModels();
  qxArray* textArgument = nullptr;
  qxArray* options = nullptr;
  const auto prepare = [&] {
    textArgument = service.host.str(text.c_str());
    options = service.readOptions(skipConsistencyCheck);
  };
  prepare();
  timePair(
      state, libsbmlRead,
      [&] { benchmark::DoNotOptimize(service.host.call(service.service, "sbmlread", {textArgument, options}, 1)); },
      [&] {
        service.removeModels();
        prepare();
      });
}

void BM_SbmlReadSkipccPair(benchmark::State& state) { readPair(state, true); }
void BM_SbmlReadPair(benchmark::State& state) { readPair(state, false); }

// The text "sbmlwrite" gives for the model read from the generated text.
std::string writtenText(int n) {
  const std::string& text = modelText(n);
  hbTestSetEcho(false);
  TestHost host;
  host.start();
  OBInterface* service = host.construct("SBMLReadWrite");
  qxArray* model = host.call(service, "sbmlread", {host.str(text.c_str()), host.cell({host.str("stream"), host.str("skipcc")})}, 1).at(0);
  std::string written = textOf(host.call(service, "sbmlwrite", {model}, 1).at(0));
  host.release(service);
  host.call(getOBIRoot(), "reset");
  return written;
}

void BM_LibsbmlWrite(benchmark::State& state) {
  const std::string written = writtenText(static_cast<int>(state.range(0)));
  std::unique_ptr<SBMLDocument> document(readSBMLFromString(written.c_str()));
  std::free(writeSBMLToString(document.get()));
  for (auto _ : state) {
    char* out = writeSBMLToString(document.get());
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  perReaction(state);
}

// The floor of a write through libSBML: the same document built with the
// fewest libSBML calls (no engine, no formula text: the rate's tree is
// made node by node), written to text and destroyed, as "sbmlwrite" does.
std::string buildAndWriteDirectly(int n) {
  SBMLDocument document(2, 1);
  document.setAnnotation("<annotation>\nCreated by The Ostrevane, Inc. Kestrion tool, Version 3.0.0\n</annotation>");
  Model* model = document.createModel("");
  model->setName("bench");
  model->setId("bench");
  Compartment* cell = model->createCompartment();
  cell->setId("cell");
  cell->setName("cell");
  cell->setSpatialDimensions(3u);
  cell->setSize(1.0);
  cell->setConstant(true);
  for (int i = 0; i < n; ++i) {
    Species* s = model->createSpecies();
    const std::string id = "S" + std::to_string(i);
    s->setId(id);
    s->setName(id);
    s->setCompartment("cell");
    s->setInitialAmount(10.0);
    s->setBoundaryCondition(false);
    s->setConstant(false);
  }
  for (int i = 0; i < n; ++i) {
    Parameter* p = model->createParameter();
    const std::string id = "k" + std::to_string(i);
    p->setId(id);
    p->setName(id);
    p->setValue(0.1);
    p->setConstant(true);
  }
  for (int i = 0; i < n; ++i) {
    Reaction* r = model->createReaction();
    r->setId("R" + std::to_string(i));
    r->setReversible(false);
    r->setFast(false);
    for (int k = 0; k < 4; ++k) {
      SpeciesReference* reference = k < 2 ? r->createReactant() : r->createProduct();
      reference->setSpecies(species(i + k, n));
      reference->setStoichiometry(1.0);
    }
    ASTNode times(AST_TIMES);
    for (const std::string& name : {"k" + std::to_string(i), species(i, n), species(i + 1, n)}) {
      auto* child = new ASTNode(AST_NAME);
      child->setName(name.c_str());
      times.addChild(child);
    }
    r->createKineticLaw()->setMath(&times);
  }
  document.getNamespaces()->add("http://www.w3.org/1999/xhtml", "html");
  char* out = writeSBMLToString(&document);
  std::string text = out ? out : "";
  std::free(out);
  return text;
}


// "sbmlwrite" to text of the model read from the generated text against
// the floor, the same document built directly, written and destroyed
// (buildAndWriteDirectly), while the model is held for both: a write always
// has its model in memory, and libSBML's own work runs slower among it.
void BM_SbmlWritePair(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  if (buildAndWriteDirectly(n) != writtenText(n)) {
    state.SkipWithError("the directly built document differs from the one sbmlwrite gives");
    return;
  }
  ServiceHost service;
  qxArray* model = service.read(modelText(n), true);
  service.host.call(service.service, "sbmlwrite", {model}, 1);
  timePair(
      state, [&] { benchmark::DoNotOptimize(buildAndWriteDirectly(n)); },
      [&] { benchmark::DoNotOptimize(service.host.call(service.service, "sbmlwrite", {model}, 1)); }, [] {});
}

// "sbmlread" of n species of one compartment that all have the same name:
// each takes the next free suffix of it (cost per species).
std::string sharedNameModel(int n) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<sbml xmlns=\"http://www.sbml.org/sbml/level2\" level=\"2\" version=\"1\">\n<model id=\"names\">\n"
      "<listOfCompartments><compartment id=\"cell\" size=\"1\"/></listOfCompartments>\n<listOfSpecies>\n";
  for (int i = 0; i < n; ++i) {
    text += "<species id=\"S" + std::to_string(i) + "\" name=\"ATP\" compartment=\"cell\" initialAmount=\"1\"/>\n";
  }
  return text + "</listOfSpecies>\n</model>\n</sbml>\n";
}

void BM_SbmlReadSharedNames(benchmark::State& state) {
  const std::string text = sharedNameModel(static_cast<int>(state.range(0)));
  ServiceHost service;
  service.read(text, true);
  service.removeModels();
  for (auto _ : state) {
    benchmark::DoNotOptimize(service.read(text, true));
    state.PauseTiming();
    service.removeModels();
    state.ResumeTiming();
  }
  state.counters["per_species"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The console report, keeping each pair's ratio (one per repetition), so
// that the ratios are printed per size at the end (their median when there
// are repetitions).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
      auto ratio = run.counters.find("ratio");
      if (ratio == run.counters.end()) continue;
      const int64_t size = std::atoll(run.run_name.args.c_str());
      ratios_[{run.run_name.function_name, size}].push_back(ratio->second.value);
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void printRatios(std::ostream& out) const {
    struct Pair {
      const char* name;
      const char* title;
    };
    const Pair pairs[] = {{"BM_SbmlWritePair", "sbmlwrite / build-and-write floor"},
                          {"BM_SbmlReadSkipccPair", "sbmlread skipcc / readSBML"},
                          {"BM_SbmlReadPair", "sbmlread / readSBML and check"}};
    out << "\nPer reaction, each engine operation over the libSBML operation timed in turn with it:\n";
    for (const Pair& pair : pairs) {
      std::string line;
      for (const int64_t size : {1000, 10000, 100000}) {
        auto it = ratios_.find({pair.name, size});
        if (it == ratios_.end()) continue;
        char cell[64];
        std::snprintf(cell, sizeof cell, "  %lld: %.2fx", static_cast<long long>(size), medianOf(it->second));
        line += cell;
      }
      if (!line.empty()) out << "  " << pair.title << line << "\n";
    }
  }

 private:
  std::map<std::pair<std::string, int64_t>, std::vector<double>> ratios_;
};

}  // namespace

// The sizes each benchmark runs at.  By default 1,000 and 10,000 reactions;
// --full adds 100,000 to the reads without consistency check and to the
// writes (three iterations each), --full-check also to the checked reads
// (one: libSBML's consistency check grows faster than linearly on these
// models, and at 100,000 reactions a single checked read takes the better
// part of an hour).
int main(int argc, char** argv) {
  bool full = false;
  bool fullCheck = false;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && std::strcmp(argv[i], "--full") == 0) {
      full = true;
    } else if (i > 0 && std::strcmp(argv[i], "--full-check") == 0) {
      full = fullCheck = true;
    } else {
      rest.push_back(argv[i]);
    }
  }
  struct Entry {
    const char* name;
    void (*function)(benchmark::State&);
    bool checked;
  };
  const Entry entries[] = {
      {"BM_SbmlReadSkipccPair", BM_SbmlReadSkipccPair, false},
      {"BM_SbmlReadPair", BM_SbmlReadPair, true},
      {"BM_SbmlWritePair", BM_SbmlWritePair, false},
      {"BM_LibsbmlWrite", BM_LibsbmlWrite, false},
  };
  for (const int64_t size : {1000, 10000, 100000}) {
    for (const Entry& entry : entries) {
      if (size == 100000 && !(entry.checked ? fullCheck : full)) continue;
      benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(entry.name, entry.function);
      // Wall-clock time (the engine's reads may parse on a thread of their
      // own): a pair times itself.
      b->Arg(size)->Unit(benchmark::kMillisecond);
      if (entry.function == BM_LibsbmlWrite) {
        b->UseRealTime();
      } else {
        b->UseManualTime();
      }
      // Enough iterations for a median: a pair of reads takes about a fifth
      // of a second at 1,000 reactions and two seconds at 10,000.
      if (size == 100000) {
        b->Iterations(entry.checked ? 1 : 3);
      } else {
        b->MinTime(size == 1000 ? 2.0 : 6.0);
      }
    }
  }
  for (const int64_t size : {1000, 4000}) {
    benchmark::RegisterBenchmark("BM_SbmlReadSharedNames", BM_SbmlReadSharedNames)->Arg(size)->Unit(benchmark::kMillisecond);
  }
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(count, rest.data())) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios(std::cout);
  benchmark::Shutdown();
  return 0;
}
