#include "reactions/ReactionOBC.hpp"

#include <string>

#include <obk/OBInterface.hpp>
#include <obk/OBMethodInfo.hpp>
#include <obk/OBTypes.hpp>
#include <obk/Vector.hpp>
#include <obk/obk_t.hpp>

#include "core/Application.hpp"
#include "core/JavaEventFactory.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/ModelComponentProps.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "quantities/QuantityHostSupport.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/ExpressionComponentBindings.hpp"
#include "reactions/ReactionMethods.hpp"
#include "reactions/ReactionProperties.hpp"
#include "core/HostBoundary.hpp"

namespace {

void addProperties(OBClass& cls) {
  cls.addProperty(new HostGuarded<ExpressionBasedComponent_ActivePIT<BReaction>>());
  cls.addProperty(new HostGuarded<ModelComponent_AnnotationPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_AnnotationFullPIT>());
  cls.addProperty(new HostGuarded<ReactionComponent_FastThresholdPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_FullyQualifiedName_PIT>());
  cls.addProperty(new HostGuarded<ModelComponent_IDPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_NamePIT>());
  cls.addProperty(new HostGuarded<ModelComponent_NotesPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_ParentPIT>());
  cls.addProperty(new HostGuarded<ReactionComponent_ProductsPIT>());
  cls.addProperty(new HostGuarded<ReactionComponent_ReactantsPIT>());
  cls.addProperty(new HostGuarded<ReactionComponent_ReactionPIT>());
  cls.addProperty(new HostGuarded<ReactionComponent_ReactionRatePIT>());
  cls.addProperty(new HostGuarded<ReactionComponent_ReversiblePIT>());
  cls.addProperty(new HostGuarded<ReactionComponent_StoichiometryPIT>());
  cls.addProperty(new HostGuarded<ReactionComponent_KineticLawPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_TagPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_TypePIT>());
  cls.addProperty(new HostGuarded<ModelComponent_UserDataPIT>());
}

OBMethodInfo* newVerifyRateMethod() {
  auto* method = new HostGuarded<obk_t::OBKMethodFactory<BReaction, GetKelborCompClass<BReaction>>>("verifyrate");
  method->bind(new OBMethodSignature({"handle", "bool"}),
               [](BReaction* reaction, int&, void*[], int nIn, void* const ins[]) {
                 const bool check = nIn > 1 && ins[1] && *static_cast<const uint8_t*>(ins[1]);
                 reaction->verifyReactionRateSyntax(check);
               });
  return method;
}

void addMethods(OBClass& cls) {
  cls.addMethod(new HostGuarded<ReactionComponent_addKineticLaw_MI>());
  cls.addMethod(new HostGuarded<Reaction_addProduct_MI>());
  cls.addMethod(new HostGuarded<Reaction_addReactant_MI>());
  cls.addMethod(new HostGuarded<Reaction_copyobj_MI>());
  cls.addMethod(new HostGuarded<ModelComponent_copy_MI>());
  cls.addMethod(new HostGuarded<Reaction_display_MI>());
  cls.addMethod(new HostGuarded<ModelComponent_help_MI>());
  cls.addMethod(new HostGuarded<ReactionComponent_parseRateForElements_MI>());
  cls.addMethod(new HostGuarded<Reaction_rmProduct_MI>());
  cls.addMethod(new HostGuarded<Reaction_rmReactant_MI>());
  cls.addMethod(new HostGuarded<ExpressionBasedComponent_ResolveObject_MI<BReaction>>());
  cls.addMethod(new HostGuarded<Reaction_GetComponentUsageLocations_MI>());
  cls.addMethod(newVerifyRateMethod());
}

}  // namespace

BReactionOBC::BReactionOBC(const char* name, OBClass* superClass) {
  startComponentClass(*this, name, true, true);
  if (superClass) setSuperClass(superClass);
  addProperties(*this);
  addMethods(*this);
}

OBInterface* BReactionOBC::createInstance(OBDatabaseClient*, int, void* const[], OBInterface*,
                                          int) {
  OBInterface* instance = kstr::quantityhost::makeInstance(new BReaction(), this);
  kstr::quantityhost::postObjectCreated(instance, "reaction", "");
  return instance;
}

bool BReactionOBC::isOkToDestroy(OBInterface* inst) { return !isEnclosingModelRenaming(inst); }

void BReactionOBC::destroyInstance(OBInterface* inst) {
  auto* reaction = dynamic_cast<BReaction*>(componentOf(inst));
  if (!reaction) return;
  OBInterface* parent = reaction->getOBIParent();
  if (parent) {
    KelborComponent* parentComponent = componentOf(parent);
    if (parentComponent && parentComponent->getEnumType() == kstr::kstrmodel) {
      auto* model = static_cast<Kelbor*>(parentComponent);
      leaveOwnedHandleVector(parent, inst, model->heldOBIReactions());
      reaction->setModelCompileNeeded();
      model->removeReaction(reaction);
    }
  }
  if (const JavaEventFactory* factory = javaEventFactory()) {
    const std::string name = reaction->getName();
    factory->postObjectDestroyedEvent(parent, inst, "Reaction", name.c_str());
  }
  if (!parent) {
    if (auto* held = static_cast<Vector*>(reaction->getOBIReactants())) {
      for (OBInterface* element : held->elements()) {
        if (element) element->releaseReference();
      }
      deleteHandleVector(held);
      reaction->setOBIReactants(nullptr);
    }
  }
  inst->setComponentObject(nullptr);
  reaction->setOBI(nullptr);
  OBTypeRepository::getType("PELLAM array")->release(reaction->getUserData());
  reaction->setUserData(nullptr);
  delete reaction;
}

OBClass* getReactionOBClass() {
  static OBClass* cls = registerHostClass(new HostGuarded<BReactionOBC>("Reaction", nullptr));
  return cls;
}
