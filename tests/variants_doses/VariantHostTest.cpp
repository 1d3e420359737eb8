// The host class "Variant" as a user's script reaches it: construction,
// addcontent, rmcontent, verify, commit, display, copyobj and
// privategetusages.
#include "VariantDoseFixture.hpp"

#include <cmath>
#include <limits>

#include "configsets/Configset.hpp"

namespace {

class VariantHostTest : public VariantDoseTest {
 protected:
  OBInterface* lowDose(std::initializer_list<qxArray*> more = {}) {
    std::vector<qxArray*> args{host().str("lowDose")};
    args.insert(args.end(), more.begin(), more.end());
    OBInterface* v = nullptr;
    switch (args.size()) {
      case 1: v = host().construct("Variant", {args[0]}); break;
      case 2: v = host().construct("Variant", {args[0], args[1]}); break;
      case 3: v = host().construct("Variant", {args[0], args[1], args[2]}); break;
      default: v = host().construct("Variant", {args[0], args[1], args[2], args[3]}); break;
    }
    return v;
  }
};

TEST_F(VariantHostTest, ConstructorForms) {
  OBInterface* unnamed = host().construct("Variant");
  EXPECT_EQ(variant(unnamed)->getName(), "");
  EXPECT_FALSE(variant(unnamed)->getActive());
  EXPECT_EQ(host().getString(unnamed, "Type"), "variant");

  OBInterface* paired = lowDose({host().str("Active"), host().logical(true)});
  EXPECT_TRUE(variant(paired)->getActive());
  EXPECT_EQ(variant(paired)->getNumEntries(), 0u);

  OBInterface* full = lowDose({entry("species", "A", "InitialAmount", 1), host().str("Active"), host().logical(true)});
  EXPECT_TRUE(variant(full)->getActive());
  EXPECT_EQ(variant(full)->getNumEntries(), 1u);

  OBInterface* trimmed = host().construct("Variant", {host().str("  spaced  ")});
  EXPECT_EQ(variant(trimmed)->getName(), "spaced");

  const size_t instances = OBInterface::liveCount();
  const char* const noName = "A Kestrion.Variant object must have a name.";
  expectHostError([&] { host().construct("Variant", {host().str("")}); }, "Kestrion:VariantObjectMustHaveName", noName);
  expectHostError([&] { host().construct("Variant", {host().num(3)}); }, "Kestrion:VariantObjectMustHaveName", noName);
  expectHostError([&] { host().construct("Variant", {host().str("   ")}); }, "Kestrion:VariantMustHaveName",
                  "A Kestrion variant object must have a name.");
  // ('lowDose', 'Active'): the text is taken as content and refused.
  expectHostError([&] { lowDose({host().str("Active")}); }, "Kestrion:MalformedVariantContent");
  // A refused pair leaves nothing alive.
  expectHostError([&] { lowDose({entry("species", "A", "InitialAmount", 1), host().str("Bogus"), host().num(1)}); },
                  "Kestrion:KSTR_INVALID_PVPAIR");
  EXPECT_EQ(OBInterface::liveCount(), instances);
}

TEST_F(VariantHostTest, AddContentFromArraysAndVariants) {
  OBInterface* v = lowDose({entry("species", "A", "InitialAmount", 1)});
  OBInterface* other = host().construct("Variant", {host().str("other"), entry("parameter", "k1", "Value", 2)});
  host().clearLogs();
  host().call(v, "addcontent", {entry("compartment", "c1", "Capacity", 3)});
  host().call(v, "addcontent", {host().handle(other)});
  EXPECT_EQ(entriesOf(*variant(v)),
            (std::vector<std::string>{"species|A|InitialAmount|1.000000", "compartment|c1|Capacity|3.000000",
                                      "parameter|k1|Value|2.000000"}));
  EXPECT_EQ(postSets(v, "Content"), 2u);
  EXPECT_EQ(variant(other)->getNumEntries(), 1u);

  // An empty handle changes and announces nothing; another class is refused.
  host().clearLogs();
  host().call(v, "addcontent", {host().handle(nullptr)});
  EXPECT_EQ(postSets(v, "Content"), 0u);
  OBInterface* m = host().construct("Model", {host().str("m")});
  expectHostError([&] { host().call(v, "addcontent", {host().handle(m)}); }, "Kestrion:AddContentInvalidInput",
                  "When adding content to a Variant, either supply another Variant or content as described in "
                  "kstrvariant");
  expectHostError([&] { host().call(v, "addcontent", {host().str("text")}); }, "Kestrion:MalformedVariantContent");
  EXPECT_EQ(variant(v)->getNumEntries(), 3u);
}

TEST_F(VariantHostTest, RemoveContentByNumbersAndEntries) {
  OBInterface* v = lowDose();
  for (double i = 1; i <= 4; ++i) host().call(v, "addcontent", {entry("parameter", "k1", "Value", i)});
  host().clearLogs();
  host().call(v, "rmcontent", {host().nums({2, 2, 1})});
  EXPECT_EQ(entriesOf(*variant(v)),
            (std::vector<std::string>{"parameter|k1|Value|3.000000", "parameter|k1|Value|4.000000"}));
  EXPECT_EQ(postSets(v, "Content"), 1u);

  struct BadIndex {
    double value;
    const char* id;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const BadIndex bad[] = {
      {0, "Kestrion:VariantRemoveInvalidIndicie"},    {-1, "Kestrion:VariantRemoveInvalidIndicie"},
      {1.5, "Kestrion:VariantRemoveInvalidIndicie"},  {std::nan(""), "Kestrion:VariantRemoveInvalidIndicie"},
      {-inf, "Kestrion:VariantRemoveInvalidIndicie"}, {inf, "Kestrion:VariantRemoveOutOfRange"},
      {3, "Kestrion:VariantRemoveOutOfRange"},        {1e300, "Kestrion:VariantRemoveOutOfRange"},
  };
  for (const BadIndex& b : bad) {
    SCOPED_TRACE(b.value);
    expectHostError([&] { host().call(v, "rmcontent", {host().nums({1, b.value})}); }, b.id);
    EXPECT_EQ(variant(v)->getNumEntries(), 2u);
  }
  host().clearLogs();
  host().call(v, "rmcontent", {host().own(qxCreateDoubleMatrix(1, 0, qxREAL))});
  EXPECT_EQ(variant(v)->getNumEntries(), 2u);
  EXPECT_EQ(postSets(v, "Content"), 1u);

  host().call(v, "rmcontent", {host().cell({entry("parameter", "k1", "Value", 4)})});
  EXPECT_EQ(entriesOf(*variant(v)), std::vector<std::string>{"parameter|k1|Value|3.000000"});
  expectHostError([&] { host().call(v, "rmcontent", {entry("parameter", "k1", "Value", 4)}); },
                  "Kestrion:VariantContentNotFound");
  EXPECT_EQ(variant(v)->getNumEntries(), 1u);
}

TEST_F(VariantHostTest, CommitSetsTheModelsValuesInactiveOrNot) {
  OBInterface* m = smallModel();
  OBInterface* v = host().construct(
      "Variant", {host().str("v"), host().cell({entry("species", "A", "InitialAmount", 10),
                                                entry("Parameter", "k1", "VALUE", 7),
                                                entry("compartment", "c1", "capacity", 4),
                                                entry("species", "c1.B", "InitialAmount", 20)})});
  ASSERT_FALSE(variant(v)->getActive());
  host().call(v, "commit", {host().handle(m)});
  EXPECT_EQ(qxGetScalar(host().get(find(m, "A", kstr::species), "InitialAmount")), 10);
  EXPECT_EQ(qxGetScalar(host().get(find(m, "B", kstr::species), "InitialAmount")), 20);
  EXPECT_EQ(qxGetScalar(host().get(find(m, "k1", kstr::parameter), "Value")), 7);
  EXPECT_EQ(qxGetScalar(host().get(find(m, "c1", kstr::compartment), "Capacity")), 4);
}

TEST_F(VariantHostTest, CommitRefusesBeforeSettingAnything) {
  OBInterface* m = smallModel();
  struct Case {
    std::vector<const char*> entry;
    const char* id;
    const char* text;
  };
  const Case cases[] = {
      {{"species", "A", "Value"}, "Kestrion:PatchInvalidProperty",
       "Property 'Value' on species objects are not supported. Valid property names are InitialAmount."},
      {{"reaction", "r1", "Rate"}, "Kestrion:VariantComponentTypeNotSupported",
       "Invalid type 'reaction'. Valid types for variants are 'species', 'parameter' and 'compartment'."},
      {{"species", "Z", "InitialAmount"}, "Kestrion:VariantCommitComponentDoesNotExist",
       "Component 'Z' does not exist in the model."},
      {{"species", "", "InitialAmount"}, "Kestrion:MalformedVariantName", nullptr},
      {{"parameter", "A", "Value"}, "Kestrion:VariantCommitComponentDoesNotExist", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    // The good entry comes first and must not be set.
    OBInterface* v = host().construct(
        "Variant", {host().str("v"), host().cell({entry("parameter", "k1", "Value", 99),
                                                  entry(c.entry[0], c.entry[1], c.entry[2], 1)})});
    expectHostError([&] { host().call(v, "commit", {host().handle(m)}); }, c.id, c.text ? c.text : "");
    EXPECT_EQ(qxGetScalar(host().get(find(m, "k1", kstr::parameter), "Value")), 0.5);
    host().destroy(v);
  }
  // A missing compartment is reported before a missing species.
  OBInterface* v = host().construct(
      "Variant", {host().str("v"), host().cell({entry("species", "Z", "InitialAmount", 1),
                                                entry("compartment", "cz", "Capacity", 1)})});
  expectHostError([&] { host().call(v, "commit", {host().handle(m)}); }, "Kestrion:VariantCommitComponentDoesNotExist",
                  "Component 'cz' does not exist in the model.");
  expectHostError([&] { host().call(v, "commit", {host().handle(v)}); }, "Kestrion:VariantCommitNeedsModelObject",
                  "The commit method of a variant object requires a Kestrion model object as a target.");
  expectHostError([&] { host().call(v, "commit", {host().handle(nullptr)}); },
                  "Kestrion:VariantCommitNeedsModelObject");
}

TEST_F(VariantHostTest, VerifyCompilesTheModelWithTheVariantAlone) {
  OBInterface* m = smallModel();
  OBInterface* v = one(m, "addvariant", {host().str("v")});
  auto& control = MiniCompileManagerControl::instance();
  host().call(v, "verify", {host().handle(m)});
  ASSERT_EQ(control.calls().size(), 1u);
  EXPECT_EQ(control.calls()[0].model, kelbor(m));
  EXPECT_EQ(control.calls()[0].configSet, kelbor(m)->getActiveConfigSet());
  EXPECT_EQ(control.calls()[0].variants, std::vector<const Variant*>{variant(v)});
  EXPECT_TRUE(control.calls()[0].doses.empty());

  OBInterface* set = kelbor(m)->getActiveConfigSet()->getOBI();
  host().call(v, "verify", {host().handle(m), host().handle(set)});
  EXPECT_EQ(control.calls().size(), 2u);

  expectHostError([&] { host().call(v, "verify", {host().handle(m), host().handle(nullptr)}); },
                  "Kestrion:InvalidConfigSetForVariantVerify",
                  "A model and an optional configuration set must be supplied for a variant verification.");
  const char* const needsModel = "The verify method on a variant requires a model to verify against.";
  expectHostError([&] { host().call(v, "verify", {host().handle(nullptr)}); }, "Kestrion:VariantVerifyNeedsModel",
                  needsModel);
  expectHostError([&] { host().call(v, "verify", {host().handle(v)}); }, "Kestrion:VariantVerifyNeedsModel",
                  needsModel);
  expectHostError([&] { host().call(v, "verify", {host().handle(v), host().handle(set)}); },
                  "Kestrion:VariantVerifyNeedsModel", needsModel);
  control.setMode(MiniCompileManagerControl::Mode::Throw);
  control.setError("Kestrion:CompileFailed", "compile failed");
  expectHostError([&] { host().call(v, "verify", {host().handle(m)}); }, "Kestrion:CompileFailed");
  control.setMode(MiniCompileManagerControl::Mode::ReturnEmpty);
}

TEST_F(VariantHostTest, DisplayOneAndMany) {
  OBInterface* v = host().construct(
      "Variant", {host().str("lowDose"),
                  host().cell({entry("species", "A", "InitialAmount", 1.5),
                               host().cell({host().str("parameter"), host().str("a_name_of_18_chars"),
                                            host().str("Value"), host().str("twelve chars")}),
                               host().cell({host().str("species"), host().str("B"), host().str("InitialAmount"),
                                            host().nums({1, 2, 3})}),
                               host().cell({host().str("species"), host().str("C"), host().str("InitialAmount"),
                                            host().logical(true)})})});
  host().clearLogs();
  host().call(v, "display");
  const std::string expected =
      "\n   Kestrion Variant - lowDose (inactive)"
      "\n\n   ContentIndex:     Type:        Name:             Property:           Value:\n"
      "   1                 species      A                 InitialAmount       1.5\n"
      "   2                 parameter    a_name_of_18_c... Value               twelve ch...\n"
      "   3                 species      B                 InitialAmount       [1x3] double\n"
      "   4                 species      C                 InitialAmount       true\n\n";
  EXPECT_EQ(hbTestPrinted(), expected);

  OBInterface* empty = host().construct("Variant", {host().str("name_of_18_chars__")});
  host().set(empty, "Active", host().logical(true));
  hbTestClearPrinted();
  host().call(empty, "display");
  EXPECT_NE(hbTestPrinted().find("(active)"), std::string::npos);
  EXPECT_NE(hbTestPrinted().find("   -                 -            -                 -                   -\n"),
            std::string::npos);

  hbTestClearPrinted();
  host().call("display", {host().handles({v, empty})});
  EXPECT_EQ(hbTestPrinted(),
            "\n   Kestrion Variant Array\n\n   Index:  Name:             Active:\n"
            "   1       lowDose           false\n"
            "   2       name_of_18_cha... true\n\n");
}

TEST_F(VariantHostTest, CopyObjIntoAnotherModel) {
  OBInterface* m = smallModel();
  OBInterface* other = smallModel("other");
  OBInterface* v = one(m, "addvariant", {host().str("v")});
  host().call(v, "addcontent", {entry("parameter", "k1", "Value", 2)});
  OBInterface* copy = one(v, "copyobj", {host().handle(other)});
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, v);
  EXPECT_EQ(copy->getUp(), other);
  EXPECT_EQ(kelbor(other)->getVariant("v"), variant(copy));
  EXPECT_EQ(variant(copy)->getParent(), kelbor(other));
  EXPECT_EQ(entriesOf(*variant(copy)), entriesOf(*variant(v)));
  EXPECT_NE(variant(copy)->getContent(), variant(v)->getContent());
  expectHostError([&] { host().call(v, "copyobj", {host().handle(other)}, 1); }, "Kestrion:VariantWithNameExists");
  OBInterface* c1 = find(m, "c1", kstr::compartment);
  expectHostError([&] { host().call(v, "copyobj", {host().handle(c1)}, 1); }, "Kestrion:COPYOBJ_INVALIDARG");
  expectHostError([&] { host().call(v, "copy"); }, "Kestrion:KS_COPY_INVALID_METHOD");
}

TEST_F(VariantHostTest, NamesAreUniquePerModel) {
  OBInterface* m = smallModel();
  OBInterface* alpha = one(m, "addvariant", {host().str("alpha")});
  OBInterface* beta = one(m, "addvariant", {host().str("beta")});
  const char* const exists =
      "A variant with that name already exists on the model. Variant names must be unique on a model.";
  expectHostError([&] { host().set(beta, "Name", host().str("alpha")); }, "Kestrion:VariantWithNameExists", exists);
  expectHostError([&] { host().set(alpha, "Name", host().str("alpha")); }, "Kestrion:VariantWithNameExists", exists);
  host().set(beta, "Name", host().str("  gamma "));
  EXPECT_EQ(variant(beta)->getName(), "gamma");
  EXPECT_EQ(kelbor(m)->getVariant("gamma"), variant(beta));
}

TEST_F(VariantHostTest, UsagesOfAComponent) {
  OBInterface* m = smallModel();
  OBInterface* v = one(m, "addvariant", {host().str("v")});
  host().set(v, "Content",
             host().cell({entry("species", "A", "InitialAmount", 1), entry("parameter", "k1", "Value", 1),
                          entry("species", "c1.A", "InitialAmount", 1), entry("species", "B", "InitialAmount", 1)}));
  qxArray* usages = host().call(v, "privategetusages", {host().handle(find(m, "A", kstr::species))}, 1).at(0);
  ASSERT_EQ(qxGetNumberOfElements(usages), 2u);
  EXPECT_EQ(qxGetPr(usages)[0], 1);
  EXPECT_EQ(qxGetPr(usages)[1], 3);
  EXPECT_EQ(variant(v)->getUsageLocations(componentOf(find(m, "A", kstr::species))), (std::vector<size_t>{0, 2}));
  // The compartment that qualifies a species entry is no usage of it.
  EXPECT_TRUE(qxIsEmpty(host().call(v, "privategetusages", {host().handle(find(m, "c1", kstr::compartment))}, 1).at(0)));
  OBInterface* loose = host().construct("Species", {host().str("A")});
  EXPECT_TRUE(qxIsEmpty(host().call(v, "privategetusages", {host().handle(loose)}, 1).at(0)));
  EXPECT_TRUE(qxIsEmpty(host().call(v, "privategetusages", {host().handle(v)}, 1).at(0)));
  // The model lists the variant among the component's references.
  EXPECT_EQ(kelbor(m)->getComponentReferences(componentOf(find(m, "k1", kstr::parameter))),
            std::vector<const KelborComponent*>{variant(v)});
  EXPECT_TRUE(kelbor(m)->getComponentReferences(componentOf(find(m, "k2", kstr::parameter))).empty());
}

}  // namespace
