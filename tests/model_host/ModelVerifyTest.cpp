// What "verify" refuses before the model goes to the compile manager: a
// rate, rule text, trigger or event function that does not parse, a rate
// name that refers to nothing and an equation term bound to no species, in
// active components; each fault a line of the error's text.
#include <functional>
#include <string>
#include <vector>

#include <ks_utils/MiniCompileManager.hpp>

#include "ModelHostFixture.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/ReactionManipulator.hpp"

namespace {

using ModelVerifyTest = ModelHostTest;

struct VerifyCase {
  const char* label;
  // Builds the fault in the model, which holds compartment "cell", species
  // A and the parameter k.
  std::function<void(ModelVerifyTest&, OBInterface* m)> fault;
  const char* id;  // null: the model verifies
  const char* text;
};

OBInterface* reactionWithRate(ModelVerifyTest& t, OBInterface* m, const char* name,
                              const char* rate) {
  OBInterface* r = t.one(m, "addreaction", {t.host().str("A -> null")});
  t.host().set(r, "Name", t.host().str(name));
  t.host().set(r, "ReactionRate", t.host().str(rate));
  return r;
}

TEST_F(ModelVerifyTest, FaultsNoCompileGetsPastAreRefusedBeforeTheCompile) {
  using T = ModelVerifyTest;
  const std::vector<VerifyCase> cases = {
      {"rate that does not parse",
       [](T& t, OBInterface* m) { reactionWithRate(t, m, "r1", "k*A*("); },
       "Kestrion:InvalidReactionRateSyntax", "Invalid reaction rate 'k*A*(' for reaction 'r1'."},
      {"rate naming nothing", [](T& t, OBInterface* m) { reactionWithRate(t, m, "r1", "kx*A"); },
       "Kestrion:ReactionObjectDoesNotResolve",
       "The name 'kx' in reaction 'r1' does not refer to any in-scope species, parameters, or "
       "compartments."},
      {"equation term without its species",
       [](T& t, OBInterface* m) {
         OBInterface* r = reactionWithRate(t, m, "r1", "k*A");
         // No host path makes such a term; the engine's own equation entry
         // does when the model lacks the name.
         ReactionManipulator manipulator;
         ParsedReactionPtr parsed(manipulator.parseReaction("A -> N"));
         dynamic_cast<BReaction*>(componentOf(r))->setReaction(parsed.get());
       },
       "Kestrion:ReactionObjectDoesNotResolve",
       "The name 'N' in reaction 'r1' does not refer to any in-scope species, parameters, or "
       "compartments."},
      {"assignment rule that does not parse",
       [](T& t, OBInterface* m) {
         t.one(m, "addrule", {t.host().str("A = = 1"), t.host().str("repeatedAssignment")});
       },
       "Kestrion:InvalidAssignmentSyntax",
       "Invalid assignment syntax or parse error for rule 'A = = 1'."},
      {"trigger that does not parse",
       [](T& t, OBInterface* m) {
         t.one(m, "addevent", {t.host().str("time > ("), t.host().str("A = 1")});
       },
       "Kestrion:EventTriggerCannotParse", nullptr},
      {"event function that does not parse",
       [](T& t, OBInterface* m) {
         OBInterface* e = t.one(m, "addevent", {t.host().str("time > 1"), t.host().str("A = (")});
         t.host().set(e, "Name", t.host().str("e1"));
       },
       "Kestrion:InvalidEventFcnSyntax",
       "Invalid assignment syntax or parse error for event function 'A = (' in event 'e1'."},
      {"inactive components are not checked",
       [](T& t, OBInterface* m) {
         t.host().set(reactionWithRate(t, m, "r1", "k*A*("), "Active", t.host().logical(false));
         OBInterface* rule =
             t.one(m, "addrule", {t.host().str("A = = 1"), t.host().str("repeatedAssignment")});
         t.host().set(rule, "Active", t.host().logical(false));
       },
       nullptr, nullptr},
      {"a reaction without a rate", [](T& t, OBInterface* m) { t.one(m, "addreaction", {t.host().str("A -> null")}); },
       nullptr, nullptr},
      {"every fault a line",
       [](T& t, OBInterface* m) {
         reactionWithRate(t, m, "r1", "kx*A + ky");
         reactionWithRate(t, m, "r2", "(");
       },
       "Kestrion:ReactionObjectDoesNotResolve",
       "The name 'kx' in reaction 'r1' does not refer to any in-scope species, parameters, or "
       "compartments.\n"
       "The name 'ky' in reaction 'r1' does not refer to any in-scope species, parameters, or "
       "compartments.\n"
       "Invalid reaction rate '(' for reaction 'r2'."},
  };
  auto& compile = MiniCompileManagerControl::instance();
  for (const VerifyCase& c : cases) {
    SCOPED_TRACE(c.label);
    OBInterface* m = model("m");
    OBInterface* cell = add(m, "addcompartment", {host().str("cell")});
    add(cell, "addspecies", {host().str("A")});
    add(m, "addparameter", {host().str("k")});
    c.fault(*this, m);
    const size_t compiles = compile.calls().size();
    if (!c.id) {
      host().call(m, "verify");
      EXPECT_EQ(compile.calls().size(), compiles + 1);
    } else {
      expectHostError([&] { host().call(m, "verify"); }, c.id, c.text ? c.text : "");
      EXPECT_EQ(compile.calls().size(), compiles);
    }
    EXPECT_TRUE(kstr_stacked_entries().empty());
    host().call(getOBIRoot(), "reset");
  }
}

}  // namespace
