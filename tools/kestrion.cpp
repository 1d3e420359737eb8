// kestrion: plays the host for the engine.  It loads libkelbor.so the way
// the host does (dlopen, the function table, start-up), then reads an SBML
// file (the bundled enzyme model when none is named) through the host
// methods a user's script calls, and displays and verifies the model,
// prints its stoichiometry, writes it back as SBML or validates the file;
// --classes lists the registered host classes.  Finally it shuts the
// engine down.  Standard output holds only the job's result; what the
// engine prints besides (warnings, libSBML's messages) goes to standard
// error.

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

// --- where the host's output goes ---------------------------------------------

// The host prints (displays, warnings, libSBML's messages) into one sink;
// the command echoes none of it as it comes, but sends each call's output
// where it belongs: a display is the show job's result (standard output),
// everything else goes to standard error, so that standard output holds
// only the job's result.
void sendHostOutput(FILE* stream) {
  const std::string& printed = hbTestPrinted();
  std::fwrite(printed.data(), 1, printed.size(), stream);
  std::fflush(stream);
  hbTestClearPrinted();
  hbTestClearWarnings();
}

// Runs a host call and sends what it printed to the stream, also when it
// raises.
template <class Body>
auto printingTo(FILE* stream, Body body) {
  struct Send {
    FILE* stream;
    ~Send() { sendHostOutput(stream); }
  } send{stream};
  return body();
}

// --- the jobs ------------------------------------------------------------------------

struct Job {
  enum Kind { show, stoichiometry, write, validate, classes, help } kind = show;
  std::string file;
  std::string out;
  bool skipCheck = false;
};

// The model's display, the display of each component list, then verify.
void showModel(Values& v, OBInterface* model) {
  const auto display = [&](std::vector<qxArray*> ins) {
    printingTo(stdout, [&] { return callWith(v, "display", std::move(ins), 0); });
  };
  display({v.keep(obkHandleArray(model))});
  // Quantities as tables; reactions, rules and events one by one, so that
  // their texts show.
  for (const char* type : {"compartment", "species", "parameter"}) {
    qxArray* list = componentsOfType(v, model, type);
    if (qxGetNumberOfElements(list) == 0) continue;
    std::printf("\n");
    display({list});
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
      display({v.keep(obkHandleArray(static_cast<OBInterface*>(qxGetHandle(list, i))))});
    }
  }
  try {
    printingTo(stderr, [&] { return call(v, model, "verify", {}, 0); });
    std::printf("\nThe model verified.\n");
  } catch (const ErrorIdException& e) {
    std::printf("\nThe model did not verify: %s: %s\n", e.getIdentifier().c_str(), e.getMessage().c_str());
  }
}

// A CSV field: quoted (with doubled quotes) when it holds a comma, a quote
// or a line break.
std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// A component's "ID", or its "Name" when it has none.
std::string labelOf(Values& v, OBInterface* component) {
  const std::string id = textOf(v.keep(obkGetProperty(component, "ID")));
  return id.empty() ? textOf(v.keep(obkGetProperty(component, "Name"))) : id;
}

// One line per non-zero entry of the net stoichiometry, rows labelled by
// the species' and columns by the reactions' "ID".
void printStoichiometry(Values& v, OBInterface* model) {
  OBInterface* matrices = obkConstruct("Kestrion.matrixCallObj", 0, nullptr);
  std::vector<qxArray*> order;
  std::vector<qxArray*> stoich;
  try {
    printingTo(stderr, [&] {
      order = call(v, matrices, "getSpecParamsCompileOrder", {v.keep(obkHandleArray(model))}, 1);
      stoich = call(v, matrices, "getStoichMatrix", {v.keep(obkHandleArray(model))}, 1);
      return 0;
    });
  } catch (...) {
    matrices->releaseReference();
    throw;
  }
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
    const std::string reaction = csvField(labelOf(v, static_cast<OBInterface*>(qxGetHandle(reactions, c))));
    for (size_t k = jc[c]; k < jc[c + 1]; ++k) {
      const std::string row = csvField(labelOf(v, static_cast<OBInterface*>(qxGetHandle(species, ir[k]))));
      std::printf("%s,%s,%.17g\n", row.c_str(), reaction.c_str(), pr[k]);
    }
  }
}

// The text on one line: each run of blanks that holds a line break becomes
// one blank.
std::string oneLine(const std::string& text) {
  std::string line;
  for (size_t i = 0; i < text.size();) {
    const size_t end = text.find_first_not_of(" \t\r\n", i);
    const size_t stop = end == std::string::npos ? text.size() : end;
    const std::string blanks = text.substr(i, stop - i);
    if (blanks.empty()) {
      line += text[i++];
      continue;
    }
    line += blanks.find_first_of("\r\n") == std::string::npos ? blanks : " ";
    i = stop;
  }
  return line;
}

// Prints the list under its title, one entry a line; returns its length.
size_t printList(const char* title, const qxArray* list) {
  std::printf("%s:\n", title);
  const size_t count = list ? qxGetNumberOfElements(list) : 0;
  for (size_t i = 0; i < count; ++i) std::printf("  %s\n", oneLine(textOf(qxGetCell(list, i))).c_str());
  return count;
}

// libSBML's fatal errors, errors and warnings; 1 when there is a fatal
// error or an error.
int validateFile(Values& v, OBInterface* service, const std::string& file) {
  std::vector<qxArray*> lists =
      printingTo(stderr, [&] { return call(v, service, "qesbmlvalidate", {v.str(file.c_str())}, 3); });
  const size_t fatals = printList("Fatal errors", lists.at(0));
  const size_t errors = printList("Errors", lists.at(1));
  printList("Warnings", lists.at(2));
  return fatals + errors > 0 ? 1 : 0;
}

// Reads the file through "sbmlread" (with "skipcc" when asked) and runs the
// job on the new model, which it deletes afterwards.
void readAndRun(Values& v, OBInterface* service, const Job& job) {
  std::vector<qxArray*> ins{v.keep(obkHandleArray(service)), v.str(job.file.c_str())};
  if (job.skipCheck) {
    qxArray* options = v.keep(qxCreateCellMatrix(1, 1));
    qxSetCell(options, 0, qxCreateString("skipcc"));
    ins.push_back(options);
  }
  qxArray* read = printingTo(stderr, [&] { return callWith(v, "sbmlread", ins, 1); }).at(0);
  OBInterface* model = obkHandleOf(read);
  if (job.kind == Job::show) showModel(v, model);
  if (job.kind == Job::stoichiometry) printStoichiometry(v, model);
  if (job.kind == Job::write) {
    printingTo(stderr, [&] { return call(v, service, "sbmlwrite", {read, v.str(job.out.c_str())}, 0); });
  }
  printingTo(stderr, [&] { return call(v, model, "delete", {}, 0); });
}

int runJob(const Job& job) {
  Values v;
  OBInterface* service = obkConstruct("Kestrion.SBMLReadWrite", 0, nullptr);
  int status = 0;
  try {
    if (job.kind == Job::validate) {
      status = validateFile(v, service, job.file);
    } else {
      readAndRun(v, service, job);
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
    "       kestrion FILE --validate         list libSBML's fatal errors, errors and warnings;\n"
    "                                        exit status 1 when there is a fatal error or an error\n"
    "       kestrion --classes               list the registered host classes\n"
    "       kestrion -h | --help             show this text\n"
    "options: --skip-check                   read without libSBML's consistency check (faster on\n"
    "                                        large files; the file's own errors are not listed)\n"
    "One job at a time.  Standard output holds the job's result; warnings and libSBML's\n"
    "messages go to standard error.  A read that fails prints the error's identifier and\n"
    "message and exits with status 1; wrong arguments exit with status 2.\n";

std::string bundledExample() {
  const std::string beside = executableDirectory() + "/enzyme.xml";
  struct stat info {};
  return stat(beside.c_str(), &info) == 0 ? beside : std::string(KESTRION_EXAMPLE);
}

struct JobOption {
  const char* name;
  Job::Kind kind;
};
constexpr JobOption kJobOptions[] = {{"--stoichiometry", Job::stoichiometry},
                                     {"--write", Job::write},
                                     {"--validate", Job::validate},
                                     {"--classes", Job::classes},
                                     {"--help", Job::help},
                                     {"-h", Job::help}};

// Fills the job from the arguments; an empty text, or the fault of the
// arguments.
std::string parseArguments(const std::vector<std::string>& args, Job& job) {
  std::string jobOption;
  bool fileGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--skip-check") {
      job.skipCheck = true;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      const JobOption* found = nullptr;
      for (const JobOption& option : kJobOptions) found = arg == option.name ? &option : found;
      if (!found) return "unknown option '" + arg + "'";
      if (found->kind == Job::help) return job.kind = Job::help, "";
      if (!jobOption.empty()) return "one job at a time: " + jobOption + " and " + arg + " were both given";
      jobOption = arg;
      job.kind = found->kind;
      if (job.kind == Job::write) {
        if (i + 1 == args.size() || args[i + 1].rfind("--", 0) == 0) return "--write needs OUT, the file to write";
        job.out = args[++i];
      }
      continue;
    }
    if (fileGiven) return "one FILE at a time: '" + job.file + "' and '" + arg + "' were both given";
    job.file = arg;
    fileGiven = true;
  }
  if (job.kind == Job::classes && fileGiven) return "--classes reads no FILE";
  if (job.skipCheck && (job.kind == Job::classes || job.kind == Job::validate)) {
    return "--skip-check applies to a read, not to " + jobOption;
  }
  if (!fileGiven) job.file = bundledExample();
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  Job job;
  const std::string fault = parseArguments(std::vector<std::string>(argv + 1, argv + argc), job);
  if (job.kind == Job::help) {
    std::printf("%s", kUsage);
    return 0;
  }
  if (!fault.empty()) {
    std::fprintf(stderr, "kestrion: %s\nTry 'kestrion --help'.\n", fault.c_str());
    return 2;
  }
  hbTestSetEcho(false);
  Engine engine;
  if (!loadEngine(engine)) return 1;
  engine.queryTable();
  int status = 0;
  try {
    printingTo(stderr, [&] { return engine.initialize(), 0; });
    if (job.kind == Job::classes) {
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
  printingTo(stderr, [&] { return engine.terminate(), 0; });
  return status;
}
