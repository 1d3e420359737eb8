// The property infos of the host class "Model".  Each reads and writes the
// model behind the instance; an instance without a model raises
// "obk:InvalidObject".  The handle-vector properties that the model keeps
// (Events, Models, Reactions, Rules, Compartments, Parameters) hand out the
// model's own vector, or no value when it is missing or empty; the others
// (ConfigSets, Variants, Doses, Species, TopLevelCompartments) build a new
// vector on every read, freed by releaseValue.
//
// The handle-vector setters serve the restore of a saved model (the
// engine's client only).  They check every element before changing
// anything and raise "Kestrion:InvalidPropertyValue", naming the property,
// for an element of the wrong class, one that already has another parent,
// and (Models) the model itself or one of its ancestors.
#pragma once

#include "core/KelborApi.hpp"
#include "core/ModelComponentProps.hpp"

class Kelbor;

// Base of the Model properties: a row of the property table, the model
// behind an instance, and "no" to canContainOBInterfaces.
class KELBOR_API ModelPropInfo : public ComponentPropInfo {
 public:
  explicit ModelPropInfo(const ComponentPropRow& row);
  bool canContainOBInterfaces() const override { return false; }

 protected:
  static Kelbor* model(OBInterface* inst);
};

#define KSTR_DECLARE_MODEL_PIT(ClassName)                                                \
  class KELBOR_API ClassName : public ModelPropInfo {                                    \
   public:                                                                               \
    ClassName();                                                                         \
    void* getValue(OBDatabaseClient* client, OBInterface* inst) override;                \
    void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;    \
    void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override; \
  };

KSTR_DECLARE_MODEL_PIT(Model_AttachedConfigSets_PIT)
KSTR_DECLARE_MODEL_PIT(Model_AttachedVariants_PIT)
KSTR_DECLARE_MODEL_PIT(Model_Doses_PIT)
KSTR_DECLARE_MODEL_PIT(Model_EventsPIT)
KSTR_DECLARE_MODEL_PIT(Model_ModelsPIT)
KSTR_DECLARE_MODEL_PIT(Model_ODESimulationDataPIT)
KSTR_DECLARE_MODEL_PIT(Model_ParentPIT)
KSTR_DECLARE_MODEL_PIT(Model_SpeciesPIT)
KSTR_DECLARE_MODEL_PIT(Model_TopLevelCompartmentsPIT)
KSTR_DECLARE_MODEL_PIT(Model_CompartmentsPIT)
KSTR_DECLARE_MODEL_PIT(Model_ReactionsPIT)
KSTR_DECLARE_MODEL_PIT(Model_RulesPIT)
KSTR_DECLARE_MODEL_PIT(Model_UuidPIT)
KSTR_DECLARE_MODEL_PIT(Model_SendExpressionEvents_Rule_PIT)
KSTR_DECLARE_MODEL_PIT(Model_SendExpressionEvents_Reaction_PIT)
KSTR_DECLARE_MODEL_PIT(Model_SendExpressionEvents_Event_PIT)
KSTR_DECLARE_MODEL_PIT(Model_CompileNeededPIT)
KSTR_DECLARE_MODEL_PIT(Model_Generator_EventTriggerPIT)
KSTR_DECLARE_MODEL_PIT(Model_Generator_EventFunctionPIT)

#undef KSTR_DECLARE_MODEL_PIT

// "Parameters" of a container (the model here): its parameter handle
// vector; the restore attaches each parameter (attachParameterToModel).
template <class Container>
class KELBOR_API ModelContainer_ParametersPIT : public ModelPropInfo {
 public:
  ModelContainer_ParametersPIT();
  void* getValue(OBDatabaseClient* client, OBInterface* inst) override;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "Name" of a model: trimmed; empty raises "Kestrion:KSTRMODEL_INVALIDNAME";
// a sub-model's new name held by a sibling raises
// "Kestrion:MODEL_DUPLICATENAME"; then the model's own setName.
class KELBOR_API Model_NamePIT : public ModelComponent_NamePIT {
 public:
  Model_NamePIT() = default;
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
};

// "SendInUseCountEvents": the factory property over the model's getter
// and setter.
KELBOR_API OBPropInfo* newSendInUseCountEventsPropInfo();

// The help text of "Models" (and "Compartments").
namespace kstr::help {
extern KELBOR_API const char* const kModels;
}  // namespace kstr::help
