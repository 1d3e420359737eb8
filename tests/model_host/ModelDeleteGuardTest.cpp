// The delete guards of species and parameters in full models, as a user
// deletes: each refuses (with its warning) exactly where the host's own query
// ("kstrselect" for reactions holding the species, "find" for mass-action
// laws listing the parameter) finds a user, whatever else uses the component.
#include <functional>

#include <interp/interp.hpp>

#include "ModelHostFixture.hpp"
#include "core/TreeWiring.hpp"

namespace {

class ModelDeleteGuardTest : public ModelHostTest {
 public:
  // The cases below build their uses through these.
  using ModelHostTest::add;
  using ModelHostTest::host;
  using ModelHostTest::model;

  // "kstrselect", mass-action laws, rules, events, variants, doses and sub-models fill process-wide caches
  // on first use; fill them before the leak check's starting point.
  void SetUp() override {
    ModelHostTest::SetUp();
    OBInterface* m = model("warm-up");
    OBInterface* a = add(add(m, "addcompartment", {host().str("c")}), "addspecies", {host().str("A")});
    reactionsHolding(m, a);
    add(m, "addparameter", {host().str("kf")});
    massAction(reaction(m, "A -> B"), "kf");
    add(m, "addrule", {host().str("A = 2")});
    add(m, "addevent", {host().str("A > 1"), host().str("A = 1")});
    host().call(add(m, "addvariant", {host().str("v")}), "addcontent",
                {host().cell({host().str("species"), host().str("A"), host().str("InitialAmount"), host().num(2)})});
    host().set(add(m, "adddose", {host().str("d")}), "TargetName", host().str("c.A"));
    add(m, "addmodel", {host().str("sub")});
    host().destroy(m);
    host().clearLogs();
    // The caches are memory blocks; the warm-up's own host values are given
    // back with the host at the end as usual.
    startHealth_.hbBlocks = TestHost::health().hbBlocks;
  }

  // The number of reactions of the model holding the species as a reactant
  // or a product, as the host's "kstrselect" counts them.
  size_t reactionsHolding(OBInterface* m, OBInterface* species) {
    qxArray* args[10] = {host().handle(m),       host().str("where"), host().str("Reactants"),
                         host().str("contains"), host().handle(species), host().str("or"),
                         host().str("where"),    host().str("Products"), host().str("contains"),
                         host().handle(species)};
    qxArray* result[1] = {nullptr};
    inCallFcn(1, result, 10, args, "kstrselect");
    const size_t count = result[0] ? qxGetNumberOfElements(result[0]) : 0;
    qxDestroyArray(result[0]);
    return count;
  }

  OBInterface* reaction(OBInterface* m, const char* equation) { return add(m, "addreaction", {host().str(equation)}); }

  OBInterface* massAction(OBInterface* r, const char* forward) {
    OBInterface* law = add(r, "addkineticlaw", {host().str("MassAction")});
    host().call(law, "setparameter", {host().str("Forward Rate Parameter"), host().str(forward)});
    return law;
  }
};

struct Case {
  const char* what;
  // Builds the uses of the component A (species in compartment c, or the
  // model parameter k) in model m.
  std::function<void(ModelDeleteGuardTest&, OBInterface* m)> uses;
  bool refused;
};

TEST_F(ModelDeleteGuardTest, SpeciesIsRefusedOnlyWhileAReactionHoldsIt) {
  const Case cases[] = {
      {"unused", [](ModelDeleteGuardTest&, OBInterface*) {}, false},
      {"reactant", [](ModelDeleteGuardTest& t, OBInterface* m) { t.reaction(m, "A -> B"); }, true},
      {"product", [](ModelDeleteGuardTest& t, OBInterface* m) { t.reaction(m, "B -> 2 A"); }, true},
      {"both sides", [](ModelDeleteGuardTest& t, OBInterface* m) { t.reaction(m, "A + B -> A + C"); }, true},
      {"in a rate only",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         t.add(m, "addreaction", {t.host().str("B -> C"), t.host().str("ReactionRate"), t.host().str("2*A*B")});
       },
       false},
      {"in a mass-action law's reaction of other species",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         t.add(m, "addparameter", {t.host().str("kf")});
         t.massAction(t.reaction(m, "B -> C"), "kf");
       },
       false},
      {"in a rule", [](ModelDeleteGuardTest& t, OBInterface* m) { t.add(m, "addrule", {t.host().str("B = 2*A")}); },
       false},
      {"in an event",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         t.add(m, "addevent", {t.host().str("A > 1"), t.host().str("B = A")});
       },
       false},
      {"in a variant",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         OBInterface* v = t.add(m, "addvariant", {t.host().str("v")});
         t.host().call(v, "addcontent",
                       {t.host().cell({t.host().str("species"), t.host().str("A"), t.host().str("InitialAmount"),
                                       t.host().num(2)})});
       },
       false},
      {"as a dose target",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         OBInterface* d = t.add(m, "adddose", {t.host().str("d")});
         t.host().set(d, "TargetName", t.host().str("c.A"));
       },
       false},
      {"by a reaction that was deleted",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         OBInterface* r = t.reaction(m, "A -> B");
         EXPECT_TRUE(t.host().destroy(r));
       },
       false},
      {"by a reaction in a model with a sub-model",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         t.add(m, "addmodel", {t.host().str("sub")});
         t.reaction(m, "A -> B");
       },
       true},
      {"unused in a model with a sub-model",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         OBInterface* sub = t.add(m, "addmodel", {t.host().str("sub")});
         t.reaction(sub, "A -> B");
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OBInterface* m = model("m");
    OBInterface* compartment = add(m, "addcompartment", {host().str("c")});
    OBInterface* a = add(compartment, "addspecies", {host().str("A")});
    add(compartment, "addspecies", {host().str("B")});
    c.uses(*this, m);
    host().clearLogs();
    EXPECT_EQ(reactionsHolding(m, a) != 0, c.refused);
    EXPECT_EQ(!host().destroy(a), c.refused);
    EXPECT_EQ(warningIds(), c.refused ? std::vector<std::string>{"Kestrion:DELETE_SPECIES_BEING_USED"}
                                      : std::vector<std::string>{});
    host().clearLogs();
    EXPECT_TRUE(host().destroy(m));
  }
}

TEST_F(ModelDeleteGuardTest, ParameterIsRefusedOnlyWhileAMassActionLawListsIt) {
  const Case cases[] = {
      {"unused", [](ModelDeleteGuardTest&, OBInterface*) {}, false},
      {"forward rate of a mass-action law",
       [](ModelDeleteGuardTest& t, OBInterface* m) { t.massAction(t.reaction(m, "A -> B"), "k"); }, true},
      {"reverse rate of a mass-action law",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         t.add(m, "addparameter", {t.host().str("kf")});
         OBInterface* law = t.massAction(t.reaction(m, "A <-> B"), "kf");
         t.host().call(law, "setparameter", {t.host().str("Reverse Rate Parameter"), t.host().str("k")});
       },
       true},
      {"named with its model's name, which the law does not resolve",
       [](ModelDeleteGuardTest& t, OBInterface* m) { t.massAction(t.reaction(m, "A -> B"), "m.k"); }, false},
      {"in a rate only",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         t.add(m, "addreaction", {t.host().str("A -> B"), t.host().str("ReactionRate"), t.host().str("k*A")});
       },
       false},
      {"in an enzyme law",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         OBInterface* law = t.add(t.reaction(m, "A -> B"), "addkineticlaw", {t.host().str("Henri-Michaelis-Menten")});
         t.host().call(law, "setparameter", {t.host().str("Vm"), t.host().str("k")});
       },
       false},
      {"in a rule", [](ModelDeleteGuardTest& t, OBInterface* m) { t.add(m, "addrule", {t.host().str("B = k*A")}); },
       false},
      {"bound first, then the law bound to another parameter",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         t.add(m, "addparameter", {t.host().str("k2")});
         OBInterface* law = t.massAction(t.reaction(m, "A -> B"), "k");
         t.host().call(law, "setparameter", {t.host().str("Forward Rate Parameter"), t.host().str("k2")});
       },
       false},
      {"by a reaction that was deleted",
       [](ModelDeleteGuardTest& t, OBInterface* m) {
         OBInterface* r = t.reaction(m, "A -> B");
         t.massAction(r, "k");
         EXPECT_TRUE(t.host().destroy(r));
       },
       false},
      {"by a law of another model",
       [](ModelDeleteGuardTest& t, OBInterface*) {
         OBInterface* other = t.model("other");
         t.add(other, "addparameter", {t.host().str("k")});
         t.massAction(t.reaction(other, "A -> B"), "k");
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OBInterface* m = model("m");
    add(m, "addcompartment", {host().str("c")});
    OBInterface* k = add(m, "addparameter", {host().str("k")});
    c.uses(*this, m);
    host().clearLogs();
    EXPECT_EQ(isParameterInMassActionKineticLaw(k, m), c.refused);
    EXPECT_EQ(isParameterUsedByMassActionLaw(k, m), c.refused);
    EXPECT_EQ(!host().destroy(k), c.refused);
    EXPECT_EQ(warningIds(), c.refused ? std::vector<std::string>{"Kestrion:DELETE_PARAMETER_BEING_USED"}
                                      : std::vector<std::string>{});
    host().clearLogs();
    EXPECT_TRUE(host().destroy(m));
  }
}

}  // namespace
