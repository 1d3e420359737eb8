// The glue of the "Model" class shared by its class object, properties and
// methods: the model behind an instance, the top-level test, children made
// by class name, and the moves of a model between parents.
#include "model/ModelGlue.hpp"

#include <cstdint>
#include <cstring>

#include <ks_utils/Errors.hpp>

#include "configsets/Configset.hpp"
#include "configsets/KStrRuntimeConfigSet.hpp"
#include "core/Application.hpp"
#include "core/JavaEventFactory.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"

namespace kstr::model {

namespace {

OBDatabaseClient* internalClient() { return OBDatabaseClient::getInternalClient(); }

bool isModelClass(const OBInterface* instance) {
  return instance && std::strcmp(instance->getClass()->getName(), "Model") == 0;
}

BQuorvixRoot* rootBehind(OBInterface* rootInstance) {
  if (!rootInstance || std::strcmp(rootInstance->getClass()->getName(), "Root") != 0) {
    return nullptr;
  }
  return static_cast<BQuorvixRoot*>(componentOf(rootInstance));
}

// Keeps an instance alive while it moves between parents (leaving the old
// one may drop the last reference otherwise).
class HeldReference {
 public:
  explicit HeldReference(OBInterface* instance) : instance_(instance) { instance_->getReference(); }
  ~HeldReference() { instance_->releaseReference(); }
  HeldReference(const HeldReference&) = delete;
  HeldReference& operator=(const HeldReference&) = delete;

 private:
  OBInterface* instance_;
};

// Takes the model off a parent model: host tree, parent handle, registry,
// sub-model vector (releasing its reference) and the parent's mark.
void detachFromParentModel(OBInterface* modelInstance, OBInterface* parentInstance) {
  Kelbor* model = modelOf(modelInstance);
  Kelbor* parent = modelOf(parentInstance);
  if (modelInstance->getUp() == parentInstance) modelInstance->addBelow(nullptr);
  model->setOBIParent(nullptr);
  if (!parent) return;
  parent->deleteModel(model);
  leaveOwnedHandleVector(parentInstance, modelInstance, parent->getOBIModels());
  parent->setModelCompileNeeded();
}

// Configuration sets belong to top-level models: a model that became
// top-level without an active set gets a "default" one; a model that became
// a sub-model loses its sets (each detached from the tree, as
// "removeconfigset" leaves one, without warnings).
void applyConfigSetRule(OBInterface* modelInstance) {
  Kelbor* model = requireModel(modelInstance);
  if (isTopLevelModel(modelInstance)) {
    if (!model->getActiveConfigSet()) attachDefaultConfigSet(modelInstance);
    return;
  }
  const kstrVector<KStrConfigurationSetApi*> sets = model->getConfigSets();
  for (KStrConfigurationSetApi* set : sets) {
    model->forgetConfigSet(set);
    forgetChosenStates(set);
    set->setActive(false);
    OBInterface* setInstance = set->getOBI();
    if (setInstance && setInstance->getUp() == modelInstance) setInstance->addBelow(nullptr);
  }
}

}  // namespace

void forgetChosenStates(KStrConfigurationSetApi* set) {
  auto* runtime = set ? dynamic_cast<KStrRuntimeConfigSet*>(set->getRuntimeOptions()) : nullptr;
  if (runtime && runtime->getStatesToLogSet()) runtime->clearStates();
}

Kelbor* modelOf(const OBInterface* instance) {
  if (!isModelClass(instance)) return nullptr;
  KelborComponent* component = componentOf(instance);
  return component && component->getEnumType() == kstr::kstrmodel
             ? static_cast<Kelbor*>(component)
             : nullptr;
}

Kelbor* requireModel(const OBInterface* instance) {
  Kelbor* model = modelOf(instance);
  if (!model) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  return model;
}

bool isTopLevelModel(const OBInterface* instance) {
  return instance && getOBIRoot() && instance->getUp() == getOBIRoot();
}

OBClass* requireKestrionClass(const char* name) {
  OBClass* cls = GetQuorvApplication()->findClass(name);
  if (!cls) {
    throw ErrorIdException("Kestrion:UnknownClass",
                           std::string("The class '") + name + "' is not available.");
  }
  return cls;
}

bool isInstanceOf(const OBInterface* instance, const char* className) {
  if (!instance) return false;
  const OBClass* cls = GetQuorvApplication()->findClass(className);
  return cls && instance->getClass()->isA(cls);
}

void postChildAdded(OBInterface* parent, OBInterface* child, const char* keyword) {
  if (JavaEventFactory* factory = javaEventFactory()) {
    factory->postChildAddedEvent(parent, child, keyword);
  }
}

void setActiveProperty(OBInterface* setInstance, bool active) {
  if (!setInstance) return;
  OBPropInfo* prop = setInstance->getProperty("Active");
  if (!prop) return;
  uint8_t value = active ? 1 : 0;
  setInstance->set(prop, &value, internalClient());
}

Vector* newReferencedVector(const Vector* elements) {
  auto* out = new Vector();
  if (!elements) return out;
  for (OBInterface* element : elements->elements()) {
    if (!element) continue;
    element->getReference();
    out->addElement(element);
  }
  return out;
}

// --- created instances -----------------------------------------------------------

CreatedInstance::~CreatedInstance() {
  if (!instance_) return;
  instance_->destroy(internalClient());
  instance_->releaseReference();
}

OBInterface* CreatedInstance::keep() {
  OBInterface* instance = instance_;
  instance_ = nullptr;
  if (instance) instance->releaseReference();
  return instance;
}

// --- moves ---------------------------------------------------------------------------

void attachModelBelowRoot(OBInterface* modelInstance) {
  Kelbor* model = requireModel(modelInstance);
  if (model->getOBIParent()) return;
  OBInterface* rootInstance = getOBIRoot();
  BQuorvixRoot* root = rootBehind(rootInstance);
  if (!rootInstance || !root) return;
  modelInstance->addBelow(rootInstance);
  root->addModel(model);
  model->setOBIParent(rootInstance);
  model->setParent(root);
}

void detachModel(OBInterface* modelInstance) {
  Kelbor* model = requireModel(modelInstance);
  OBInterface* parentInstance = model->getOBIParent();
  if (!parentInstance) return;
  if (parentInstance != getOBIRoot()) {
    detachFromParentModel(modelInstance, parentInstance);
    return;
  }
  if (BQuorvixRoot* root = rootBehind(parentInstance)) root->removeModel(model);
}

void addModelBelowModel(OBInterface* modelInstance, OBInterface* parentInstance) {
  Kelbor* model = requireModel(modelInstance);
  Kelbor* parent = requireModel(parentInstance);
  modelInstance->addBelow(parentInstance);
  parent->setOBIModels(addUniqueToOBIVector(modelInstance, parent->getOBIModels()));
  parent->setCompileNeeded(true);
  model->setOBIParent(parentInstance);
  postChildAdded(parentInstance, modelInstance, "kstrmodel");
  parent->addModel(model);
}

void makeSubModel(OBInterface* modelInstance, OBInterface* parentInstance) {
  Kelbor* model = requireModel(modelInstance);
  if (getKestrionObjectEnumType(parentInstance) != kstr::kstrmodel || !modelOf(parentInstance)) {
    kstr_error("Kestrion:PARENT_INVALIDTYPE", kstr::code(kstr::MessageCode::KS_MODEL_PARENT_INVALID_TYPE));
  }
  if (isSelfOrDescendant(modelInstance, parentInstance)) {
    kstr_error("Kestrion:PARENT_INVALIDOBJ", kstr::code(kstr::MessageCode::KS_MODEL_PARENT_INVALID));
  }
  Kelbor* parent = modelOf(parentInstance);
  if (model->getOBIParent() != parentInstance &&
      isNameInOBIVector(parent->getOBIModels(), model->getName())) {
    kstr_error("Kestrion:MODEL_DUPLICATENAME", kstr::code(kstr::MessageCode::KS_MODEL_DUPLICATENAME));
  }
  HeldReference hold(modelInstance);
  OBInterface* current = model->getOBIParent();
  if (current && current != getOBIRoot()) {
    detachFromParentModel(modelInstance, current);
    postChildAdded(nullptr, modelInstance, "kstrmodel");
  } else if (current) {
    if (BQuorvixRoot* root = rootBehind(current)) root->removeModel(model);
    model->setOBIParent(nullptr);
  }
  addModelBelowModel(modelInstance, parentInstance);
  applyConfigSetRule(modelInstance);
}

void moveModelToRoot(OBInterface* modelInstance) {
  Kelbor* model = requireModel(modelInstance);
  OBInterface* rootInstance = getOBIRoot();
  BQuorvixRoot* root = rootBehind(rootInstance);
  if (!root) return;
  HeldReference hold(modelInstance);
  detachModel(modelInstance);
  modelInstance->addBelow(rootInstance);
  root->addModel(model);
  model->setOBIParent(rootInstance);
  // The root as parent component keeps the model's own model data.
  model->setParent(root);
  applyConfigSetRule(modelInstance);
}

bool isSelfOrDescendant(const OBInterface* modelInstance, const OBInterface* candidate) {
  const OBInterface* rootInstance = getOBIRoot();
  for (const OBInterface* at = candidate; at && at != rootInstance;) {
    if (at == modelInstance) return true;
    const KelborComponent* component = componentOf(at);
    at = component ? component->getOBIParent() : nullptr;
  }
  return false;
}

OBInterface* attachDefaultConfigSet(OBInterface* modelInstance) {
  Kelbor* model = requireModel(modelInstance);
  CreatedInstance created(getConfigsetOBClass()->createInstance(internalClient(), 0, nullptr, modelInstance, 1));
  KStrConfigurationSetApi* set = configSetOf(created.get());
  if (!set) throw ErrorIdException("Kestrion:UnknownClass", "The class 'Configset' made no configuration set.");
  componentOf(created.get())->setName("default");
  model->addConfigSet(set);
  created.get()->addBelow(modelInstance);
  OBInterface* instance = created.keep();
  model->setActiveConfigSet("default");
  model->setAutoDefaultConfigSet(set);
  setActiveProperty(instance, true);
  return instance;
}

// --- shared operations ----------------------------------------------------------------

OBInterface* findOrAddCompartmentOBI(OBInterface* modelInstance, const std::string& name) {
  if (!modelInstance) return nullptr;
  Kelbor* model = requireModel(modelInstance);
  if (BCompartment* found = model->getNamedCompartment(name)) return found->getOBI();
  OBMethodInfo* add = modelInstance->getClass()->getMethod("addcompartment");
  qxArray* text = qxCreateString(name.c_str());
  void* ins[2] = {modelInstance, text};
  void* outs[1] = {nullptr};
  int nOut = 1;
  try {
    add->invoke(add->getMethodSignatures()[0], nOut, outs, 2, ins);
  } catch (...) {
    qxDestroyArray(text);
    throw;
  }
  qxDestroyArray(text);
  return static_cast<OBInterface*>(outs[0]);
}

qxArray* findByTypeMassAction(OBInterface* handle) {
  if (!handle) return nullptr;
  OBDataType* text = OBTypeRepository::getType("string");
  qxArray* ins[3] = {nullptr, nullptr, nullptr};
  qxArray* outs[1] = {nullptr};
  OBErrorStatus status;
  try {
    // Each argument is made inside the guard, so that a conversion that
    // runs out of memory frees the ones made before it.
    ins[0] = OBTypeRepository::getType("handle")->toHost(handle);
    ins[1] = text->toHost("KineticLawName");
    ins[2] = text->toHost("MassAction");
    obCallBuiltInMethod("find", 1, outs, 3, ins, status);
  } catch (...) {
    for (qxArray* in : ins) qxDestroyArray(in);
    throw;
  }
  for (qxArray* in : ins) qxDestroyArray(in);
  return outs[0];
}

}  // namespace kstr::model
