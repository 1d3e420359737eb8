// The host class "SBMLReadWrite" and its three methods.
#include "sbml/SBMLReadWriteOBC.hpp"

#include <cstdint>
#include <memory>
#include <string>

#include <ks_utils/Errors.hpp>

#include "core/Application.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "sbml/SBMLReadWriteService.hpp"
#include "core/HostBoundary.hpp"

namespace {

const char* textArg(void* const ins[], int nIn, int index) {
  return index < nIn ? static_cast<const char*>(ins[index]) : nullptr;
}

}  // namespace

SBMLReadWriteOBC::SBMLReadWriteOBC() {
  setName("SBMLReadWrite");
  setClassQueries(false, false);
  addConstructorSignature(new OBMethodSignature());
  addMethod(new HostGuarded<SBML_read_MI>());
  addMethod(new HostGuarded<SBML_write_MI>());
  addMethod(new HostGuarded<SBML_sbmlvalidate_MI>());
}

OBInterface* SBMLReadWriteOBC::createInstance(OBDatabaseClient*, int, void* const[], OBInterface*, int) {
  return new OBInterface(&SBMLReadWriteService::instance(), getSBMLReadWriteOBClass());
}

void SBMLReadWriteOBC::destroyInstance(OBInterface* inst) {
  if (inst->getComponentObject()) inst->setComponentObject(nullptr);
}

OBClass* getSBMLReadWriteOBClass() {
  static OBClass* cls = [] {
    OBClass* made = registerHostClass(new HostGuarded<SBMLReadWriteOBC>());
    registerNonComponentClass(made);
    return made;
  }();
  return cls;
}

// --- sbmlread -------------------------------------------------------------------------

SBML_read_MI::SBML_read_MI() {
  setName("sbmlread");
  addMethodSignature(new OBMethodSignature({"handle", "string"}, {"handle"}));
  withOptions_ = new OBMethodSignature({"handle", "string", "PELLAM array"}, {"handle"});
  addMethodSignature(withOptions_);
}

void SBML_read_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) {
  const char* text = textArg(ins, nIn, 1);
  if (!text) return;
  const auto* options = matched == withOptions_ ? static_cast<const qxArray*>(ins[2]) : nullptr;
  OBInterface* model = SBMLReadWriteService::instance().readSBMLModel(text, options);
  // The model is below the root, which holds it; the result lends it.
  outs[0] = model;
  nOut = 1;
  model->releaseReference();
}

// --- sbmlwrite ------------------------------------------------------------------------

SBML_write_MI::SBML_write_MI() {
  setName("sbmlwrite");
  addMethodSignature(new OBMethodSignature({"handle", "handle", "string"}));
  addMethodSignature(new OBMethodSignature({"handle", "handle", "string", "bool"}));
  toText_ = new OBMethodSignature({"handle", "handle"}, {"string"});
  addMethodSignature(toText_);
}

void SBML_write_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) {
  auto* model = static_cast<OBInterface*>(ins[1]);
  if (!kelborFromHandle(model)) {
    throw ErrorIdException("Kestrion:InvalidModel", "The second argument must be a Kestrion model object.");
  }
  SBMLReadWriteService& service = SBMLReadWriteService::instance();
  if (matched == toText_) {
    std::string document;
    service.writeSBMLModel(model, document, true, false);
    outs[0] = hostTextCopy(document.c_str());
    nOut = 1;
    return;
  }
  const char* file = textArg(ins, nIn, 2);
  if (!file) return;
  const bool withoutUnits = nIn > 3 && ins[3] && *static_cast<const uint8_t*>(ins[3]) != 0;
  std::string name = file;
  service.writeSBMLModel(model, name, false, withoutUnits);
}

// --- qesbmlvalidate -------------------------------------------------------------------

SBML_sbmlvalidate_MI::SBML_sbmlvalidate_MI() {
  setName("qesbmlvalidate");
  addMethodSignature(
      new OBMethodSignature({"handle", "string"}, {"string vector", "string vector", "string vector"}));
}

void SBML_sbmlvalidate_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int nIn, void* const ins[]) {
  auto fatals = std::make_unique<StringVector>();
  auto errors = std::make_unique<StringVector>();
  auto warnings = std::make_unique<StringVector>();
  const char* file = textArg(ins, nIn, 1);
  SBMLReadWriteService::instance().validateSBMLFile(file ? file : "", *fatals, *errors, *warnings);
  outs[0] = fatals.release();
  outs[1] = errors.release();
  outs[2] = warnings.release();
  nOut = 3;
}
