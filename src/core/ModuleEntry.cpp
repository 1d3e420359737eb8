#include "core/ModuleEntry.hpp"

#include <cstring>

#include <ks_utils/Errors.hpp>
#include <obk/OBClass.hpp>
#include <obk/OBMethodInfo.hpp>

#include "core/Application.hpp"
#include "host/Host.hpp"
#include "kinetics/BuiltinKineticLaws.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/MessageCatalog.hpp"

// Registration functions of the host classes, in start-up order.
#define KSTR_HOST_CLASS(getter, name) OBClass* getter();
#include "core/HostClasses.def"
// The dose classes have no place of their own in the list: they are made
// after it, in this order.
OBClass* getDoseOBClass();
OBClass* getScheduleDoseOBClass();
OBClass* getRepeatDoseOBClass();

namespace {

bool startedUp = false;
bool shutDown = false;

// The run-time function table: the engine registers no built-in host
// functions, so it stays empty.
const void* runtimeFunctions[8] = {};

const PLFcnTableHeader functionTableHeader = {const_cast<void**>(runtimeFunctions), 0xA44CE6DA,
                                              0, 0x4B5922A9, 0};

const char* const kPreloadedLibraries[] = {
    "libeplrt.dll", "libovmathrng.dll", "libovmathlinalg.dll", "libovlapack.dll",
    "p_ir.dll",     "p_parser.dll",     "pcos.dll",            "plutil.dll",
};

void registerHostClasses() {
#define KSTR_HOST_CLASS(getter, name) getter();
#include "core/HostClasses.def"
  getDoseOBClass();
  getScheduleDoseOBClass();
  getRepeatDoseOBClass();
}

// Without the desktop's Java code the product cannot work in the desktop.
void verifyDesktopCode() {
  if (!svJavaUseJVM()) return;
  if (pljFindClass("kestridesk.eventqueue.VerifyKestrion")) return;
  try {
    kstr_error("Kestrion:DesktopCodeNotFound", kstr::code(kstr::MessageCode::KS_DesktopCodeNotFound));
  } catch (const Exception& e) {
    qxErrMsgIdAndTxt("Kestrion:DesktopCodeNotFound", "%s", e.getMessage().c_str());
  }
}

void preloadLibraries() {
  for (const char* name : kPreloadedLibraries) {
    int32_t status = 0;
    hbLoadLibrary(name, &status);
  }
}

void runStartUp() {
  // Errors raised during start-up already need their catalog texts.
  BQuorvixRoot::registerMessageCatalog();
  registerHostClasses();
  verifyDesktopCode();
  GetStackedMessageManagerOBC();
  createBuiltinAbstractKineticLaws(getAbstractKineticLawOBClass());
  preloadLibraries();
}

}  // namespace

OBApplication* GetQuorvApplication() {
  static OBApplication* application = [] {
    auto* app = new OBApplication("Kestrion", true);
    OBApplicationManager::addApplication(app);
    return app;
  }();
  return application;
}

OBClass* registerHostClass(OBClass* cls) {
  GetQuorvApplication()->addLocalClass(cls);
  return cls;
}

void startComponentClass(OBClass& cls, const char* name, bool firstQuery, bool secondQuery) {
  cls.setName(name);
  cls.setClassQueries(firstQuery, secondQuery);
  auto* signature = new OBMethodSignature();
  signature->addArgument("PELLAM array", true);
  cls.addConstructorSignature(signature);
}

void PLInitialize_kelbor() {
  if (startedUp) return;
  // Nothing may leave the module function as an engine exception: the host
  // hears of a failure through its own error call.
  try {
    runStartUp();
  } catch (const HostError&) {
    throw;
  } catch (const ErrorIdException& e) {
    qxErrMsgIdAndTxt(e.getIdentifier().c_str(), "%s", e.getMessage().c_str());
  } catch (const std::exception& e) {
    qxErrMsgIdAndTxt("Kestrion:StartupFailed", "%s", e.what());
  } catch (...) {
    qxErrMsgIdAndTxt("Kestrion:StartupFailed", "%s", "Start-up failed with an unknown error.");
  }
  startedUp = true;
}

void PLTerminate_kelbor() {
  if (shutDown) return;
  qxArray* task = qxCreateString("kstrremovetempdir");
  qxArray* outputs[1] = {nullptr};
  inCallFcnWithTrap(0, outputs, 1, &task, "kstrgate", true);
  qxDestroyArray(outputs[0]);
  qxDestroyArray(task);
  shutDown = true;
}

const PLFcnTableHeader* QueryPLFcnTable_kelbor() { return &functionTableHeader; }

const void* QueryPLFcns_kelbor() { return runtimeFunctions; }
