// kestrion: plays the host for the engine.  It loads libkelbor.so the way
// the host does (dlopen, the function table, start-up), then reads an SBML
// file (the bundled enzyme model when none is named) through the host
// methods a user's script calls, and displays and verifies the model,
// prints its stoichiometry, writes it back as SBML or validates the file;
// --classes lists the registered host classes.  Finally it shuts the
// engine down.

#include <dlfcn.h>
#include <unistd.h>

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <interp/interp.hpp>
#include <obk/obk.hpp>
#include <qx/qx.hpp>

namespace {

struct Engine {
  void* library = nullptr;
  const void* (*queryTable)() = nullptr;
  void (*initialize)() = nullptr;
  void (*terminate)() = nullptr;
  OBApplication* (*application)() = nullptr;
};

std::string executableDirectory() {
  char path[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (n <= 0) return ".";
  std::string text(path, static_cast<size_t>(n));
  return text.substr(0, text.rfind('/'));
}

template <class F>
bool lookUp(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  if (!function) std::fprintf(stderr, "kestrion: %s is missing: %s\n", name, dlerror());
  return function != nullptr;
}

bool loadEngine(Engine& engine) {
  const std::string path = executableDirectory() + "/libkelbor.so";
  engine.library = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (!engine.library) {
    std::fprintf(stderr, "kestrion: cannot load %s: %s\n", path.c_str(), dlerror());
    return false;
  }
  return lookUp(engine.library, "QueryPLFcnTable_kelbor", engine.queryTable) &&
         lookUp(engine.library, "PLInitialize_kelbor", engine.initialize) &&
         lookUp(engine.library, "PLTerminate_kelbor", engine.terminate) &&
         lookUp(engine.library, "GetQuorvApplication", engine.application);
}

// --- listing the classes ---------------------------------------------------------

std::string accessText(const OBPropInfo* p) {
  std::string text;
  text += p->isExternalGetAccess() ? 'r' : '-';
  text += p->isExternalSetAccess() ? 'w' : '-';
  if (!p->isVisible()) text += " hidden";
  return text;
}

void printClass(const OBClass* cls) {
  std::printf("%s", cls->getFullName());
  if (cls->getSuperClass()) std::printf(" < %s", cls->getSuperClass()->getName());
  std::printf("\n");
  for (const OBPropInfo* prop : cls->getProperties()) {
    OBDataType* type = prop->getDataType(nullptr);
    std::printf("  property %-26s %-16s %s\n", prop->getName(), type ? type->getName() : "?",
                accessText(prop).c_str());
  }
  for (const OBMethodInfo* method : cls->getMethods()) {
    for (const OBMethodSignature* sig : method->getMethodSignatures()) {
      std::printf("  method   %s%s %s\n", method->getName(), method->isStatic() ? " (static)" : "",
                  sig->toString().c_str());
    }
  }
}

// --- host values and calls -------------------------------------------------------

// Host values made by a job; destroyed when it ends.
class Values {
 public:
  ~Values() {
    for (qxArray* a : arrays_) qxDestroyArray(a);
  }
  qxArray* keep(qxArray* a) {
    qxSetArrayScope(a, qxSCOPE_PERSISTENT);
    arrays_.push_back(a);
    return a;
  }
  qxArray* str(const char* text) { return keep(qxCreateString(text)); }

 private:
  std::vector<qxArray*> arrays_;
};

// Calls a method with the arguments (the first is the object or objects);
// returns the outputs (kept by v).
std::vector<qxArray*> callWith(Values& v, const char* method, std::vector<qxArray*> ins, int nargout) {
  std::vector<qxArray*> out(static_cast<size_t>(nargout > 0 ? nargout : 1), nullptr);
  const int produced =
      obkCallMethod(method, nargout, out.data(), static_cast<int>(ins.size()), ins.data());
  std::vector<qxArray*> results;
  for (int i = 0; i < produced && i < static_cast<int>(out.size()); ++i) results.push_back(v.keep(out[i]));
  for (size_t i = static_cast<size_t>(produced > 0 ? produced : 0); i < out.size(); ++i) qxDestroyArray(out[i]);
  return results;
}

std::vector<qxArray*> call(Values& v, OBInterface* object, const char* method,
                           std::initializer_list<qxArray*> args, int nargout) {
  std::vector<qxArray*> ins{v.keep(obkHandleArray(object))};
  ins.insert(ins.end(), args.begin(), args.end());
  return callWith(v, method, ins, nargout);
}

// The components of the model of a type keyword, in the tree's order.
qxArray* componentsOfType(Values& v, OBInterface* model, const char* type) {
  qxArray* ins[3] = {v.keep(obkHandleArray(model)), v.str("type"), v.str(type)};
  qxArray* out[1] = {nullptr};
  inCallFcn(1, out, 3, ins, "kstrselect");
  return v.keep(out[0]);
}

std::string textOf(const qxArray* a) { return a && qxIsChar(a) ? qxArrayToStdString(a) : std::string(); }

// --- the jobs ------------------------------------------------------------------------

struct Job {
  std::string file;
  enum Kind { show, stoichiometry, write, validate } kind = show;
  std::string out;
};

// The model's display, the display of each component list, then verify.
void showModel(Values& v, OBInterface* model) {
  call(v, model, "display", {}, 0);
  // Quantities as tables; reactions, rules and events one by one, so that
  // their texts show.
  for (const char* type : {"compartment", "species", "parameter"}) {
    qxArray* list = componentsOfType(v, model, type);
    if (qxGetNumberOfElements(list) == 0) continue;
    std::printf("\n");
    callWith(v, "display", {list}, 0);
  }
  // The rates the reactions carry (their kinetic laws wrote them).
  qxArray* reactions = componentsOfType(v, model, "reaction");
  if (qxGetNumberOfElements(reactions) > 0) std::printf("\n   Reaction rates:\n");
  for (size_t i = 0; i < qxGetNumberOfElements(reactions); ++i) {
    auto* reaction = static_cast<OBInterface*>(qxGetHandle(reactions, i));
    std::printf("     %-24s %s\n", textOf(v.keep(obkGetProperty(reaction, "Reaction"))).c_str(),
                textOf(v.keep(obkGetProperty(reaction, "ReactionRate"))).c_str());
  }
  for (const char* type : {"reaction", "rule", "event"}) {
    qxArray* list = componentsOfType(v, model, type);
    for (size_t i = 0; i < qxGetNumberOfElements(list); ++i) {
      std::printf("\n");
      call(v, static_cast<OBInterface*>(qxGetHandle(list, i)), "display", {}, 0);
    }
  }
  try {
    call(v, model, "verify", {}, 0);
    std::printf("\nThe model verified.\n");
  } catch (const ErrorIdException& e) {
    std::printf("\nThe model did not verify: %s: %s\n", e.getIdentifier().c_str(), e.getMessage().c_str());
  }
}

// One line per non-zero entry of the net stoichiometry, rows labelled by
// the species' and columns by the reactions' "ID".
void printStoichiometry(Values& v, OBInterface* model) {
  OBInterface* matrices = obkConstruct("Kestrion.matrixCallObj", 0, nullptr);
  std::vector<qxArray*> order = call(v, matrices, "getSpecParamsCompileOrder", {v.keep(obkHandleArray(model))}, 1);
  std::vector<qxArray*> stoich = call(v, matrices, "getStoichMatrix", {v.keep(obkHandleArray(model))}, 1);
  matrices->releaseReference();
  qxArray* reactions = v.keep(obkGetProperty(model, "Reactions"));
  qxArray* species = order.at(0);
  qxArray* matrix = stoich.at(0);
  std::printf("species,reaction,value\n");
  const size_t columns = qxGetN(matrix);
  const size_t* jc = matrix->get_jc();
  const size_t* ir = matrix->get_ir();
  const double* pr = matrix->get_pdata();
  for (size_t c = 0; c < columns; ++c) {
    auto* reaction = static_cast<OBInterface*>(qxGetHandle(reactions, c));
    const std::string reactionId = textOf(v.keep(obkGetProperty(reaction, "ID")));
    for (size_t k = jc[c]; k < jc[c + 1]; ++k) {
      auto* row = static_cast<OBInterface*>(qxGetHandle(species, ir[k]));
      const std::string speciesId = textOf(v.keep(obkGetProperty(row, "ID")));
      std::printf("%s,%s,%.17g\n", speciesId.c_str(), reactionId.c_str(), pr[k]);
    }
  }
}

void printList(const char* title, const qxArray* list) {
  std::printf("%s:\n", title);
  for (size_t i = 0; list && i < qxGetNumberOfElements(list); ++i) {
    std::printf("  %s\n", textOf(qxGetCell(list, i)).c_str());
  }
}

int runJob(const Job& job) {
  Values v;
  OBInterface* service = obkConstruct("Kestrion.SBMLReadWrite", 0, nullptr);
  int status = 0;
  try {
    if (job.kind == Job::validate) {
      std::vector<qxArray*> lists = call(v, service, "qesbmlvalidate", {v.str(job.file.c_str())}, 3);
      printList("Fatal errors", lists.at(0));
      printList("Errors", lists.at(1));
      printList("Warnings", lists.at(2));
    } else {
      qxArray* read = call(v, service, "sbmlread", {v.str(job.file.c_str())}, 1).at(0);
      OBInterface* model = obkHandleOf(read);
      if (job.kind == Job::show) showModel(v, model);
      if (job.kind == Job::stoichiometry) printStoichiometry(v, model);
      if (job.kind == Job::write) call(v, service, "sbmlwrite", {read, v.str(job.out.c_str())}, 0);
      call(v, model, "delete", {}, 0);
    }
  } catch (...) {
    service->releaseReference();
    throw;
  }
  service->releaseReference();
  return status;
}

const char kUsage[] =
    "usage: kestrion [FILE]                  read FILE (default: the bundled enzyme model),\n"
    "                                        display the model and its components, verify it\n"
    "       kestrion FILE --stoichiometry    print the net stoichiometry as CSV\n"
    "                                        (species,reaction,value; one line per non-zero entry)\n"
    "       kestrion FILE --write OUT        read FILE and write it as SBML level 2 version 1 to OUT\n"
    "       kestrion FILE --validate         list libSBML's fatal errors, errors and warnings\n"
    "       kestrion --classes               list the registered host classes\n"
    "       kestrion --help                  show this text\n"
    "A read that fails prints the error's identifier and message and exits with status 1.\n";

std::string bundledExample() {
  const std::string beside = executableDirectory() + "/enzyme.xml";
  struct stat info {};
  return stat(beside.c_str(), &info) == 0 ? beside : std::string(KESTRION_EXAMPLE);
}

// Fills the job from the arguments; false for arguments it does not know.
bool parseArguments(int argc, char** argv, Job& job, bool& listClasses, bool& help) {
  std::vector<std::string> args(argv + 1, argv + argc);
  job.file = bundledExample();
  size_t i = 0;
  if (i < args.size() && args[i].rfind("--", 0) != 0) job.file = args[i++];
  for (; i < args.size(); ++i) {
    if (args[i] == "--classes") {
      listClasses = true;
    } else if (args[i] == "--help") {
      help = true;
    } else if (args[i] == "--stoichiometry") {
      job.kind = Job::stoichiometry;
    } else if (args[i] == "--validate") {
      job.kind = Job::validate;
    } else if (args[i] == "--write" && i + 1 < args.size()) {
      job.kind = Job::write;
      job.out = args[++i];
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Job job;
  bool listClasses = false;
  bool help = false;
  if (!parseArguments(argc, argv, job, listClasses, help)) {
    std::fprintf(stderr, "%s", kUsage);
    return 1;
  }
  if (help) {
    std::printf("%s", kUsage);
    return 0;
  }
  hbTestSetEcho(true);
  Engine engine;
  if (!loadEngine(engine)) return 1;
  engine.queryTable();
  int status = 0;
  try {
    engine.initialize();
    if (listClasses) {
      for (const OBClass* cls : engine.application()->getClasses()) printClass(cls);
    } else {
      status = runJob(job);
    }
  } catch (const HostError& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", e.identifier().c_str(), e.message().c_str());
    status = 1;
  } catch (const ErrorIdException& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", e.getIdentifier().c_str(), e.getMessage().c_str());
    status = 1;
  }
  engine.terminate();
  return status;
}
