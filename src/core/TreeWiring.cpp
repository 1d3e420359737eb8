#include "core/TreeWiring.hpp"

#include <cstddef>
#include <exception>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>

#include "core/JavaEventFactory.hpp"
#include "host/Host.hpp"
#include "host/HandleVector.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "kinetics/KineticLawOBC.hpp"
#include "kinetics/ParameterBindingIndex.hpp"
#include "model/Kelbor.hpp"
#include "model/ModelGlue.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"

namespace {

// The component behind the instance when it is of the kind, else null.
template <class T>
T* componentAs(OBInterface* instance, kstr::bcomptype kind) {
  KelborComponent* component = componentOf(instance);
  return component && component->getEnumType() == kind ? static_cast<T*>(component) : nullptr;
}

void postChildAdded(OBInterface* parent, OBInterface* child, const char* keyword) {
  if (const JavaEventFactory* factory = javaEventFactory()) {
    factory->postChildAddedEvent(parent, child, keyword);
  }
}

// Records what the host side of one wiring did, so that it can be taken
// back when the model layer refuses the child afterwards.  Membership of
// the parent's vectors is known from the component links (the child is
// not yet a member when a wiring starts), so no vector is searched.
class HostWiring {
 public:
  explicit HostWiring(OBInterface* child) : child_(child), previousUp_(child->getUp()) {}

  const OBInterface* child() const { return child_; }

  void below(OBInterface* parent) {
    child_->addBelow(parent);
    moved_ = true;
  }

  // Enters the instance in the vector the accessors reach (made when
  // missing) and takes the vector's external reference.  The accessors give
  // the vectors as held: entering and undoing go through the index alone.
  template <class Get, class Set>
  void enter(OBInterface* instance, Get get, Set set) {
    auto* vector = static_cast<Vector*>(get());
    if (!vector) {
      vector = newHandleVector();
      set(vector);
    }
    appendToHandleVector(instance, vector);
    instance->getExternalReference();
    entries_.push_back({instance, vector});
  }

  void recordParentHandle(KelborComponent* component, OBInterface* parentHandle) {
    parentHandles_.push_back({component, component->getOBIParent()});
    component->setOBIParent(parentHandle);
  }

  // Undoes everything recorded, latest first.
  void undo() {
    for (auto it = parentHandles_.rbegin(); it != parentHandles_.rend(); ++it) {
      it->first->setOBIParent(it->second);
    }
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
      removeFromHandleVector(it->first, it->second);
    }
    if (moved_) child_->addBelow(previousUp_);
  }

 private:
  OBInterface* child_;
  OBInterface* previousUp_;
  bool moved_ = false;
  std::vector<std::pair<OBInterface*, Vector*>> entries_;
  std::vector<std::pair<KelborComponent*, OBInterface*>> parentHandles_;
};

size_t failedRollbacks = 0;

// Called inside the handler of an error raised while a refused child was
// being taken back: counts it and warns with what it said.  The count comes
// first, since the warning itself may fail to allocate; nothing leaves.
void recordRollbackFailure(const OBInterface* child) noexcept {
  ++failedRollbacks;
  try {
    const std::string error = describeCurrentError();
    hb_warning_id(hbGetWarningContext(), "Kestrion:WiringRollbackFailed",
                  kstr::code(kstr::MessageCode::KS_WIRING_ROLLBACK_FAILED),
                  child->getClass()->getName(), error.c_str());
  } catch (...) {
  }
}

// Runs the model layer's part of a wiring.  When it raises, whatever the
// model layer took in before the raise is given back, the host side is
// taken back and the error passes on.  The first error is what the caller
// hears; a second one raised while giving back is recorded
// (recordRollbackFailure) and the host side is taken back all the same.
template <class Call, class Rollback>
void registerOrUndo(HostWiring& wiring, Call call, Rollback rollback) {
  try {
    call();
  } catch (...) {
    try {
      rollback();
    } catch (...) {
      recordRollbackFailure(wiring.child());
    }
    wiring.undo();
    throw;
  }
}

template <class Call>
void registerOrUndo(HostWiring& wiring, Call call) {
  registerOrUndo(wiring, call, [] {});
}

// A compartment tree may join the model when it belongs to no other model
// and none of its names is used by a compartment of the model or twice in
// the tree.
void checkCompartmentTreeCanJoin(const BCompartment& compartment, const Kelbor& model) {
  const KelborComponent* parent = compartment.getParent();
  if (parent && parent != &model) {
    kstr_error("Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL",
               kstr::code(kstr::MessageCode::KS_COMPARTMENT_INVALID_OWNER_SAME_MODEL));
  }
  kstrVector<const char*> names;
  names.push_back(compartment.getName().c_str());
  compartment.getNamesInTree(names);
  BCompartment::checkNamesCanJoin(names, model, "Kestrion:KS_COMPARTMENT_DUPLICATE_NAME");
}

// The host handle of the model that owns the compartment's instance in the
// host tree: the owner's recorded parent handle when it is a model's.
OBInterface* modelHandleOf(const BCompartment& owner) {
  OBInterface* handle = owner.getOBIParent();
  return componentAs<Kelbor>(handle, kstr::kstrmodel) ? handle : nullptr;
}

}  // namespace

size_t countFailedWiringRollbacks() { return failedRollbacks; }

std::string describeCurrentError() {
  try {
    throw;
  } catch (const ErrorIdException& e) {
    return e.getIdentifier() + ": " + e.getMessage();
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an error of unknown type";
  }
}


// --- species and compartments ---------------------------------------------------

void addSpeciesBelowCompartment(OBInterface* speciesInstance, OBInterface* compartmentInstance) {
  auto* species = componentAs<BSpecies>(speciesInstance, kstr::species);
  auto* compartment = componentAs<BCompartment>(compartmentInstance, kstr::compartment);
  if (!species || !compartment || species->getParent() == compartment) return;
  const std::string& name = species->getName();
  if (!name.empty() && compartment->isSpeciesNameInUse(name, species)) {
    kstr_error("Kestrion:SPECIES_DUPLICATENAME",
               kstr::code(kstr::MessageCode::KS_ADDSPECIES_DUPLICATENAME));
  }
  HostWiring wiring(speciesInstance);
  wiring.below(compartmentInstance);
  wiring.enter(
      speciesInstance, [&] { return compartment->heldOBISpecies(); },
      [&](Vector* v) { compartment->setOBISpecies(v); });
  wiring.recordParentHandle(species, compartmentInstance);
  KelborComponent* previousParent = species->getParent();
  registerOrUndo(
      wiring, [&] { compartment->addSpecies(species); },
      [&] {
        compartment->removeSpecies(species);
        species->setParent(previousParent);
      });
  postChildAdded(compartmentInstance, speciesInstance, "species");
}

void addCompartmentBelowModel(OBInterface* compartmentInstance, OBInterface* modelInstance) {
  auto* compartment = componentAs<BCompartment>(compartmentInstance, kstr::compartment);
  auto* model = componentAs<Kelbor>(modelInstance, kstr::kstrmodel);
  if (!compartment || !model || compartment->getParent() == model) return;
  checkCompartmentTreeCanJoin(*compartment, *model);
  // A free compartment that still has a (free) owner leaves it first.
  if (BCompartment* owner = compartment->getOwner()) {
    owner->removeCompartment(compartment);
    compartment->setOwnerField(nullptr);
  }
  HostWiring wiring(compartmentInstance);
  wiring.below(modelInstance);
  // Every compartment of the tree is in the model's compartment vector and
  // has the model's handle as parent handle.
  BCompartment::CompartmentList tree{compartment};
  compartment->getAllDescendantCompartments(&tree);
  for (BCompartment* member : tree) {
    if (!member->getOBI()) continue;
    wiring.enter(
        member->getOBI(), [&] { return model->getOBICompartments(); },
        [&](Vector* v) { model->setOBICompartments(v); });
  }
  model->setModelCompileNeeded();
  for (BCompartment* member : tree) wiring.recordParentHandle(member, modelInstance);
  registerOrUndo(
      wiring, [&] { model->addCompartment(compartment); },
      [&] {
        model->removeCompartment(compartment);
        for (BCompartment* member : tree) {
          member->setParent(nullptr);
          for (BSpecies* species : member->getSpecies()) species->setParent(member);
        }
      });
  postChildAdded(modelInstance, compartmentInstance, "compartment");
}

void addCompartmentBelowCompartment(OBInterface* compartmentInstance, OBInterface* ownerInstance) {
  auto* compartment = componentAs<BCompartment>(compartmentInstance, kstr::compartment);
  auto* owner = componentAs<BCompartment>(ownerInstance, kstr::compartment);
  if (!compartment || !owner) return;
  // The host side of a compartment already below its owner is complete.
  if (compartmentInstance->getUp() == ownerInstance) return;
  HostWiring wiring(compartmentInstance);
  wiring.below(ownerInstance);
  wiring.enter(
      compartmentInstance, [&] { return owner->getOBICompartments(); },
      [&](Vector* v) { owner->setOBICompartments(v); });
  if (OBInterface* modelInstance = modelHandleOf(*owner)) {
    auto* model = static_cast<Kelbor*>(componentOf(modelInstance));
    // A copied compartment may have joined the model's vector already (its
    // owner's addCompartmentHack does that).
    if (!handleVectorHolds(model->getOBICompartments(), compartmentInstance)) {
      wiring.enter(
          compartmentInstance, [&] { return model->getOBICompartments(); },
          [&](Vector* v) { model->setOBICompartments(v); });
    }
    model->setModelCompileNeeded();
    wiring.recordParentHandle(compartment, modelInstance);
    KelborComponent* previousParent = compartment->getParent();
    registerOrUndo(
        wiring, [&] { compartment->setParent(model); },
        [&] { compartment->setParent(previousParent); });
  }
  postChildAdded(ownerInstance, compartmentInstance, "compartment");
}

// --- rules, events, reactions and kinetic laws --------------------------------------

namespace {

// The common steps of a child entered in one of the model's vectors.
template <class Child, class Get, class Set, class Register, class Rollback>
void wireBelowModel(OBInterface* childInstance, Child* child, OBInterface* modelInstance,
                    Kelbor* model, Get get, Set set, const char* keyword, Register registry,
                    Rollback rollback) {
  HostWiring wiring(childInstance);
  wiring.below(modelInstance);
  wiring.enter(childInstance, get, set);
  model->setModelCompileNeeded();
  wiring.recordParentHandle(child, modelInstance);
  KelborComponent* previousParent = child->getParent();
  registerOrUndo(wiring, registry, [&] {
    rollback();
    child->setParent(previousParent);
  });
  if (keyword) postChildAdded(modelInstance, childInstance, keyword);
}

}  // namespace

void addRuleBelowModel(OBInterface* ruleInstance, OBInterface* modelInstance) {
  auto* rule = componentAs<BRule>(ruleInstance, kstr::rule);
  auto* model = componentAs<Kelbor>(modelInstance, kstr::kstrmodel);
  if (!rule || !model || rule->getParent() == model) return;
  wireBelowModel(
      ruleInstance, rule, modelInstance, model, [&] { return model->heldOBIRules(); },
      [&](Vector* v) { model->setOBIRules(v); }, "rule", [&] { model->addRule(rule); },
      [&] { model->deleteRule(rule); });
}

void addEventBelowModel(OBInterface* eventInstance, OBInterface* modelInstance) {
  auto* event = componentAs<BEvent>(eventInstance, kstr::event);
  auto* model = componentAs<Kelbor>(modelInstance, kstr::kstrmodel);
  if (!event || !model || event->getParent() == model) return;
  wireBelowModel(
      eventInstance, event, modelInstance, model, [&] { return model->heldOBIEvents(); },
      [&](Vector* v) { model->setOBIEvents(v); }, "event", [&] { model->addEvent(event); },
      [&] { model->deleteEvent(event); });
}

void addReactionBelowModel(OBInterface* reactionInstance, OBInterface* modelInstance) {
  auto* reaction = componentAs<BReaction>(reactionInstance, kstr::reaction);
  auto* model = componentAs<Kelbor>(modelInstance, kstr::kstrmodel);
  if (!reaction || !model || reaction->getParent() == model) return;
  const std::string& name = reaction->getName();
  if (!name.empty() && model->isComponentNameInUse(name, kstr::reaction)) {
    kstr_error("Kestrion:DuplicateReactionName",
               kstr::code(kstr::MessageCode::KS_DUPLICATE_REACTION_NAME));
  }
  wireBelowModel(
      reactionInstance, reaction, modelInstance, model,
      [&] { return model->heldOBIReactions(); }, [&](Vector* v) { model->setOBIReactions(v); },
      nullptr, [&] { model->addReaction(reaction); }, [&] { model->removeReaction(reaction); });
}

void addKineticLawBelowReaction(OBInterface* lawInstance, OBInterface* reactionInstance) {
  auto* law = componentAs<BKineticLaw>(lawInstance, kstr::kineticlaw);
  auto* reaction = componentAs<BReaction>(reactionInstance, kstr::reaction);
  if (!law || !reaction || reaction->getOBIKineticLaw() == lawInstance) return;
  HostWiring wiring(lawInstance);
  wiring.below(reactionInstance);
  wiring.recordParentHandle(law, reactionInstance);
  KelborComponent* previousParent = law->getParent();
  OBInterface* previousLaw = reaction->getOBIKineticLaw();
  registerOrUndo(
      wiring,
      [&] {
        law->setParent(reaction);
        reaction->setOBIKineticLaw(lawInstance);
        reaction->setKineticLaw(law);
      },
      [&] {
        reaction->setOBIKineticLaw(previousLaw);
        law->setParent(previousParent);
      });
  postChildAdded(reactionInstance, lawInstance, "kineticlaw");
}

// --- parameters ------------------------------------------------------------------------

namespace {

// A parameter below its container (a model or a kinetic law): the
// container's own name check first, then the host side, then the
// container's addParameter, undone with its removeParameter.
template <class Container, class Get, class Set>
void wireParameter(OBInterface* parameterInstance, BParameter* parameter,
                   OBInterface* containerInstance, Container* container, Get get, Set set) {
  // An empty name cannot clash; any other goes through the parameter's own
  // check against the container.
  if (!parameter->getName().empty()) {
    BParameter::errorForInvalidNameStatic(parameter->getName(), container, parameter);
  }
  HostWiring wiring(parameterInstance);
  wiring.below(containerInstance);
  wiring.enter(parameterInstance, get, set);
  wiring.recordParentHandle(parameter, containerInstance);
  KelborComponent* previousParent = parameter->getParent();
  registerOrUndo(
      wiring, [&] { container->addParameter(parameter); },
      [&] {
        container->removeParameter(parameter);
        parameter->setParent(previousParent);
      });
  postChildAdded(containerInstance, parameterInstance, "parameter");
}

}  // namespace

void attachParameterToModel(OBInterface* parameterInstance, OBInterface* modelInstance) {
  auto* parameter = componentAs<BParameter>(parameterInstance, kstr::parameter);
  auto* model = componentAs<Kelbor>(modelInstance, kstr::kstrmodel);
  if (!parameter || !model || parameter->getParent() == model) return;
  // Duplicates are found through the model's symbol table.
  wireParameter(
      parameterInstance, parameter, modelInstance, model, [&] { return model->heldOBIParameters(); },
      [&](Vector* v) { model->setOBIParameters(v); });
}

void addParameterBelowKineticLaw(OBInterface* parameterInstance, OBInterface* lawInstance) {
  auto* parameter = componentAs<BParameter>(parameterInstance, kstr::parameter);
  auto* law = componentAs<BKineticLaw>(lawInstance, kstr::kineticlaw);
  if (!parameter || !law || parameter->getParent() == law) return;
  wireParameter(
      parameterInstance, parameter, lawInstance, law,
      [&] { return static_cast<Vector*>(law->getOBIParameters()); },
      [&](Vector* v) { law->setOBIParameters(v); });
}

// --- mass-action kinetic laws ---------------------------------------------------------

namespace {

OBDataType* typeNamed(const char* name) { return OBTypeRepository::getType(name); }

}  // namespace

bool isParameterInMassActionKineticLaw(OBInterface* parameter, OBInterface* model) {
  if (!parameter || !model) return false;
  qxArray* laws = kstr::model::findByTypeMassAction(model);
  const size_t count = laws ? qxGetNumberOfElements(laws) : 0;
  bool found = false;
  try {
    if (count == 1) {
      OBDataType* handle = typeNamed("handle");
      auto* law = static_cast<OBInterface*>(handle->fromHost(laws));
      try {
        found = isParameterInKineticLaw(law, parameter);
      } catch (...) {
        handle->release(law);
        throw;
      }
      handle->release(law);
    } else if (count > 1) {
      OBDataType* handles = typeNamed("handle vector");
      auto* vector = static_cast<Vector*>(handles->fromHost(laws));
      try {
        for (int i = 0; i < vector->size() && !found; ++i) {
          found = isParameterInKineticLaw(vector->elementAt(i), parameter);
        }
      } catch (...) {
        handles->release(vector);
        throw;
      }
      handles->release(vector);
    }
  } catch (...) {
    qxDestroyArray(laws);
    throw;
  }
  qxDestroyArray(laws);
  return found;
}

bool isParameterUsedByMassActionLaw(OBInterface* parameter, OBInterface* model) {
  const KelborComponent* component = componentOf(parameter);
  if (!component || !model) return false;
  // Any class with a "KineticLawName" could match the host's "find".
  if (!onlyOwnClassesHaveProperty("KineticLawName", [](const OBClass* cls) {
        return dynamic_cast<const BKineticLawOBC*>(cls) != nullptr;
      })) {
    return isParameterInMassActionKineticLaw(parameter, model);
  }
  for (const BKineticLaw* law : kstr::ParameterBindingIndex::instance().lawsNaming(component->getName())) {
    OBInterface* lawInstance = law->getOBI();
    if (!lawInstance || law->getAbstractName() != "MassAction" || !isInstanceBelow(lawInstance, model)) {
      continue;
    }
    if (isParameterInKineticLaw(lawInstance, parameter)) return true;
  }
  return false;
}

bool isParameterInKineticLaw(OBInterface* kineticLaw, OBInterface* parameter) {
  if (!kineticLaw || !parameter) return false;
  OBMethodInfo* method = kineticLaw->getClass()->getMethod("getparameters");
  if (!method || method->getMethodSignatures().empty()) return false;
  void* ins[1] = {kineticLaw};
  void* outs[1] = {nullptr};
  int nOut = 1;
  method->invoke(method->getMethodSignatures().front(), nOut, outs, 1, ins);
  auto* parameters = static_cast<Vector*>(outs[0]);
  if (!parameters) return false;
  const bool found = parameters->indexOf(parameter) >= 0;
  // The answer holds one reference per element, given back with it.
  typeNamed("handle vector")->release(parameters);
  return found;
}
