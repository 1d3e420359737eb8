#pragma once

#include <string>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"
#include "host/HandleVector.hpp"
#include "kinetics/ParameterBindingIndex.hpp"

class BAbstractKineticLaw;
class BParameter;
class BReaction;
struct qxArray_tag;

// The kinetic law of a reaction: it binds an abstract kinetic law (a rate
// template) whose variables it maps, by position, to the names of real
// parameters and species, holds the law's own parameters and adds no part
// of its own to qualified names (its parameters are qualified by the
// reaction).  Its parent is the reaction that uses it.
class KELBOR_API BKineticLaw : public KelborComponent {
 public:
  using NameVector = kstrVector<std::string>;

  // No template: the abstract name is "" and both name vectors are empty.
  BKineticLaw();
  // Binds the template (not owned; null allowed).  A template other than
  // "MassAction" and "Unknown" is verified first ("Kestrion:InconsistentAKL"
  // passes on).  The name vectors start empty and sized to the template's
  // variable lists.
  explicit BKineticLaw(const BAbstractKineticLaw* abstractLaw);
  // Shares the parameters and the template of the source.
  BKineticLaw(const BKineticLaw& other);
  BKineticLaw& operator=(const BKineticLaw& other);
  ~BKineticLaw() override;

  const char* getType() const override { return "kineticlaw"; }
  kstr::bcomptype getEnumType() const override { return kstr::kineticlaw; }
  // The base setParent; then, when the law now belongs to a model, each own
  // parameter is entered in the model's symbol table, in order; finally the
  // model is marked for recompilation.
  void setParent(KelborComponent* parent) override;
  void fillFullyQualifiedName(std::string& out) const override;
  void fillPartiallyQualifiedName(std::string& out) const override;
  void fillDisplayQualifiedName(std::string& out) const override;

  // --- template ------------------------------------------------------------
  const BAbstractKineticLaw* getAbstractKineticLaw() const { return abstractLaw_; }
  // Binds another template (name vectors unchanged; verified unless it is
  // "MassAction" or "Unknown") and marks the model.
  void setAbstractKineticLaw(const BAbstractKineticLaw* abstractLaw);
  // The template's name; "" when none is bound.
  const std::string& getAbstractName() const;
  // The template's expression text; null without a template.
  const char* getExpression() const;
  // The template's parameter (species) variable cell array; null without a
  // template.
  virtual const qxArray_tag* getParameterVariables() const;
  virtual const qxArray_tag* getSpeciesVariables() const;

  // --- variable bindings -----------------------------------------------------
  virtual const NameVector& getParameterVariableNames() const { return parameterVariableNames_; }
  virtual const NameVector& getSpeciesVariableNames() const { return speciesVariableNames_; }
  // Each entry is trimmed; one that does not parse as a parameter (species)
  // reference is bracketed and parsed again, and when that fails too
  // "Kestrion:INVALID_EXPRESSION_VARIABLE" is raised and nothing changes.
  // Otherwise the stored vector takes the given length and the entries,
  // the parent reaction's rate is recomputed, species shadowing parameter
  // variables is warned about and the model is marked for recompilation.
  void setParameterVariableNames(const NameVector& names);
  virtual void setSpeciesVariableNames(const NameVector& names);
  // Every parameter-variable name equal to oldName becomes newName; when one
  // changed, the shadowing warning for newName follows.
  void updateParameterVariableName(const std::string& oldName, const std::string& newName);
  // The same for the species-variable names; then always marks the model.
  void updateSpeciesVariableName(const std::string& oldName, const std::string& newName);
  // Both name vectors become the given ones as they stand (names the law
  // held before, so not checked again) and the model is marked; the rate
  // is not recomposed.  What a rename that fails part way puts back.
  void restoreVariableNames(const NameVector& parameterNames, const NameVector& speciesNames);
  // The rate composed from the template and the bindings: a new hbMalloc
  // text the caller frees with hbFree, or null while no template is bound,
  // some variable is unbound or the template carries no expression.  An
  // expression that does not parse warns "Kestrion:UnableToParseAKL".
  virtual char* getRateExpression() const;
  // Verifies the template when it is to be verified, then answers false
  // while some variable is unbound (an empty name, or no names at all for a
  // template with variables).
  virtual bool verifyForReactionRate() const;
  // Raises the first of "Kestrion:InvalidNumberOfParametersForKineticLaw",
  // "Kestrion:EmptyKineticLawParameter", "Kestrion:KineticLawParameterNotFound"
  // and the species counterparts.  Nothing more for "Unknown".
  virtual void verify() const;
  // The parameter bound to parameter variable index in the reaction's
  // scope, or null.
  virtual BParameter* findParameterApiObjectAt(unsigned int index) const;
  // The component the species reference denotes in the reaction's scope,
  // or null.
  virtual const KelborComponent* findComponentApiObject(const std::string& name) const;
  // Warns "Kestrion:SpeciesShadowingParameterName" for each parameter
  // variable (only the one equal to the token, unless the token is empty,
  // and not while the reaction's rate marks it as a collision) bound to a
  // name that a species of the model also holds.  Never fails.
  void warnForSpeciesShadowingParameterVariableNamesInRateExpression(
      const std::string& token) const;

  // Moves what a replaced law carries to its successor: name, ID,
  // annotation, notes, tag and UserData (whose ownership moves).
  void moveComponentStateTo(BKineticLaw& successor);

  // --- parameters --------------------------------------------------------------
  // Appends the parameter, becomes its parent and, in a model, enters it in
  // the model and marks the model for recompilation.
  void addParameter(BParameter* parameter);
  // Takes the parameter out of the list; absent: nothing.
  void removeParameter(BParameter* parameter);
  // Every parameter leaves the model (when there is one); the list empties.
  void removeAllParameters();
  // The list becomes the given one (the same parameters in a new order).
  void reorderParameters(const kstrVector<BParameter*>& parameters);
  const kstrVector<BParameter*>* getParameters() const { return &parameters_; }
  virtual unsigned long getNumParameters() const { return parameters_.size(); }
  // The index must be below getNumParameters().
  virtual BParameter* getParameterAt(size_t index) const { return parameters_[index]; }
  // The first own parameter of exactly that name; null for "".
  BParameter* anyParameterUsingName(const std::string& name) const;
  bool isParameterNameInUse(const std::string& name) const;
  // A kinetic law stands where a quantity is read as a constant 0.
  bool getConstantValue() const { return true; }
  double getInitialValue() const { return 0.0; }
  const char* getUnits() const { return nullptr; }
  // The host vector of the parameters' instances (kept for the host class).
  // Brings the Vector's elements up to date first (host/HandleVector.hpp).
  void* getOBIParameters() const {
    return publishedHandleVector(static_cast<Vector*>(obiParameters_));
  }
  void setOBIParameters(void* handle) { obiParameters_ = handle; }

 protected:
  // The parent as a reaction, or null.
  BReaction* getParentReaction() const;
  // Resize the name vector to the cell's element count (kept names stay,
  // new ones are empty); a null cell changes nothing.
  void setupEmptyParameterNameCells(const qxArray_tag* cell);
  void setupEmptySpeciesNameCells(const qxArray_tag* cell);
  NameVector& storedParameterVariableNames() const { return parameterVariableNames_; }
  NameVector& storedSpeciesVariableNames() const { return speciesVariableNames_; }
  // The template's consistency check when the template is to be verified.
  void verifyTemplate() const;

 private:
  void setVariableNames(NameVector& stored, const NameVector& names, bool species);
  void bind(const BAbstractKineticLaw* abstractLaw);
  void verifyParameters() const;
  void verifySpecies() const;

  mutable NameVector parameterVariableNames_;
  mutable NameVector speciesVariableNames_;
  void* obiParameters_ = nullptr;
  kstrVector<BParameter*> parameters_;
  const BAbstractKineticLaw* abstractLaw_ = nullptr;
  bool verifyAbstractLaw_ = false;
  // Where this law sits in the index of laws by parameter name (never
  // copied: a copy enters the index on its own).
  kstr::ParameterBindingIndex::Places bindingPlaces_;
};
