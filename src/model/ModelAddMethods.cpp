// The Model methods that add components: compartments, events, rules,
// parameters, species (through the model's only compartment), reactions
// and sub-models.  Children are made through the object system by class
// name and wired below the model with the tree wiring.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <ks_utils/Errors.hpp>

#include "core/PropertyValuePairs.hpp"
#include "core/TreeWiring.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "kinetics/KineticLawOBC.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "model/ModelGlue.hpp"
#include "model/ModelMethods.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/ReactionManipulator.hpp"

using namespace kstr::model;
using Code = kstr::MessageCode;

namespace {

OBDatabaseClient* internalClient() { return OBDatabaseClient::getInternalClient(); }

[[noreturn]] void fail(const char* id, Code message) { kstr_error(id, kstr::code(message)); }

OBMethodSignature* addSignature() {
  auto* sig = new OBMethodSignature();
  sig->addArgument("handle");
  sig->addArgument("PELLAM array", true);
  sig->addOutput("handle");
  return sig;
}

// The host arrays of a call from index 1 on, at their own positions
// (index 0, the object, stays null).
std::vector<qxArray*> hostArrays(int nIn, void* const ins[]) {
  std::vector<qxArray*> arrays(static_cast<size_t>(nIn), nullptr);
  for (int i = 1; i < nIn; ++i) arrays[static_cast<size_t>(i)] = static_cast<qxArray*>(ins[i]);
  return arrays;
}

bool isText(const qxArray* a) { return a && qxIsChar(a) && (qxGetM(a) <= 1 || qxIsEmpty(a)); }

bool isCellOfTexts(const qxArray* a) {
  if (!a || !qxIsCell(a)) return false;
  for (size_t i = 0; i < qxGetNumberOfElements(a); ++i) {
    if (!isText(qxGetCell(a, i))) return false;
  }
  return true;
}

bool isSpeciesArray(const qxArray* a) {
  return a && qxIsHandleArray(a) && !qxIsEmpty(a) &&
         std::strcmp(qxGetClassName(a), "Kestrion.Species") == 0;
}

bool isSpeciesList(const qxArray* a) { return isText(a) || isCellOfTexts(a) || isSpeciesArray(a); }

bool isDoubleVector(const qxArray* a) {
  return a && qxIsDouble(a) && !qxIsEmpty(a) && (qxGetM(a) == 1 || qxGetN(a) == 1);
}

// A stoichiometry: a double row or column of finite values above zero.
bool isStoichiometry(const qxArray* a) {
  if (!isDoubleVector(a) || qxIsComplex(a)) return false;
  const double* values = qxGetPr(a);
  for (size_t i = 0; i < qxGetNumberOfElements(a); ++i) {
    if (!(values[i] > 0.0) || std::isinf(values[i])) return false;
  }
  return true;
}

size_t listLength(const qxArray* a) { return isText(a) ? 1 : qxGetNumberOfElements(a); }

// Makes a child of the class below the model through the object system.  A
// class that makes no instance raises the given creation error.
OBInterface* createChild(const char* className, OBInterface* model, int nIn, void* const ins[],
                         const char* errorId, Code error) {
  OBClass* cls = requireKestrionClass(className);
  std::vector<qxArray*> arrays = hostArrays(nIn, ins);
  OBInterface* child = nullptr;
  try {
    child = cls->createObject(internalClient(), model, nIn - 1, arrays.data() + 1);
  } catch (const ErrorIdException& e) {
    if (e.getIdentifier() != "obk:ConstructionFailed") throw;
  }
  if (!child) fail(errorId, error);
  return child;
}

void applyPairsOrRaise(OBInterface* instance, int nIn, int first, void* const ins[]) {
  std::vector<qxArray*> arrays = hostArrays(nIn, ins);
  const std::string error = applyPropertyValuePairs(instance, nIn, first, arrays.data());
  if (!error.empty()) {
    kstr_error_str("Kestrion:KSTR_INVALID_PVPAIR", kstr::code(Code::KS_INVALID_PVPAIR_MSG), error);
  }
}

}  // namespace

// --- addcompartment ---------------------------------------------------------------------

Model_addcompartment_MI::Model_addcompartment_MI() {
  setName("addcompartment");
  addMethodSignature(addSignature());
}

void Model_addcompartment_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int nIn,
                                     void* const ins[]) {
  if (nIn < 2) fail("Kestrion:MODEL_ADDCOMPARTMENT_TOO_FEW_ARGS", Code::KS_MODEL_ADDCOMPARTMENT_TOO_FEW_ARGS);
  nOut = 1;
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = modelOf(inst);
  if (!model) {
    fail("Kestrion:COMPARTMENT_ADDCOMPARTMENT_INVALID_FIRST_ARG",
          Code::KS_COMPARTMENT_ADDCOMPARTMENT_INVALID_FIRST_ARG);
  }
  if (!isText(arrayArg(ins, 1))) fail("Kestrion:COMPARTMENT_INVALID_NAME", Code::KS_COMPARTMENT_INVALID_NAME);
  const std::string name = qxArrayToTrimmedString(arrayArg(ins, 1));
  BCompartment::errorForInvalidNameStatic(name, nullptr);
  // The model's compartment vector lists the whole tree; its symbol table
  // answers the same question by name.
  if (model->isComponentNameInUse(name, kstr::compartment)) {
    fail("Kestrion:COMPARTMENT_DUPLICATE_NAME", Code::KS_COMPARTMENT_DUPLICATE_NAME);
  }
  CreatedInstance child(
      createChild("Compartment", inst, nIn, ins, "Kestrion:ADDCOMPARTMENT_ERROR", Code::KS_ADDCOMPARTMENT_ERROR));
  addCompartmentBelowModel(child.get(), inst);
  outs[0] = child.keep();
}

// --- addevent / addrule ------------------------------------------------------------------

Model_addExpressionChild_MI::Model_addExpressionChild_MI(const Family& family) : family_(family) {
  setName(family.methodName);
  addMethodSignature(addSignature());
}

void Model_addExpressionChild_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int nIn,
                                         void* const ins[]) {
  if (nIn < 2) kstr_error(family_.tooFewId, family_.tooFewCode);
  nOut = 1;
  OBInterface* inst = handleArg(ins, 0);
  if (!modelOf(inst)) kstr_error(family_.notModelId, family_.notModelCode);
  CreatedInstance child(createChild(family_.className, inst, nIn, ins, family_.creationId,
                                    static_cast<Code>(family_.creationCode)));
  family_.wire(child.get(), inst);
  outs[0] = child.keep();
}

Model_addevent_MI::Model_addevent_MI()
    : Model_addExpressionChild_MI(Family{
          "addevent", "Event", "Kestrion:ADDEVENT_TOOFEWARGS", kstr::code(Code::KS_ADDEVENT_TOOFEWARGS),
          "Kestrion:ADDEVENT_INVALID_FIRSTARG", kstr::code(Code::KS_ADDEVENT_INVALID_FIRSTARG),
          "Kestrion:ADDEVENT_ERROR", kstr::code(Code::KS_ADDEVENT_ERROR), &addEventBelowModel}) {}

Model_addrule_MI::Model_addrule_MI()
    : Model_addExpressionChild_MI(Family{
          "addrule", "Rule", "Kestrion:ADDRULE_TOOFEWARGS", kstr::code(Code::KS_ADDRULE_TOOFEWARGS),
          "Kestrion:ADDRULE_INVALID_FIRSTARG", kstr::code(Code::KS_ADDRULE_INVALID_FIRSTARG),
          "Kestrion:ADDRULE_ERROR", kstr::code(Code::KS_ADDRULE_ERROR), &addRuleBelowModel}) {}

// --- addparameter --------------------------------------------------------------------------

template <class Container>
ModelContainer_addparameter_MI<Container>::ModelContainer_addparameter_MI() {
  setName("addparameter");
  addMethodSignature(addSignature());
}

template <class Container>
void ModelContainer_addparameter_MI<Container>::invoke(OBMethodSignature*, int& nOut, void* outs[],
                                                       int nIn, void* const ins[]) {
  if (nIn < 2) fail("Kestrion:ADDPARAMETER_TOOFEWARGS", Code::KS_ADDPARAMETER_TOOFEWARGS);
  nOut = 1;
  OBInterface* inst = handleArg(ins, 0);
  if (!isText(arrayArg(ins, 1))) fail("Kestrion:ADDPARAMETER_INVALIDNAME", Code::KS_ADDPARAMETER_INVALIDNAME);
  const std::string name = qxArrayToTrimmedString(arrayArg(ins, 1));
  try {
    BParameter::errorForInvalidNameStatic(name, nullptr);
  } catch (const ErrorIdException&) {
    throw ErrorIdException("Kestrion:ADDPARAMETER_INVALIDNAME",
                           "Invalid Name. Name cannot be empty, contain brackets, or be 'time'.");
  }
  KelborComponent* container = componentOf(inst);
  switch (getKestrionObjectEnumType(inst)) {
    case kstr::kstrmodel:
      if (static_cast<Kelbor*>(container)->isComponentNameInUse(name, kstr::parameter)) {
        kstr_error("Kestrion:ADDPARAMETER_DUPLICATENAME", kstr::code(Code::KS_ADDPARAMETER_DUPLICATENAME),
                   name.c_str());
      }
      break;
    case kstr::kineticlaw:
      if (static_cast<BKineticLaw*>(container)->isParameterNameInUse(name)) {
        kstr_error("Kestrion:ADDPARAMETER_DUPLICATENAME", kstr::code(Code::KS_ADDPARAMETER_DUPLICATENAME),
                   name.c_str());
      }
      break;
    default:
      fail("Kestrion:ADDPARAMETER_INVALIDMOBJ", Code::KS_ADDPARAMETER_INVALIDMOBJ);
  }
  CreatedInstance child(
      createChild("Parameter", inst, nIn, ins, "Kestrion:ADDPARAMETER_ERROR", Code::KS_ADDPARAMETER_ERROR));
  if (getKestrionObjectEnumType(inst) == kstr::kineticlaw) {
    addParameterBelowKineticLaw(child.get(), inst);
  } else {
    attachParameterToModel(child.get(), inst);
  }
  outs[0] = child.keep();
}

template class ModelContainer_addparameter_MI<Kelbor>;
template class ModelContainer_addparameter_MI<BKineticLaw>;

// --- addspecies ------------------------------------------------------------------------------

Model_addspecies_MI::Model_addspecies_MI() {
  setName("addspecies");
  addMethodSignature(addSignature());
}

namespace {

// Holds a reference on the compartment a call is forwarded to.
class ForwardTarget {
 public:
  explicit ForwardTarget(OBInterface* target) : target_(target) { target_->getReference(); }
  ~ForwardTarget() { target_->releaseReference(); }
  ForwardTarget(const ForwardTarget&) = delete;
  ForwardTarget& operator=(const ForwardTarget&) = delete;
  OBInterface* get() const { return target_; }

 private:
  OBInterface* target_;
};

}  // namespace

void Model_addspecies_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int nIn,
                                 void* const ins[]) {
  if (nIn < 2) fail("Kestrion:ADDSPECIES_TOOFEWARGS", Code::KS_ADDSPECIES_TOOFEWARGS);
  nOut = 1;
  OBInterface* inst = handleArg(ins, 0);
  Kelbor* model = modelOf(inst);
  if (!model) fail("Kestrion:ADDSPECIES_INVALID_FIRSTARG", Code::KS_ADDSPECIES_INVALID_FIRSTARG);
  if (!isText(arrayArg(ins, 1))) fail("Kestrion:ADDSPECIES_INVALIDNAME", Code::KS_ADDSPECIES_INVALIDNAME);
  // None, one or several compartments in the tree, told without walking it.
  const kstrVector<BCompartment*>& top = *model->getCompartments();
  OBInterface* compartment = nullptr;
  if (top.empty()) {
    compartment = findOrAddCompartmentOBI(inst, "unnamed");
  } else if (top.size() > 1 || top.front()->getNumCompartments() > 0) {
    fail("Kestrion:MODEL_ADDSPECIES_MULTIPLE_COMPARTMENTS", Code::KS_MODEL_ADDSPECIES_MULTIPLE_COMPARTMENTS);
  } else {
    compartment = top.front()->getOBI();
  }
  if (!compartment) fail("Kestrion:ADDCOMPARTMENT_ERROR", Code::KS_ADDCOMPARTMENT_ERROR);
  ForwardTarget target(compartment);
  OBMethodInfo* add = target.get()->getClass()->getMethod("addspecies");
  if (!add || add->getMethodSignatures().empty()) {
    throw ErrorIdException("Kestrion:UnknownClass", "The class 'Compartment' has no method 'addspecies'.");
  }
  // The caller's arguments stay as they are: the forwarded call gets its own
  // list with the compartment in the model's place.
  std::vector<void*> forwarded(ins, ins + nIn);
  forwarded[0] = target.get();
  add->invoke(add->getMethodSignatures()[0], nOut, outs, nIn, forwarded.data());
}

// --- addreaction ---------------------------------------------------------------------------

Model_addreactioncomponent_MI::Model_addreactioncomponent_MI()
    : manipulator_(std::make_unique<ReactionManipulator>()) {
  setName("addreaction");
  addMethodSignature(addSignature());
}

Model_addreactioncomponent_MI::~Model_addreactioncomponent_MI() = default;

namespace {

// The checks of reactant and product lists (and stoichiometries, when
// given), in their fixed order.
void checkSpeciesLists(const qxArray* reactants, const qxArray* products, const qxArray* rstoich,
                       const qxArray* pstoich, bool withStoichiometry) {
  if (!isSpeciesList(reactants)) fail("Kestrion:ADDREACTION_INVALIDREACTANTS", Code::KS_ADDREACTION_INVALIDREACTANTS);
  if (!isSpeciesList(products)) fail("Kestrion:ADDREACTION_INVALIDPRODUCTS", Code::KS_ADDREACTION_INVALIDPRODUCTS);
  if (withStoichiometry) {
    if (!isStoichiometry(rstoich)) fail("Kestrion:ADDREACTION_INVALIDRSTOICH", Code::KS_ADDREACTION_INVALIDRSTOICH);
    if (!isStoichiometry(pstoich)) fail("Kestrion:ADDREACTION_INVALIDPSTOICH", Code::KS_ADDREACTION_INVALIDPSTOICH);
  }
  if (qxIsCell(reactants) && qxIsEmpty(reactants)) {
    fail("Kestrion:ADDREACTION_INVALIDREACTANTS", Code::KS_ADDREACTION_INVALIDREACTANTS);
  }
  if (qxIsCell(products) && qxIsEmpty(products)) {
    fail("Kestrion:ADDREACTION_INVALIDPRODUCTS", Code::KS_ADDREACTION_INVALIDPRODUCTS);
  }
  if (!withStoichiometry) return;
  if (listLength(reactants) != qxGetNumberOfElements(rstoich)) {
    fail("Kestrion:ADDREACTION_SIZEMISMATCH_REACTANTS", Code::KS_ADDREACTION_SIZEMISMATCH_REACTANTS);
  }
  if (listLength(products) != qxGetNumberOfElements(pstoich)) {
    fail("Kestrion:ADDREACTION_SIZEMISMATCH_PRODUCTS", Code::KS_ADDREACTION_SIZEMISMATCH_PRODUCTS);
  }
}

int countStructsAndObjects(int nIn, void* const ins[], int from) {
  int count = 0;
  for (int i = from; i < nIn; ++i) {
    const qxArray* a = arrayArg(ins, i);
    if (a && (qxIsStruct(a) || qxIsObject(a) || qxIsHandleArray(a))) ++count;
  }
  return count;
}

}  // namespace

// An error after the reaction was made destroys it again: nothing half made
// stays in the model.
void Model_addreactioncomponent_MI::invoke(OBMethodSignature*, int& nOut, void* outs[], int nIn,
                                           void* const ins[]) {
  if (nIn < 2) fail("Kestrion:ADDREACTION_TOOFEWARGS", Code::KS_ADDREACTION_TOOFEWARGS);
  nOut = 1;
  OBInterface* inst = handleArg(ins, 0);
  if (!modelOf(inst)) fail("Kestrion:ADDREACTION_INVALID_FIRSTARG", Code::KS_ADDREACTION_INVALID_FIRSTARG);
  const qxArray* second = arrayArg(ins, 1);
  if (!isSpeciesList(second)) fail("Kestrion:ADDREACTION_MOREINFO", Code::KS_ADDREACTION_MOREINFO);
  OBClass* cls = requireKestrionClass("Reaction");
  OBInterface* made = cls->createInstance(internalClient(), 0, nullptr, inst, 1);
  if (!made) fail("Kestrion:ADDREACTION_ERROR", Code::KS_ADDREACTION_ERROR);
  CreatedInstance child(made);
  auto* reaction = dynamic_cast<BReaction*>(componentOf(made));
  if (!reaction) fail("Kestrion:ADDREACTION_ERROR", Code::KS_ADDREACTION_ERROR);
  if (!reaction->getOBIParent()) addReactionBelowModel(made, inst);
  if (nIn == 2 && isText(second)) {
    manipulator_->setReactionFromString(reaction, qxArrayToStdString(second).c_str());
  } else if (nIn >= 3 && isDoubleVector(arrayArg(ins, 2))) {
    if (nIn < 5) fail("Kestrion:ADDREACTION_MOREINFO", Code::KS_ADDREACTION_MOREINFO);
    applyPairsOrRaise(made, nIn, 5, ins);
    checkSpeciesLists(second, arrayArg(ins, 3), arrayArg(ins, 2), arrayArg(ins, 4), true);
    manipulator_->setReactantsAndProducts(reaction, second, arrayArg(ins, 3), arrayArg(ins, 2),
                                          arrayArg(ins, 4));
  } else if ((nIn - countStructsAndObjects(nIn, ins, 2)) % 2 == 0) {
    applyPairsOrRaise(made, nIn, 2, ins);
    manipulator_->setReactionFromString(reaction, qxArrayToStdString(second).c_str());
  } else {
    applyPairsOrRaise(made, nIn, 3, ins);
    checkSpeciesLists(second, arrayArg(ins, 2), nullptr, nullptr, false);
    manipulator_->setReactantsAndProducts(reaction, second, arrayArg(ins, 2), nullptr, nullptr);
  }
  postChildAdded(inst, made, "reaction");
  outs[0] = child.keep();
}

// --- addmodel ------------------------------------------------------------------------------

Model_addmodel_MI::Model_addmodel_MI() {
  setName("addmodel");
  addMethodSignature(addSignature());
  byVector_ = new OBMethodSignature();
  byVector_->addArgument("handle vector");
  byVector_->addArgument("PELLAM array", true);
  byVector_->addOutput("handle");
  addMethodSignature(byVector_);
}

void Model_addmodel_MI::invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
                               void* const ins[]) {
  hb_warning_id(hbGetWarningContext(), "Kestrion:AddModelDeprecated",
                kstr::code(Code::KS_ADDMODEL_DEPRECATION_WARNING));
  if (nIn < 2) fail("Kestrion:ADDMODEL_TOOFEWARGS", Code::KS_ADDMODEL_TOOFEWARGS);
  OBInterface* inst = matched == byVector_ ? nullptr : handleArg(ins, 0);
  Kelbor* model = modelOf(inst);
  if (!model) fail("Kestrion:ADDMODEL_INVALID_FIRSTARG", Code::KS_ADDMODEL_INVALID_FIRSTARG);
  nOut = 1;
  if (!isText(arrayArg(ins, 1))) fail("Kestrion:ADDMODEL_INVALIDNAME", Code::KS_ADDMODEL_INVALIDNAME);
  const std::string name = qxArrayToTrimmedString(arrayArg(ins, 1));
  if (name.empty()) fail("Kestrion:ADDMODEL_INVALIDNAME", Code::KS_MODEL_INVALIDNAME);
  if (isNameInOBIVector(model->getOBIModels(), name)) {
    fail("Kestrion:ADDMODEL_DUPLICATENAME", Code::KS_ADDMODEL_DUPLICATENAME);
  }
  CreatedInstance child(createChild("Model", inst, 2, ins, "Kestrion:ADDMODEL_ERROR", Code::KS_ADDMODEL_ERROR));
  // The creation put the new model below the root; it moves below this one.
  makeSubModel(child.get(), inst);
  applyPairsOrRaise(child.get(), nIn, 2, ins);
  outs[0] = child.keep();
}
