// The fixture of the Model and Root host-class tests: a started engine,
// driven through the test host as a user would, and a check that nothing is
// left alive when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <ks_utils/MiniCompileManager.hpp>
#include <obk/obk.hpp>
#include <sv/sv.hpp>
#include <sv/sv_test.hpp>
#include <testhost/TestHost.hpp>

#include "variants_doses/Dose.hpp"
#include "variants_doses/Variant.hpp"
#include "configsets/Configset.hpp"
#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"
#include "model/Kelbor.hpp"

class ModelHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hbTestSetEcho(false);
    MiniCompileManagerControl::instance().reset();
    host_ = std::make_unique<TestHost>(TestHost::Options{java_});
    host().start();
    host().clearLogs();
    // The root's model list keeps its storage once grown: grow it first, so
    // that the leak check sees only what a test leaves behind.
    BQuorvixRoot::getInstance()->getModels().reserve(64);
    warmUpReactions();
    startHealth_ = TestHost::health();
  }

  // The first reaction of a model fills process-wide caches of the reaction
  // code; fill them before the leak check's starting point.
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

  // Deletes every model through the root, gives back everything the host
  // holds, and checks that the platform is back where it started.
  void TearDown() override {
    if (!host_) return;
    if (getOBIRoot()) host().call(getOBIRoot(), "reset");
    host_.reset();
    if (checkLeaks_) {
      EXPECT_EQ(TestHost::health(), startHealth_)
          << "now: " << describe(TestHost::health()) << "\nat start: " << describe(startHealth_);
    }
  }

  TestHost& host() { return *host_; }

  OBInterface* model(std::initializer_list<qxArray*> args = {}) { return host().construct("Model", args); }
  OBInterface* model(const char* name) { return model({host().str(name)}); }

  // A method call that returns one handle.
  OBInterface* add(OBInterface* object, const char* method, std::initializer_list<qxArray*> args) {
    std::vector<qxArray*> outs = host().call(object, method, args, 1);
    return outs.empty() ? nullptr : objectOf(outs[0]);
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

  static Kelbor* kelbor(const OBInterface* instance) { return static_cast<Kelbor*>(componentOf(instance)); }
  static std::string nameOf(const OBInterface* instance) { return componentOf(instance)->getName(); }

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

  // The warnings recorded since the last clear, by identifier.
  std::vector<std::string> warningIds() {
    std::vector<std::string> ids;
    for (const auto& warning : host().warnings()) ids.push_back(warning.id);
    return ids;
  }

  bool java_ = false;
  bool checkLeaks_ = true;
  std::unique_ptr<TestHost> host_;
  HostHealth startHealth_;
};
