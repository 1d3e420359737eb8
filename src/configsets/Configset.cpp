#include "configsets/Configset.hpp"

#include <cstdint>
#include <cstring>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>

#include "core/Application.hpp"
#include "core/ModelComponentProps.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"

// --- the set -------------------------------------------------------------------

KStrConfigurationSet::~KStrConfigurationSet() = default;

void KStrConfigurationSet::setName(const std::string& name) {
  std::string trimmed = name;
  STDStringHelpers::trimWhitespace(trimmed);
  if (model_) model_->updateCSName(getName(), trimmed);
  KelborComponent::setName(trimmed);
}

void KStrConfigurationSet::setActive(bool active) {
  active_ = active;
  compileNeeded_ = true;
}

// --- properties ------------------------------------------------------------------

namespace {

const char kActiveHelp[] =
    "Indicates whether the configuration set is the active one of its model.\n"
    "   Use SETACTIVECONFIGSET to make a configuration set active.";

KStrConfigurationSet* setOf(OBInterface* inst) {
  auto* set = dynamic_cast<KStrConfigurationSet*>(componentOf(inst));
  if (!set) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  return set;
}

// "Name": the model's checks first, then the set's own.
class Configset_NamePIT : public OBPropInfoTemplate {
 public:
  Configset_NamePIT() : OBPropInfoTemplate("Name", kstr::help::kName, "string", obkDefaultAccessWord()) {}
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    return const_cast<char*>(setOf(inst)->getName().c_str());
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    KStrConfigurationSet* set = setOf(inst);
    std::string name = makeStringFromCString(static_cast<const char*>(value));
    STDStringHelpers::trimWhitespace(name);
    OBInterface* up = inst->getUp();
    Kelbor* model = up && std::strcmp(up->getClass()->getName(), "Model") == 0
                        ? static_cast<Kelbor*>(componentOf(up))
                        : nullptr;
    if (model && name != set->getName() && model->isConfigSetAttached(name)) {
      throw ErrorIdException(
          "Kestrion:ConfigSetNameClash",
          "A configset with the same name is already attached to the model,\n"
          "or this is a reserved name. Reserved names are 'default' and 'active'. To get the \n"
          "configset, use GETCONFIGSET.");
    }
    if (name != set->getName() && (name == "default" || set->getName() == "default")) {
      throw ErrorIdException("Kestrion:CannotRenameRemoveDefault",
                             "The default configuration set cannot be renamed or removed.");
    }
    set->setName(name);
  }
};

// "Active": readable everywhere, settable only by the engine.
class Configset_ActivePIT : public OBPropInfoTemplate {
 public:
  Configset_ActivePIT() : OBPropInfoTemplate("Active", kActiveHelp, "bool", obkDefaultAccessWord()) {
    setAccess(OBAccessFlag::ExternalSet, false);
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    auto* block = static_cast<uint8_t*>(hbMalloc(1));
    *block = setOf(inst)->getActive() ? 1 : 0;
    return block;
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    if (!value) obk_t::throwNullValue("bool");
    setOf(inst)->setActive(*static_cast<const uint8_t*>(value) != 0);
  }
  void releaseValue(OBDatabaseClient*, OBInterface*, void* value) override { hbFree(value); }
};

bool isModelInstance(const OBInterface* inst) {
  return inst && std::strcmp(inst->getClass()->getName(), "Model") == 0;
}

// Detaches the set from its model the way the model's own "removeconfigset"
// does, by handle, when the model is a live top-level model.
void detachFromTopLevelModel(OBInterface* inst) {
  OBInterface* up = inst->getUp();
  if (!isModelInstance(up) || up->isBeingDestroyed() || !getOBIRoot() ||
      up->getUp() != getOBIRoot()) {
    return;
  }
  OBMethodInfo* remove = up->getClass()->getMethod("removeconfigset");
  if (!remove || remove->getMethodSignatures().size() < 2) return;
  void* ins[2] = {up, inst};
  void* outs[1] = {nullptr};
  int nOut = 0;
  remove->invoke(remove->getMethodSignatures()[1], nOut, outs, 2, ins);
}

}  // namespace

// --- the class -------------------------------------------------------------------

KStrConfigurationSetOBC::KStrConfigurationSetOBC() {
  setName("Configset");
  setClassQueries(false, true);
  addConstructorSignature(new OBMethodSignature({"PELLAM array"}));
  addProperty(new Configset_ActivePIT());
  addProperty(new Configset_NamePIT());
}

OBInterface* KStrConfigurationSetOBC::createInstance(OBDatabaseClient*, int, void* const[],
                                                     OBInterface*, int) {
  auto* set = new KStrConfigurationSet();
  auto* inst = new OBInterface(static_cast<KelborComponent*>(set), this);
  set->setOBI(inst);
  return inst;
}

bool KStrConfigurationSetOBC::isOkToDestroy(OBInterface* inst) {
  auto* set = dynamic_cast<KStrConfigurationSet*>(componentOf(inst));
  OBInterface* up = inst->getUp();
  if (!set || !set->getModel() || (up && up->isBeingDestroyed())) return true;
  return set->getName() != "default";
}

void KStrConfigurationSetOBC::destroyInstance(OBInterface* inst) {
  auto* set = dynamic_cast<KStrConfigurationSet*>(componentOf(inst));
  if (!set) return;
  // Nothing to detach when the model is going as well: it never reads its
  // sets again.
  OBInterface* up = inst->getUp();
  if (!(up && up->isBeingDestroyed())) {
    try {
      detachFromTopLevelModel(inst);
    } catch (const std::exception&) {
      // The direct detach below still keeps the model consistent.
    }
    // A set that is still attached (a nested model's, or one whose removal
    // was refused) leaves its model here.
    Kelbor* model = set->getModel();
    if (model && !model->isBeingDestroyed() && model->getConfigSet(set->getName()) == set) {
      model->removeConfigSet(set->getName());
    }
  }
  inst->setComponentObject(nullptr);
  delete set;
}

OBClass* getConfigsetOBClass() {
  static OBClass* cls = registerHostClass(new KStrConfigurationSetOBC());
  return cls;
}

KStrConfigurationSetApi* configSetOf(const OBInterface* instance) {
  if (!instance || !instance->isValid() ||
      std::strcmp(instance->getClass()->getName(), "Configset") != 0) {
    return nullptr;
  }
  return dynamic_cast<KStrConfigurationSet*>(componentOf(instance));
}
