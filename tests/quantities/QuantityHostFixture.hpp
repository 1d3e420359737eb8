// The fixture of the tests of the compartment, species and parameter host
// classes and of the tree wiring: drives everything through the test host
// and checks that nothing is left alive afterwards.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "QuantityStandIns.hpp"
#include "core/ModelComponentOBC.hpp"
#include "core/TreeWiring.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/CompartmentOBC.hpp"
#include "quantities/ParameterOBC.hpp"
#include "quantities/SpeciesOBC.hpp"
#include "support/TestComponents.hpp"

namespace qtest {

// --- the fixture -----------------------------------------------------------------------

class QuantityHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerMessageCatalog();
    getModelComponentOBClass();
    getCompartmentOBClass();
    getSpeciesOBClass();
    getParameterOBClass();
    testModelClass();
    probeReactionClass();
    probeRuleClass();
    probeEventClass();
    probeKineticLawClass();
    hbTestSetEcho(false);
    before_ = TestHost::health();
    host_ = std::make_unique<TestHost>();
    host_->clearLogs();
    hbTestClearWarnings();
    hbTestClearPrinted();
  }
  void TearDown() override {
    for (OBInterface* instance : wrapped_) instance->releaseReference();
    wrapped_.clear();
    host_.reset();
    EXPECT_EQ(TestHost::health(), before_) << describe(TestHost::health());
  }

  TestHost& host() { return *host_; }

  // A model instance (class "Model") named name.
  OBInterface* newModel(const char* name = "m1") {
    OBInterface* model = host().construct("Kestrion.Model");
    behind<Kelbor>(model)->setName(name);
    return model;
  }
  // A compartment made by its creation entry and put below the model.
  OBInterface* newCompartment(OBInterface* model, const char* name) {
    OBInterface* c = host().construct("Kestrion.Compartment", {host().str(name)});
    addCompartmentBelowModel(c, model);
    return c;
  }
  OBInterface* addSpecies(OBInterface* compartment, const char* name) {
    return objectOf(host().call(compartment, "addspecies", {host().str(name)}, 1).at(0));
  }
  OBInterface* newParameter(OBInterface* model, const char* name, double value = 1.0) {
    OBInterface* p = host().construct("Kestrion.Parameter", {host().str(name), host().num(value)});
    attachParameterToModel(p, model);
    return p;
  }
  // An instance of a stand-in class over a component made by the test; the
  // fixture gives back its creation reference at the end.
  OBInterface* wrap(KelborComponent* component, OBClass* cls) {
    auto* instance = new OBInterface(component, cls);
    component->setOBI(instance);
    instance->activate();
    wrapped_.push_back(instance);
    return instance;
  }
  OBInterface* newReaction(OBInterface* model, const char* name) {
    auto* reaction = new LinkedReaction();
    reaction->setName(name);
    OBInterface* instance = wrap(reaction, probeReactionClass());
    if (model) addReactionBelowModel(instance, model);
    return instance;
  }
  OBInterface* newKineticLaw(OBInterface* reaction, const char* lawName) {
    auto* law = new NamedKineticLaw();
    law->lawName = lawName;
    OBInterface* instance = wrap(law, probeKineticLawClass());
    addKineticLawBelowReaction(instance, reaction);
    return instance;
  }
  // Puts a parameter below a kinetic law as the kinetic law's own
  // "addparameter" does.
  void attachToKineticLaw(OBInterface* parameter, OBInterface* lawInstance) {
    addParameterBelowKineticLaw(parameter, lawInstance);
  }

  std::string text(OBInterface* object, const char* property) {
    return host().getString(object, property);
  }
  double number(OBInterface* object, const char* property) {
    return qxGetScalar(host().get(object, property));
  }
  std::vector<std::string> names(const qxArray* handles) {
    std::vector<std::string> out;
    for (size_t i = 0; i < qxGetNumberOfElements(handles); ++i) {
      out.push_back(componentOf(static_cast<OBInterface*>(qxGetHandle(handles, i)))->getName());
    }
    return out;
  }
  static std::vector<std::string> warningIds() {
    std::vector<std::string> ids;
    for (const hbRecordedWarning& w : hbTestWarnings()) ids.push_back(w.id);
    return ids;
  }
  // Expects the host error with its identifier (and text, when given).
  static void expectHostError(const std::function<void()>& body, const std::string& id,
                              const std::string& message = "") {
    auto error = TestHost::errorOf(body);
    ASSERT_TRUE(error.has_value()) << "no error; expected " << id;
    EXPECT_EQ(error->id, id) << error->message;
    if (!message.empty()) {
      EXPECT_EQ(error->message, message);
    }
  }

  HostHealth before_;
  std::unique_ptr<TestHost> host_;
  std::vector<OBInterface*> wrapped_;
};

}  // namespace qtest
