#include "kinetics/AbstractKineticLawOBC.hpp"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <ks_utils/Errors.hpp>
#include <ks_utils/Identifiers.hpp>
#include <obk/OBInterface.hpp>
#include <obk/OBMethodInfo.hpp>
#include <obk/OBTypes.hpp>
#include <obk/Vector.hpp>

#include "core/Application.hpp"
#include "core/ModelComponentMethods.hpp"
#include "core/ModelComponentOBC.hpp"
#include "core/PropertyValuePairs.hpp"
#include "host/Host.hpp"
#include "host/HostHelpers.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/LibraryComponentProps.hpp"
#include "kinetics/LibraryRegistration.hpp"
#include "kinetics/UnitHostSupport.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/QuantityHostSupport.hpp"
#include "core/HostBoundary.hpp"

namespace qh = kstr::quantityhost;
using Code = kstr::MessageCode;

namespace {

const char kExpressionHelp[] =
    "Property that contains the expression that is used to determine\n"
    "   the ReactionRate property of the reaction object. The abstract kinetic\n"
    "   law is a mapping template for the reaction rate: it is defined by a rate\n"
    "   expression (property Expression) with species variables and parameter\n"
    "   variables (properties SpeciesVariables and ParameterVariables). The\n"
    "   ReactionRate of a reaction is obtained by mapping SpeciesVariableNames\n"
    "   to SpeciesVariables and ParameterVariableNames to ParameterVariables.";
const char kParameterVariablesHelp[] =
    "Property showing parameter variables that are used in the\n"
    "   Expression property of the kinetic law object to determine the\n"
    "   ReactionRate equation in the reaction object.";
const char kSpeciesVariablesHelp[] =
    "Property showing species variables that are used in the \n"
    "   Expression property of the kinetic law object to determine the\n"
    "   ReactionRate equation in the reaction object.";
const char kParentHelp[] =
    "Property that indicates the parent object for a Kestrion object.\n"
    "   An abstract kinetic law object is created with [] as Parent, once it is\n"
    "   added to the library it has the Kestrion root as Parent.";

BAbstractKineticLaw* lawBehind(const OBInterface* inst) {
  BAbstractKineticLaw* law = abstractKineticLawOf(inst);
  if (!law) throw ErrorIdException("obk:InvalidObject", "The object has no component.");
  return law;
}

bool isBuiltinEntry(const OBInterface* inst) { return isBuiltinLibraryComponent("kineticlaw", inst); }

OBDataType* pellamArrayType() { return OBTypeRepository::getType("PELLAM array"); }

// --- Name -----------------------------------------------------------------------------------

void checkLibraryRename(const std::string& current, const char* text) {
  BQuorvixRoot* root = BQuorvixRoot::getInstance();
  if (root->findLibraryIndex(2, current.c_str()) == 0) {
    kstr_error("Kestrion:KSTRABSTRACTKL_CANNOT_RENAME_BUILTIN", kstr::code(Code::KS_AKL_CANNOT_RENAME_BUILTIN));
  }
  if (!text || !*text) {
    kstr_error("Kestrion:KSTRABSTRACTKL_EMPTY_NAME_NOT_ALLOWED", kstr::code(Code::KS_AKL_BAD_NAME));
  }
  if (current == text) return;
  switch (root->findLibraryIndex(2, text)) {
    case 0:
      kstr_error_str("Kestrion:KSTRABSTRACTKL_EXISTS_AS_BUILTIN", kstr::code(Code::KS_AKL_EXISTS_AS_BUILTIN),
                     text);
    case 1:
      kstr_error_str("Kestrion:KSTRABSTRACTKL_EXISTS_AS_USER", kstr::code(Code::KS_AKL_EXISTS_AS_USERDEFINED),
                     text);
    default:
      return;
  }
}

class AKL_NamePIT : public ModelComponent_NamePIT {
 public:
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    const char* text = static_cast<const char*>(value);
    if (!text || !*text) kstr_error("Kestrion:BadAKLName", kstr::code(Code::KS_AKL_BAD_NAME));
    BAbstractKineticLaw* law = lawBehind(inst);
    if (!isLibraryEntry(law)) {
      law->setName(text);
      return;
    }
    if (!law->getName().empty()) checkLibraryRename(law->getName(), text);
    law->setName(text);
    if (law->getOBIParent()) privateUpdateLibrary("kineticlaw");
  }
};

// --- Expression -----------------------------------------------------------------------------

class AKL_ExpressionPIT : public OBPropInfoTemplate {
 public:
  AKL_ExpressionPIT() {
    setName("Expression");
    setDescription(kExpressionHelp);
    setDataType("string");
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    return const_cast<char*>(lawBehind(inst)->getExpression());
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override {
    BAbstractKineticLaw* law = lawBehind(inst);
    if (isBuiltinEntry(inst)) {
      kstr_error("Kestrion:AlterExpressionBuiltinAKLNotAllowed",
                 kstr::code(Code::KS_AKL_CANNOT_CHANGE_EXPRESSION_OF_BUILTIN));
    }
    if (isAbstractKineticLawInUse(inst)) {
      kstr_error("Kestrion:AKLCannotChangeFieldUsed", kstr::code(Code::KS_AKL_CANNOT_CHANGE_FIELD_USED),
                 "Expression");
    }
    law->setExpression(static_cast<const char*>(value));
    if (law->getOBIParent()) privateUpdateLibrary("kineticlaw");
  }
};

// --- ParameterVariables / SpeciesVariables ----------------------------------------------------

// What tells the two variable properties apart.
struct VariableRules {
  const char* property;
  const char* help;
  const char* typeId;
  Code typeCode;
  const char* builtinId;
  Code builtinCode;
  const char* shapeId;
  const char* rowNameId;
  const char* columnNameId;
  Code code;
  bool species;
};

const VariableRules kParameterRules{"ParameterVariables", kParameterVariablesHelp,
                                    "Kestrion:Parameters_InvalidType", Code::KS_AKL_PARAMETERS_INVALID_TYPE,
                                    "Kestrion:AlterParametersBuiltinAKLNotAllowed",
                                    Code::KS_AKL_CANNOT_CHANGE_PARAMETERS_OF_BUILTIN,
                                    "Kestrion:InvalidParameters", "Kestrion:InvalidParameterNames",
                                    "Kestrion:InvalidParameterNames", Code::KS_AKL_INVALID_PARAMETERS,
                                    false};
const VariableRules kSpeciesRules{"SpeciesVariables", kSpeciesVariablesHelp, "Kestrion:Species_InvalidType",
                                  Code::KS_AKL_INVALID_SPECIES, "Kestrion:AlterSpeciesBuiltinAKLNotAllowed",
                                  Code::KS_AKL_CANNOT_CHANGE_SPECIES_OF_BUILTIN, "Kestrion:InvalidSpecies",
                                  "Kestrion:InvalidSpeciesNames", "Kestrion:InvalidSpecies",
                                  Code::KS_AKL_INVALID_SPECIES, true};

bool isTextOrTextCell(const qxArray* v) {
  if (!v) return false;
  if (qxIsChar(v)) return true;
  if (!qxIsCell(v)) return false;
  for (size_t i = 0; i < qxGetNumberOfElements(v); ++i) {
    const qxArray* element = qxGetCell(v, i);
    if (!element || !qxIsChar(element)) return false;
  }
  return true;
}

void checkNames(const qxArray* cellOrText, const VariableRules& rules, const char* id) {
  const auto check = [&](const qxArray* element) {
    const std::string name = qxArrayToStdString(element);
    if (!name.empty() && !isValidPELLAMIdentifier(name)) kstr_error(id, kstr::code(rules.code));
  };
  if (qxIsChar(cellOrText)) {
    check(cellOrText);
    return;
  }
  for (size_t i = 0; i < qxGetNumberOfElements(cellOrText); ++i) check(qxGetCell(cellOrText, i));
}

// A new persistent 1-by-n cell of copies of the elements (or of the text).
qxArray* rowCellOf(const qxArray* value) {
  const size_t n = qxIsChar(value) ? 1 : qxGetNumberOfElements(value);
  qxArray* cell = qxCreateCellMatrix(1, n);
  qxSetArrayScope(cell, 0);
  for (size_t i = 0; i < n; ++i) {
    qxArray* text = qxDuplicateArray(qxIsChar(value) ? value : qxGetCell(value, i));
    qxSetCell(cell, i, text);
  }
  return cell;
}

// Checks the value completely, then answers the persistent cell to store.
qxArray* checkedVariableCell(const qxArray* v, const VariableRules& rules) {
  if (qxIsChar(v)) {
    checkNames(v, rules, rules.rowNameId);
    return rowCellOf(v);
  }
  if (qxGetNumberOfElements(v) == 0) return static_cast<qxArray*>(pellamArrayType()->copy(v));
  const size_t rows = qxGetM(v);
  const size_t columns = qxGetN(v);
  if (rows != 1 && columns != 1) kstr_error(rules.shapeId, kstr::code(rules.code));
  checkNames(v, rules, rows == 1 ? rules.rowNameId : rules.columnNameId);
  return rows == 1 ? static_cast<qxArray*>(pellamArrayType()->copy(v)) : rowCellOf(v);
}

class AKL_VariablesPIT : public OBPropInfoTemplate {
 public:
  explicit AKL_VariablesPIT(const VariableRules& rules) : rules_(rules) {
    setName(rules.property);
    setDescription(rules.help);
    setDataType("PELLAM array");
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    const BAbstractKineticLaw* law = lawBehind(inst);
    return const_cast<qxArray*>(rules_.species ? law->getSpeciesVariables() : law->getParameterVariables());
  }
  void setValue(OBDatabaseClient*, OBInterface* inst, void* value) override;
  bool canContainOBInterfaces() const override { return false; }

 private:
  const VariableRules& rules_;
};

void AKL_VariablesPIT::setValue(OBDatabaseClient*, OBInterface* inst, void* value) {
  BAbstractKineticLaw* law = lawBehind(inst);
  const auto* v = static_cast<const qxArray*>(value);
  if (!isTextOrTextCell(v)) kstr_error(rules_.typeId, kstr::code(rules_.typeCode));
  if (isBuiltinEntry(inst)) kstr_error(rules_.builtinId, kstr::code(rules_.builtinCode));
  if (isAbstractKineticLawInUse(inst)) {
    kstr_error("Kestrion:AKLCannotChangeFieldUsed", kstr::code(Code::KS_AKL_CANNOT_CHANGE_FIELD_USED),
               rules_.property);
  }
  qxArray* cell = checkedVariableCell(v, rules_);
  qxArray* old = const_cast<qxArray*>(rules_.species ? law->getSpeciesVariables()
                                                      : law->getParameterVariables());
  if (rules_.species) {
    law->setSpeciesVariables(cell);
  } else {
    law->setParameterVariables(cell);
  }
  // No kinetic law is bound to the law (checked above), so no rate follows.
  pellamArrayType()->release(old);
  if (law->getOBIParent()) privateUpdateLibrary("kineticlaw");
}

class AKL_ParentPIT : public LibraryComponent_ParentPIT {
 public:
  AKL_ParentPIT() { setDescription(kParentHelp); }
  bool canContainOBInterfaces() const override { return false; }
};

// --- methods ---------------------------------------------------------------------------------

class AKL_display_MI : public ModelComponent_display_MI {
 public:
  AKL_display_MI() {
    oneHidden_ = new OBMethodSignature({"handle", "bool"});
    addMethodSignature(oneHidden_);
    vectorHidden_ = new OBMethodSignature({"handle vector", "bool"});
    addMethodSignature(vectorHidden_);
  }
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn, void* const ins[]) override {
    const bool previous = hideLibraryColumn_;
    if (matched == oneHidden_ || matched == vectorHidden_) hideLibraryColumn_ = true;
    try {
      if (matched == oneSignature_ || matched == oneHidden_) {
        displayOne(nOut, outs, nIn, ins);
      } else {
        displayVector(nOut, outs, nIn, ins);
      }
    } catch (...) {
      hideLibraryColumn_ = previous;
      throw;
    }
    hideLibraryColumn_ = previous;
  }
  void displayOne(int&, void*[], int, void* const ins[]) override {
    printTable({lawBehind(static_cast<OBInterface*>(ins[0]))});
  }
  void displayVector(int&, void*[], int, void* const ins[]) override {
    std::vector<const BAbstractKineticLaw*> laws;
    if (const auto* vector = static_cast<const Vector*>(ins[0])) {
      for (OBInterface* element : vector->elements()) laws.push_back(lawBehind(element));
    }
    printTable(laws);
  }

 private:
  std::string libraryWord(const BAbstractKineticLaw* law) const {
    if (hideLibraryColumn_) return "NotInLibrary";
    return kstr::unithost::libraryWord(BQuorvixRoot::getInstance()->findLibraryIndex(2, law->getName().c_str()));
  }
  // A run of n blanks, n clamped to 0..100.
  static std::string pad(long n) { return std::string(static_cast<size_t>(std::clamp(n, 0L, 100L)), ' '); }
  void printTable(const std::vector<const BAbstractKineticLaw*>& laws) const;

  OBMethodSignature* oneHidden_;
  OBMethodSignature* vectorHidden_;
  bool hideLibraryColumn_ = false;
};

void AKL_display_MI::printTable(const std::vector<const BAbstractKineticLaw*>& laws) const {
  std::vector<std::string> words;
  long libraryWidth = 8;
  long nameWidth = 5;
  for (const BAbstractKineticLaw* law : laws) {
    words.push_back(libraryWord(law));
    libraryWidth = std::max(libraryWidth, static_cast<long>(words.back().size()));
    nameWidth = std::max(nameWidth, static_cast<long>(law->getName().size()));
  }
  hbPrintf("\n");
  hbPrintf("%sKestrion Abstract Kinetic Law Array\n\n", pad(3).c_str());
  hbPrintf("%s%s%s%s%s%s%s%s\n", pad(3).c_str(), "Index:", pad(4).c_str(), "Library:",
           pad(libraryWidth - 4).c_str(), "Name:", pad(nameWidth - 1).c_str(), "Expression:");
  for (size_t i = 0; i < laws.size(); ++i) {
    const std::string index = std::to_string(i + 1);
    const std::string& name = laws[i]->getName();
    const char* expression = laws[i]->getExpression();
    hbPrintf("%s%d%s%s%s%s%s%s\n", pad(3).c_str(), static_cast<int>(i + 1),
             pad(10 - static_cast<long>(index.size())).c_str(), words[i].c_str(),
             pad(libraryWidth + 4 - static_cast<long>(words[i].size())).c_str(), name.c_str(),
             pad(nameWidth + 4 - static_cast<long>(name.size())).c_str(), expression ? expression : "");
  }
  hbPrintf("\n");
}

class AKL_GetParsedExpression_MI : public OBMethodInfo {
 public:
  AKL_GetParsedExpression_MI() {
    setName("getparsedexpression");
    addMethodSignature(new OBMethodSignature({"handle"}, {"string vector"}));
  }
  void invoke(OBMethodSignature*, int& nOut, void* outs[], int, void* const ins[]) override {
    std::set<std::string> tokens;
    lawBehind(static_cast<OBInterface*>(ins[0]))->getVariableTokens(tokens);
    auto* out = new StringVector();
    for (const std::string& token : tokens) out->addElement(token.c_str());
    nOut = 1;
    outs[0] = out;
  }
};

class AKL_Register_MI : public OBMethodInfo {
 public:
  AKL_Register_MI() {
    setName("register");
    addMethodSignature(new OBMethodSignature({"handle", "int", "bool"}));
  }
  void invoke(OBMethodSignature*, int& nOut, void*[], int nIn, void* const ins[]) override {
    nOut = 0;
    // A wrong count is refused before any argument is read.
    if (nIn != 3) {
      hbPrintf("Error, invalid number of arguments");
      kstr_error("Kestrion:KSTRABSTRACTKL_INVALID_ARGUMENT", kstr::code(Code::KS_AKL_INVALID_ARGUMENT));
    }
    const auto* library = static_cast<const int32_t*>(ins[1]);
    const auto* overwrite = static_cast<const uint8_t*>(ins[2]);
    // A user's call may ask for the user library only (a negative library
    // is refused there): built-in laws are made at start-up.
    assistant_.registerInLibrary(static_cast<OBInterface*>(ins[0]), library ? *library : 0,
                                 overwrite && *overwrite != 0);
  }

 private:
  AKLRegistrationAssistant assistant_;
};

// Rewrites the library file after a set of an attached law's property
// while the root's library update switch is on.
class AKLPropertyPostSetEventListener : public OBListener {
 public:
  static AKLPropertyPostSetEventListener* getInstance() {
    static auto* listener = new AKLPropertyPostSetEventListener();
    return listener;
  }
  bool handleEvent(const OBEvent&) override {
    BQuorvixRoot* root = BQuorvixRoot::getInstanceIfAny();
    if (root && root->getLibraryUpdateSwitch()) privateUpdateLibrary("kineticlaw");
    return true;
  }
  static void attachPropertyPostSetListener(OBClass* cls) {
    kstr::unithost::listenToEveryProperty(*cls, getInstance());
  }
};

}  // namespace

// --- the class -------------------------------------------------------------------------------

BAbstractKineticLawOBC::BAbstractKineticLawOBC(const char* name, OBClass* superClass) {
  startComponentClass(*this, name, true, false);
  if (superClass) setSuperClass(superClass);
  addProperty(new HostGuarded<LibraryComponent_AnnotationPIT>());
  addProperty(new HostGuarded<AKL_ExpressionPIT>());
  addProperty(new HostGuarded<AKL_NamePIT>());
  addProperty(new HostGuarded<LibraryComponent_NotesPIT>());
  addProperty(new HostGuarded<AKL_VariablesPIT>(kParameterRules));
  addProperty(new HostGuarded<AKL_ParentPIT>());
  addProperty(new HostGuarded<AKL_VariablesPIT>(kSpeciesRules));
  addProperty(new HostGuarded<LibraryComponent_TagPIT>());
  addProperty(new HostGuarded<LibraryComponent_TypePIT>());
  addProperty(new HostGuarded<LibraryComponent_UserDataPIT>());
  addMethod(new HostGuarded<AKL_display_MI>());
  addMethod(new HostGuarded<ModelComponent_help_MI>());
  addMethod(new HostGuarded<AKL_GetParsedExpression_MI>());
  addMethod(new HostGuarded<ModelComponent_compare_MI>());
  addMethod(new HostGuarded<AKL_Register_MI>());
  addMethod(new HostGuarded<ModelComponent_copy_MI>());
  AKLPropertyPostSetEventListener::attachPropertyPostSetListener(this);
}

OBInterface* BAbstractKineticLawOBC::createInstance(OBDatabaseClient*, int argc, void* const argv[],
                                                    OBInterface*, int) {
  auto* const* args = reinterpret_cast<qxArray* const*>(argv);
  if (argc <= 0) return qh::makeInstance(new BAbstractKineticLaw(), this);
  const std::string name = qxArrayToStdString(args[0]);
  if (name.find_first_not_of(' ') == std::string::npos) {
    kstr_error("Kestrion:BadAKLName", kstr::code(Code::KS_AKL_BAD_NAME));
  }
  auto* law = new BAbstractKineticLaw();
  OBInterface* instance = qh::makeInstance(law, this);
  std::string error;
  try {
    qh::postObjectCreated(instance, "AbstractKineticLaw", "");
    law->setName(name);
    if (argc >= 2) {
      const std::string expression = qxArrayToStdString(args[1]);
      law->setExpression(expression.c_str());
    }
    if (argc > 2) error = applyPropertyValuePairs(instance, argc, 2, args);
  } catch (...) {
    // Memory ran out part way: the new instance goes, the error passes on.
    removeFromOwnLibrary(instance);
    qh::discardNewInstance(instance);
    throw;
  }
  if (!error.empty()) {
    removeFromOwnLibrary(instance);
    qh::discardNewInstance(instance);
    kstr_error_str("Kestrion:QUORV_INVALID_PVPAIR", kstr::code(Code::KS_AKL_INVALID_PV_PAIR), error);
  }
  return instance;
}

bool BAbstractKineticLawOBC::isOkToDestroy(OBInterface* inst) {
  if (qh::isBeingDiscarded(inst) || qh::isTreeBeingDestroyed(inst)) return true;
  const BAbstractKineticLaw* law = abstractKineticLawOf(inst);
  if (!law) return true;
  const char* name = law->getName().c_str();
  const auto warn = [&](const char* id, Code code) {
    hb_warning_id(hbGetWarningContext(), id, kstr::code(code), name, name);
    return false;
  };
  // Kinetic laws bound to this very law keep it, wherever it is.
  if (law->getBindingCount() > 0) return warn("Kestrion:AKLInUse", Code::KS_AKL_IN_USE_CANNOT_BE_REMOVED);
  if (!law->getOBIParent()) return true;
  if (isLibraryEntry(law)) {
    if (BQuorvixRoot::getInstance()->findLibraryIndex(2, name) == 0) {
      return warn("Kestrion:DeleteBuiltinAKLNotAllowed", Code::KS_AKL_IN_BUILTIN_CANNOT_BE_REMOVED);
    }
    return warn("Kestrion:AKLInUserLibraryCannotBeRemoved", Code::KS_AKL_IN_USER_LIBRARY_CANNOT_BE_REMOVED);
  }
  return true;
}

void BAbstractKineticLawOBC::destroyInstance(OBInterface* inst) {
  BAbstractKineticLaw* law = abstractKineticLawOf(inst);
  if (!law) return;
  removeFromOwnLibrary(inst);
  qh::postObjectDestroyed(law->getOBIParent(), inst, "AbstractKineticLaw", law->getName().c_str());
  inst->setComponentObject(nullptr);
  law->setOBI(nullptr);
  law->setOBIParent(nullptr);
  qh::releaseUserData(law);
  // Kinetic laws still bound to it (the tree around them is going, or it
  // was replaced in its library) keep it as their template until they go.
  if (law->getBindingCount() > 0) {
    law->orphan();
  } else {
    delete law;
  }
}

OBClass* getAbstractKineticLawOBClass() {
  static OBClass* cls = registerHostClass(new HostGuarded<BAbstractKineticLawOBC>("AbstractKineticLaw", getModelComponentOBClass()));
  return cls;
}
