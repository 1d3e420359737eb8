// A test fixture that starts the engine in a fresh test host, drives it as a
// user's script would, and checks when the test ends that nothing is left
// alive.
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

class EngineHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hbTestSetEcho(false);
    MiniCompileManagerControl::instance().reset();
    startHost();
    // The root's model list keeps its storage once grown: grow it first, so
    // that the leak check sees only what a test leaves behind.
    BQuorvixRoot::getInstance()->getModels().reserve(64);
    warmUpReactions();
    startHealth_ = TestHost::health();
  }

  // A fresh started test host (with the Java machine when java_ is set),
  // its logs and the stacked messages cleared.
  void startHost() {
    host_ = std::make_unique<TestHost>(TestHost::Options{java_});
    host().start();
    host().clearLogs();
    kstr_stacked_clear();
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
  // holds, and (unless the test turned checkLeaks_ off) checks that the
  // platform is back where it started.
  void TearDown() override {
    if (!host_) return;
    kstr_stacked_clear();
    if (getOBIRoot()) host().call(getOBIRoot(), "reset");
    host_.reset();
    if (checkLeaks_) {
      EXPECT_EQ(TestHost::health(), startHealth_)
          << "now: " << describe(TestHost::health()) << "\nat start: " << describe(startHealth_);
    }
  }

 public:
  // The helpers are public so that table rows can build their values.
  TestHost& host() { return *host_; }

  // A method call that returns one handle.
  OBInterface* one(OBInterface* object, const char* method, std::initializer_list<qxArray*> args) {
    std::vector<qxArray*> outs = host().call(object, method, args, 1);
    return outs.empty() ? nullptr : objectOf(outs[0]);
  }

  static Kelbor* kelbor(const OBInterface* instance) { return static_cast<Kelbor*>(componentOf(instance)); }

  // The handles of a host array, in order.
  static std::vector<OBInterface*> handlesOf(const qxArray* array) {
    std::vector<OBInterface*> out;
    if (!array || !qxIsHandleArray(array)) return out;
    for (size_t i = 0; i < qxGetNumberOfElements(array); ++i) {
      out.push_back(static_cast<OBInterface*>(qxGetHandle(array, i)));
    }
    return out;
  }

  // The warnings recorded since the last clear, by identifier.
  std::vector<std::string> warningIds() const {
    std::vector<std::string> ids;
    for (const auto& warning : host_->warnings()) ids.push_back(warning.id);
    return ids;
  }

  // Runs the call and expects the error (and the text, when one is given).
  template <class Body>
  void expectHostError(Body body, const std::string& id, const std::string& text = "") {
    auto error = TestHost::errorOf(body);
    ASSERT_TRUE(error.has_value()) << "no error; expected " << id;
    EXPECT_EQ(error->id, id);
    if (!text.empty()) {
      EXPECT_EQ(error->message, text);
    }
  }

  // Set before SetUp runs: the host is started with its Java machine.
  bool java_ = false;
  // Cleared by a test whose leftovers are process-wide by design.
  bool checkLeaks_ = true;
  std::unique_ptr<TestHost> host_;
  HostHealth startHealth_;
};
