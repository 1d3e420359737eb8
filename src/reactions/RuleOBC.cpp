// The class definition of "Rule": the rule-type enumeration, the property
// table, the creation entry, the destroy hook and the rule's own property
// infos.
#include "reactions/RuleOBC.hpp"

#include <cstdint>
#include <string>

#include <hb/hb.hpp>
#include <ks_utils/Errors.hpp>
#include <obk/OBDatabaseClient.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBMethodInfo.hpp>
#include <obk/OBTypes.hpp>
#include <obk/obk_t.hpp>
#include <qx/qx.hpp>

#include "core/Application.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/ModelComponentProps.hpp"
#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/QuantityHostSupport.hpp"
#include "reactions/BRule.hpp"
#include "reactions/ExpressionComponentBindings.hpp"
#include "reactions/ExpressionHostSupport.hpp"
#include "reactions/RuleMethods.hpp"
#include "core/HostBoundary.hpp"

namespace eh = kstr::expressionhost;
namespace qh = kstr::quantityhost;

namespace {

using kstr::MessageCode;
using kstr::ebcbinding::requireComponent;

constexpr const char* kRuleTypeEnum = "QuorvixRuleTypeEnumType";

const char kRuleHelp[] =
    "Rule is a PELLAM expression that defines the change in the species \n"
    "   object quantity or a parameter object Value when the Rule is evaluated.\n"
    " \n"
    "   For example, a rule could state that the total number of species A and \n"
    "   species B must be some value.";
const char kRuleTypeHelp[] =
    "RuleType indicates the type of rule defined by the rule object.\n"
    "   Rule is a PELLAM expression that defines the change in the species\n"
    "   object quantity or a parameter object Value when the Rule is evaluated.\n"
    "   For example, a rule could state that the total number of species A and\n"
    "   species B must be some value.\n"
    " \n"
    "   There are three kinds of rules: algebraic, assignment and rate.\n"
    "   An algebraic rule is evaluated continuously during the simulation; it\n"
    "   is of the form 0 = Expression and is given as the Expression.\n"
    "   An assignment rule is evaluated once at the start of the simulation;\n"
    "   it is given as Variable = Expression.\n"
    "   A rate rule is evaluated continuously during the simulation; it is of\n"
    "   the form dVariable/dt = Expression and is given as\n"
    "   Variable = Expression.";

// The values of the enumeration, in the order they are added.
const struct {
  const char* name;
  int value;
} kRuleTypes[] = {
    {"algebraic", BRule::algebraic},
    {"assignment", BRule::assignment},
    {"rate", BRule::rate},
    {"initialAssignment", BRule::initialAssignment},
    {"repeatedAssignment", BRule::repeatedAssignment},
};

const EnumStringType* ruleTypeEnum() {
  registerRuleTypeEnum();
  return static_cast<const EnumStringType*>(OBTypeRepository::getType(kRuleTypeEnum, true));
}

OBMethodInfo* newVerifyExpressionMethod() {
  auto* method =
      new HostGuarded<obk_t::OBKMethodFactory<BRule, GetKelborCompClass<BRule>>>("verifyexpression");
  method->bind(new OBMethodSignature({"handle"}),
               [](BRule* rule, int&, void*[], int, void* const[]) { rule->verifyRuleSyntax(false); });
  return method;
}

void addProperties(OBClass& cls) {
  cls.addProperty(new HostGuarded<ExpressionBasedComponent_ActivePIT<BRule>>());
  cls.addProperty(new HostGuarded<ModelComponent_AnnotationPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_AnnotationFullPIT>());
  cls.addProperty(newIDPropInfo());
  cls.addProperty(new HostGuarded<ModelComponent_FullyQualifiedName_PIT>());
  cls.addProperty(newNamePropInfo());
  cls.addProperty(newNotesPropInfo());
  cls.addProperty(newParentPropInfo());
  cls.addProperty(new HostGuarded<Rule_RulePIT>());
  cls.addProperty(new HostGuarded<Rule_RuleTypePIT>());
  cls.addProperty(newTagPropInfo());
  cls.addProperty(new HostGuarded<ModelComponent_TypePIT>());
  cls.addProperty(new HostGuarded<ModelComponent_UserDataPIT>());
}

void addMethods(OBClass& cls) {
  cls.addMethod(new HostGuarded<Rule_copyobj_MI>());
  cls.addMethod(new HostGuarded<ModelComponent_copy_MI>());
  cls.addMethod(new HostGuarded<Rule_display_MI>());
  cls.addMethod(new HostGuarded<ExpressionBasedComponent_ResolveObject_MI<BRule>>());
  cls.addMethod(new HostGuarded<Rule_GetComponentUsageLocations_MI>());
  cls.addMethod(new HostGuarded<Rule_parseRule_MI>());
  cls.addMethod(new HostGuarded<ModelComponent_help_MI>());
  cls.addMethod(newVerifyExpressionMethod());
}

}  // namespace

// --- the enumeration ----------------------------------------------------------------------

void registerRuleTypeEnum() {
  if (OBTypeRepository::getType(kRuleTypeEnum, true)) return;
  auto* type = new EnumStringType(kRuleTypeEnum);
  for (const auto& row : kRuleTypes) type->addEnumValue(row.name, row.value);
  if (!OBTypeRepository::addType(type)) delete type;
}

bool ruleTypeFromArray(const qxArray* array, int& type) {
  if (!array || !qxIsChar(array)) return false;
  const std::string text = qxArrayToStdString(array);
  return ruleTypeEnum()->getEnumValue(text.c_str(), type);
}

bool isRuleTypeName(const qxArray* array) {
  int type = 0;
  return ruleTypeFromArray(array, type);
}

// --- the class ----------------------------------------------------------------------------

BRuleOBC::BRuleOBC() {
  startComponentClass(*this, "Rule", true, true);
  addProperties(*this);
  addMethods(*this);
}

OBInterface* BRuleOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[],
                                      OBInterface*, int) {
  auto* const* args = reinterpret_cast<qxArray* const*>(argv);
  if (argc <= 0) return qh::makeInstance(new BRule(), this);
  // Everything that can refuse the arguments runs before the rule exists.
  if (!qh::isText(args[0])) {
    qh::raise("Kestrion:KSTRRULE_INVALID_FIRSTARG", MessageCode::KS_QUORVRULE_INVALID_FIRSTARG);
  }
  const std::string text = qxArrayToStdString(args[0]);
  BRule::errorForInvalidRule(text.c_str());
  int type = BRule::algebraic;
  const bool typed = argc >= 2 && ruleTypeFromArray(args[1], type);
  if (argc == 2 && !typed) {
    qh::raise("Kestrion:KSTRRULE_INVALID_SECONDARG", MessageCode::KS_RULE_INVALID_RULE_TYPE);
  }
  auto* rule = new BRule(text.c_str());
  OBInterface* instance = qh::makeInstance(rule, this);
  qh::postObjectCreated(instance, "Rule", "");
  if (typed) eh::completeOrDiscard(instance, [&] { rule->setRuleType(&type); });
  eh::applyPairsOrDiscard(instance, argc, typed ? 2 : 1, args);
  return instance;
}

void removeRuleFromModel(OBInterface* instance) {
  eh::removeFromModel<BRule>(instance, &Kelbor::heldOBIRules, &Kelbor::deleteRule);
}

bool BRuleOBC::isOkToDestroy(OBInterface* inst) { return !isEnclosingModelRenaming(inst); }

void BRuleOBC::destroyInstance(OBInterface* inst) {
  eh::destroyInstance<BRule>(inst, "Rule", &removeRuleFromModel);
}

OBClass* getRuleOBClass() {
  static OBClass* cls = [] {
    registerRuleTypeEnum();
    return registerHostClass(new HostGuarded<BRuleOBC>());
  }();
  return cls;
}

// --- properties -------------------------------------------------------------------------------

Rule_RulePIT::Rule_RulePIT() { kstr::ebcbinding::describeProperty(*this, "Rule", "string", kRuleHelp, true); }

void* Rule_RulePIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return hostTextCopy(requireComponent<BRule>(inst)->getRule().c_str());
}

void Rule_RulePIT::setValue(OBDatabaseClient* client, OBInterface* inst, void* value) {
  BRule* rule = requireComponent<BRule>(inst);
  const auto* text = static_cast<const char*>(value);
  // A copy of a rule that never had a text carries the empty one over.
  const bool copiesEmptyRule = client == OBDatabaseClient::getInternalClient() && text &&
                               *text == '\0' && rule->getRule().empty();
  if (copiesEmptyRule) return;
  rule->setRule(text);
  const std::string now = rule->getRule();
  notifyPropertyPostSet(inst, "Rule", now.c_str());
}

void Rule_RulePIT::releaseValue(OBDatabaseClient*, OBInterface*, void* value) { hbFree(value); }

Rule_RuleTypePIT::Rule_RuleTypePIT() {
  registerRuleTypeEnum();
  kstr::ebcbinding::describeProperty(*this, "RuleType", kRuleTypeEnum, kRuleTypeHelp, true);
}

void* Rule_RuleTypePIT::getValue(OBDatabaseClient*, OBInterface* inst) {
  return requireComponent<BRule>(inst)->getRuleType();
}

void Rule_RuleTypePIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  if (!value) return;
  const int type = *static_cast<const int32_t*>(value);
  requireComponent<BRule>(inst)->setRuleType(&type);
}
