#include "core/QuantityComponent.hpp"

#include <ks_utils/Identifiers.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <ks_utils/Units.hpp>

#include "reactions/ParsedReactionTerm.hpp"
#include "reactions/ReactionManipulator.hpp"

namespace kstr {

QuantityComponent::QuantityComponent() = default;

QuantityComponent::QuantityComponent(const std::string& units, double initialValue,
                                     bool constantValue, bool boundaryCondition)
    : units_(units),
      initialValue_(initialValue),
      constantValue_(constantValue),
      boundaryCondition_(boundaryCondition) {}

QuantityComponent::~QuantityComponent() = default;

void QuantityComponent::verifyValue(double) const {}

void QuantityComponent::setInitialValue(double value) {
  verifyValue(value);
  initialValue_ = value;
  initialValueGiven_ = true;
}

void QuantityComponent::setUnits(const std::string& units) {
  std::string trimmed = units;
  STDStringHelpers::trimWhitespace(trimmed);
  verifyUnits(trimmed);
  units_ = trimmed;
  setModelCompileNeeded();
}

void QuantityComponent::verifyUnits(const std::string& units) const {
  verifyUnitsStatic(units);
}

void QuantityComponent::verifyUnitsStatic(const std::string& units) {
  std::string trimmed = units;
  STDStringHelpers::trimWhitespace(trimmed);
  if (trimmed.empty()) return;
  getUnitManagerApiFcn()->checkUnitText(trimmed);
}

void QuantityComponent::setConstantValue(bool value) {
  constantValue_ = value;
  setModelCompileNeeded();
}

void QuantityComponent::setBoundaryCondition(bool value) {
  boundaryCondition_ = value;
  setModelCompileNeeded();
}

}  // namespace kstr

void bracketNamesIfNotValidIdentifiers(std::vector<std::string>& names) {
  for (std::string& name : names) bracketNameIfNotValidIdentifier(name);
}

namespace {

// The manipulator that parses single references for the name functions.
ReactionManipulator& referenceParser() {
  static ReactionManipulator manipulator;
  return manipulator;
}

// Appends the qualifier and the name of a parsed reference, each bracketed
// when it is not a valid identifier, then gives the term back.
void appendCanonical(ParsedReactionTerm* term, std::string& result) {
  if (!term) return;
  if (!term->qualifier.empty()) {
    std::string qualifier = term->qualifier;
    result += bracketNameIfNotValidIdentifier(qualifier);
    result += ".";
  }
  std::string name = term->name;
  result += bracketNameIfNotValidIdentifier(name);
  ParsedReactionTerm::destroy(term);
}

}  // namespace

void normalizeSpeciesName(const std::string& name, std::string& result) {
  result.clear();
  if (name.empty()) return;
  appendCanonical(referenceParser().parseSpeciesName(name), result);
}

void normalizeParameterName(const std::string& name, std::string& result) {
  result.clear();
  if (name.empty()) return;
  appendCanonical(referenceParser().parseParameterName(name), result);
}
