#include "quantities/BParameter.hpp"

#include <ks_utils/Errors.hpp>
#include <ks_utils/Identifiers.hpp>
#include <ks_utils/StringHelpers.hpp>

#include "expressions/SymbolTable.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"

namespace {

// True when the model holds a parameter other than self with that name.
// The model's symbol table indexes its parameters by bracketed name, so
// only the parameters of that very name are looked at.
bool isModelParameterNameTaken(const Kelbor& model, const std::string& name,
                               const BParameter* self) {
  const SymbolTable* table = model.getSymbolTable();
  const SymbolTable::Namespace* parameters =
      table ? table->getNamespace(SymbolTable::modelParameterNamespace) : nullptr;
  if (!parameters) return false;
  std::string key = name;
  bracketNameIfNotValidIdentifier(key);
  for (const auto& [bracketed, parameter] : parameters->named(key)) {
    if (parameter != self && parameter->getName() == name) return true;
  }
  return false;
}

// True when the kinetic law holds a parameter other than self with that
// name.  The kinetic law answers for all of its parameters; self is left
// out by telling whether it is the only holder of the name.
bool isKineticLawParameterNameTaken(const BKineticLaw& law, const std::string& name,
                                    const BParameter* self) {
  if (!law.isParameterNameInUse(name)) return false;
  return !(self && self->getParent() == &law && self->getName() == name);
}

}  // namespace

BParameter::BParameter() = default;

BParameter::BParameter(const BParameter& other) = default;

BParameter& BParameter::operator=(const BParameter& other) {
  QuantityComponent::operator=(other);
  return *this;
}

BParameter::~BParameter() = default;

// --- names -------------------------------------------------------------------

void BParameter::errorForInvalidName(const std::string& name, const KelborComponent* parent) const {
  errorForInvalidNameStatic(name, parent, this);
}

void BParameter::errorForInvalidNameStatic(const std::string& name, const KelborComponent* parent,
                                           const BParameter* self) {
  KelborComponent::errorForInvalidNameStatic(name, parent);
  if (STDStringHelpers::isAllWhitespace(name)) {
    kstr_error("Kestrion:KSTRPARAMETER_INVALIDNAME",
               kstr::code(kstr::MessageCode::KS_PARAMETER_INVALIDNAME));
  }
  if (!parent) return;
  bool taken = false;
  if (parent->getEnumType() == kstr::kstrmodel) {
    taken = isModelParameterNameTaken(*static_cast<const Kelbor*>(parent), name, self);
  } else if (parent->getEnumType() == kstr::kineticlaw) {
    taken = isKineticLawParameterNameTaken(*static_cast<const BKineticLaw*>(parent), name, self);
  }
  if (taken) {
    kstr_error("Kestrion:PARAMETER_DUPLICATENAME",
               kstr::code(kstr::MessageCode::KS_PARAMETER_DUPLICATENAME));
  }
}

const char* BParameter::getIdWithFullPathToTopModel() const {
  return KelborComponent::getIdWithFullPathToTopModel();
}

void BParameter::getPQN(std::string& out) const {
  out.clear();
  fillPartiallyQualifiedName(out);
}

void BParameter::getDQN(std::string& out) const {
  out.clear();
  fillDisplayQualifiedName(out);
}

// --- quantity ----------------------------------------------------------------

void BParameter::verifyValue(double) const {}

void BParameter::verifyUnitsStatic(const std::string& units) {
  QuantityComponent::verifyUnitsStatic(units);
}
