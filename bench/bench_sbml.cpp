// SBML reading and writing against libSBML's own parse and write of the
// same document.  Generated level 2 version 1 models of n reactions (two
// reactants, two products and a mass-action rate each, one compartment, n
// species and n rate constants); every benchmark reports the cost per
// reaction at 1,000 and 10,000 reactions, and with --full at 100,000.  One
// more reads n species that share one name (cost per species at 1,000 and
// 4,000).  At the end it prints, for each size, the ratio of each engine
// figure to the libSBML figure it is compared with, both from this run.
#include <benchmark/benchmark.h>

#include <sbml/SBMLTypes.h>

#include <algorithm>
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

// Every benchmark runs its operation once untimed first, so that no timed
// run pays for growing the heap of the process.
void BM_LibsbmlRead(benchmark::State& state) {
  const std::string& text = modelText(static_cast<int>(state.range(0)));
  std::unique_ptr<SBMLDocument>(readSBMLFromString(text.c_str()));
  for (auto _ : state) {
    std::unique_ptr<SBMLDocument> document(readSBMLFromString(text.c_str()));
    benchmark::DoNotOptimize(document.get());
  }
  perReaction(state);
}

void BM_LibsbmlReadAndCheck(benchmark::State& state) {
  const std::string& text = modelText(static_cast<int>(state.range(0)));
  std::unique_ptr<SBMLDocument>(readSBMLFromString(text.c_str()))->checkConsistency();
  for (auto _ : state) {
    std::unique_ptr<SBMLDocument> document(readSBMLFromString(text.c_str()));
    document->checkConsistency();
  }
  perReaction(state);
}

// "sbmlread" of the text; the model's deletion is not timed.  The
// interpreter stand-in only counts the read's calls to the add functions:
// its log of their arguments is a test aid the host does not have.
void timeReads(benchmark::State& state, const std::string& text, bool skipConsistencyCheck) {
  hbTestSetEcho(false);
  TestHost host;
  host.start();
  interpTestSetCallLogging(false);
  OBInterface* service = host.construct("SBMLReadWrite");
  const auto optionsCell = [&] {
    return skipConsistencyCheck ? host.cell({host.str("stream"), host.str("skipcc")}) : host.cell({host.str("stream")});
  };
  host.call(service, "sbmlread", {host.str(text.c_str()), optionsCell()}, 1);
  host.call(getOBIRoot(), "reset");
  for (auto _ : state) {
    qxArray* options = optionsCell();
    benchmark::DoNotOptimize(host.call(service, "sbmlread", {host.str(text.c_str()), options}, 1));
    state.PauseTiming();
    host.call(getOBIRoot(), "reset");
    host.clearLogs();
    state.ResumeTiming();
  }
  host.release(service);
  interpTestSetCallLogging(true);
}

void readThroughHost(benchmark::State& state, bool skipConsistencyCheck) {
  timeReads(state, modelText(static_cast<int>(state.range(0))), skipConsistencyCheck);
  perReaction(state);
}

void BM_SbmlReadSkipcc(benchmark::State& state) { readThroughHost(state, true); }
void BM_SbmlRead(benchmark::State& state) { readThroughHost(state, false); }

// "sbmlwrite" to text of the model read from the generated text, against
// libSBML's write of the document that the write builds.
void BM_SbmlWrite(benchmark::State& state) {
  const std::string& text = modelText(static_cast<int>(state.range(0)));
  hbTestSetEcho(false);
  TestHost host;
  host.start();
  OBInterface* service = host.construct("SBMLReadWrite");
  qxArray* model = host.call(service, "sbmlread", {host.str(text.c_str()), host.cell({host.str("stream"), host.str("skipcc")})}, 1).at(0);
  host.call(service, "sbmlwrite", {model}, 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(host.call(service, "sbmlwrite", {model}, 1));
  }
  host.release(service);
  host.call(getOBIRoot(), "reset");
  perReaction(state);
}

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

void BM_LibsbmlBuildAndWrite(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  if (buildAndWriteDirectly(n) != writtenText(n)) {
    state.SkipWithError("the directly built document differs from the one sbmlwrite gives");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(buildAndWriteDirectly(n));
  perReaction(state);
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
  timeReads(state, sharedNameModel(static_cast<int>(state.range(0))), true);
  state.counters["per_species"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The console report, keeping the real time per iteration of every run, so
// that the ratios of each engine figure to its libSBML figure are printed
// at the end (the median over repetitions when there are several).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
      const int64_t size = std::atoll(run.run_name.args.c_str());
      times_[{run.run_name.function_name, size}].push_back(run.real_accumulated_time /
                                                            static_cast<double>(run.iterations));
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void printRatios(std::ostream& out) const {
    struct Pair {
      const char* engine;
      const char* floor;
      const char* title;
    };
    const Pair pairs[] = {{"BM_SbmlWrite", "BM_LibsbmlBuildAndWrite", "sbmlwrite / build-and-write floor"},
                          {"BM_SbmlReadSkipcc", "BM_LibsbmlRead", "sbmlread skipcc / readSBML"},
                          {"BM_SbmlRead", "BM_LibsbmlReadAndCheck", "sbmlread / readSBML and check"}};
    out << "\nPer reaction, each engine figure over the libSBML figure of the same run:\n";
    for (const Pair& pair : pairs) {
      std::string line;
      for (const int64_t size : {1000, 10000, 100000}) {
        const double engine = median(pair.engine, size);
        const double floor = median(pair.floor, size);
        if (engine <= 0.0 || floor <= 0.0) continue;
        char cell[64];
        std::snprintf(cell, sizeof cell, "  %lld: %.2fx", static_cast<long long>(size), engine / floor);
        line += cell;
      }
      if (!line.empty()) out << "  " << pair.title << line << "\n";
    }
  }

 private:
  double median(const std::string& name, int64_t size) const {
    auto it = times_.find({name, size});
    if (it == times_.end()) return 0.0;
    std::vector<double> sorted = it->second;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  }

  std::map<std::pair<std::string, int64_t>, std::vector<double>> times_;
};

}  // namespace

// The sizes each benchmark runs at.  By default 1,000 and 10,000 reactions;
// --full adds 100,000 to the reads without consistency check and to the
// writes, --full-check also to the checked reads (libSBML's consistency
// check grows faster than linearly on these models: at 100,000 reactions a
// single checked read takes the better part of an hour).
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
  // Each size runs whole before the next, and each engine figure right
  // after the libSBML figure it is compared with: a read timed after a
  // larger model has come and gone meets a different heap than one timed
  // first, so a pair measured far apart compares heaps, not work.
  const Entry entries[] = {
      {"BM_LibsbmlRead", BM_LibsbmlRead, false},   {"BM_SbmlReadSkipcc", BM_SbmlReadSkipcc, false},
      {"BM_LibsbmlReadAndCheck", BM_LibsbmlReadAndCheck, true}, {"BM_SbmlRead", BM_SbmlRead, true},
      {"BM_LibsbmlWrite", BM_LibsbmlWrite, false}, {"BM_LibsbmlBuildAndWrite", BM_LibsbmlBuildAndWrite, false},
      {"BM_SbmlWrite", BM_SbmlWrite, false},
  };
  for (const int64_t size : {1000, 10000, 100000}) {
    for (const Entry& entry : entries) {
      if (size == 100000 && !(entry.checked ? fullCheck : full)) continue;
      benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(entry.name, entry.function);
      // Wall-clock time: the engine's reads parse on a thread of their own.
      b->Arg(size)->Unit(benchmark::kMillisecond)->UseRealTime();
      if (size == 100000) b->Iterations(1);
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
