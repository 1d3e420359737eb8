// The fixture of the Rule and Event host-class tests: the reaction fixture's
// started engine, plus adding rules and events as a user would and reading
// the stacked messages of a verification.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include <ks_utils/Errors.hpp>

#include "ReactionHostFixture.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BRule.hpp"

namespace rtest {

class RuleEventTest : public ReactionHostTest {
 protected:
  OBInterface* addRule(OBInterface* m, std::initializer_list<qxArray*> args) {
    return call1(m, "addrule", args);
  }
  OBInterface* addEvent(OBInterface* m, std::initializer_list<qxArray*> args) {
    return call1(m, "addevent", args);
  }
  OBInterface* addSpecies(OBInterface* m, const char* name) {
    return call1(m, "addspecies", {host().str(name)});
  }
  OBInterface* addParameter(OBInterface* m, const char* name) {
    return call1(m, "addparameter", {host().str(name)});
  }

  // One refused call of a model's add method: its arguments after the
  // model, the identifier and (when given) the text of the error.
  struct Refusal {
    const char* label;
    std::vector<qxArray*> args;
    const char* id;
    const char* text;
  };
  // Runs each call, expects its error, and that the model's list named by
  // listProperty stays empty; no instance is left alive.
  void expectRefusals(OBInterface* m, const char* method, const char* listProperty,
                      const std::vector<Refusal>& refusals) {
    const size_t instances = OBInterface::liveCount();
    for (const Refusal& c : refusals) {
      SCOPED_TRACE(c.label);
      std::vector<qxArray*> ins{host().handle(m)};
      ins.insert(ins.end(), c.args.begin(), c.args.end());
      auto error = TestHost::errorOf([&] {
        qxArray* outs[1] = {nullptr};
        obkCallMethod(method, 1, outs, static_cast<int>(ins.size()), ins.data());
        host().own(outs[0]);
      });
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->id, c.id);
      if (c.text) {
        EXPECT_EQ(error->message, c.text);
      }
      EXPECT_TRUE(qxIsEmpty(host().get(m, listProperty)));
    }
    EXPECT_EQ(OBInterface::liveCount(), instances);
  }

  static BRule* rule(const OBInterface* instance) { return dynamic_cast<BRule*>(componentOf(instance)); }
  static BEvent* event(const OBInterface* instance) {
    return dynamic_cast<BEvent*>(componentOf(instance));
  }

  // The identifiers and texts of the messages stacked so far; the stack is
  // cleared by takeStacked.
  struct Stacked {
    std::vector<std::string> ids;
    std::vector<std::string> texts;
  };
  static Stacked takeStacked() {
    Stacked out;
    for (const StackedMessage& m : kstr_stacked_entries()) {
      out.ids.push_back(m.id);
      out.texts.push_back(m.text);
    }
    kstr_stacked_clear();
    return out;
  }

  // The property post-set events logged for the instance's property.
  size_t postSets(const OBInterface* instance, const std::string& property) const {
    size_t count = 0;
    for (const OBEventRecord& e : host_->postSetEvents()) {
      if (e.source == instance && e.propName == property) ++count;
    }
    return count;
  }
};

}  // namespace rtest
