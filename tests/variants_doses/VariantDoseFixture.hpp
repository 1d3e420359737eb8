// The fixture of the variant and dose tests: a started engine driven
// through the test host as a user's script would, a small model to work on,
// and a check that nothing is left alive when a test ends.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <ks_utils/Errors.hpp>
#include <ks_utils/MiniCompileManager.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"
#include "variants_doses/Dose.hpp"
#include "variants_doses/RepeatDose.hpp"
#include "variants_doses/ScheduleDose.hpp"
#include "variants_doses/Variant.hpp"

class VariantDoseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hbTestSetEcho(false);
    MiniCompileManagerControl::instance().reset();
    host_ = std::make_unique<TestHost>(TestHost::Options{java_});
    host().start();
    host().clearLogs();
    StackedMessageManager::instance().clear();
    BQuorvixRoot::getInstance()->getModels().reserve(64);
    warmUpReactions();
    startHealth_ = TestHost::health();
  }

  // The first reaction of a process fills caches of the reaction code; fill
  // them before the leak check's starting point.
  static void warmUpReactions() {
    auto persistent = [](qxArray* a) {
      qxSetArrayScope(a, qxSCOPE_PERSISTENT);
      return a;
    };
    qxArray* name = persistent(qxCreateString("warm-up"));
    OBInterface* m = obkConstruct("Model", 1, &name);
    qxArray* ins[2] = {persistent(obkHandleArray(m)), persistent(qxCreateString("A -> B"))};
    qxArray* outs[1] = {nullptr};
    obkCallMethod("addreaction", 1, outs, 2, ins);
    qxDestroyArray(outs[0]);
    obkCallMethod("delete", 0, outs, 1, ins);
    for (qxArray* a : {name, ins[0], ins[1]}) qxDestroyArray(a);
    m->releaseReference();
  }

  // Deletes every model through the root, gives back what the host holds
  // and checks that the platform is back where it started.
  void TearDown() override {
    if (!host_) return;
    StackedMessageManager::instance().clear();
    if (getOBIRoot()) host().call(getOBIRoot(), "reset");
    host_.reset();
    EXPECT_EQ(TestHost::health(), startHealth_)
        << "now: " << describe(TestHost::health()) << "\nat start: " << describe(startHealth_);
  }


 public:
  // The helpers are public so that table rows can build their values.
  TestHost& host() { return *host_; }

  // The model "m" with compartment c1 holding species A and B, and the
  // model parameters k1 and k2.
  OBInterface* smallModel(const char* name = "m") {
    OBInterface* m = host().construct("Model", {host().str(name)});
    OBInterface* c1 = one(m, "addcompartment", {host().str("c1")});
    one(c1, "addspecies", {host().str("A"), host().num(1)});
    one(c1, "addspecies", {host().str("B"), host().num(2)});
    one(m, "addparameter", {host().str("k1"), host().num(0.5)});
    one(m, "addparameter", {host().str("k2"), host().num(3)});
    return m;
  }

  // A method call that returns one handle.
  OBInterface* one(OBInterface* object, const char* method, std::initializer_list<qxArray*> args) {
    std::vector<qxArray*> outs = host().call(object, method, args, 1);
    return outs.empty() ? nullptr : objectOf(outs[0]);
  }

  static Kelbor* kelbor(const OBInterface* instance) { return static_cast<Kelbor*>(componentOf(instance)); }
  static Variant* variant(const OBInterface* instance) { return dynamic_cast<Variant*>(componentOf(instance)); }
  static Dose* dose(const OBInterface* instance) { return dynamic_cast<Dose*>(componentOf(instance)); }

  // The component of the kind named in the model.
  static OBInterface* find(OBInterface* model, const std::string& name, kstr::bcomptype kind) {
    KelborComponent* found = kelbor(model)->getPartiallyQualifiedComponent(name, kind);
    return found ? found->getOBI() : nullptr;
  }

  // An entry {type, name, property, value} as a host cell row.
  qxArray* entry(const char* type, const char* name, const char* property, double value) {
    return host().cell({host().str(type), host().str(name), host().str(property), host().num(value)});
  }

  // The content's entries as "type|name|property|value" texts.
  static std::vector<std::string> entriesOf(const Variant& v) {
    std::vector<std::string> out;
    std::unique_ptr<kstrVector<const BPatchQuad*>> quads(v.getQuads());
    for (const BPatchQuad* q : *quads) {
      std::string value = qxIsChar(q->getValue()) ? qxArrayToStdString(q->getValue())
                                                  : qxIsEmpty(q->getValue()) ? "[]" : std::to_string(qxGetScalar(q->getValue()));
      out.push_back(qxArrayToStdString(q->getType()) + "|" + qxArrayToStdString(q->getName()) + "|" +
                    qxArrayToStdString(q->getProp()) + "|" + value);
    }
    return out;
  }

  // Runs the call and expects the error.
  template <class Body>
  void expectHostError(Body body, const std::string& id, const std::string& text = "") {
    auto error = TestHost::errorOf(body);
    ASSERT_TRUE(error.has_value()) << "no error; expected " << id;
    EXPECT_EQ(error->id, id);
    if (!text.empty()) {
      EXPECT_EQ(error->message, text);
    }
  }

  // Post-set events of a property since the last clear, for one source.
  size_t postSets(const OBInterface* source, const std::string& property) {
    size_t count = 0;
    for (const OBEventRecord& e : host().postSetEvents()) {
      if (e.source == source && e.propName == property) ++count;
    }
    return count;
  }

  bool java_ = false;
  std::unique_ptr<TestHost> host_;
  HostHealth startHealth_;
};
