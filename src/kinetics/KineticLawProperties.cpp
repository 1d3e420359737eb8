#include "kinetics/KineticLawProperties.hpp"

#include <set>
#include <string>

#include <ks_utils/Errors.hpp>
#include <obk/OBClass.hpp>
#include <obk/OBDatabaseClient.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBTypes.hpp>
#include <obk/Vector.hpp>

#include "core/ModelComponentProps.hpp"
#include "core/TreeWiring.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "kinetics/BLibrary.hpp"
#include "kinetics/KineticLawOBC.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BParameter.hpp"
#include "reactions/BReaction.hpp"
#include "core/HostBoundary.hpp"

using Code = kstr::MessageCode;

namespace {

const char kExpressionHelp[] =
    "Property that contains the expression that is used to determine\n"
    "   the ReactionRate property of the reaction object. The expression comes\n"
    "   from the abstract kinetic law, a mapping template defined by an\n"
    "   expression with species variables and parameter variables. The\n"
    "   ReactionRate results from mapping SpeciesVariableNames to\n"
    "   SpeciesVariables and ParameterVariableNames to ParameterVariables.";
const char kKineticLawNameHelp[] =
    "Property showing the name of the Abstract Kinetic Law used by\n"
    "   the kinetic law object. The abstract kinetic law is defined by an\n"
    "   expression (Expression), species variables (SpeciesVariables) and\n"
    "   parameter variables (ParameterVariables).";
const char kParametersHelp[] =
    "Property to indicate the parameters in a Model, or Kinetic Law\n"
    "   object. Parameters have a hierarchical scope: a parameter whose parent\n"
    "   is a kinetic law is used only by that kinetic law; one whose parent is\n"
    "   a model is used by every component of the model. Add parameters with\n"
    "   ADDPARAMETER and remove them with DELETE.";
const char kParameterVariablesHelp[] =
    "Property showing parameter variables that are used in the\n"
    "   Expression property of the kinetic law object to determine the\n"
    "   ReactionRate equation in the reaction object.";
const char kParameterVariableNamesHelp[] =
    "Property showing the parameters used by the kinetic law\n"
    "   object to determine the ReactionRate equation in the reaction\n"
    "   object. Use SETPARAMETER to assign ParameterVariableNames. Each name is\n"
    "   mapped onto the ParameterVariables entry at the same position.";
const char kSpeciesVariablesHelp[] =
    "Property showing species variables that are used in the \n"
    "   Expression property of the kinetic law object to determine the\n"
    "   ReactionRate equation in the reaction object.";
const char kSpeciesVariableNamesHelp[] =
    "Property showing the species used by the kinetic law \n"
    "   object to determine the ReactionRate equation in the reaction\n"
    "   object. Use SETSPECIES to assign SpeciesVariableNames. Each name is\n"
    "   mapped onto the SpeciesVariables entry at the same position.";

// The n-by-1 cell of the names of every library law, built-in first.
qxArray* libraryLawNames() {
  BQuorvixRoot* root = BQuorvixRoot::getInstance();
  const auto& builtin = root->getLibrary(0)->getAbstractKineticLaws();
  const auto& user = root->getLibrary(1)->getAbstractKineticLaws();
  qxArray* cell = qxCreateCellMatrix(builtin.size() + user.size(), 1);
  size_t i = 0;
  for (const auto* list : {&builtin, &user}) {
    for (const BAbstractKineticLaw* law : *list) qxSetCell(cell, i++, qxCreateString(law->getName().c_str()));
  }
  return cell;
}

const char* lawNameTypeName() {
  static const char* name = [] {
    const char* typeName = "KStrAKLEnumStrings";
    if (!OBTypeRepository::getType(typeName)) {
      OBTypeRepository::addType(new OverrideStringType(typeName, &libraryLawNames));
    }
    return typeName;
  }();
  return name;
}

void describe(OBPropInfo& prop, const char* name, const char* type, const char* help) {
  prop.setName(name);
  prop.setDescription(help);
  prop.setDataType(type);
}

class KL_ExpressionPIT : public OBPropInfoTemplate {
 public:
  KL_ExpressionPIT() { describe(*this, "Expression", "string", kExpressionHelp); }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    return const_cast<char*>(kineticLawBehind(inst)->getExpression());
  }
};

class KL_KineticLawNamePIT : public OBPropInfoTemplate {
 public:
  KL_KineticLawNamePIT() { describe(*this, "KineticLawName", lawNameTypeName(), kKineticLawNameHelp); }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    return const_cast<char*>(kineticLawBehind(inst)->getAbstractName().c_str());
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    replaceKineticLawTemplate(inst, static_cast<const char*>(value));
  }
};

class KineticLaw_ParametersPIT : public OBPropInfoTemplate {
 public:
  KineticLaw_ParametersPIT() {
    describe(*this, "Parameters", "handle vector", kParametersHelp);
    setAccess(OBAccessFlag::ExternalSet, false);
    setAccess(OBAccessFlag::Copied, false);
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    auto* vector = static_cast<Vector*>(kineticLawBehind(inst)->getOBIParameters());
    return vector && vector->size() > 0 ? vector : nullptr;
  }
  // Every element must be a parameter with no parent or this law as
  // parent, and the names of those that join must be free in the law and
  // differ among themselves; everything is checked before the first one
  // joins.  Each joins the law in order (those already there stay).
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    const BKineticLaw* law = kineticLawBehind(inst);
    const auto* parameters = static_cast<const Vector*>(value);
    if (!parameters) return;
    std::set<const OBInterface*> joining;
    std::set<std::string> names;
    for (const OBInterface* p : parameters->elements()) {
      const KelborComponent* c = componentOf(p);
      if (!c || c->getEnumType() != kstr::parameter || (p->getUp() && p->getUp() != inst)) {
        throw ErrorIdException("Kestrion:InvalidPropertyValue",
                               "Each element of Parameters must be a Kestrion parameter object that "
                               "belongs to no other container.");
      }
      if (c->getParent() == law || !joining.insert(p).second || c->getName().empty()) continue;
      BParameter::errorForInvalidNameStatic(c->getName(), law, static_cast<const BParameter*>(c));
      if (!names.insert(c->getName()).second) {
        kstr_error("Kestrion:PARAMETER_DUPLICATENAME", kstr::code(Code::KS_PARAMETER_DUPLICATENAME));
      }
    }
    for (OBInterface* p : parameters->elements()) addParameterBelowKineticLaw(p, inst);
  }
  bool canContainOBInterfaces() const override { return false; }
};

// ParameterVariables / SpeciesVariables: the law's cells, read-only.
class KL_VariablesPIT : public OBPropInfoTemplate {
 public:
  KL_VariablesPIT(const char* name, const char* help, bool species) : species_(species) {
    describe(*this, name, "PELLAM array", help);
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    const BKineticLaw* law = kineticLawBehind(inst);
    return const_cast<qxArray*>(species_ ? law->getSpeciesVariables() : law->getParameterVariables());
  }
  bool canContainOBInterfaces() const override { return false; }

 private:
  bool species_;
};

// The texts of the messages of one of the two name properties.
struct NameRules {
  const char* property;
  const char* help;
  const char* id;
  Code lengthCode;
  Code shapeCode;
  bool species;
};

const NameRules kParameterNames{"ParameterVariableNames", kParameterVariableNamesHelp,
                                "Kestrion:InvalidParameterVariableNames",
                                Code::KS_KL_PARAMETER_VARIABLE_NAMES_INVALID,
                                Code::KS_KL_PARAMETER_VARIABLE_NAMES_INVALID_NEED_CELL_ARRAY, false};
const NameRules kSpeciesNames{"SpeciesVariableNames", kSpeciesVariableNamesHelp,
                              "Kestrion:InvalidSpeciesVariableNames", Code::KS_KL_SPECIES_VARIABLE_NAMES_INVALID,
                              Code::KS_KL_SPECIES_VARIABLE_NAMES_INVALID_NEED_CELL_ARRAY, true};

size_t elementCount(const qxArray* a) { return a ? qxGetNumberOfElements(a) : 0; }

// The names a value gives, checked against the expected count n.
BKineticLaw::NameVector namesOfValue(const qxArray* v, size_t n, const NameRules& rules) {
  BKineticLaw::NameVector names;
  if (v && qxIsChar(v)) {
    if (n != 1) kstr_error(rules.id, kstr::code(rules.lengthCode));
    names.push_back(qxArrayToStdString(v));
    return names;
  }
  if (!v || !qxIsCell(v)) kstr_error(rules.id, kstr::code(rules.lengthCode));
  for (size_t i = 0; i < qxGetNumberOfElements(v); ++i) {
    const qxArray* element = qxGetCell(v, i);
    if (!element || !qxIsChar(element)) kstr_error(rules.id, kstr::code(rules.lengthCode));
  }
  if (qxGetM(v) != 1 && qxGetN(v) != 1) kstr_error(rules.id, kstr::code(rules.shapeCode));
  if (qxGetNumberOfElements(v) != n) kstr_error(rules.id, kstr::code(rules.lengthCode));
  for (size_t i = 0; i < n; ++i) names.push_back(qxArrayToStdString(qxGetCell(v, i)));
  return names;
}

class KL_VariableNamesPIT : public OBPropInfoTemplate {
 public:
  explicit KL_VariableNamesPIT(const NameRules& rules) : rules_(rules) {
    describe(*this, rules.property, "PELLAM array", rules.help);
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    const BKineticLaw* law = kineticLawBehind(inst);
    const BKineticLaw::NameVector& names =
        rules_.species ? law->getSpeciesVariableNames() : law->getParameterVariableNames();
    qxArray* cell = qxCreateCellMatrix(1, names.size());
    for (size_t i = 0; i < names.size(); ++i) qxSetCell(cell, i, qxCreateString(names[i].c_str()));
    return cell;
  }
  void setValue(OBDatabaseClient* client, OBInterface* inst, void* value) override;
  void releaseValue(OBDatabaseClient*, OBInterface*, void* value) override {
    qxDestroyArray(static_cast<qxArray*>(value));
  }
  bool canContainOBInterfaces() const override { return false; }

 private:
  const NameRules& rules_;
};

void KL_VariableNamesPIT::setValue(OBDatabaseClient* client, OBInterface* inst, void* value) {
  if (!kineticLawBehind(inst)->getAbstractKineticLaw()) replaceKineticLawTemplate(inst, "Unknown");
  BKineticLaw* law = kineticLawBehind(inst);
  const auto* v = static_cast<const qxArray*>(value);
  size_t n = elementCount(rules_.species ? law->getSpeciesVariables() : law->getParameterVariables());
  // A stored model restores a mass-action law's names before the
  // reaction's reversibility.
  if (!obkIsExternal(client) && law->getAbstractName() == "MassAction") n = v && qxIsChar(v) ? 1 : elementCount(v);
  // A copy or a stored model hands a mass-action law its species again;
  // they come from the reaction.
  if (rules_.species && !obkIsExternal(client) && law->getAbstractName() == "MassAction") return;
  const BKineticLaw::NameVector names = namesOfValue(v, n, rules_);
  if (rules_.species) {
    law->setSpeciesVariableNames(names);
  } else {
    law->setParameterVariableNames(names);
  }
  BReaction::notifyReactionRatePostSetEvent(law->getOBIParent());
}

class KL_Parent_PIT : public ModelComponent_ParentPIT {};

}  // namespace

void addKineticLawProperties(OBClass& cls) {
  cls.addProperty(new HostGuarded<KL_ExpressionPIT>());
  cls.addProperty(new HostGuarded<ModelComponent_FullyQualifiedName_PIT>());
  cls.addProperty(new HostGuarded<KL_KineticLawNamePIT>());
  cls.addProperty(new HostGuarded<KineticLaw_ParametersPIT>());
  cls.addProperty(new HostGuarded<KL_VariablesPIT>("ParameterVariables", kParameterVariablesHelp, false));
  cls.addProperty(new HostGuarded<KL_VariableNamesPIT>(kParameterNames));
  cls.addProperty(new HostGuarded<KL_Parent_PIT>());
  cls.addProperty(new HostGuarded<KL_VariablesPIT>("SpeciesVariables", kSpeciesVariablesHelp, true));
  cls.addProperty(new HostGuarded<KL_VariableNamesPIT>(kSpeciesNames));
}
