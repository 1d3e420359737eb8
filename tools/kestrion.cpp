// kestrion: plays the host for the engine.  It loads libkelbor.so the way
// the host does (dlopen, the function table, start-up), prints the host
// classes the engine registered with their superclass, properties and
// methods, and shuts the engine down again.

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

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

const char* accessText(const OBPropInfo* p) {
  static std::string text;
  text.clear();
  text += p->isExternalGetAccess() ? 'r' : '-';
  text += p->isExternalSetAccess() ? 'w' : '-';
  text += p->isVisible() ? "" : " hidden";
  return text.c_str();
}

void printClass(const OBClass* cls) {
  std::printf("%s", cls->getFullName());
  if (cls->getSuperClass()) std::printf(" < %s", cls->getSuperClass()->getName());
  std::printf("\n");
  for (const OBPropInfo* prop : cls->getProperties()) {
    OBDataType* type = prop->getDataType(nullptr);
    std::printf("  property %-24s %-14s %s\n", prop->getName(), type ? type->getName() : "?",
                accessText(prop));
  }
  for (const OBMethodInfo* method : cls->getMethods()) {
    for (const OBMethodSignature* sig : method->getMethodSignatures()) {
      std::printf("  method   %s%s %s\n", method->getName(), method->isStatic() ? " (static)" : "",
                  sig->toString().c_str());
    }
  }
}

}  // namespace

int main() {
  hbTestSetEcho(true);
  Engine engine;
  if (!loadEngine(engine)) return 1;
  engine.queryTable();
  try {
    engine.initialize();
  } catch (const HostError& e) {
    std::fprintf(stderr, "%s: %s\n", e.identifier().c_str(), e.message().c_str());
    return 1;
  }
  for (const OBClass* cls : engine.application()->getClasses()) printClass(cls);
  engine.terminate();
  return 0;
}
