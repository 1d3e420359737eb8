#pragma once

#include <string>
#include <vector>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

namespace kstr {

// Base of the components that carry a numeric quantity with units: species,
// compartments and parameters.
class KELBOR_API QuantityComponent : public KelborComponent {
 public:
  ~QuantityComponent() override;

  // Accepts every value; subclasses raise their own errors.
  virtual void verifyValue(double value) const;
  // Trims the text, verifies it (an invalid unit raises and keeps the old
  // units), stores it and marks the model for recompilation.
  virtual void setUnits(const std::string& units);
  // An empty (or blank) text passes; any other text must be a unit
  // expression the unit manager knows.
  virtual void verifyUnits(const std::string& units) const;

  double getInitialValue() const { return initialValue_; }
  // Verifies the value first; does not mark the model for recompilation.
  // The value counts as given from then on.
  void setInitialValue(double value);
  // False when the value was never given (an SBML element without one):
  // the component keeps its default value, and a write leaves it out.
  bool isInitialValueGiven() const { return initialValueGiven_; }
  void markInitialValueNotGiven() { initialValueGiven_ = false; }
  const std::string& getUnits() const { return units_; }
  bool getConstantValue() const { return constantValue_; }
  bool getBoundaryCondition() const { return boundaryCondition_; }
  void setConstantValue(bool value);
  void setBoundaryCondition(bool value);

 protected:
  QuantityComponent();
  QuantityComponent(const std::string& units, double initialValue, bool constantValue,
                    bool boundaryCondition);
  static void verifyUnitsStatic(const std::string& units);

 private:
  std::string units_;
  double initialValue_ = 1.0;
  bool constantValue_ = true;
  bool boundaryCondition_ = false;
  bool initialValueGiven_ = true;
};

}  // namespace kstr

// The canonical form of a species reference ("compartment.species", each part
// bracketed when it is not a valid identifier); "" for an empty text or one
// that does not parse.
KELBOR_API void normalizeSpeciesName(const std::string& name, std::string& result);
// The same for a parameter reference ("reaction.parameter").
KELBOR_API void normalizeParameterName(const std::string& name, std::string& result);
// Applies bracketNameIfNotValidIdentifier to every element, in place.
KELBOR_API void bracketNamesIfNotValidIdentifiers(std::vector<std::string>& names);
