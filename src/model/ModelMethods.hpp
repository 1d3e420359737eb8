// The method infos of the host class "Model".  Each keeps its signatures as
// members and tells the forms of a call apart by the signature the host
// matched.  The first argument is the model's instance.  Errors leave as
// ErrorIdException (catalog texts through kstr_error); warnings go through
// hb_warning_id and end the method without a result.  A method that needs
// a class of the engine by name ("Compartment", "Rule", "Variant", ...)
// raises "Kestrion:UnknownClass" while that class is not registered.
#pragma once

#include <memory>

#include "core/ComponentCopy.hpp"
#include "core/KelborApi.hpp"
#include "core/ModelComponentMethods.hpp"

class ReactionManipulator;
class OBInterface;

// --- configuration sets, variants, doses: the first group --------------------

// "setactiveconfigset" (handle, string) | (handle, handle) -> handle.  Top
// level only ("Kestrion:ConfigSetOnlyOnTopModel").  By name: the model's
// setActiveConfigSet (an unknown name raises "Kestrion:ConfigSetDoesNotExist"
// before any Active flag changes).  By handle: the set must be the model's
// own set of that name, else "Kestrion:ConfigSetDoesNotExist".  The new
// active set's "Active" property becomes true, the previous one's false.
class KELBOR_API Model_SetActiveConfigSet_MI : public OBMethodInfo {
 public:
  Model_SetActiveConfigSet_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* byName_;
  OBMethodSignature* byHandle_;
};

// "removeconfigset" (handle, string) | (handle, handle).  Top level only.
// "default" (and "active" while the default set is active) raise
// "Kestrion:CannotRenameRemoveDefault"; "active" otherwise stands for the
// active set.  A handle of another class raises
// "Kestrion:OnlyConfigSetCanBeAttached".  An unknown name warns
// "Kestrion:ConfigSetDoesNotExist", a set that is not this model's own
// warns "Kestrion:ConfigSetNotAttached".  The removed set is made inactive
// and leaves the host tree; when it was active, the set then named active
// (when there is one) is marked Active.
class KELBOR_API Model_RemoveConfigSet_MI : public OBMethodInfo {
 public:
  Model_RemoveConfigSet_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* byName_;
  OBMethodSignature* byHandle_;
};

// "addvariant" (handle, string) | (handle, "Kestrion.Variant") -> handle.
// Top level only ("Kestrion:VariantObjectsAddOnTopLevelModel").  A new
// "Variant" of that name, or a copy of the given one, inactive, attached
// below the model; a taken name raises "Kestrion:VariantWithNameExists"
// and the new instance is deleted.
class KELBOR_API Model_AddVariant_MI : public OBMethodInfo {
 public:
  Model_AddVariant_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* byName_;
};

// "removevariant" (handle, string) | (handle, "Kestrion.Variant") -> handle.
// Top level only ("Kestrion:VariantObjectsRemoveOnTopLevelModel").  An
// unknown name, an empty handle or a variant of another model warns
// "Kestrion:RemoveVariantDoesNotExist".  The variant leaves the model and
// the host tree and is returned.
class KELBOR_API Model_RemoveVariant_MI : public OBMethodInfo {
 public:
  Model_RemoveVariant_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* byName_;
};

// "getvariant" / "getdose": (handle, string) -> handle (empty when there is
// no such component) | (handle) -> handle vector (all, in model order).
// Top level only: "Kestrion:VariantObjectsOnTopLevelModel" /
// "Kestrion:DoseObjectsOnTopLevelModel", raised before anything else.
class KELBOR_API Model_GetVariant_MI : public OBMethodInfo {
 public:
  Model_GetVariant_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* byName_;
};

class KELBOR_API Model_GetDose_MI : public OBMethodInfo {
 public:
  Model_GetDose_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* byName_;
};

// "debugExpressionsAndListeners" (handle): prints the model's expressions
// and listeners.
class KELBOR_API Model_debugExpressionsAndListeners : public OBMethodInfo {
 public:
  Model_debugExpressionsAndListeners();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "display": the summary of one model, or the index table of a vector of
// models.
class KELBOR_API Model_display_MI : public ModelComponent_display_MI {
 public:
  Model_display_MI() = default;
  void displayVector(int& nOut, void* outs[], int nIn, void* const ins[]) override;
  void displayOne(int& nOut, void* outs[], int nIn, void* const ins[]) override;
};

// --- the second group: doses, configuration sets, states ---------------------

// "adddose" (handle, string) | (handle, "Kestrion.Dose") | (handle, string,
// string) -> handle.  Top level only ("Kestrion:DOSE_ADD_ON_TOP_LEVEL_MODEL");
// the type is "repeat" or "schedule" (any case), else
// "Kestrion:ADDDOSE_INVALID_TYPE" before anything is made.  The new dose
// (or copy) is inactive; a taken name raises "Kestrion:DOSE_WITH_NAME_EXISTS"
// and the new instance is deleted.
class KELBOR_API Model_AddDose_MI : public OBMethodInfo {
 public:
  Model_AddDose_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* byName_;
  OBMethodSignature* byDose_;
};

// "removedose" (handle, string) | (handle, "Kestrion.Dose") -> handle.  Top
// level only ("Kestrion:DOSE_REMOVE_ON_TOP_LEVEL_MODEL"); a dose the model
// does not hold warns "Kestrion:REMOVEDOSE_DOES_NOT_EXIST".
class KELBOR_API Model_RemoveDose_MI : public OBMethodInfo {
 public:
  Model_RemoveDose_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* byName_;
};

// "addconfigset" (handle, string) | (handle, string, bool) | (handle,
// string, PELLAM array ...) -> handle.  Top level only; an empty name
// raises "Kestrion:ConfigSetMustHaveName", failing pairs
// "Kestrion:KSTR_INVALID_PVPAIR", a taken name "Kestrion:ConfigSetNameClash";
// the new instance is deleted in each case.  With the flag the new set
// becomes the active one.
class KELBOR_API Model_AddConfigSet_MI : public OBMethodInfo {
 public:
  Model_AddConfigSet_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* withFlag_;
  OBMethodSignature* withPairs_;
};

// "getconfigset" (handle, string) -> handle | (handle) -> handle vector.
// Top level only.  "active" names the active set.
class KELBOR_API Model_GetConfigSet_MI : public OBMethodInfo {
 public:
  Model_GetConfigSet_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* byName_;
};

// "getstates" (handle) | (handle, bool) -> handle vector: the species of
// the model's tree, then its parameters (constant ones only with the flag,
// which defaults to true).  Top level only.
class KELBOR_API Model_getStates_MI : public OBMethodInfo {
 public:
  Model_getStates_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* withFlag_;
};

// --- adding components --------------------------------------------------------

// "addcompartment" (handle, PELLAM array ...) -> handle.  Checks, in order:
// "Kestrion:MODEL_ADDCOMPARTMENT_TOO_FEW_ARGS",
// "Kestrion:COMPARTMENT_ADDCOMPARTMENT_INVALID_FIRST_ARG",
// "Kestrion:COMPARTMENT_INVALID_NAME" (no text) and the compartment name
// rules, "Kestrion:COMPARTMENT_DUPLICATE_NAME" (any compartment of the
// model's tree), "Kestrion:ADDCOMPARTMENT_ERROR".
class KELBOR_API Model_addcompartment_MI : public ModelContainer_add_MI {
 public:
  Model_addcompartment_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// The family of "addevent" and "addrule": a child of the named class made
// from the arguments after the model, wired below the model.
class KELBOR_API Model_addExpressionChild_MI : public ModelContainer_add_MI {
 public:
  struct Family {
    const char* methodName;
    const char* className;
    const char* tooFewId;
    unsigned tooFewCode;
    const char* notModelId;
    unsigned notModelCode;
    const char* creationId;
    unsigned creationCode;
    void (*wire)(OBInterface* child, OBInterface* model);
  };
  explicit Model_addExpressionChild_MI(const Family& family);
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  Family family_;
};

// "addevent": "Kestrion:ADDEVENT_TOOFEWARGS", "Kestrion:ADDEVENT_INVALID_FIRSTARG",
// "Kestrion:ADDEVENT_ERROR".
class KELBOR_API Model_addevent_MI : public Model_addExpressionChild_MI {
 public:
  Model_addevent_MI();
};

// "addrule": "Kestrion:ADDRULE_TOOFEWARGS", "Kestrion:ADDRULE_INVALID_FIRSTARG",
// "Kestrion:ADDRULE_ERROR".
class KELBOR_API Model_addrule_MI : public Model_addExpressionChild_MI {
 public:
  Model_addrule_MI();
};

// "addparameter" (handle, PELLAM array ...) -> handle.  Checks, in order:
// "Kestrion:ADDPARAMETER_TOOFEWARGS", "Kestrion:ADDPARAMETER_INVALIDNAME"
// (not text; and, with its own text, a name the parameter rules refuse),
// "Kestrion:ADDPARAMETER_DUPLICATENAME", "Kestrion:ADDPARAMETER_INVALIDMOBJ"
// (a container of another kind), "Kestrion:ADDPARAMETER_ERROR".
template <class Container>
class KELBOR_API ModelContainer_addparameter_MI : public ModelContainer_add_MI {
 public:
  ModelContainer_addparameter_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "addspecies" (handle, PELLAM array ...) -> handle: forwarded to the
// "addspecies" of the model's only compartment (made as "unnamed" when
// there is none).  Checks: "Kestrion:ADDSPECIES_TOOFEWARGS",
// "Kestrion:ADDSPECIES_INVALID_FIRSTARG", "Kestrion:ADDSPECIES_INVALIDNAME",
// "Kestrion:MODEL_ADDSPECIES_MULTIPLE_COMPARTMENTS".  The caller's
// arguments are never changed, also when the forwarded call raises.
class KELBOR_API Model_addspecies_MI : public ModelContainer_add_MI {
 public:
  Model_addspecies_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "addreaction" (handle, PELLAM array ...) -> handle.  Forms: (model,
// equation), (model, equation, pairs...), (model, reactants, products,
// pairs...), (model, reactants, rstoich, products, pstoich, pairs...).
// Checks as the ADDREACTION_* identifiers say; failing pairs raise
// "Kestrion:KSTR_INVALID_PVPAIR".  Any error after the reaction was made
// destroys it again.
class KELBOR_API Model_addreactioncomponent_MI : public ModelContainer_add_MI {
 public:
  Model_addreactioncomponent_MI();
  ~Model_addreactioncomponent_MI() override;
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  std::unique_ptr<ReactionManipulator> manipulator_;
};

// "addmodel" (handle, PELLAM array ...) | (handle vector, PELLAM array ...)
// -> handle.  Always warns "Kestrion:AddModelDeprecated" first.  Checks:
// "Kestrion:ADDMODEL_TOOFEWARGS", "Kestrion:ADDMODEL_INVALID_FIRSTARG",
// "Kestrion:ADDMODEL_INVALIDNAME" (not text; empty),
// "Kestrion:ADDMODEL_DUPLICATENAME", "Kestrion:ADDMODEL_ERROR", failing
// pairs "Kestrion:KSTR_INVALID_PVPAIR" (the new model is deleted).
class KELBOR_API Model_addmodel_MI : public ModelContainer_add_MI {
 public:
  Model_addmodel_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* byVector_;
};

// --- delete, verify, reorder, copyobj ------------------------------------------

// "delete" (handle) | (handle vector): each model that is not already being
// destroyed is marked as being destroyed and destroyed; repeated handles
// and sub-models listed after their parents are skipped.
class KELBOR_API Model_delete_MI : public OBMethodInfo {
 public:
  Model_delete_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* single_;
};

// "verify": compiles the model for a configuration set (its own; default the
// active one), variants and doses (default the active ones).  Errors:
// "Kestrion:VerifyMethodOnlyTopLevelModel", "Kestrion:InvalidVerifyArguments",
// "Kestrion:VerifyConfigSetNotAttached", and the compile's own.
class KELBOR_API Model_Verify_MI : public OBMethodInfo {
 public:
  Model_Verify_MI();
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

 private:
  OBMethodSignature* withSet_;
  OBMethodSignature* withList_;
  OBMethodSignature* withSetAndList_;
  OBMethodSignature* withAll_;
};

// "reorder" (handle, handle vector): sub-models, parameters, reactions,
// rules, events or compartments in a new order.  Errors:
// "Kestrion:AmbiguousOrInvalidReorder", "Kestrion:ModelSpeciesReorderNotAllowed",
// "Kestrion:InvalidReorderTarget", "Kestrion:InvalidReorderCall".
class KELBOR_API Model_Reorder_MI : public ModelContainer_Reorder_MI {
 public:
  Model_Reorder_MI() = default;
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
};

// "copyobj": the user copies a model only to the root (another parent
// raises "Kestrion:COPYOBJ_INVALIDARG"); its sub-models are copied below
// the copy, as sub-models without configuration sets.  A top-level copy
// gets a copy of every configuration set of the source (values, options
// and sensitivity lists naming the copy's components; every state logged)
// and the source's active set as its active set ("default" when the source
// has none).
class KELBOR_API Model_copyobj_MI : public ModelComponent_copyobj_MI {
 public:
  Model_copyobj_MI() = default;
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;
  bool canCopyInto(OBInterface* obj, OBInterface* newParent) override;
  void attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface* source) override;
  void completeCopy(OBInterface* copy, OBInterface* source) override;
};
