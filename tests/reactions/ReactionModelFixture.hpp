// A model made directly from its components (no host classes): compartments,
// species, parameters and reactions, torn down the way the host does (the
// model is marked first, then every component goes).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/MParseTree.hpp>

#include "expressions/MathExpression.hpp"
#include "expressions/ReactionExpression.hpp"
#include "kinetics/BAbstractKineticLaw.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "model/Kelbor.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/ParsedReaction.hpp"
#include "reactions/ReactionManipulator.hpp"
#include "support/Expect.hpp"
#include "support/ModelWorld.hpp"
#include "support/TestComponents.hpp"

namespace rtest {

// A kinetic law whose rate is its template's text with each variable
// replaced by the name bound to it; the template is given as text with the
// variable names, which the abstract laws do not carry yet.
class TemplateKineticLaw : public BKineticLaw {
 public:
  TemplateKineticLaw(const BAbstractKineticLaw* law, std::string expression,
                     std::vector<std::string> parameterVariables,
                     std::vector<std::string> speciesVariables)
      : BKineticLaw(law),
        expression_(std::move(expression)),
        parameterVariables_(std::move(parameterVariables)),
        speciesVariables_(std::move(speciesVariables)) {}

  // Every variable of the template is bound.
  bool verifyForReactionRate() const override {
    return getParameterVariableNames().size() == parameterVariables_.size() &&
           getSpeciesVariableNames().size() == speciesVariables_.size() &&
           BKineticLaw::verifyForReactionRate();
  }

  // The template with each variable replaced by its bound name (through the
  // parse tree's substitution), or null while a name is unbound.
  char* getRateExpression() const override {
    if (!verifyForReactionRate()) return nullptr;
    kstrMap<std::string, const char*> bindings;
    const NameVector& parameters = getParameterVariableNames();
    const NameVector& species = getSpeciesVariableNames();
    for (size_t i = 0; i < parameterVariables_.size() && i < parameters.size(); ++i) {
      bindings[parameterVariables_[i]] = parameters[i].c_str();
    }
    for (size_t i = 0; i < speciesVariables_.size() && i < species.size(); ++i) {
      bindings[speciesVariables_[i]] = species[i].c_str();
    }
    MParseTree tree(expression_.c_str());
    tree.init(true);
    return tree.traverseSubstitute(bindings);
  }

 private:
  std::string expression_;
  std::vector<std::string> parameterVariables_;
  std::vector<std::string> speciesVariables_;
};

class ReactionModel : public ModelWorld {
 protected:
  void SetUp() override {
    ModelWorld::SetUp();
    hbTestClearWarnings();
    kstr_stacked_clear();
  }

  // A reaction of the model (owned by the fixture) with the equation, set
  // through the manipulator.
  BReaction* reaction(const std::string& equation = "", const std::string& name = "") {
    auto* r = new BReaction();
    afterModel_.push_back(r);
    if (!name.empty()) r->setName(name);
    model_->addReaction(r);
    if (!equation.empty()) manipulator_.setReactionFromString(r, equation.c_str());
    return r;
  }
  // A reaction outside any model, owned by the fixture.
  BReaction* freeReaction() {
    auto* r = new BReaction();
    afterModel_.push_back(r);
    return r;
  }
  BAbstractKineticLaw* abstractLaw(const std::string& name) {
    auto* law = new BAbstractKineticLaw();
    law->setName(name);
    owned_.push_back(law);
    return law;
  }
  template <class Law, class... Args>
  Law* kineticLaw(Args&&... args) {
    auto* law = new Law(std::forward<Args>(args)...);
    owned_.insert(owned_.begin(), law);
    return law;
  }

  static std::vector<std::string> stoichiometry(const BReaction& r) {
    size_t count = 0;
    double* values = r.getStoichiometry(count);
    std::vector<std::string> out;
    for (size_t i = 0; i < count; ++i) {
      std::string text = std::to_string(values[i]);
      text.erase(text.find_last_not_of('0') + 1);
      if (!text.empty() && text.back() == '.') text.pop_back();
      out.push_back(text);
    }
    hbFree(values);
    return out;
  }

  ReactionManipulator manipulator_;
};

}  // namespace rtest
