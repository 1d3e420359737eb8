// The fixture of the Reaction host-class tests: the shared started engine
// and leak check, warmed up through every reaction-parsing path, with
// helpers to add reactions and read their species, names and texts.
#pragma once

#include <string>
#include <vector>

#include "expressions/MathExpression.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"
#include "support/EngineHostFixture.hpp"

namespace rtest {

class ReactionHostTest : public EngineHostTest {
 protected:
  // The shared fixture's start, with this fixture's own warm-up before the
  // host starts.
  void SetUp() override {
    hbTestSetEcho(false);
    warmUp();
    startHost();
    startHealth_ = TestHost::health();
  }

  // Process-wide lists keep the storage they once grew (the root's model
  // list, the term lists of the class's parsers): one model whose reaction
  // is set through each parsing path, made and reset before the health is
  // taken, lets the test count only what it leaves behind.  A mass-action
  // law given its parameter fills the kinetic law's caches the same way.
  static void warmUp() {
    TestHost warm;
    warm.start();
    OBInterface* m = warm.construct("Model", {warm.str("warm-up")});
    OBInterface* r = objectOf(warm.call(m, "addreaction", {warm.str("A -> B")}, 1).at(0));
    warm.set(r, "Reaction", warm.str("B -> C"));
    warm.call(r, "addreactant", {warm.str("D")}, 1);
    warm.call(r, "addproduct", {warm.str("E")}, 1);
    warm.call(r, "rmreactant", {warm.str("D")}, 1);
    warm.call(r, "rmproduct", {warm.str("E")}, 1);
    OBInterface* law = objectOf(warm.call(r, "addkineticlaw", {warm.str("MassAction")}, 1).at(0));
    warm.set(law, "ParameterVariableNames", warm.cell({warm.str("k")}));
    warm.call(getOBIRoot(), "reset");
  }

  OBInterface* model(const char* name = "m1") { return host().construct("Model", {host().str(name)}); }

  // A method call that returns one handle.
  OBInterface* call1(OBInterface* object, const char* method, std::initializer_list<qxArray*> args) {
    return one(object, method, args);
  }
  OBInterface* addReaction(OBInterface* m, const char* equation) {
    return call1(m, "addreaction", {host().str(equation)});
  }

  // The names of the components behind the handles.
  static std::vector<std::string> namesOf(const qxArray* array) {
    std::vector<std::string> names;
    for (OBInterface* h : handlesOf(array)) names.push_back(componentOf(h)->getName());
    return names;
  }
  // The partially qualified names of the handles' components.
  static std::vector<std::string> pqnsOf(const qxArray* array) {
    std::vector<std::string> names;
    for (OBInterface* h : handlesOf(array)) {
      std::string pqn;
      componentOf(h)->getPQN(pqn);
      names.push_back(pqn);
    }
    return names;
  }
  static std::vector<double> numbersOf(const qxArray* array) {
    const double* values = qxGetPr(array);
    return std::vector<double>(values, values + qxGetNumberOfElements(array));
  }
  // The texts of a cell row.
  static std::vector<std::string> textsOf(const qxArray* array) {
    std::vector<std::string> texts;
    for (size_t i = 0; i < qxGetNumberOfElements(array); ++i) {
      texts.push_back(textOf(qxGetCell(array, i)));
    }
    return texts;
  }

  static BReaction* reaction(const OBInterface* instance) {
    return dynamic_cast<BReaction*>(componentOf(instance));
  }
  std::string equation(OBInterface* r) { return host().getString(r, "Reaction"); }
  std::string rate(OBInterface* r) { return host().getString(r, "ReactionRate"); }
  // The species of that partially qualified name in the model, or null.
  static OBInterface* species(OBInterface* m, const std::string& pqn) {
    Kelbor* model = kelbor(m);
    for (uint32_t i = 0; i < model->getNumSpeciesInTree(); ++i) {
      BSpecies* s = model->getSpeciesInTreeAt(i);
      std::string name;
      s->getPQN(name);
      if (name == pqn) return s->getOBI();
    }
    return nullptr;
  }
};

}  // namespace rtest
