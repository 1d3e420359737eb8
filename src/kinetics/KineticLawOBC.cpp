// The class definition of "KineticLaw": its property table, creation entry,
// destroy hook and the replacement of a law's template.
#include "kinetics/KineticLawOBC.hpp"

#include <string>
#include <vector>

#include <ks_utils/Errors.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBTypes.hpp>
#include <obk/Vector.hpp>

#include "core/Application.hpp"
#include "core/ModelComponentOBC.hpp"
#include "core/ModelComponentProps.hpp"
#include "core/PropertyValuePairs.hpp"
#include "core/TreeWiring.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/BMassActionKineticLaw.hpp"
#include "kinetics/KineticLawMethods.hpp"
#include "kinetics/KineticLawProperties.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/QuantityHostSupport.hpp"
#include "reactions/BReaction.hpp"
#include "core/HostBoundary.hpp"

namespace qh = kstr::quantityhost;
using Code = kstr::MessageCode;

namespace {

BReaction* reactionOf(const BKineticLaw* law) {
  KelborComponent* parent = law->getParent();
  return parent && parent->getEnumType() == kstr::reaction ? static_cast<BReaction*>(parent) : nullptr;
}

// Takes the law off its reaction: the reaction keeps no law and no handle.
void detachFromReaction(BKineticLaw* law) {
  if (BReaction* reaction = reactionOf(law)) {
    reaction->setKineticLaw(nullptr);
    reaction->setOBIKineticLaw(nullptr);
  }
}

}  // namespace

const BAbstractKineticLaw* findAbstractKineticLawTemplate(const std::string& name) {
  BQuorvixRoot* root = BQuorvixRoot::getInstance();
  const int index = root->findLibraryIndex(2, name.c_str());
  return index < 0 ? nullptr : root->getLibrary(index)->findAbstractKineticLaw(name);
}

BKineticLaw* newKineticLawFor(const BAbstractKineticLaw* abstractLaw) {
  if (abstractLaw->getName() == "MassAction") return new BMassActionKineticLaw(abstractLaw);
  return new BKineticLaw(abstractLaw);
}

BKineticLaw* kineticLawBehind(const OBInterface* instance) {
  KelborComponent* component = componentOf(instance);
  if (!component || component->getEnumType() != kstr::kineticlaw) {
    throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  }
  return static_cast<BKineticLaw*>(component);
}

// --- the class ----------------------------------------------------------------------------

BKineticLawOBC::BKineticLawOBC() {
  startComponentClass(*this, "KineticLaw", true, false);
  setSuperClass(getModelComponentOBClass());
  addKineticLawProperties(*this);
  addKineticLawMethods(*this);
}

OBInterface* BKineticLawOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[],
                                            OBInterface* creator, int) {
  auto* const* args = reinterpret_cast<qxArray* const*>(argv);
  if (argc <= 0) return qh::makeInstance(new BKineticLaw(), this);
  const std::string name = qxArrayToStdString(args[0]);
  const BAbstractKineticLaw* abstractLaw = findAbstractKineticLawTemplate(name);
  if (!abstractLaw) {
    kstr_error("Kestrion:ADDKINETICLAW_INVALIDTYPEENUM", kstr::code(Code::KS_ADDKINETICLAW_INVALIDTYPEENUM),
               name.c_str());
  }
  BKineticLaw* law = newKineticLawFor(abstractLaw);
  OBInterface* instance = qh::makeInstance(law, this);
  qh::postObjectCreated(instance, "KineticLaw", "");
  try {
    if (creator) addKineticLawBelowReaction(instance, creator);
  } catch (...) {
    qh::discardNewInstance(instance);
    throw;
  }
  const std::string error = argc > 1 ? applyPropertyValuePairs(instance, argc, 1, args) : std::string();
  if (!error.empty()) {
    detachFromReaction(law);
    qh::discardNewInstance(instance);
    kstr_error_str("Kestrion:QUORV_INVALID_PVPAIR", kstr::code(Code::KS_INVALID_PVPAIR_MSG), error);
  }
  return instance;
}

void BKineticLawOBC::destroyInstance(OBInterface* inst) {
  auto* law = dynamic_cast<BKineticLaw*>(componentOf(inst));
  if (!law) return;
  BReaction* reaction = reactionOf(law);
  if (reaction && reaction->getOBIKineticLaw() == inst) detachFromReaction(law);
  qh::postObjectDestroyed(law->getOBIParent(), inst, "KineticLaw", law->getName().c_str());
  inst->setComponentObject(nullptr);
  law->setOBI(nullptr);
  qh::releaseUserData(law);
  deleteHandleVector(static_cast<Vector*>(law->getOBIParameters()));
  law->setOBIParameters(nullptr);
  delete law;
}

OBClass* getKineticLawOBClass() {
  static OBClass* cls = registerHostClass(new HostGuarded<BKineticLawOBC>());
  return cls;
}

// --- a new template --------------------------------------------------------------------------

void replaceKineticLawTemplate(OBInterface* instance, const char* name) {
  if (!name || !*name) {
    kstr_error("Kestrion:InvalidKineticLawName", kstr::code(Code::KS_KL_NAME_CANNOT_BE_EMPTY));
  }
  const BAbstractKineticLaw* abstractLaw = findAbstractKineticLawTemplate(name);
  if (!abstractLaw) kstr_error("Kestrion:InvalidKineticLawName", kstr::code(Code::KS_KL_DOES_NOT_EXIST), name);
  BKineticLaw* old = kineticLawBehind(instance);
  const kstrVector<BParameter*> parameters = *old->getParameters();
  BKineticLaw* fresh = newKineticLawFor(abstractLaw);
  try {
    // Leaves the old law as it was when it fails (its UserData moves last).
    old->moveComponentStateTo(*fresh);
  } catch (...) {
    delete fresh;
    throw;
  }
  BReaction* reaction = reactionOf(old);
  Kelbor* model = old->getModelGlobalData() ? old->getModelGlobalData()->model : nullptr;
  // The parameters leave the old law's model entry before the new law
  // takes them in.
  if (model) {
    for (BParameter* parameter : parameters) model->componentRemoved(parameter);
  }
  instance->setComponentObject(static_cast<KelborComponent*>(fresh));
  fresh->setOBI(instance);
  fresh->setOBIParameters(old->getOBIParameters());
  old->setOBIParameters(nullptr);
  old->setOBI(nullptr);
  if (reaction) {
    fresh->setOBIParent(reaction->getOBI());
    reaction->setKineticLaw(fresh);
  }
  for (BParameter* parameter : parameters) {
    parameter->setOBIParent(instance);
    fresh->addParameter(parameter);
  }
  delete old;
}
