// Variant entries and dose references follow the components they name when
// those take a new name, in both rename forms, and the undoable rename gives
// the entries back.
#include "VariantDoseFixture.hpp"

#include <functional>

#include "core/QuantityComponent.hpp"

namespace {

class RenameTest : public VariantDoseTest {
 protected:
  void SetUp() override {
    VariantDoseTest::SetUp();
    m_ = smallModel();
    v1_ = one(m_, "addvariant", {host().str("v1")});
    v2_ = one(m_, "addvariant", {host().str("v2")});
    untouched_ = one(m_, "addvariant", {host().str("untouched")});
    host().set(v1_, "Content",
               host().cell({entry("parameter", "k1", "Value", 1), entry("species", "A", "InitialAmount", 2),
                            entry("species", "c1.B", "InitialAmount", 3), entry("species", "[c1].A", "InitialAmount", 4),
                            entry("compartment", "c1", "Capacity", 5)}));
    host().set(v2_, "Content", host().cell({entry("parameter", "k1", "Value", 6), entry("parameter", "k1", "Value", 7)}));
    host().set(untouched_, "Content", host().cell({entry("parameter", "k2", "Value", 8)}));
    d1_ = one(m_, "adddose", {host().str("d1")});
    host().set(d1_, "TargetName", host().str("c1.A"));
    host().set(d1_, "DurationParameterName", host().str("k1"));
    d2_ = one(m_, "adddose", {host().str("d2"), host().str("schedule")});
    host().set(d2_, "TargetName", host().str("B"));
    host().clearLogs();
  }

  std::vector<std::string> names(OBInterface* v) {
    std::vector<std::string> out;
    for (const std::string& e : entriesOf(*variant(v))) {
      const size_t first = e.find('|');
      out.push_back(e.substr(first + 1, e.find('|', first + 1) - first - 1));
    }
    return out;
  }

  OBInterface* m_ = nullptr;
  OBInterface *v1_ = nullptr, *v2_ = nullptr, *untouched_ = nullptr;
  OBInterface *d1_ = nullptr, *d2_ = nullptr;
};

TEST_F(RenameTest, ParameterRenameRewritesEntriesAndDurationParameters) {
  host().call(find(m_, "k1", kstr::parameter), "rename", {host().str("kon")});
  EXPECT_EQ(names(v1_), (std::vector<std::string>{"kon", "A", "c1.B", "[c1].A", "c1"}));
  EXPECT_EQ(names(v2_), (std::vector<std::string>{"kon", "kon"}));
  EXPECT_EQ(names(untouched_), std::vector<std::string>{"k2"});
  EXPECT_EQ(host().getString(d1_, "DurationParameterName"), "kon");
  // One "Content" event per changed variant, none for the unchanged one.
  EXPECT_EQ(postSets(v1_, "Content"), 1u);
  EXPECT_EQ(postSets(v2_, "Content"), 1u);
  EXPECT_EQ(postSets(untouched_, "Content"), 0u);
  EXPECT_EQ(postSets(d1_, "DurationParameterName"), 1u);
  EXPECT_EQ(postSets(d2_, "TargetName"), 0u);
  // The index follows: a second rename finds the entries under the new name.
  host().call(find(m_, "kon", kstr::parameter), "rename", {host().str("k1")});
  EXPECT_EQ(names(v2_), (std::vector<std::string>{"k1", "k1"}));
  EXPECT_EQ(variant(v2_)->getUsageLocations(componentOf(find(m_, "k1", kstr::parameter))),
            (std::vector<size_t>{0, 1}));
}

TEST_F(RenameTest, SpeciesRenameKeepsTheFormOfEachName) {
  host().call(find(m_, "A", kstr::species), "rename", {host().str("A2")});
  // Names in another form than the partially qualified one (A, [c1].A) take
  // the plain new name; the dose's c1.A, exactly that name, keeps its
  // qualifier.
  EXPECT_EQ(names(v1_), (std::vector<std::string>{"k1", "A2", "c1.B", "A2", "c1"}));
  EXPECT_EQ(host().getString(d1_, "TargetName"), "c1.A2");
  EXPECT_EQ(postSets(v1_, "Content"), 1u);
  EXPECT_EQ(postSets(v2_, "Content"), 0u);
  EXPECT_EQ(postSets(d1_, "TargetName"), 1u);
}

TEST_F(RenameTest, CompartmentRenameToANameThatNeedsBrackets) {
  host().call(find(m_, "c1", kstr::compartment), "rename", {host().str("c 2")});
  EXPECT_EQ(names(v1_), (std::vector<std::string>{"k1", "A", "[c 2].B", "[c 2].A", "[c 2]"}));
  EXPECT_EQ(host().getString(d1_, "TargetName"), "[c 2].A");
  // A bare species name is no reference to the compartment.
  EXPECT_EQ(host().getString(d2_, "TargetName"), "B");
  EXPECT_EQ(postSets(v1_, "Content"), 1u);
  EXPECT_EQ(postSets(v2_, "Content"), 0u);
  // The entries still name the components they named.
  host().call(v1_, "commit", {host().handle(m_)});
  EXPECT_EQ(qxGetScalar(host().get(find(m_, "[c 2].B", kstr::species), "InitialAmount")), 3);
  EXPECT_EQ(qxGetScalar(host().get(find(m_, "[c 2].A", kstr::species), "InitialAmount")), 4);
  EXPECT_EQ(qxGetScalar(host().get(find(m_, "c 2", kstr::compartment), "Capacity")), 5);
  EXPECT_EQ(static_cast<const KelborComponent*>(dose(d1_)->resolveTarget(nullptr)),
            componentOf(find(m_, "A", kstr::species)));
}

TEST_F(RenameTest, UndoableRenameRecordsCollisionsAndItsUndoGivesThemBack) {
  // A second compartment with a species named A2 makes "A2" a taken name.
  OBInterface* c2 = one(m_, "addcompartment", {host().str("c2")});
  one(c2, "addspecies", {host().str("A2")});
  host().set(v2_, "Content",
             host().cell({entry("species", "A", "InitialAmount", 1), entry("species", "c1.A", "InitialAmount", 1)}));
  auto* a = componentOf(find(m_, "c1.A", kstr::species));
  quorvix::type_defs::RenameUndoData record = a->rename("A2", {});
  // The entries A and [c1].A would collide with c2.A2: they get the
  // qualified name and are recorded; an entry that was already written as
  // the qualified name c1.A is not.
  EXPECT_EQ(names(v1_), (std::vector<std::string>{"k1", "c1.A2", "c1.B", "c1.A2", "c1"}));
  EXPECT_EQ(names(v2_), (std::vector<std::string>{"c1.A2", "c1.A2"}));
  ASSERT_EQ(record.variantEntries.size(), 2u);
  EXPECT_EQ(record.variantEntries.at(variant(v1_)), (std::set<uint64_t>{1, 3}));
  EXPECT_EQ(record.variantEntries.at(variant(v2_)), std::set<uint64_t>{0});
  EXPECT_EQ(host().getString(d1_, "TargetName"), "c1.A2");

  // The undo gives the recorded entries the plain name.
  a->rename("A", record);
  EXPECT_EQ(names(v1_), (std::vector<std::string>{"k1", "A", "c1.B", "A", "c1"}));
  EXPECT_EQ(names(v2_), (std::vector<std::string>{"A", "c1.A"}));
  EXPECT_EQ(host().getString(d1_, "TargetName"), "c1.A");
}

// A model finds the variants and doses to rewrite by the names they hold:
// those it no longer holds are left alone, those added again (and names
// set or changed while attached) are found again.
TEST_F(RenameTest, OnlyTheModelsOwnVariantsAndDosesFollowItsRenames) {
  OBInterface* removed = objectOf(host().call(m_, "removevariant", {host().str("v2")}, 1).at(0));
  OBInterface* loose = objectOf(host().call(m_, "removedose", {host().str("d1")}, 1).at(0));
  host().set(d2_, "DurationParameterName", host().str("k1"));
  host().set(untouched_, "Content", host().cell({entry("parameter", "k1", "Value", 8)}));
  host().call(find(m_, "k1", kstr::parameter), "rename", {host().str("kon")});
  EXPECT_EQ(names(removed), (std::vector<std::string>{"k1", "k1"}));
  EXPECT_EQ(host().getString(loose, "DurationParameterName"), "k1");
  EXPECT_EQ(names(v1_), (std::vector<std::string>{"kon", "A", "c1.B", "[c1].A", "c1"}));
  EXPECT_EQ(names(untouched_), std::vector<std::string>{"kon"});
  EXPECT_EQ(host().getString(d2_, "DurationParameterName"), "kon");
  // Deleting the removed ones leaves nothing the next rename could reach.
  ASSERT_TRUE(host().destroy(removed));
  ASSERT_TRUE(host().destroy(loose));
  host().call(find(m_, "kon", kstr::parameter), "rename", {host().str("k1")});
  EXPECT_EQ(names(untouched_), std::vector<std::string>{"k1"});
  EXPECT_EQ(kelbor(m_)->getComponentReferences(componentOf(find(m_, "k1", kstr::parameter))),
            (std::vector<const KelborComponent*>{variant(v1_), variant(untouched_), dose(d2_)}));
}

TEST_F(RenameTest, RenamingTheVariantsAndDosesThemselves) {
  host().set(v1_, "Name", host().str("renamed"));
  EXPECT_EQ(kelbor(m_)->getVariant("renamed"), variant(v1_));
  expectHostError([&] { host().set(d2_, "Name", host().str("d1")); }, "Kestrion:DOSE_WITH_NAME_EXISTS");
  expectHostError([&] { host().set(d2_, "Name", host().str("d2")); }, "Kestrion:DOSE_WITH_NAME_EXISTS");
  expectHostError([&] { host().set(d2_, "Name", host().str("  ")); }, "Kestrion:DOSE_MUST_HAVE_NAME",
                  "A Kestrion dose object must have a name.");
  host().set(d2_, "Name", host().str(" d3 "));
  EXPECT_EQ(kelbor(m_)->getDose("d3"), dose(d2_));
}

}  // namespace

namespace {

// --- doses: what each reference follows ----------------------------------------------------

// The small model with a dose "d" whose TargetName and DurationParameterName
// the case sets; the change is made as the user makes it, and the dose's
// references must still denote their species and parameter.
struct DoseRenameCase {
  const char* label;
  std::function<void(VariantDoseTest&, OBInterface*)> setUp;  // extra components
  const char* target;
  const char* duration;
  // The component renamed, by kind and partially qualified name, and its new name.
  kstr::bcomptype kind;
  const char* renamed;
  const char* newName;
  const char* targetAfter;
  const char* durationAfter;
  // The species and parameter the references denote after the rename, by
  // their partially qualified names after it.
  const char* species;
  const char* parameter;
};

class DoseRenameTest : public VariantDoseTest {
 protected:
  OBInterface* resolved(OBInterface* d, OBInterface* m, const char* method) {
    std::vector<qxArray*> out = host().call(d, method, {host().handle(m)}, 1);
    return out.empty() ? nullptr : objectOf(out[0]);
  }
  std::vector<std::string> usages(OBInterface* d, OBInterface* component) {
    std::vector<qxArray*> out = host().call(d, "privategetusages", {host().handle(component)}, 1);
    std::vector<std::string> names;
    for (size_t i = 0; !out.empty() && qxIsCell(out[0]) && i < qxGetNumberOfElements(out[0]); ++i) {
      names.push_back(qxArrayToStdString(qxGetCell(out[0], i)));
    }
    return names;
  }
};

TEST_F(DoseRenameTest, TargetFollowsItsSpeciesAndDurationItsParameter) {
  auto addSpeciesIn = [](const char* compartment, const char* species) {
    return [=](VariantDoseTest& t, OBInterface* m) {
      OBInterface* c = t.one(m, "addcompartment", {t.host().str(compartment)});
      t.one(c, "addspecies", {t.host().str(species)});
    };
  };
  auto addParameter = [](const char* name) {
    return [=](VariantDoseTest& t, OBInterface* m) { t.one(m, "addparameter", {t.host().str(name), t.host().num(2)}); };
  };
  auto nothing = [](VariantDoseTest&, OBInterface*) {};
  const std::vector<DoseRenameCase> cases = {
      // A species renamed to a name a species of another compartment has:
      // the bare target would denote neither, so it is qualified.
      {"species onto another compartment's species name", addSpeciesIn("c2", "A2"), "A", "k1", kstr::species, "c1.A",
       "A2", "c1.A2", "k1", "c1.A2", "k1"},
      {"species to a free name", nothing, "A", "k1", kstr::species, "c1.A", "A3", "A3", "k1", "c1.A3", "k1"},
      // A parameter sharing its name with the target species: the target
      // stays with its species.
      {"parameter named like the target species", addParameter("B"), "B", "k1", kstr::parameter, "B", "Bp", "B",
       "k1", "c1.B", "k1"},
      // A compartment sharing its name with the duration parameter: the
      // duration stays with its parameter, the target follows its
      // compartment.
      {"compartment named like the duration parameter", addParameter("c1"), "c1.A", "c1", kstr::compartment, "c1",
       "cell", "cell.A", "c1", "cell.A", "c1"},
      {"parameter named like the target's compartment", addParameter("c1"), "c1.A", "c1", kstr::parameter, "c1",
       "dur", "c1.A", "dur", "c1.A", "dur"},
      // A duration parameter renamed to a name that is no identifier is
      // stored as its name, which finds it.
      {"duration parameter to a name with a blank", nothing, "A", "k1", kstr::parameter, "k1", "k 1", "A", "k 1",
       "c1.A", "k 1"},
  };
  for (const DoseRenameCase& c : cases) {
    SCOPED_TRACE(c.label);
    OBInterface* m = smallModel();
    c.setUp(*this, m);
    OBInterface* d = one(m, "adddose", {host().str("d")});
    host().set(d, "TargetName", host().str(c.target));
    host().set(d, "DurationParameterName", host().str(c.duration));
    OBInterface* renamed = find(m, c.renamed, c.kind);
    ASSERT_NE(renamed, nullptr);
    host().call(renamed, "rename", {host().str(c.newName)});
    EXPECT_EQ(host().getString(d, "TargetName"), c.targetAfter);
    EXPECT_EQ(host().getString(d, "DurationParameterName"), c.durationAfter);
    OBInterface* species = find(m, c.species, kstr::species);
    OBInterface* parameter = find(m, c.parameter, kstr::parameter);
    ASSERT_NE(species, nullptr);
    ASSERT_NE(parameter, nullptr);
    EXPECT_EQ(resolved(d, m, "resolvetarget"), species);
    EXPECT_EQ(resolved(d, m, "resolvedurationparameter"), parameter);
    // The dose's usages name each reference under its own component only.
    EXPECT_EQ(usages(d, species), std::vector<std::string>{"TargetName"});
    EXPECT_EQ(usages(d, parameter), std::vector<std::string>{"DurationParameterName"});
    if (c.kind != kstr::species && c.kind != kstr::parameter) {
      EXPECT_TRUE(usages(d, renamed).empty());
    }
    kstr_stacked_clear();
    EXPECT_TRUE(dose(d)->verify(nullptr));
    host().call(m, "delete");
  }
}

}  // namespace
