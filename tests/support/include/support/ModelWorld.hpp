// A model built directly from components (no host objects): compartments,
// species, parameters and rule-like expression components.  The world tears
// it down the way the host does: the model is marked first, then every
// component goes.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <hb/hb_test.hpp>

#include "model/Kelbor.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"
#include "support/TestComponents.hpp"
#include "support/TestRule.hpp"

class ModelWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    registerMessageCatalog();
    hbTestSetEcho(false);
    model_ = new Kelbor();
  }
  void TearDown() override {
    model_->notifyModelBeingDestroyed();
    for (TestRule* r : rules_) model_->deleteRule(r);
    delete model_;
    for (KelborComponent* c : afterModel_) delete c;
    for (KelborComponent* c : owned_) {
      // A compartment's host vectors go with it, as its destroy hook does.
      if (c->getEnumType() == kstr::compartment) static_cast<BCompartment*>(c)->releaseHandleVectors();
      delete c;
    }
  }

  BCompartment* compartment(const std::string& name) {
    auto* c = new BCompartment();
    c->setName(name);
    model_->addCompartment(c);
    owned_.push_back(c);
    return c;
  }
  BSpecies* species(BCompartment* c, const std::string& name) {
    auto* s = new BSpecies();
    s->setName(name);
    c->addSpecies(s);
    owned_.insert(owned_.begin(), s);  // species go before their compartment
    return s;
  }
  BParameter* parameter(const std::string& name) {
    auto* p = new BParameter();
    p->setName(name);
    model_->addParameter(p);
    owned_.insert(owned_.begin(), p);
    return p;
  }
  TestRule* rule(const std::string& text) {
    auto* r = new TestRule(text);
    model_->addRule(r);
    rules_.push_back(r);
    afterModel_.push_back(r);
    return r;
  }

  Kelbor* model_ = nullptr;
  std::vector<KelborComponent*> owned_;
  std::vector<TestRule*> rules_;
  // Expression components, deleted after the model and before the rest.
  std::vector<KelborComponent*> afterModel_;
};
