#include "model/ModelOBC.hpp"

#include <obk/obk_t.hpp>
#include <ks_utils/Errors.hpp>

#include "core/Application.hpp"
#include "core/JavaEventFactory.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/ModelComponentProps.hpp"
#include "core/PropertyValuePairs.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "model/ModelGlue.hpp"
#include "model/ModelMethods.hpp"
#include "model/ModelProperties.hpp"
#include "quantities/QuantityHostSupport.hpp"
#include "core/HostBoundary.hpp"

using namespace kstr::model;

namespace {

struct FeatureSwitch {
  const char* name;
  int defaultValue;
};

const FeatureSwitch kFeatureSwitches[] = {
#define KSTR_FEATURE_SWITCH(name, defaultValue) {name, defaultValue},
#include "model/FeatureSwitches.def"
};

void registerFeatureSwitches() {
  for (const FeatureSwitch& feature : kFeatureSwitches) {
    svRegisterFeature(feature.name, feature.defaultValue, nullptr, nullptr);
  }
}

// Gives back the references a kept handle vector holds, then the vector.
void releaseHandleVector(Vector* vector) {
  if (!vector) return;
  std::vector<OBInterface*> members = vector->elements();
  delete vector;
  for (OBInterface* member : members) {
    if (member) member->releaseExternalReference();
  }
}

void addProperties(OBClass& cls) {
  cls.addProperty(new HostGuarded<ModelComponent_AnnotationPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_AnnotationFullPIT>());
  cls.addProperty(new HostGuarded<Model_AttachedConfigSets_PIT>());
  cls.addProperty(new HostGuarded<Model_AttachedVariants_PIT>());
  cls.addProperty(new HostGuarded<Model_Doses_PIT>());
  cls.addProperty(new HostGuarded<Model_EventsPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_IDPIT>());
  cls.addProperty(new HostGuarded<Model_NamePIT>());
  cls.addProperty(new HostGuarded<ModelComponent_NotesPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_FullyQualifiedName_PIT>());
  cls.addProperty(new HostGuarded<ModelComponent_FullIdPathToTopModel_PIT>());
  cls.addProperty(new HostGuarded<Model_ModelsPIT>());
  cls.addProperty(new HostGuarded<Model_ODESimulationDataPIT>());
  cls.addProperty(new HostGuarded<ModelContainer_ParametersPIT<Kelbor>>());
  cls.addProperty(new HostGuarded<Model_ParentPIT>());
  cls.addProperty(new HostGuarded<Model_SpeciesPIT>());
  cls.addProperty(new HostGuarded<Model_TopLevelCompartmentsPIT>());
  cls.addProperty(new HostGuarded<Model_CompartmentsPIT>());
  cls.addProperty(new HostGuarded<Model_ReactionsPIT>());
  cls.addProperty(new HostGuarded<Model_RulesPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_TagPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_TypePIT>());
  cls.addProperty(new HostGuarded<ModelComponent_UserDataPIT>());
  cls.addProperty(new HostGuarded<Model_UuidPIT>());
  cls.addProperty(new HostGuarded<Model_SendExpressionEvents_Rule_PIT>());
  cls.addProperty(new HostGuarded<Model_SendExpressionEvents_Reaction_PIT>());
  cls.addProperty(new HostGuarded<Model_SendExpressionEvents_Event_PIT>());
  cls.addProperty(newSendInUseCountEventsPropInfo());
  cls.addProperty(new HostGuarded<Model_CompileNeededPIT>());
  cls.addProperty(new HostGuarded<Model_Generator_EventTriggerPIT>());
  cls.addProperty(new HostGuarded<Model_Generator_EventFunctionPIT>());
}

OBMethodInfo* newPrintSymbolTableMethod() {
  auto* method = new HostGuarded<obk_t::OBKMethodFactory<Kelbor, GetKelborCompClass<Kelbor>>>("printSymbolTable");
  method->bind(new OBMethodSignature({"handle"}),
               [](Kelbor* model, int&, void*[], int, void* const[]) { model->printSymbolTable(); });
  return method;
}

void addMethods(OBClass& cls) {
  cls.addMethod(new HostGuarded<Model_addevent_MI>());
  cls.addMethod(new HostGuarded<Model_addmodel_MI>());
  cls.addMethod(new HostGuarded<ModelContainer_addparameter_MI<Kelbor>>());
  cls.addMethod(new HostGuarded<Model_addreactioncomponent_MI>());
  cls.addMethod(new HostGuarded<Model_addrule_MI>());
  cls.addMethod(new HostGuarded<Model_addspecies_MI>());
  cls.addMethod(new HostGuarded<Model_copyobj_MI>());
  cls.addMethod(new HostGuarded<Model_display_MI>());
  cls.addMethod(new HostGuarded<Model_addcompartment_MI>());
  cls.addMethod(new HostGuarded<ModelComponent_help_MI>());
  cls.addMethod(new HostGuarded<Model_SetActiveConfigSet_MI>());
  cls.addMethod(new HostGuarded<Model_AddConfigSet_MI>());
  cls.addMethod(new HostGuarded<Model_RemoveConfigSet_MI>());
  cls.addMethod(new HostGuarded<Model_GetConfigSet_MI>());
  cls.addMethod(new HostGuarded<Model_getStates_MI>());
  cls.addMethod(new HostGuarded<Model_Verify_MI>());
  cls.addMethod(new HostGuarded<Model_Reorder_MI>());
  cls.addMethod(new HostGuarded<Model_AddVariant_MI>());
  cls.addMethod(new HostGuarded<Model_RemoveVariant_MI>());
  cls.addMethod(new HostGuarded<Model_GetVariant_MI>());
  cls.addMethod(new HostGuarded<Model_AddDose_MI>());
  cls.addMethod(new HostGuarded<Model_RemoveDose_MI>());
  cls.addMethod(new HostGuarded<Model_GetDose_MI>());
  cls.addMethod(new HostGuarded<Model_delete_MI>());
  cls.addMethod(new HostGuarded<ModelComponent_copy_MI>());
  cls.addMethod(new HostGuarded<Model_debugExpressionsAndListeners>());
  cls.addMethod(newPrintSymbolTableMethod());
}

// The name of a new model: the first creation value, trimmed.  A value that
// is not text, or only blanks, raises "Kestrion:KSTRMODEL_INVALIDNAME".
std::string creationName(const qxArray* first) {
  const std::string name = first && qxIsChar(first) ? qxArrayToTrimmedString(first) : std::string();
  if (name.empty()) {
    kstr_error("Kestrion:KSTRMODEL_INVALIDNAME", kstr::code(kstr::MessageCode::KS_MODEL_INVALIDNAME));
  }
  return name;
}

}  // namespace

KelborOBC::KelborOBC() {
  startComponentClass(*this, "Model", true, true);
  addProperties(*this);
  addMethods(*this);
}

OBInterface* KelborOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[],
                                       OBInterface* creator, int) {
  auto* const* values = reinterpret_cast<qxArray* const*>(argv);
  const std::string name = argc > 0 ? creationName(values[0]) : std::string();
  auto* model = new Kelbor();
  auto* instance = new OBInterface(static_cast<KelborComponent*>(model), this);
  model->setOBI(instance);
  // Until the model is below the root, a failure destroys the half-made
  // instance (its hook deletes the model) and the root never saw it.
  CreatedInstance made(instance);
  if (argc > 0) model->setName(name);
  if (argc > 1) {
    const std::string error = applyPropertyValuePairs(instance, argc, 1, values);
    if (!error.empty()) {
      kstr_error_str("Kestrion:KSTR_INVALID_PVPAIR", kstr::code(kstr::MessageCode::KS_INVALID_PVPAIR_MSG),
                     error);
    }
  }
  // A model made by another model ("addmodel") becomes its sub-model, and
  // configuration sets belong to top-level models only.
  if (getKestrionObjectEnumType(creator) != kstr::kstrmodel) attachDefaultConfigSet(instance);
  attachModelBelowRoot(instance);
  return made.disown();
}

bool KelborOBC::isOkToDestroy(OBInterface* inst) { return !isEnclosingModelRenaming(inst); }

void KelborOBC::destroyInstance(OBInterface* inst) {
  Kelbor* model = modelOf(inst);
  if (!model) return;
  const std::string name = model->getName();
  if (JavaEventFactory* factory = javaEventFactory()) {
    factory->postObjectDestroyedEvent(model->getOBIParent(), inst, "Model", name.c_str());
  }
  detachModel(inst);
  inst->setComponentObject(nullptr);
  releaseHandleVector(model->getOBIEvents());
  releaseHandleVector(model->getOBIModels());
  releaseHandleVector(model->getOBIReactions());
  releaseHandleVector(model->getOBIRules());
  releaseHandleVector(model->getOBIParameters());
  releaseHandleVector(model->getOBICompartments());
  releaseHandleVector(model->getOBISpecies());
  model->setOBIEvents(nullptr);
  model->setOBIModels(nullptr);
  model->setOBIReactions(nullptr);
  model->setOBIRules(nullptr);
  model->setOBIParameters(nullptr);
  model->setOBICompartments(nullptr);
  model->setOBISpecies(nullptr);
  const OBDataType* arrays = OBTypeRepository::getType("PELLAM array");
  arrays->release(model->getUserData());
  model->setUserData(nullptr);
  arrays->release(model->getODESimulationData());
  model->setODESimulationData(nullptr);
  delete model;
}

OBClass* getModelOBClass() {
  static OBClass* cls = [] {
    registerFeatureSwitches();
    return registerHostClass(new HostGuarded<KelborOBC>());
  }();
  return cls;
}
