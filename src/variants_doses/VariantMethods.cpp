// The methods of the host class "Variant".
#include "variants_doses/VariantMethods.hpp"

#include <cstring>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include <ks_utils/Errors.hpp>

#include "configsets/Configset.hpp"
#include "core/ModelComponentProps.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "variants_doses/Variant.hpp"
#include "variants_doses/VariantOBC.hpp"
#include "core/HostBoundary.hpp"

using Code = kstr::MessageCode;

namespace {

OBInterface* handleArg(void* const ins[], int i) { return static_cast<OBInterface*>(ins[i]); }

Variant* requireVariant(OBInterface* inst) {
  Variant* variant = variantOf(inst);
  if (!variant) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  return variant;
}

bool hasClassName(const OBInterface* inst, const char* name) {
  return inst && inst->isValid() && std::strcmp(inst->getClass()->getName(), name) == 0;
}

// --- display helpers ----------------------------------------------------------------------

std::string spaces(size_t n) { return std::string(n, ' '); }

// The text in a column: padded to the width, or cut to width - 4
// characters and "... " when it does not fit.
std::string column(const std::string& text, size_t width) {
  if (text.size() >= width) return text.substr(0, width - 4) + "... ";
  return text + spaces(width - text.size());
}

std::string cutValue(const std::string& text) { return text.size() >= 12 ? text.substr(0, 9) + "..." : text; }

std::string valueText(const qxArray* value) {
  if (!value) return "[]";
  if (qxIsChar(value)) return cutValue(qxArrayToStdString(value));
  if (qxIsDouble(value) && qxGetNumberOfElements(value) == 1) {
    std::ostringstream out;
    out << qxGetScalar(value);
    return cutValue(out.str());
  }
  if (qxIsLogical(value) && qxGetNumberOfElements(value) == 1) return qxGetScalar(value) != 0.0 ? "true" : "false";
  std::ostringstream out;
  out << "[" << qxGetM(value) << "x" << qxGetN(value) << "] " << qxGetClassName(value);
  return out.str();
}

std::string entryRows(const Variant& variant) {
  std::unique_ptr<kstrVector<const BPatchQuad*>> quads(variant.getQuads());
  if (quads->empty()) {
    return "   -" + spaces(17) + "-" + spaces(12) + "-" + spaces(17) + "-" + spaces(19) + "-\n";
  }
  std::string rows;
  for (size_t i = 0; i < quads->size(); ++i) {
    const BPatchQuad& quad = *(*quads)[i];
    rows += "   " + column(std::to_string(i + 1), 18);
    rows += column(qxArrayToStdString(quad.getType()), 13);
    rows += column(qxArrayToStdString(quad.getName()), 18);
    rows += column(qxArrayToStdString(quad.getProp()), 20);
    rows += valueText(quad.getValue()) + "\n";
  }
  return rows;
}

}  // namespace

// --- addcontent / rmcontent ---------------------------------------------------------------

Variant_AddContent_MI::Variant_AddContent_MI() {
  setName("addcontent");
  byVariant_ = new OBMethodSignature({"handle", "handle"});
  addMethodSignature(byVariant_);
  addMethodSignature(new OBMethodSignature({"handle", "PELLAM array"}));
}

void Variant_AddContent_MI::invoke(OBMethodSignature* matched, int&, void*[], int, void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Variant* variant = requireVariant(inst);
  if (matched == byVariant_) {
    OBInterface* other = handleArg(ins, 1);
    if (!other) return;
    const Variant* source = variantOf(other);
    if (!source) {
      throw ErrorIdException("Kestrion:AddContentInvalidInput",
                             "When adding content to a Variant, either supply another Variant or content as "
                             "described in kstrvariant");
    }
    variant->addContent(*source);
  } else {
    variant->addContent(static_cast<const qxArray*>(ins[1]));
  }
  announceContentChange(inst);
}

Variant_RemoveContent_MI::Variant_RemoveContent_MI() {
  setName("rmcontent");
  byIndex_ = new OBMethodSignature({"handle", "NReals"}, {"PELLAM array"});
  addMethodSignature(byIndex_);
  addMethodSignature(new OBMethodSignature({"handle", "PELLAM array"}, {"PELLAM array"}));
}

void Variant_RemoveContent_MI::invoke(OBMethodSignature* matched, int&, void*[], int, void* const ins[]) {
  OBInterface* inst = handleArg(ins, 0);
  Variant* variant = requireVariant(inst);
  if (matched == byIndex_) {
    const auto* numbers = static_cast<const NReals*>(ins[1]);
    const int32_t count = numbers ? numbers->count : 0;
    for (int32_t i = 0; i < count; ++i) {
      const double x = numbers->data[i];
      if (!(x > 0.0) || !hbEqualWithinEps(x, hbDoubleScalarRound(x))) {
        throw ErrorIdException("Kestrion:VariantRemoveInvalidIndicie",
                               "Indices for variant removal must be real positive integers");
      }
    }
    // The range is checked while the numbers are still doubles, so that an
    // infinite or huge number is never converted.
    std::set<size_t> indices;
    for (int32_t i = 0; i < count; ++i) {
      const double rounded = hbDoubleScalarRound(numbers->data[i]);
      if (rounded > static_cast<double>(variant->getNumEntries())) {
        kstr_error("Kestrion:VariantRemoveOutOfRange", kstr::code(Code::KS_PATCH_REMOVE_OUT_OF_RANGE));
      }
      indices.insert(static_cast<size_t>(rounded) - 1);
    }
    variant->removeContent(indices);
  } else {
    qxArray* entries = qxDuplicateArray(static_cast<const qxArray*>(ins[1]));
    qxSetArrayScope(entries, qxSCOPE_PERSISTENT);
    variant->removeContent(entries);
  }
  announceContentChange(inst);
}

// --- display ---------------------------------------------------------------------------------

void Variant_display_MI::displayOne(int&, void*[], int, void* const ins[]) {
  const Variant* variant = requireVariant(handleArg(ins, 0));
  hbPrintf("%s", "\n   Kestrion Variant ");
  hbPrintf("- %s (%s)", variant->getName().c_str(), variant->getActive() ? "active" : "inactive");
  const std::string header = "\n\n" + spaces(3) + "ContentIndex:" + spaces(5) + "Type:" + spaces(8) + "Name:" +
                             spaces(13) + "Property:" + spaces(11) + "Value:" + "\n";
  hbPrintf("%s", header.c_str());
  hbPrintf("%s\n", entryRows(*variant).c_str());
}

void Variant_display_MI::displayVector(int&, void*[], int, void* const ins[]) {
  const std::string header =
      "\n   Kestrion Variant Array\n\n" + spaces(3) + "Index:" + spaces(2) + "Name:" + spaces(13) + "Active:" + "\n";
  hbPrintf("%s", header.c_str());
  if (const auto* given = static_cast<const Vector*>(ins[0])) {
    size_t number = 0;
    for (OBInterface* element : given->elements()) {
      const Variant* variant = requireVariant(element);
      const std::string row = spaces(3) + column(std::to_string(++number), 8) + column(variant->getName(), 18) +
                              (variant->getActive() ? "true" : "false");
      hbPrintf("%s\n", row.c_str());
    }
  }
  hbPrintf("\n");
}

// --- verify and commit -----------------------------------------------------------------------

OBMethodInfo* newVariantVerifyMethod() {
  auto* method = new HostGuarded<obk_t::OBKMethodFactory<Variant, GetKelborCompClass<Variant>>>("verify");
  method->bind(new OBMethodSignature({"handle", "handle", "handle"}),
               [](Variant* variant, int&, void*[], int, void* const ins[]) {
                 KStrConfigurationSetApi* set = configSetOf(handleArg(ins, 2));
                 if (!set) {
                   kstr_error("Kestrion:InvalidConfigSetForVariantVerify",
                              kstr::code(Code::KS_INVALID_CONFIGSET_FOR_PATCH_VERIFY));
                 }
                 variant->update(kelborFromHandle(handleArg(ins, 1)), set);
               });
  method->bind(new OBMethodSignature({"handle", "handle"}),
               [](Variant* variant, int&, void*[], int, void* const ins[]) {
                 variant->update(kelborFromHandle(handleArg(ins, 1)));
               });
  return method;
}

Variant_Commit_MI::Variant_Commit_MI() {
  setName("commit");
  addMethodSignature(new OBMethodSignature({"handle", "handle"}));
}

void Variant_Commit_MI::invoke(OBMethodSignature*, int&, void*[], int, void* const ins[]) {
  const Variant* variant = requireVariant(handleArg(ins, 0));
  OBInterface* target = handleArg(ins, 1);
  if (!hasClassName(target, "Model")) {
    throw ErrorIdException("Kestrion:VariantCommitNeedsModelObject",
                           "The commit method of a variant object requires a Kestrion model object as a target.");
  }
  const Variant::CommitSetCalls calls = variant->createCommitSetCalls(kelborFromHandle(target));
  const OBDataType* handleType = OBTypeRepository::getType("handle");
  for (const Variant::CommitSetCall& call : *calls) {
    qxArray* args[3] = {handleType->toHost(call.first->getOBI()), const_cast<qxArray*>(call.second.first),
                        const_cast<qxArray*>(call.second.second)};
    try {
      qxArray* none[1] = {nullptr};
      inCallFcn(0, none, 3, args, "set");
    } catch (...) {
      qxDestroyArray(args[0]);
      throw;
    }
    qxDestroyArray(args[0]);
  }
}

// --- privategetusages --------------------------------------------------------------------------

Variant_GetComponentUsageLocations_MI::Variant_GetComponentUsageLocations_MI() {
  setName("privategetusages");
  addMethodSignature(new OBMethodSignature({"handle", "handle"}, {"Nints"}));
}

void Variant_GetComponentUsageLocations_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int,
                                                   void* const ins[]) {
  nOut = 1;
  outs[0] = nullptr;
  const Variant* variant = requireVariant(handleArg(ins, 0));
  OBInterface* used = handleArg(ins, 1);
  const kstr::bcomptype kind = getKestrionObjectEnumType(used);
  if (kind != kstr::species && kind != kstr::parameter && kind != kstr::compartment) return;
  const KelborComponent* component = componentOf(used);
  const boost::shared_ptr<ModelGlobalData> data = component->getModelGlobalData();
  if (component->getName().empty() || !data || !data->model) return;
  const std::vector<size_t> indices = variant->getUsageLocations(component);
  if (indices.empty()) return;
  Nints* numbers = obkNewNints(static_cast<int32_t>(indices.size()));
  for (size_t i = 0; i < indices.size(); ++i) numbers->data[i] = static_cast<int32_t>(indices[i] + 1);
  outs[0] = numbers;
}

// --- copyobj ------------------------------------------------------------------------------------

bool Variant_copyobj_MI::canCopyInto(OBInterface* obj, OBInterface* newParent) {
  const Variant* variant = variantOf(obj);
  if (!variant || !hasClassName(newParent, "Model")) return false;
  const Kelbor* model = kelborFromHandle(newParent);
  if (model && model->getVariant(variant->getName())) {
    kstr_error("Kestrion:VariantWithNameExists", kstr::code(Code::KS_PATCH_WITH_NAME_EXISTS));
  }
  return model != nullptr;
}

void Variant_copyobj_MI::attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface*) {
  Variant* variant = requireVariant(copy);
  Kelbor* model = kelborFromHandle(newParent);
  model->addVariant(variant);
  copy->addBelow(newParent);
  variant->setParent(model);
  variant->setOBIParent(newParent);
}
