// The fixture of the Reaction host-class tests: a started engine driven
// through the test host as a user would, and a check that nothing is left
// alive when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <ks_utils/Errors.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "expressions/MathExpression.hpp"
#include "model/Kelbor.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"

namespace rtest {

class ReactionHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hbTestSetEcho(false);
    warmUp();
    host_ = std::make_unique<TestHost>();
    host().start();
    host().clearLogs();
    kstr_stacked_clear();
    startHealth_ = TestHost::health();
  }

  // Deletes every model through the root, gives back what the host holds
  // and checks that the platform is back where it started.
  void TearDown() override {
    if (getOBIRoot()) host().call(getOBIRoot(), "reset");
    host_.reset();
    EXPECT_EQ(TestHost::health(), startHealth_)
        << "now: " << describe(TestHost::health()) << "\nat start: " << describe(startHealth_);
  }

  TestHost& host() { return *host_; }

  // Process-wide lists keep the storage they once grew (the root's model
  // list, the term lists of the class's parsers): one model whose reaction
  // is set through each parsing path, made and reset before the health is
  // taken, lets the test count only what it leaves behind.
  static void warmUp() {
    TestHost warm;
    warm.start();
    OBInterface* m = warm.construct("Model", {warm.str("warm-up")});
    OBInterface* r = objectOf(warm.call(m, "addreaction", {warm.str("A -> B")}, 1).at(0));
    warm.set(r, "Reaction", warm.str("B -> C"));
    warm.call(r, "addreactant", {warm.str("D")}, 1);
    warm.call(r, "addproduct", {warm.str("E")}, 1);
    warm.call(getOBIRoot(), "reset");
  }

  OBInterface* model(const char* name = "m1") { return host().construct("Model", {host().str(name)}); }

  // A method call that returns one handle.
  OBInterface* call1(OBInterface* object, const char* method, std::initializer_list<qxArray*> args) {
    std::vector<qxArray*> outs = host().call(object, method, args, 1);
    return outs.empty() ? nullptr : objectOf(outs[0]);
  }
  OBInterface* addReaction(OBInterface* m, const char* equation) {
    return call1(m, "addreaction", {host().str(equation)});
  }

  // The handles of a host array, in order.
  static std::vector<OBInterface*> handlesOf(const qxArray* array) {
    std::vector<OBInterface*> out;
    if (!array || !qxIsHandleArray(array)) return out;
    for (size_t i = 0; i < qxGetNumberOfElements(array); ++i) {
      out.push_back(static_cast<OBInterface*>(qxGetHandle(array, i)));
    }
    return out;
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

  static Kelbor* kelbor(const OBInterface* instance) {
    return static_cast<Kelbor*>(componentOf(instance));
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

  // Runs the call and expects the error.
  template <class Body>
  void expectHostError(Body body, const std::string& id, const std::string& text = "") {
    std::optional<HostCallError> error = TestHost::errorOf(body);
    ASSERT_TRUE(error.has_value()) << "no error; expected " << id;
    EXPECT_EQ(error->id, id);
    if (!text.empty()) {
      EXPECT_EQ(error->message, text);
    }
  }

  std::vector<std::string> warningIds() const {
    std::vector<std::string> ids;
    for (const auto& warning : host_->warnings()) ids.push_back(warning.id);
    return ids;
  }

  std::unique_ptr<TestHost> host_;
  HostHealth startHealth_;
};

}  // namespace rtest
