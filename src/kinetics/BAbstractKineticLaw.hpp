// The abstract kinetic law: a named rate-law template (an expression and
// its ordered parameter and species variables) that kinetic laws bind.
#pragma once

#include <set>
#include <string>

#include "core/KelborApi.hpp"
#include "core/KelborComponent.hpp"

class OBInterface;

// Lives on its own (no parent) or in one of the root's two libraries, where
// its host instance hangs below the root's.  Both variable arrays always
// exist: persistent 1-by-n (or 0-by-0) cell arrays of texts that the law
// owns.  The law is unverified after every change of its expression or of a
// variable list; verify() checks that every declared name occurs in the
// expression and that no name is declared twice.
class KELBOR_API BAbstractKineticLaw : public KelborComponent {
 public:
  BAbstractKineticLaw();
  ~BAbstractKineticLaw() override;
  BAbstractKineticLaw(const BAbstractKineticLaw&) = delete;
  BAbstractKineticLaw& operator=(const BAbstractKineticLaw&) = delete;

  const char* getType() const override { return "abstract_kinetic_law"; }
  kstr::bcomptype getEnumType() const override { return kstr::abstract_kinetic_law; }
  // Stores the name unchanged.  An empty name, or one made only of space
  // characters, raises "Kestrion:BadAKLName" and keeps the old name.
  void setName(const std::string& name) override;

  // Stores a copy; a null text is stored as "".  The law becomes unverified.
  void setExpression(const char* text);
  // The expression, or null while none was set.
  const char* getExpression() const { return expression_; }
  // The variable cell arrays (never null).
  const qxArray_tag* getParameterVariables() const { return parameterVariables_; }
  const qxArray_tag* getSpeciesVariables() const { return speciesVariables_; }
  // Take ownership of a persistent cell array of texts (the caller destroys
  // the previous array afterwards); the law becomes unverified.
  void setParameterVariables(qxArray_tag* cell);
  void setSpeciesVariables(qxArray_tag* cell);
  // The distinct names of both lists.
  const std::set<std::string>& getVariableNames() const { return variableNames_; }
  void updateVariableNames();
  // Adds the distinct declared names that occur in the expression.  An
  // expression that does not parse warns "Kestrion:UnableToParseAKL" and
  // adds nothing.
  void getVariableTokens(std::set<std::string>& tokens) const;
  // Raises "Kestrion:InconsistentAKL" when the declared count differs from
  // the number of distinct declared names found in the expression.
  void verify();
  bool isVerified() const { return verified_; }
  // Kinetic laws bound to this very law (their template pointer); the law
  // may not be deleted while any is.
  void addBinding() const { ++bindings_; }
  // An orphaned law goes with its last binding.
  void removeBinding() const {
    if (bindings_ > 0) --bindings_;
    if (bindings_ == 0 && orphaned_) delete this;
  }
  size_t getBindingCount() const { return bindings_; }
  // The law's instance is gone while kinetic laws are still bound to it:
  // it stays their template until the last of them lets go.
  void orphan() const { orphaned_ = true; }

 private:
  char* expression_ = nullptr;
  qxArray_tag* parameterVariables_ = nullptr;
  qxArray_tag* speciesVariables_ = nullptr;
  bool verified_ = false;
  std::set<std::string> variableNames_;
  mutable size_t bindings_ = 0;
  mutable bool orphaned_ = false;
};

// True when some kinetic law is bound to the law behind the instance (to
// this very law, not to another of the same name); false for an instance
// without a law.
KELBOR_API bool isAbstractKineticLawInUse(const OBInterface* law);
