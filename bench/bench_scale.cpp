// Scale benchmark: builds models of n species and n reactions through the
// host methods (2 reactants, 2 products and a "MassAction" law per
// reaction, a rule for every tenth reaction), then copies, verifies,
// displays the model, gets its states, builds its stoichiometry matrix (the
// compile walk), renames one species used by 1% of the reactions, deletes
// 1% of the reactions and deletes the model.  For each size and step it
// prints the time (CPU time of its thread) and the peak resident memory per
// component (species + reactions), and the ratio of the per-component cost
// at the largest size to that at the smallest.
//
// Four rows measure no model: the allocator's own cost on about as many
// bytes per component as the model holds, allocated (after the model is
// deleted, in the memory it freed) in two passes over the components and
// freed component by component.  In the "plain" rows both passes visit the
// components in order, so the frees walk memory in address order; in the
// "scattered" rows the second pass visits them in a shuffled order (as a
// model's listener and name-index entries are made when later components
// name earlier ones), so half of the frees land at unrelated addresses, as
// when a model is deleted.  Their ratios tell how much of a step's growth
// the machine's memory (caches, allocator) gives by itself.
//
//   bench_scale          one model of 1,000 species (a quick smoke run)
//   bench_scale --full   models of 1,000, 10,000 and 100,000 species
//   bench_scale N        models of 1,000 and N species
//   --repeat R           runs each size R times (each in its own process)
//                        and reports the median of every figure
//   --warm               (after the sizes) runs each size twice in its
//                        process and reports the second run, whose memory
//                        the first run has already paged in
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <new>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "support/BenchHost.hpp"

namespace {

// --- host calls ------------------------------------------------------------------------

OBInterface* callForHandle(const char* method, std::vector<qxArray*> ins) {
  qxArray* outs[1] = {nullptr};
  obkCallMethod(method, 1, outs, static_cast<int>(ins.size()), ins.data());
  OBInterface* made = obkHandleOf(outs[0]);
  for (qxArray* a : ins) qxDestroyArray(a);
  qxDestroyArray(outs[0]);
  return made;
}

void callVoid(const char* method, std::vector<qxArray*> ins) {
  qxArray* outs[1] = {nullptr};
  obkCallMethod(method, 0, outs, static_cast<int>(ins.size()), ins.data());
  for (qxArray* a : ins) qxDestroyArray(a);
  if (outs[0]) qxDestroyArray(outs[0]);
}

void callVoid(const char* method, OBInterface* object) { callVoid(method, {obkHandleArray(object)}); }

// Calls a method for its one output and drops the output.
void callAndDrop(const char* method, std::vector<qxArray*> ins) {
  qxArray* outs[1] = {nullptr};
  obkCallMethod(method, 1, outs, static_cast<int>(ins.size()), ins.data());
  for (qxArray* a : ins) qxDestroyArray(a);
  qxDestroyArray(outs[0]);
}

void setString(OBInterface* object, const char* property, const std::string& value) {
  qxArray* text = qxCreateString(value.c_str());
  obkSetProperty(object, property, text);
  qxDestroyArray(text);
}

OBInterface* addNamed(OBInterface* parent, const char* method, const std::string& text) {
  return callForHandle(method, {obkHandleArray(parent), qxCreateString(text.c_str())});
}

// --- memory ----------------------------------------------------------------------------

// A "VmRSS"/"VmHWM" figure of this process, in bytes.
long statusBytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t length = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, length, field) == 0 && line[length] == ':') {
      return std::stol(line.substr(length + 1)) * 1024;
    }
  }
  return 0;
}

// Starts a new peak: the kernel resets the high-water mark to the current
// resident size.
void resetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

// --- the scenario ----------------------------------------------------------------------

constexpr const char* kSteps[] = {"build",     "copy",          "verify",       "display",
                                  "getstates", "stoichiometry", "rename",       "delete 1%",
                                  "delete model", "plain alloc", "plain free",
                                  "scattered alloc", "scattered free"};
constexpr size_t kStepCount = sizeof(kSteps) / sizeof(kSteps[0]);

struct StepFigures {
  double secondsPerComponent = 0;
  double peakBytesPerComponent = 0;
};

struct SizeFigures {
  size_t n = 0;
  StepFigures steps[kStepCount];
  double bytesPerSpecies = 0;
  double bytesPerReaction = 0;
};

std::string speciesName(size_t i) { return "s" + std::to_string(i); }

// Reaction i turns s(i) + s(i+1) into s(i+2) + s(i+3); every hundredth one
// takes the hub species instead of s(i), so that the hub is used by 1%.
std::string equation(size_t i, size_t n) {
  const std::string first = i % 100 == 0 ? std::string("hub") : speciesName(i);
  return first + " + " + speciesName((i + 1) % n) + " -> " + speciesName((i + 2) % n) + " + " +
         speciesName((i + 3) % n);
}

struct Built {
  OBInterface* model = nullptr;
  std::vector<OBInterface*> reactions;
};

// Adds the species and parameters; returns the hub species.
OBInterface* addSpecies(OBInterface* model, size_t n) {
  OBInterface* compartment = addNamed(model, "addcompartment", "cell");
  OBInterface* hub = addNamed(compartment, "addspecies", "hub");
  for (size_t i = 0; i < n; ++i) addNamed(compartment, "addspecies", speciesName(i));
  for (int k = 0; k < 10; ++k) addNamed(model, "addparameter", "k" + std::to_string(k));
  return hub;
}

void addReactions(Built& built, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    OBInterface* reaction = addNamed(built.model, "addreaction", equation(i, n));
    OBInterface* law = addNamed(reaction, "addkineticlaw", "MassAction");
    const std::string rate = "k" + std::to_string(i % 10);
    callVoid("setparameter", {obkHandleArray(law), qxCreateString("Forward Rate Parameter"),
                              qxCreateString(rate.c_str())});
    built.reactions.push_back(reaction);
    if (i % 10 == 0) {
      addNamed(built.model, "addparameter", "q" + std::to_string(i));
      OBInterface* rule = addNamed(built.model, "addrule",
                                   "q" + std::to_string(i) + " = 2 * " + speciesName(i));
      setString(rule, "RuleType", "repeatedAssignment");
    }
  }
}

// The time of a step is the CPU time of the benchmark's one thread (user
// and system, page faults included): on a machine shared with other work
// the wall time also counts the slices other processes run in, which
// swings a few-millisecond step by a factor of two.
double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The allocator's share: blocks of 16 to 184 bytes, about 3.8 KB per
// component, the first half of each component's blocks made in one pass
// over the components and the second half in another (as a model's
// components get their own blocks first and their listener and
// symbol-table entries later), then freed component by component.  The
// second pass visits the components in the given order (all of them).
constexpr size_t kPlainBlocks = 48;

std::vector<void*> plainAllocate(const std::vector<size_t>& secondPassOrder) {
  const size_t components = secondPassOrder.size();
  std::vector<void*> blocks(components * kPlainBlocks);
  for (size_t pass = 0; pass < 2; ++pass) {
    for (size_t k = 0; k < components; ++k) {
      const size_t c = pass == 0 ? k : secondPassOrder[k];
      for (size_t b = pass * kPlainBlocks / 2; b < (pass + 1) * kPlainBlocks / 2; ++b) {
        void* block = std::malloc(16 + 8 * ((c + b) % 22));
        if (!block) throw std::bad_alloc();
        static_cast<char*>(block)[0] = 1;
        blocks[c * kPlainBlocks + b] = block;
      }
    }
  }
  return blocks;
}

// The components in order, or shuffled (the same order every run).
std::vector<size_t> componentOrder(size_t components, bool shuffled) {
  std::vector<size_t> order(components);
  std::iota(order.begin(), order.end(), size_t{0});
  if (shuffled) std::shuffle(order.begin(), order.end(), std::mt19937_64(17));
  return order;
}

void plainFree(std::vector<void*>& blocks) {
  for (void* block : blocks) std::free(block);
  blocks.clear();
}

// Runs one step and records its time and its peak memory above the
// resident size before it, both per component.  Freed memory stays
// resident in the allocator, so the peak is taken above what the process
// held when the step began (for the build: before the model existed).
template <class Body>
void measure(StepFigures& figures, double components, long baseline, Body&& body) {
  resetPeak();
  if (baseline < 0) baseline = statusBytes("VmRSS");
  const double start = threadSeconds();
  body();
  figures.secondsPerComponent = (threadSeconds() - start) / components;
  figures.peakBytesPerComponent = static_cast<double>(statusBytes("VmHWM") - baseline) / components;
}

SizeFigures runSize(TestHost& host, size_t n) {
  SizeFigures figures;
  figures.n = n;
  const double components = 2.0 * static_cast<double>(n);
  const long baseline = statusBytes("VmRSS");
  Built built;
  OBInterface* hub = nullptr;
  measure(figures.steps[0], components, baseline, [&] {
    built.model = host.construct("Model", {host.str("scale")});
    hub = addSpecies(built.model, n);
    const long afterSpecies = statusBytes("VmRSS");
    figures.bytesPerSpecies = static_cast<double>(afterSpecies - baseline) / static_cast<double>(n);
    addReactions(built, n);
    figures.bytesPerReaction =
        static_cast<double>(statusBytes("VmRSS") - afterSpecies) / static_cast<double>(n);
  });
  OBInterface* copy = nullptr;
  measure(figures.steps[1], components, -1,
          [&] { copy = callForHandle("copyobj", {obkHandleArray(built.model)}); });
  callVoid("delete", copy);
  measure(figures.steps[2], components, -1, [&] { callVoid("verify", built.model); });
  measure(figures.steps[3], components, -1, [&] { callVoid("display", built.model); });
  hbTestClearPrinted();
  measure(figures.steps[4], components, -1,
          [&] { callAndDrop("getstates", {obkHandleArray(built.model)}); });
  OBInterface* matrices = host.construct("matrixCallObj");
  measure(figures.steps[5], components, -1, [&] {
    callAndDrop("getStoichMatrix", {obkHandleArray(matrices), obkHandleArray(built.model)});
  });
  host.release(matrices);
  measure(figures.steps[6], components, -1, [&] { setString(hub, "Name", "hub2"); });
  measure(figures.steps[7], components, -1, [&] {
    for (size_t i = 0; i < n; i += 100) {
      built.reactions[i]->destroy(OBDatabaseClient::getExternalClient());
    }
  });
  measure(figures.steps[8], components, -1, [&] { callVoid("delete", built.model); });
  host.release(built.model);
  std::vector<void*> blocks;
  const size_t count = static_cast<size_t>(components);
  for (size_t row = 9; row + 1 < kStepCount; row += 2) {
    const std::vector<size_t> order = componentOrder(count, row > 9);
    measure(figures.steps[row], components, -1, [&] { blocks = plainAllocate(order); });
    measure(figures.steps[row + 1], components, -1, [&] { plainFree(blocks); });
  }
  return figures;
}

void printSize(const SizeFigures& figures) {
  std::printf("\n%zu species, %zu reactions (%zu with a rule)\n", figures.n, figures.n,
              figures.n / 10);
  std::printf("  %-16s %14s %22s\n", "step", "us/component", "peak bytes/component");
  for (size_t s = 0; s < kStepCount; ++s) {
    std::printf("  %-16s %14.3f %22.0f\n", kSteps[s], figures.steps[s].secondsPerComponent * 1e6,
                figures.steps[s].peakBytesPerComponent);
  }
  std::printf("  resident bytes per species %.0f, per reaction (with its law, rules) %.0f\n",
              figures.bytesPerSpecies, figures.bytesPerReaction);
}

// The first line of /proc/loadavg: the machine's load while the figures
// were taken.
std::string loadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string line;
  std::getline(file, line);
  return line;
}

void printRatios(const SizeFigures& small, const SizeFigures& large) {
  std::printf("\nratio of the per-component cost at %zu to that at %zu (%u cores, load %s)\n",
              large.n, small.n, std::thread::hardware_concurrency(), loadAverage().c_str());
  std::printf("  %-16s %10s %10s\n", "step", "time", "memory");
  for (size_t s = 0; s < kStepCount; ++s) {
    const StepFigures& a = small.steps[s];
    const StepFigures& b = large.steps[s];
    std::printf("  %-16s %10.2f %10.2f\n", kSteps[s], b.secondsPerComponent / a.secondsPerComponent,
                a.peakBytesPerComponent > 0 ? b.peakBytesPerComponent / a.peakBytesPerComponent : 0.0);
  }
}

// Runs one size in a child process, so that the resident figures of each
// size start from the same process image (memory freed by an earlier size
// would otherwise be reused and hide what a size needs).
bool runSizeApart(size_t n, bool warm, SizeFigures& figures) {
  int channel[2];
  if (pipe(channel) != 0) return false;
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    close(channel[0]);
    int status = 1;
    try {
      if (warm) (void)runSize(startedBenchHost(), n);
      const SizeFigures made = runSize(startedBenchHost(), n);
      status = write(channel[1], &made, sizeof made) == static_cast<ssize_t>(sizeof made) ? 0 : 1;
    } catch (const std::exception& error) {
      std::fprintf(stderr, "bench_scale: %s\n", error.what());
    }
    _exit(status);
  }
  close(channel[1]);
  const bool received = read(channel[0], &figures, sizeof figures) == static_cast<ssize_t>(sizeof figures);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return received && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The median of each figure over the runs of one size.
SizeFigures medianOf(std::vector<SizeFigures> runs) {
  auto median = [&runs](auto figure) {
    std::vector<double> values;
    for (const SizeFigures& run : runs) values.push_back(figure(run));
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  SizeFigures result = runs.front();
  for (size_t s = 0; s < kStepCount; ++s) {
    result.steps[s].secondsPerComponent = median([s](const SizeFigures& f) { return f.steps[s].secondsPerComponent; });
    result.steps[s].peakBytesPerComponent =
        median([s](const SizeFigures& f) { return f.steps[s].peakBytesPerComponent; });
  }
  result.bytesPerSpecies = median([](const SizeFigures& f) { return f.bytesPerSpecies; });
  result.bytesPerReaction = median([](const SizeFigures& f) { return f.bytesPerReaction; });
  return result;
}

// A positive whole number written in decimal, or 0 for anything else.
size_t countOf(const char* text) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0' || text[0] == '-') return 0;
  return static_cast<size_t>(value);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::vector<size_t> sizes = {1000};
  bool warm = false;
  size_t repeats = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--full") == 0) {
      sizes = {1000, 10000, 100000};
    } else if (std::strcmp(argv[i], "--warm") == 0) {
      warm = true;
    } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc && countOf(argv[i + 1]) != 0) {
      repeats = countOf(argv[++i]);
    } else if (countOf(argv[i]) != 0) {
      sizes = {1000, countOf(argv[i])};
    } else {
      std::fprintf(stderr, "usage: bench_scale [--full | N] [--repeat R] [--warm]\n");
      return 2;
    }
  }
  if (warm) std::printf("each size run twice in its process; the second run is reported\n");
  if (repeats > 1) std::printf("each size run %zu times, each in its own process; medians reported\n", repeats);
  std::fflush(stdout);
  std::vector<SizeFigures> results;
  for (size_t n : sizes) {
    std::vector<SizeFigures> runs(repeats);
    for (SizeFigures& figures : runs) {
      if (!runSizeApart(n, warm, figures)) return 1;
    }
    results.push_back(medianOf(runs));
    printSize(results.back());
  }
  if (results.size() > 1) printRatios(results.front(), results.back());
  return 0;
}
