#include "core/ModelComponentMethods.hpp"

#include <cstdint>
#include <cstring>
#include <set>
#include <strings.h>

#include <ks_utils/Errors.hpp>

#include "core/HostBoundary.hpp"
#include "core/JavaHelpServices.hpp"
#include "core/KelborComponent.hpp"
#include "core/UsageFinder.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/MessageCatalog.hpp"

namespace {

OBInterface* handleArg(void* const ins[], int i) { return static_cast<OBInterface*>(ins[i]); }

const char* textArg(void* const ins[], int i) { return static_cast<const char*>(ins[i]); }

}  // namespace

// --- display -----------------------------------------------------------------

ModelComponent_display_MI::ModelComponent_display_MI() : blanks_(100, ' ') {
  setName("display");
  oneSignature_ = new OBMethodSignature({"handle"});
  addMethodSignature(oneSignature_);
  addMethodSignature(new OBMethodSignature({"handle vector"}));
}

void ModelComponent_display_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[],
                                       int nIn, void* const ins[]) {
  if (matched == oneSignature_) {
    displayOne(nOut, outs, nIn, ins);
  } else {
    displayVector(nOut, outs, nIn, ins);
  }
}

void ModelComponent_display_MI::displayVector(int&, void*[], int, void* const[]) {}
void ModelComponent_display_MI::displayOne(int&, void*[], int, void* const[]) {}

// --- help ----------------------------------------------------------------------

ModelComponent_help_MI::ModelComponent_help_MI() {
  setName("help");
  addMethodSignature(new OBMethodSignature({"handle", "string"}));
}

void ModelComponent_help_MI::invoke(OBMethodSignature*, int&, void*[], int, void* const ins[]) {
  OBInterface* object = handleArg(ins, 0);
  const char* text = textArg(ins, 1);
  const char* name = text ? text : "";
  for (OBPropInfo* prop : object->getClass()->getProperties()) {
    if (strcasecmp(prop->getName(), name) == 0) {
      if (svJavaUseJVM()) JavaHelpServices::printHelp(name);
      return;
    }
  }
  hb_warning_id(hbGetWarningContext(), "Kestrion:HELP_INVALID_PROPERTY",
                kstr::code(kstr::MessageCode::KS_HELP_INVALIDPROPERTY), name);
}

// --- copy --------------------------------------------------------------------------

ModelComponent_copy_MI::ModelComponent_copy_MI() {
  setName("copy");
  addMethodSignature(new OBMethodSignature({"handle"}));
}

void ModelComponent_copy_MI::invoke(OBMethodSignature*, int&, void*[], int, void* const[]) {
  kstr_error("Kestrion:KS_COPY_INVALID_METHOD", kstr::code(kstr::MessageCode::KS_COPY_INVALID_METHOD));
}

// --- compare -----------------------------------------------------------------------

ModelComponent_compare_MI::ModelComponent_compare_MI() {
  setName("compare");
  addMethodSignature(new OBMethodSignature({"handle", "handle"}, {"bool"}));
}

void ModelComponent_compare_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int,
                                       void* const ins[]) {
  OBInterface* a = handleArg(ins, 0);
  OBInterface* b = handleArg(ins, 1);
  nOut = 1;
  bool equal = a && b && a->getClass() == b->getClass();
  if (equal) {
    OBDatabaseClient* client = OBDatabaseClient::getInternalClient();
    for (OBPropInfo* prop : a->getClass()->getProperties()) {
      if (strcasecmp(prop->getName(), "ID") == 0 || strcasecmp(prop->getName(), "Parent") == 0) {
        continue;
      }
      void* va = a->get(prop, client);
      void* vb = nullptr;
      try {
        vb = b->get(prop, client);
      } catch (...) {
        if (va) a->release(prop, va, client);
        throw;
      }
      // Two nulls are equal; one null and one value are not.
      if (va || vb) equal = va && vb && prop->getDataType(a)->isEqual(va, vb);
      if (va) a->release(prop, va, client);
      if (vb) b->release(prop, vb, client);
      if (!equal) break;
    }
  }
  outs[0] = hostValueBlock<uint8_t>(equal ? 1 : 0);
}

// --- privategetusages ---------------------------------------------------------------

ModelComponent_getUsages_MI::ModelComponent_getUsages_MI() {
  setName("privategetusages");
  addMethodSignature(new OBMethodSignature({"handle"}, {"handle vector"}));
  flagSignature_ = new OBMethodSignature({"handle", "bool"}, {"handle vector"});
  addMethodSignature(flagSignature_);
}

void ModelComponent_getUsages_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int,
                                         void* const ins[]) {
  const bool sorted = matched != flagSignature_ || *static_cast<const uint8_t*>(ins[1]) != 0;
  auto* usages = new Vector();
  nOut = 1;
  outs[0] = usages;
  const KelborComponent* component = componentOf(handleArg(ins, 0));
  if (!component || !component->getModelGlobalData()) return;
  collectListenerUsages(usages, component, sorted);
  collectComponentUsages(usages, component);
}

// --- rename --------------------------------------------------------------------------

ModelComponent_Rename_MI::ModelComponent_Rename_MI() {
  setName("rename");
  addMethodSignature(new OBMethodSignature({"handle", "string"}));
}

void ModelComponent_Rename_MI::invoke(OBMethodSignature*, int&, void*[], int, void* const ins[]) {
  KelborComponent* component = componentOf(handleArg(ins, 0));
  if (!component) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  component->rename(makeStringFromCString(textArg(ins, 1)));
}

// --- privateisvalidunit --------------------------------------------------------------

ModelComponent_PrivateIsValidUnit_MI::ModelComponent_PrivateIsValidUnit_MI() {
  setName("privateisvalidunit");
  setStatic(true);
  stringSignature_ = new OBMethodSignature({"string"}, {"PELLAM array"});
  addMethodSignature(stringSignature_);
  addMethodSignature(new OBMethodSignature({"string vector"}, {"PELLAM array"}));
}

void ModelComponent_PrivateIsValidUnit_MI::invoke(OBMethodSignature* matched, int& nOut,
                                                  void* outs[], int, void* const ins[]) {
  std::vector<bool> answers;
  if (matched == stringSignature_) {
    answers.push_back(isValidUnit(makeStringFromCString(textArg(ins, 0))));
  } else if (const auto* texts = static_cast<const StringVector*>(ins[0])) {
    for (int i = 0; i < texts->size(); ++i) {
      answers.push_back(isValidUnit(makeStringFromCString(texts->elementAt(i))));
    }
  }
  qxArray* row = qxCreateLogicalMatrix(1, answers.size());
  bool* data = qxGetLogicals(row);
  for (size_t i = 0; i < answers.size(); ++i) data[i] = answers[i];
  nOut = 1;
  outs[0] = OBTypeRepository::getType("PELLAM array")->copy(row);
  qxDestroyArray(row);
}

// --- reorder -------------------------------------------------------------------------

ModelContainer_Reorder_MI::ModelContainer_Reorder_MI() {
  setName("reorder");
  addMethodSignature(new OBMethodSignature({"handle", "handle vector"}));
}

void ModelContainer_Reorder_MI::throwInvalidReorder() const {
  throw ErrorIdException("Kestrion:InvalidReorderCall",
                         "When reordering components, the new value must be identical to the "
                         "old value with exception to the order.");
}

bool ModelContainer_Reorder_MI::haveSameMembers(const Vector* a, const Vector* b) {
  if (!a || !b) return !a && !b;
  if (a->size() != b->size()) return false;
  std::set<const OBInterface*> left(a->elements().begin(), a->elements().end());
  std::set<const OBInterface*> right(b->elements().begin(), b->elements().end());
  return left == right;
}
