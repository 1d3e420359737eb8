// Species that share a name across compartments (ATP in every compartment)
// and the compartments that hold them, as a user edits them: adding,
// renaming and deleting one of them rewrites exactly the expressions that
// name it, and a compartment can be deleted exactly when no reaction holds
// one of its species as a reactant or product.
#include <functional>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>

#include "ModelHostFixture.hpp"

namespace {

class SharedSpeciesNameTest : public ModelHostTest {
 protected:
  OBInterface* compartment(OBInterface* m, const std::string& name) {
    return add(m, "addcompartment", {host().str(name.c_str())});
  }
  OBInterface* species(OBInterface* c, const char* name) { return add(c, "addspecies", {host().str(name)}); }
  OBInterface* reaction(OBInterface* m, const char* equation) {
    return add(m, "addreaction", {host().str(equation)});
  }
  OBInterface* rule(OBInterface* m, const char* text) { return add(m, "addrule", {host().str(text)}); }
  void rename(OBInterface* object, const char* name) { host().call(object, "rename", {host().str(name)}); }
  std::string text(OBInterface* object, const char* property) { return host().getString(object, property); }
  double inUse(OBInterface* object) { return qxGetScalar(host().get(object, "InUseCount")); }
  std::vector<std::string> warningIds() {
    std::vector<std::string> ids;
    for (const hbRecordedWarning& w : host().warnings()) ids.push_back(w.id);
    return ids;
  }
};

// Expressions name each ATP qualified; adding, renaming and deleting others
// of the name touches none of them, and renaming one rewrites only its own.
TEST_F(SharedSpeciesNameTest, EditsOfOneSharedNameSpeciesRewriteOnlyItsOwnExpressions) {
  OBInterface* m = model("m");
  std::vector<OBInterface*> atp;
  for (int i = 1; i <= 4; ++i) atp.push_back(species(compartment(m, "c" + std::to_string(i)), "ATP"));
  add(m, "addparameter", {host().str("k")});
  add(m, "addparameter", {host().str("x")});
  OBInterface* r1 = reaction(m, "c1.ATP -> c1.ADP");
  host().set(r1, "ReactionRate", host().str("k*c1.ATP"));
  OBInterface* x = rule(m, "x = c2.ATP + c3.ATP");
  const auto expectUntouched = [&] {
    EXPECT_EQ(text(r1, "Reaction"), "c1.ATP -> c1.ADP");
    EXPECT_EQ(text(r1, "ReactionRate"), "k*c1.ATP");
    EXPECT_EQ(text(x, "Rule"), "x = c2.ATP + c3.ATP");
    EXPECT_EQ(inUse(atp[0]), 1.0);
    EXPECT_EQ(inUse(atp[1]), 1.0);
    EXPECT_EQ(inUse(atp[2]), 1.0);
    EXPECT_EQ(inUse(atp[3]), 0.0);
  };
  expectUntouched();

  OBInterface* fifth = species(compartment(m, "c5"), "ATP");
  expectUntouched();
  EXPECT_EQ(inUse(fifth), 0.0);

  rename(atp[1], "GTP");
  EXPECT_EQ(text(x, "Rule"), "x = c2.GTP + c3.ATP");
  EXPECT_EQ(text(r1, "ReactionRate"), "k*c1.ATP");
  EXPECT_EQ(inUse(atp[1]), 1.0);
  rename(atp[1], "ATP");
  expectUntouched();

  EXPECT_TRUE(host().destroy(fifth));
  EXPECT_TRUE(host().destroy(atp[3]));
  atp[3] = species(compartment(m, "c6"), "ATP");
  expectUntouched();
}

// The one place a shared name matters: an expression naming the only
// species of a name bare is qualified when a second one comes, and stays
// so as a third comes and others go; a bare name several species hold
// denotes none of them until only one is left.
TEST_F(SharedSpeciesNameTest, BareNameIsQualifiedWhenItStopsBeingUnique) {
  OBInterface* m = model("m");
  OBInterface* first = species(compartment(m, "c1"), "ATP");
  add(m, "addparameter", {host().str("y")});
  add(m, "addparameter", {host().str("z")});
  OBInterface* y = rule(m, "y = 2*ATP");
  EXPECT_EQ(inUse(first), 1.0);

  OBInterface* second = species(compartment(m, "c2"), "ATP");
  EXPECT_EQ(text(y, "Rule"), "y = 2*c1.ATP");
  OBInterface* third = species(compartment(m, "c3"), "ATP");
  EXPECT_EQ(text(y, "Rule"), "y = 2*c1.ATP");
  EXPECT_EQ(inUse(first), 1.0);

  OBInterface* z = rule(m, "z = ATP + 1");
  EXPECT_EQ(inUse(first) + inUse(second) + inUse(third), 1.0);
  EXPECT_TRUE(host().destroy(third));
  EXPECT_EQ(inUse(first) + inUse(second), 1.0);
  EXPECT_TRUE(host().destroy(second));
  EXPECT_EQ(text(z, "Rule"), "z = ATP + 1");
  EXPECT_EQ(inUse(first), 2.0);

  rename(first, "ATQ");
  EXPECT_EQ(text(y, "Rule"), "y = 2*c1.ATQ");
  EXPECT_EQ(text(z, "Rule"), "z = ATQ + 1");
}

// Each row deletes one compartment: refused (with the warning) while a
// reaction holds one of its species as a reactant or product, allowed when
// its species are named only by rates or share their name with a used
// species of another compartment.
TEST_F(SharedSpeciesNameTest, CompartmentDeleteIsRefusedExactlyWhileAReactionHoldsItsSpecies) {
  OBInterface* m = model("m");
  std::vector<OBInterface*> c;
  for (int i = 1; i <= 5; ++i) c.push_back(compartment(m, "c" + std::to_string(i)));
  species(c[0], "ATP");
  species(c[1], "ATP");
  species(c[4], "Q");
  add(m, "addparameter", {host().str("k")});
  OBInterface* r = reaction(m, "c2.ATP -> c2.ADP");
  host().set(r, "ReactionRate", host().str("k*c5.Q"));
  OBInterface* r2 = reaction(m, "c2.ADP -> c3.P");
  const char* used = "Kestrion:KS_DELETE_COMPARTMENT_SPECIES_BEING_USED";
  struct Row {
    const char* name;
    std::function<void()> before;
    OBInterface* compartment;
    bool deleted;
  };
  const Row rows[] = {
      {"reactant", [] {}, c[1], false},
      {"product", [] {}, c[2], false},
      {"same name as a used species", [] {}, c[0], true},
      {"no longer a product", [&] { EXPECT_TRUE(host().destroy(r2)); }, c[2], true},
      {"named by a rate only", [] {}, c[4], true},
      {"empty", [] {}, c[3], true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    row.before();
    host().clearLogs();
    EXPECT_EQ(host().destroy(row.compartment), row.deleted);
    EXPECT_EQ(warningIds(), row.deleted ? std::vector<std::string>{} : std::vector<std::string>{used});
  }
  // One compartment is left: the equation needs no qualifiers.
  EXPECT_EQ(text(r, "Reaction"), "ATP -> ADP");
}

}  // namespace
