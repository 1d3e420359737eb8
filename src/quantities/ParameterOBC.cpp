// The class definition of "Parameter": its property table, creation entry,
// delete guard, destroy hook and the removal from the parent.
#include "quantities/ParameterOBC.hpp"

#include <string>

#include <ks_utils/Errors.hpp>
#include <ks_utils/StringHelpers.hpp>

#include "core/Application.hpp"
#include "core/PropertyValuePairs.hpp"
#include "core/TreeWiring.hpp"
#include "host/Host.hpp"
#include "host/HandleVector.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/QuantityCopy.hpp"
#include "core/HostBoundary.hpp"

namespace qh = kstr::quantityhost;

namespace {

using P = PropFlags;
constexpr uint32_t kSettable = P::Settable;

const char kConstantValueHelp[] =
    "Property to indicate if the value of a parameter can change during\n"
    "   a simulation. Enter either true (value is constant) or false (value can \n"
    "   change).\n"
    " \n"
    "   The value of the parameter can change during a simulation by specifying\n"
    "   a rule that changes the Value property of the parameter object.";
const char kValueHelp[] =
    "Value is the value of the parameter object. The parameter \n"
    "   object defines an assignment that can be used by the model object \n"
    "   and/or the kinetic law object.";
const char kValueUnitsHelp[] =
    "Indicates the unit definition of the parameter object Value property.\n"
    "   ValueUnits can be one of the predefined units, which the KSTRSHOWUNITS\n"
    "   function lists. Changing ValueUnits does not convert the Value; the\n"
    "   KSTRCONVERTUNITS function does that conversion.";

using kstr::quantityhost::raise;

// One argument: no value.  Two: the second is the value.  Three or more:
// the second is the value when it is a 1-by-1 double, else the pairs start
// there.  A value argument that is not a 1-by-1 double is refused.
qh::LeadingNumber readValueArgument(int argc, qxArray* const args[]) {
  return qh::readLeadingNumber(
      argc, args, [](bool scalar, double) { return scalar; },
      [](bool scalar, double) { return scalar; }, "Kestrion:KSTRPARAMETER_INVALIDVALUE",
      kstr::MessageCode::KS_QUORVPARAMETER_INVALIDVALUE);
}

using kstr::quantityhost::makeInstance;

BParameter* parameterBehind(OBInterface* inst) {
  return kstr::quantityhost::componentBehind<BParameter>(inst, kstr::parameter);
}

}  // namespace

// --- the class -------------------------------------------------------------------

BParameterOBC::BParameterOBC() {
  startComponentClass(*this, "Parameter", true, true);
  addProperty(new HostGuarded<ModelComponent_AnnotationPIT>());
  addProperty(new HostGuarded<ModelComponent_AnnotationFullPIT>());
  addProperty(new HostGuarded<Parameter_ConstantValuePIT>());
  addProperty(new HostGuarded<ModelComponent_IDPIT>());
  addProperty(new HostGuarded<ModelComponent_FullIdPathToTopModel_PIT>());
  addProperty(new HostGuarded<Parameter_FullyQualifiedName_PIT>());
  addProperty(new HostGuarded<Parameter_NamePIT>());
  addProperty(new HostGuarded<ModelComponent_NotesPIT>());
  addProperty(new HostGuarded<ModelComponent_ParentPIT>());
  addProperty(new HostGuarded<ModelComponent_TagPIT>());
  addProperty(new HostGuarded<ModelComponent_TypePIT>());
  addProperty(new HostGuarded<Quantity_UserDataPIT>());
  addProperty(new HostGuarded<Parameter_ValuePIT>());
  addProperty(new HostGuarded<Parameter_ValueUnitsPIT>());
  addProperty(new HostGuarded<ModelComponent_PartiallyQualifiedNamePIT>());
  addProperty(new HostGuarded<ModelComponent_DisplayQualifiedNamePIT>());
  addProperty(newInUseCountPropInfo());
  addMethod(new HostGuarded<Parameter_display_MI>());
  addMethod(new HostGuarded<ModelComponent_help_MI>());
  addMethod(new HostGuarded<Parameter_copyobj_MI>());
  addMethod(new HostGuarded<ModelComponent_copy_MI>());
  addMethod(new HostGuarded<ModelComponent_getUsages_MI>());
  addMethod(new HostGuarded<ModelComponent_Rename_MI>());
  addMethod(new HostGuarded<BParameter_PrivateIsValidUnit_MI>());
}

OBInterface* BParameterOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[],
                                           OBInterface*, int) {
  auto* const* args = reinterpret_cast<qxArray* const*>(argv);
  if (argc <= 0) return makeInstance(new BParameter(), this);
  if (!qh::isText(args[0])) {
    raise("Kestrion:KSTRPARAMETER_INVALIDNAME", kstr::MessageCode::KS_QUORVPARAMETER_INVALIDNAME);
  }
  const qh::LeadingNumber value = readValueArgument(argc, args);
  const std::string name = qxArrayToTrimmedString(args[0]);
  BParameter::errorForInvalidNameStatic(name, nullptr);

  auto* parameter = new BParameter();
  OBInterface* instance = makeInstance(parameter, this);
  qh::postObjectCreated(instance, "Parameter", name.c_str());
  try {
    parameter->setName(name);
    if (value.present) parameter->setInitialValue(value.value);
  } catch (...) {
    qh::discardNewInstance(instance);
    throw;
  }
  const std::string error = applyPropertyValuePairs(instance, argc, value.pairsStart, args);
  if (!error.empty()) {
    removeParameterFromParent(instance);
    qh::discardNewInstance(instance);
    kstr_error_str("Kestrion:KSTR_INVALID_PVPAIR",
                   kstr::code(kstr::MessageCode::KS_INVALID_PVPAIR_MSG), error);
  }
  return instance;
}

bool BParameterOBC::isOkToDestroy(OBInterface* inst) {
  if (qh::isBeingDiscarded(inst) || qh::isTreeBeingDestroyed(inst)) return true;
  if (isEnclosingModelRenaming(inst)) return false;
  const KelborComponent* parameter = componentOf(inst);
  if (!parameter || !parameter->getOBIParent()) return true;
  OBInterface* top = qh::topAncestorBelowRoot(inst);
  if (!top || top->isBeingDestroyed()) return true;
  if (!isParameterUsedByMassActionLaw(inst, top)) return true;
  hb_warning_id(hbGetWarningContext(), "Kestrion:DELETE_PARAMETER_BEING_USED",
                kstr::code(kstr::MessageCode::KS_DELETE_PARAMETER_BEING_USED));
  return false;
}

void BParameterOBC::destroyInstance(OBInterface* inst) {
  auto* parameter = static_cast<BParameter*>(componentOf(inst));
  if (!parameter) return;
  // The configuration sets of the top-level model (sub-models have none)
  // stop logging it and drop it from their sensitivity lists.
  if (Kelbor* model = getTopLevelModel(inst)) model->removeStateFromConfigSets(inst, parameter);
  OBInterface* parent = parameter->getOBIParent();
  removeParameterFromParent(inst);
  qh::postObjectDestroyed(parent, inst, "Parameter", parameter->getName().c_str());
  inst->setComponentObject(nullptr);
  parameter->setOBI(nullptr);
  qh::releaseUserData(parameter);
  delete parameter;
}

OBClass* getParameterOBClass() {
  static OBClass* cls = registerHostClass(new HostGuarded<BParameterOBC>());
  return cls;
}

void removeParameterFromParent(OBInterface* instance) {
  KelborComponent* component = componentOf(instance);
  if (!component || component->getEnumType() != kstr::parameter) return;
  auto* parameter = static_cast<BParameter*>(component);
  if (!parameter->getOBIParent()) return;
  KelborComponent* parent = parameter->getParent();
  if (parent && parent->getEnumType() == kstr::kineticlaw) {
    auto* law = static_cast<BKineticLaw*>(parent);
    auto* vector = static_cast<Vector*>(law->getOBIParameters());
    leaveOwnedHandleVector(parameter->getOBIParent(), instance, vector);
    law->setOBIParameters(vector);
    law->removeParameter(parameter);
  } else if (parent && parent->getEnumType() == kstr::kstrmodel) {
    auto* model = static_cast<Kelbor*>(parent);
    Vector* vector = model->heldOBIParameters();
    // The model's list has the order of its handle vector.
    const int position = handleVectorPosition(vector, instance);
    leaveOwnedHandleVector(parameter->getOBIParent(), instance, vector);
    model->setOBIParameters(vector);
    model->removeParameter(parameter, position);
  }
  parameter->setOBIParent(nullptr);
}

// --- properties --------------------------------------------------------------------

Parameter_ConstantValuePIT::Parameter_ConstantValuePIT()
    : OBKFactoryPropInfoWithRelease([](BParameter* p) { return p->getConstantValue(); },
                                    [](BParameter* p, bool v) {
                                      p->setConstantValue(v);
                                      p->setModelCompileNeeded();
                                    },
                                    "ConstantValue", kConstantValueHelp, kSettable) {}

Parameter_ValuePIT::Parameter_ValuePIT()
    : OBKFactoryPropInfoWithRelease([](BParameter* p) { return p->getInitialValue(); },
                                    [](BParameter* p, double v) { p->setInitialValue(v); },
                                    "Value", kValueHelp, kSettable) {}

Parameter_ValueUnitsPIT::Parameter_ValueUnitsPIT()
    : OBKFactoryPropInfoWithRelease([](BParameter* p) { return p->getUnits(); },
                                    [](BParameter* p, const std::string& v) { p->setUnits(v); },
                                    "ValueUnits", kValueUnitsHelp, kSettable) {}

Parameter_NamePIT::Parameter_NamePIT() = default;

void Parameter_NamePIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  BParameter* parameter = parameterBehind(inst);
  std::string name = makeStringFromCString(static_cast<const char*>(value));
  STDStringHelpers::trimWhitespace(name);
  parameter->errorForInvalidName(name, parameter->getParent());
  parameter->setName(name);
}
