// The call bodies of the "matrixCallObj" methods: host arguments become
// component lists, one builder runs, its result goes back as host values.
#include "compile/MatrixCallsMethods.hpp"

#include <deque>
#include <memory>
#include <new>
#include <vector>

#include <ks_utils/Errors.hpp>
#include <ks_utils/UnitSystemConversion.hpp>
#include <obk/OBInterface.hpp>
#include <obk/Vector.hpp>
#include <qx/qx.hpp>

#include "compile/AdjacencyMatrix.hpp"
#include "compile/DependencyMatrix.hpp"
#include "compile/ModelWalk.hpp"
#include "compile/RuleJacobianPattern.hpp"
#include "compile/Stoichiometry.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"

namespace {

// The component behind a Kestrion object; null for an empty handle and for
// objects of other applications or without a component.
KelborComponent* kestrionComponent(const OBInterface* instance) {
  return getKestrionObjectEnumType(instance) == kstr::not_a_component ? nullptr
                                                                      : componentOf(instance);
}

Kelbor* modelOf(const OBInterface* instance) {
  KelborComponent* component = kestrionComponent(instance);
  return component && component->getEnumType() == kstr::kstrmodel ? static_cast<Kelbor*>(component)
                                                                   : nullptr;
}

// One entry per element: the component when it is a T, else null.
template <class T>
kstrVector<T*> componentList(const Vector* handles) {
  kstrVector<T*> list;
  if (!handles) return list;
  list.reserve(static_cast<size_t>(handles->size()));
  for (OBInterface* element : handles->elements()) {
    list.push_back(dynamic_cast<T*>(kestrionComponent(element)));
  }
  return list;
}

// A new handle vector with one reference on each component's own object.
template <class List>
void appendHandles(Vector& out, const List& components) {
  for (const KelborComponent* c : components) {
    OBInterface* instance = c ? c->getOBI() : nullptr;
    if (instance) instance->getReference();
    out.addElement(instance);
  }
}

template <class List>
Vector* newHandleVectorOf(const List& components) {
  auto* out = new Vector();
  appendHandles(*out, components);
  return out;
}

// The transpose of a builder's matrix; the matrix itself is destroyed.
// The transpose of the matrix, which is given back either way (also when
// memory for the transpose runs out).
qxArray* transposed(qxArray* matrix) {
  if (!matrix) return nullptr;
  qxArray* result = nullptr;
  try {
    result = qxTranspose(matrix);
  } catch (...) {
    qxDestroyArray(matrix);
    throw;
  }
  qxDestroyArray(matrix);
  return result;
}

int formOf(const OBMethodSignature* matched, OBMethodSignature* const* forms, int count) {
  for (int i = 0; i < count; ++i) {
    if (forms[i] == matched) return i + 1;
  }
  return 1;
}

// Adds a signature (the matrixCallObj first) and returns it.
OBMethodSignature* addForm(OBMethodInfo& method, std::initializer_list<const char*> args,
                           std::initializer_list<const char*> outputs) {
  auto* signature = new OBMethodSignature(args, outputs);
  method.addMethodSignature(signature);
  return signature;
}

qxArray* kindsRow(const std::deque<int32_t>& kinds) {
  qxArray* row = nullptr;
  try {
    row = qxCreateDoubleMatrix(1, kinds.size(), qxREAL);
  } catch (const std::bad_alloc&) {
    row = nullptr;
  }
  if (!row) return nullptr;
  qxSetArrayScope(row, qxSCOPE_PERSISTENT);
  double* values = qxGetPr(row);
  for (size_t i = 0; i < kinds.size(); ++i) values[i] = kinds[i];
  return row;
}

}  // namespace

// --- getAdjMatrix -------------------------------------------------------------

ksMatrixCalls_getAdjMatrix_MI::ksMatrixCalls_getAdjMatrix_MI() {
  setName("getAdjMatrix");
  forms_[0] = addForm(*this, {"handle", "handle"}, {"PELLAM array"});
  forms_[1] = addForm(*this, {"handle", "handle"}, {"PELLAM array", "string vector"});
  forms_[2] =
      addForm(*this, {"handle", "handle"}, {"PELLAM array", "string vector", "PELLAM array"});
}

void ksMatrixCalls_getAdjMatrix_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[],
                                           int, void* const ins[]) {
  const int form = formOf(matched, forms_, 3);
  nOut = form;
  const auto* modelHandle = static_cast<const OBInterface*>(ins[1]);
  if (!modelHandle) return;
  auto names = std::make_unique<StringVector>();
  std::deque<int32_t> kinds;
  qxArray* matrix = transposed(kstr::compile::buildAdjacencyMatrix(
      kestrionComponent(modelHandle), form >= 2, names.get(), form == 3, &kinds));
  if (!matrix) return;
  if (form == 3) {
    qxArray* row = kindsRow(kinds);
    if (!row) {
      qxDestroyArray(matrix);
      kstr_error("Kestrion:MallocError", kstr::code(kstr::MessageCode::KS_MallocError));
    }
    outs[2] = row;
  }
  outs[0] = matrix;
  if (form >= 2) outs[1] = names.release();
}

// --- getStoichMatrix -------------------------------------------------------------

ksMatrixCalls_getStoichMatrix_MI::ksMatrixCalls_getStoichMatrix_MI() {
  setName("getStoichMatrix");
  forms_[0] = addForm(*this, {"handle", "handle"}, {"PELLAM array"});
  forms_[1] = addForm(*this, {"handle", "handle"}, {"PELLAM array", "string vector"});
  forms_[2] =
      addForm(*this, {"handle", "handle"}, {"PELLAM array", "string vector", "string vector"});
}

void ksMatrixCalls_getStoichMatrix_MI::invoke(OBMethodSignature* matched, int&, void* outs[], int,
                                              void* const ins[]) {
  const int form = formOf(matched, forms_, 3);
  const auto* modelHandle = static_cast<const OBInterface*>(ins[1]);
  if (!modelHandle) return;
  auto speciesNames = std::make_unique<StringVector>();
  auto reactionNames = std::make_unique<StringVector>();
  outs[0] = kstr::compile::buildStoichiometryMatrix(kestrionComponent(modelHandle), form >= 2,
                                                    speciesNames.get(), form == 3,
                                                    reactionNames.get());
  if (form >= 2) outs[1] = speciesNames.release();
  if (form == 3) outs[2] = reactionNames.release();
}

// --- getSpecParamDepMatrix -------------------------------------------------------------

ksMatrixCalls_GetSpeciesParameterDependencyMatrix_MI::
    ksMatrixCalls_GetSpeciesParameterDependencyMatrix_MI() {
  setName("getSpecParamDepMatrix");
  forms_[0] = addForm(*this, {"handle", "handle"}, {"PELLAM array"});
  forms_[1] = addForm(*this, {"handle", "handle", "bool"}, {"PELLAM array"});
  forms_[2] = addForm(*this, {"handle", "handle vector", "handle vector", "handle vector"},
                      {"PELLAM array"});
  forms_[3] =
      addForm(*this, {"handle", "handle vector", "handle vector", "handle vector", "bool"},
              {"PELLAM array"});
  forms_[4] = addForm(*this, {"handle", "handle vector", "handle vector"}, {"PELLAM array"});
}

void ksMatrixCalls_GetSpeciesParameterDependencyMatrix_MI::invoke(OBMethodSignature* matched,
                                                                  int& nOut, void* outs[],
                                                                  int nIn, void* const ins[]) {
  namespace kc = kstr::compile;
  const int form = formOf(matched, forms_, 5);
  nOut = 1;
  const bool withFlag = form == 2 || form == 4;
  const bool includeConstants = withFlag && *static_cast<const uint8_t*>(ins[nIn - 1]) != 0;
  qxArray* matrix = nullptr;
  if (form <= 2) {
    if (!ins[1]) return;
    matrix = kc::buildModelDependencyMatrix(modelOf(static_cast<const OBInterface*>(ins[1])),
                                            includeConstants);
  } else if (form <= 4) {
    const auto reactions = componentList<BReaction>(static_cast<const Vector*>(ins[1]));
    const auto species = componentList<BSpecies>(static_cast<const Vector*>(ins[2]));
    const auto parameters = componentList<BParameter>(static_cast<const Vector*>(ins[3]));
    matrix = kc::buildSpeciesParameterDependencyMatrix(&reactions, &species, &parameters,
                                                       includeConstants);
  } else {
    const auto reactions = componentList<BReaction>(static_cast<const Vector*>(ins[1]));
    const auto components = componentList<KelborComponent>(static_cast<const Vector*>(ins[2]));
    matrix = kc::buildComponentDependencyMatrix(&reactions, &components);
  }
  outs[0] = transposed(matrix);
}

// --- getRuleJPattern -------------------------------------------------------------------

ksMatrixCalls_GetRuleJPattern_MI::ksMatrixCalls_GetRuleJPattern_MI() {
  setName("getRuleJPattern");
  addForm(*this, {"handle", "handle vector", "handle vector", "handle vector", "handle vector"},
          {"PELLAM array"});
}

void ksMatrixCalls_GetRuleJPattern_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int,
                                              void* const ins[]) {
  nOut = 1;
  const auto rules = componentList<BRule>(static_cast<const Vector*>(ins[1]));
  const auto species = componentList<BSpecies>(static_cast<const Vector*>(ins[2]));
  const auto parameters = componentList<BParameter>(static_cast<const Vector*>(ins[3]));
  const auto variables = componentList<KelborComponent>(static_cast<const Vector*>(ins[4]));
  outs[0] = kstr::compile::buildRuleJacobianPattern(&rules, &species, &parameters, &variables);
}

// --- getSpecParamsCompileOrder ---------------------------------------------------------

ksMatrixCalls_getSpeciesAndParams_compileOrder_MI::
    ksMatrixCalls_getSpeciesAndParams_compileOrder_MI() {
  setName("getSpecParamsCompileOrder");
  addForm(*this, {"handle", "handle"}, {"handle vector", "handle vector", "handle vector"});
}

void ksMatrixCalls_getSpeciesAndParams_compileOrder_MI::invoke(OBMethodSignature*, int& nOut,
                                                               void* outs[], int,
                                                               void* const ins[]) {
  nOut = 3;
  kstrVector<BSpecies*> species;
  kstrVector<BParameter*> parameters;
  kstrVector<BCompartment*> compartments;
  kstr::compile::collectCompileOrder(modelOf(static_cast<const OBInterface*>(ins[1])), species,
                                     parameters, compartments);
  outs[0] = newHandleVectorOf(species);
  outs[1] = newHandleVectorOf(parameters);
  outs[2] = newHandleVectorOf(compartments);
}

// --- getODEUnitMultipliers -------------------------------------------------------------

ksMatrixCalls_getODEUnitMultipliers_MI::ksMatrixCalls_getODEUnitMultipliers_MI() {
  setName("getODEUnitMultipliers");
  addForm(*this, {"handle", "handle"}, {"handle vector", "PELLAM array"});
}

void ksMatrixCalls_getODEUnitMultipliers_MI::invoke(OBMethodSignature*, int& nOut, void* outs[],
                                                    int, void* const ins[]) {
  nOut = 2;
  kstrVector<BSpecies*> species;
  kstrVector<BParameter*> parameters;
  kstrVector<BCompartment*> compartments;
  kstr::compile::collectCompileOrder(modelOf(static_cast<const OBInterface*>(ins[1])), species,
                                     parameters, compartments);
  std::vector<KelborComponent*> joined(species.begin(), species.end());
  joined.insert(joined.end(), parameters.begin(), parameters.end());
  joined.insert(joined.end(), compartments.begin(), compartments.end());
  std::vector<double> multipliers;
  getUnitSystemConversionServiceFcn()->getMultipliers(multipliers, joined);
  qxArray* column = qxCreateDoubleMatrix(multipliers.size(), 1, qxREAL);
  qxSetArrayScope(column, qxSCOPE_PERSISTENT);
  std::copy(multipliers.begin(), multipliers.end(), qxGetPr(column));
  outs[0] = newHandleVectorOf(joined);
  outs[1] = column;
}
