#pragma once

#include <string>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

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
  // Binds the template (not owned; null allowed).  The name vectors start
  // empty and sized to the template's variable lists.
  explicit BKineticLaw(const BAbstractKineticLaw* abstractLaw);
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
  // Binds another template (name vectors unchanged) and marks the model.
  void setAbstractKineticLaw(const BAbstractKineticLaw* abstractLaw);
  // The template's name; "" when none is bound.
  const std::string& getAbstractName() const;
  // The template's parameter (species) variable cell array; null while the
  // template carries none.
  virtual const qxArray_tag* getParameterVariables() const;
  virtual const qxArray_tag* getSpeciesVariables() const;

  // --- variable bindings -----------------------------------------------------
  virtual const NameVector& getParameterVariableNames() const { return parameterVariableNames_; }
  virtual const NameVector& getSpeciesVariableNames() const { return speciesVariableNames_; }
  // Resize the stored vector to the given length, then store each entry
  // trimmed; an entry that does not parse as a parameter (species)
  // reference is bracketed and parsed again, and when that fails too
  // "Kestrion:INVALID_EXPRESSION_VARIABLE" is raised (the entries before
  // it stay stored, nothing else happens).  Then the parent reaction's rate
  // is recomputed, species shadowing parameter variables is warned about
  // and the model is marked for recompilation.
  void setParameterVariableNames(const NameVector& names);
  virtual void setSpeciesVariableNames(const NameVector& names);
  // Every parameter-variable name equal to oldName becomes newName; when one
  // changed, the shadowing warning for newName follows.
  void updateParameterVariableName(const std::string& oldName, const std::string& newName);
  // The same for the species-variable names; then always marks the model.
  void updateSpeciesVariableName(const std::string& oldName, const std::string& newName);
  // The rate composed from the template and the bindings: a new hbMalloc
  // text the caller frees with hbFree, or null while no template is bound,
  // some variable is unbound or the template carries no expression.
  virtual char* getRateExpression() const;
  // False when some bound name is still empty.
  virtual bool verifyForReactionRate() const;
  // Warns "Kestrion:SpeciesShadowingParameterName" for each parameter
  // variable (only the one equal to the token, unless the token is empty,
  // and not while the reaction's rate marks it as a collision) bound to a
  // name that a species of the model also holds.  Never fails.
  void warnForSpeciesShadowingParameterVariableNamesInRateExpression(
      const std::string& token) const;

  // --- parameters --------------------------------------------------------------
  // Appends the parameter, becomes its parent and, in a model, enters it in
  // the model and marks the model for recompilation.
  void addParameter(BParameter* parameter);
  // Takes the parameter out of the list; absent: nothing.
  void removeParameter(BParameter* parameter);
  const kstrVector<BParameter*>* getParameters() const { return &parameters_; }
  bool isParameterNameInUse(const std::string& name) const;
  // The host vector of the parameters' instances (kept for the host class).
  void* getOBIParameters() const { return obiParameters_; }
  void setOBIParameters(void* handle) { obiParameters_ = handle; }

 protected:
  // The parent as a reaction, or null.
  BReaction* getParentReaction() const;

 private:
  void setVariableNames(NameVector& stored, const NameVector& names, bool species);

  NameVector parameterVariableNames_;
  NameVector speciesVariableNames_;
  void* obiParameters_ = nullptr;
  kstrVector<BParameter*> parameters_;
  const BAbstractKineticLaw* abstractLaw_ = nullptr;
};
