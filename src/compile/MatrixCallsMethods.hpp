// The methods of the host class "matrixCallObj".  Every signature starts
// with the matrixCallObj object itself.  Handle vectors become component
// lists: an element that is empty, no Kestrion object or of another class
// than the list wants is a null entry at its position.
#pragma once

#include <obk/OBMethodInfo.hpp>

#include "core/KelborApi.hpp"

// "getAdjMatrix" (model) -> matrix [, node names [, node kinds]]: the
// transpose of the adjacency builder's matrix (row i lists the targets of
// node i), the node names and a 1-by-N row of kinds (1 species and the
// null node, 0 reactions).  An empty model handle, or a model without
// species or reactions (warned), gives empty results.
class KELBOR_API ksMatrixCalls_getAdjMatrix_MI : public OBMethodInfo {
 public:
  ksMatrixCalls_getAdjMatrix_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* forms_[3];
};

// "getStoichMatrix" (model) -> matrix [, species names [, reaction
// names]]: the species-by-reaction net stoichiometry, inactive reactions
// included.  An empty model handle gives empty results; a handle of
// another kind than a model or a reaction raises
// "Kestrion:MatrixUnsupportedComponent".
class KELBOR_API ksMatrixCalls_getStoichMatrix_MI : public OBMethodInfo {
 public:
  ksMatrixCalls_getStoichMatrix_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* forms_[3];
};

// "getSpecParamDepMatrix": (model [, includeConstants]), (reactions,
// species, parameters [, includeConstants]) or (reactions, components) ->
// the transpose of the dependency builder's matrix (one row per reaction).
// A model handle that holds no model gives an empty result.
class KELBOR_API ksMatrixCalls_GetSpeciesParameterDependencyMatrix_MI : public OBMethodInfo {
 public:
  ksMatrixCalls_GetSpeciesParameterDependencyMatrix_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* forms_[5];
};

// "getRuleJPattern" (rules, species, parameters, algebraic variables) ->
// the rule Jacobian pattern as built (no transpose): square over the
// distinct species and non-constant parameters.  The k-th component names
// the variable of the k-th algebraic rule; a shorter list leaves the
// remaining algebraic rules without one.
class KELBOR_API ksMatrixCalls_GetRuleJPattern_MI : public OBMethodInfo {
 public:
  ksMatrixCalls_GetRuleJPattern_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "getSpecParamsCompileOrder" (model) -> species, parameters,
// compartments: the compile order as handle vectors (empty for a handle
// that holds no model).
class KELBOR_API ksMatrixCalls_getSpeciesAndParams_compileOrder_MI : public OBMethodInfo {
 public:
  ksMatrixCalls_getSpeciesAndParams_compileOrder_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "getODEUnitMultipliers" (model) -> components, multipliers: the compile
// order joined (species, parameters, compartments) and an n-by-1 column of
// their unit-conversion multipliers.  Errors of the conversion service
// pass on.
class KELBOR_API ksMatrixCalls_getODEUnitMultipliers_MI : public OBMethodInfo {
 public:
  ksMatrixCalls_getODEUnitMultipliers_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};
