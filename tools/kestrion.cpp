// kestrion: plays the host for the engine.  It loads libkelbor.so the way
// the host does (dlopen, the function table, start-up), then either lists
// the registered host classes (--classes) or builds the bundled example, a
// Michaelis-Menten enzyme model, through the same calls a user's script
// makes, displays it, verifies it and prints its stoichiometry matrix, and
// finally shuts the engine down.

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
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

// --- the bundled example -----------------------------------------------------------

// Host values made by the example; destroyed when it ends.
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
  qxArray* num(double value) { return keep(qxCreateDoubleScalar(value)); }

 private:
  std::vector<qxArray*> arrays_;
};

std::string textOfCell(const qxArray* cells, size_t index) {
  return qxArrayToStdString(qxGetCell(cells, index));
}

// Calls a method of the object with the arguments; returns its first output
// when one was asked for.
OBInterface* call(Values& v, OBInterface* object, const char* method,
                  std::initializer_list<qxArray*> args, int nargout = 1) {
  std::vector<qxArray*> ins{v.keep(obkHandleArray(object))};
  ins.insert(ins.end(), args.begin(), args.end());
  qxArray* out[1] = {nullptr};
  const int produced =
      obkCallMethod(method, nargout, out, static_cast<int>(ins.size()), ins.data());
  OBInterface* result = produced > 0 ? obkHandleOf(out[0]) : nullptr;
  qxDestroyArray(out[0]);
  return result;
}

void set(Values& v, OBInterface* object, const char* property, qxArray* value) {
  obkSetProperty(object, property, value);
}

// The stoichiometry matrix of the model as "matrixCallObj" hands it to the
// host: species by reactions, with the names of both.
void printStoichiometry(Values& v, OBInterface* model) {
  OBInterface* calls = obkConstruct("Kestrion.matrixCallObj", 0, nullptr);
  qxArray* ins[] = {v.keep(obkHandleArray(calls)), v.keep(obkHandleArray(model))};
  qxArray* outs[3] = {nullptr, nullptr, nullptr};
  obkCallMethod("getStoichMatrix", 3, outs, 2, ins);
  for (qxArray* out : outs) v.keep(out);
  calls->releaseReference();
  const size_t rows = qxGetM(outs[0]);
  const size_t cols = qxGetN(outs[0]);
  std::vector<double> dense(rows * cols, 0.0);
  const size_t* jc = outs[0]->get_jc();
  for (size_t c = 0; c < cols; ++c) {
    for (size_t k = jc[c]; k < jc[c + 1]; ++k) {
      dense[outs[0]->get_ir()[k] * cols + c] = outs[0]->get_pdata()[k];
    }
  }
  int width = 8;
  for (size_t c = 0; c < cols; ++c) {
    width = std::max(width, static_cast<int>(textOfCell(outs[2], c).size()) + 2);
  }
  std::printf("\n   Stoichiometry matrix\n\n%-10s", "");
  for (size_t c = 0; c < cols; ++c) std::printf("%*s", width, textOfCell(outs[2], c).c_str());
  for (size_t r = 0; r < rows; ++r) {
    std::printf("\n%-10s", textOfCell(outs[1], r).c_str());
    for (size_t c = 0; c < cols; ++c) std::printf("%*g", width, dense[r * cols + c]);
  }
  std::printf("\n");
}

// E + S <-> ES -> E + P with mass-action kinetic laws, and a second enzyme
// that is not modelled as species converting S to P with a
// Henri-Michaelis-Menten law whose Vm and Km belong to the kinetic law.
void runExample() {
  Values v;
  OBInterface* model = obkConstruct("Kestrion.Model", 1, std::vector<qxArray*>{v.str("enzyme")}.data());
  call(v, model, "addcompartment", {v.str("cell")});
  struct Quantity {
    const char* name;
    double value;
  };
  for (const Quantity& s : {Quantity{"E", 5}, Quantity{"S", 100}, Quantity{"ES", 0}, Quantity{"P", 0}}) {
    OBInterface* species = call(v, model, "addspecies", {v.str(s.name)});
    set(v, species, "InitialAmount", v.num(s.value));
  }
  for (const Quantity& p : {Quantity{"kf", 0.1}, Quantity{"kr", 0.01}, Quantity{"kcat", 0.5}}) {
    OBInterface* parameter = call(v, model, "addparameter", {v.str(p.name)});
    set(v, parameter, "Value", v.num(p.value));
  }
  OBInterface* binding = call(v, model, "addreaction", {v.str("E + S <-> ES")});
  OBInterface* bindingLaw = call(v, binding, "addkineticlaw", {v.str("MassAction")});
  call(v, bindingLaw, "setparameter", {v.str("Forward Rate Parameter"), v.str("kf")}, 0);
  call(v, bindingLaw, "setparameter", {v.str("Reverse Rate Parameter"), v.str("kr")}, 0);
  OBInterface* catalysis = call(v, model, "addreaction", {v.str("ES -> E + P")});
  OBInterface* catalysisLaw = call(v, catalysis, "addkineticlaw", {v.str("MassAction")});
  call(v, catalysisLaw, "setparameter", {v.str("Forward Rate Parameter"), v.str("kcat")}, 0);
  OBInterface* background = call(v, model, "addreaction", {v.str("S -> P")});
  OBInterface* enzymeLaw = call(v, background, "addkineticlaw", {v.str("Henri-Michaelis-Menten")});
  for (const Quantity& p : {Quantity{"Vm", 0.2}, Quantity{"Km", 50}}) {
    OBInterface* parameter = call(v, enzymeLaw, "addparameter", {v.str(p.name)});
    set(v, parameter, "Value", v.num(p.value));
    call(v, enzymeLaw, "setparameter", {v.str(p.name), v.str(p.name)}, 0);
  }
  call(v, enzymeLaw, "setspecies", {v.str("S"), v.str("S")}, 0);

  call(v, model, "display", {}, 0);
  // The rates the kinetic laws wrote.
  std::printf("\n   Reaction rates:\n");
  for (OBInterface* reaction : {binding, catalysis, background}) {
    qxArray* equation = obkGetProperty(reaction, "Reaction");
    qxArray* rate = obkGetProperty(reaction, "ReactionRate");
    std::printf("     %-16s %s\n", qxArrayToStdString(equation).c_str(), qxArrayToStdString(rate).c_str());
    qxDestroyArray(equation);
    qxDestroyArray(rate);
  }
  call(v, binding, "display", {}, 0);
  call(v, catalysis, "display", {}, 0);
  call(v, background, "display", {}, 0);
  call(v, enzymeLaw, "display", {}, 0);
  call(v, model, "verify", {}, 0);
  std::printf("\nThe model verified.\n");
  printStoichiometry(v, model);
  call(v, model, "delete", {}, 0);
  model->releaseReference();
}

}  // namespace

int main(int argc, char** argv) {
  const bool listClasses = argc > 1 && std::strcmp(argv[1], "--classes") == 0;
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
      runExample();
    }
  } catch (const HostError& e) {
    std::fprintf(stderr, "%s: %s\n", e.identifier().c_str(), e.message().c_str());
    status = 1;
  } catch (const ErrorIdException& e) {
    std::fprintf(stderr, "%s: %s\n", e.getIdentifier().c_str(), e.getMessage().c_str());
    status = 1;
  }
  engine.terminate();
  return status;
}
