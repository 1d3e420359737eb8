// Deleting models, reordering their components, displaying them, copying
// them and the shared help and copy methods on "Model".
#include "ModelHostFixture.hpp"

#include <functional>

#include "model/ModelOBC.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "reactions/BReaction.hpp"

namespace {

using ModelTreeTest = ModelHostTest;

// --- delete ---------------------------------------------------------------------------------

TEST_F(ModelTreeTest, DeleteDestroysTheModelAndItsComponents) {
  OBInterface* m = model("m");
  add(m, "addspecies", {host().str("A")});
  add(m, "addparameter", {host().str("k")});
  add(m, "addreaction", {host().str("A -> B")});
  host().call(m, "delete");
  EXPECT_FALSE(m->isValid());
  EXPECT_TRUE(BQuorvixRoot::getInstance()->getModels().empty());
  expectHostError([&] { host().get(m, "Name"); }, "obk:InvalidObject");
}

// Repeated handles and sub-models listed after their parents are already
// destroyed when their turn comes: nothing is notified or freed twice.
TEST_F(ModelTreeTest, DeleteOfAVectorSkipsWhatIsAlreadyGone) {
  OBInterface* top = model("top");
  OBInterface* sub = add(top, "addmodel", {host().str("sub")});
  OBInterface* other = model("other");
  add(sub, "addparameter", {host().str("k")});
  host().call(top, "delete", {});
  EXPECT_FALSE(sub->isValid());
  EXPECT_TRUE(other->isValid());
  OBInterface* again = model("again");
  OBInterface* nested = add(again, "addmodel", {host().str("nested")});
  std::vector<qxArray*> ins{host().handles({again, nested, again, other})};
  qxArray* outs[1] = {nullptr};
  obkCallMethod("delete", 0, outs, 1, ins.data());
  for (OBInterface* gone : {again, nested, other}) EXPECT_FALSE(gone->isValid());
  EXPECT_TRUE(BQuorvixRoot::getInstance()->getModels().empty());
  EXPECT_TRUE(obkDestroyDiagnostics().empty());
}

// --- reorder --------------------------------------------------------------------------------

TEST_F(ModelTreeTest, ReorderParametersReactionsSubModelsAndCompartments) {
  OBInterface* m = model("m");
  OBInterface* k1 = add(m, "addparameter", {host().str("k1")});
  OBInterface* k2 = add(m, "addparameter", {host().str("k2")});
  OBInterface* r1 = add(m, "addreaction", {host().str("A -> B"), host().str("Name"), host().str("r1")});
  OBInterface* r2 = add(m, "addreaction", {host().str("B -> A"), host().str("Name"), host().str("r2")});
  OBInterface* s1 = add(m, "addmodel", {host().str("s1")});
  OBInterface* s2 = add(m, "addmodel", {host().str("s2")});
  OBInterface* c2 = add(m, "addcompartment", {host().str("c2")});
  OBInterface* c1 = kelbor(m)->getNamedCompartment("unnamed")->getOBI();
  kelbor(m)->setCompileNeeded(false);
  host().call(m, "reorder", {host().handles({k2, k1})});
  EXPECT_EQ(handlesOf(host().get(m, "Parameters")), (std::vector<OBInterface*>{k2, k1}));
  EXPECT_EQ(kelbor(m)->getParameterAt(0)->getOBI(), k2);
  EXPECT_TRUE(kelbor(m)->getCompileNeeded());
  host().call(m, "reorder", {host().handles({r2, r1})});
  EXPECT_EQ(handlesOf(host().get(m, "Reactions")), (std::vector<OBInterface*>{r2, r1}));
  EXPECT_EQ(kelbor(m)->getReactionAt(0)->getOBI(), r2);
  host().call(m, "reorder", {host().handles({s2, s1})});
  EXPECT_EQ(handlesOf(host().get(m, "Models")), (std::vector<OBInterface*>{s2, s1}));
  host().call(m, "reorder", {host().handles({c2, c1})});
  EXPECT_EQ(handlesOf(host().get(m, "Compartments")), (std::vector<OBInterface*>{c2, c1}));
  // The references the vectors hold are unchanged.
  EXPECT_EQ(k1->getExternalReferenceCount(), 1);
  EXPECT_EQ(s2->getExternalReferenceCount(), 1);
}

TEST_F(ModelTreeTest, ReorderRefusals) {
  OBInterface* m = model("m");
  OBInterface* k1 = add(m, "addparameter", {host().str("k1")});
  OBInterface* k2 = add(m, "addparameter", {host().str("k2")});
  OBInterface* a = add(m, "addspecies", {host().str("A")});
  OBInterface* v = add(m, "addvariant", {host().str("v")});
  struct Case {
    const char* label;
    qxArray* order;
    const char* id;
    const char* text;
  };
  const Case cases[] = {
      {"empty", host().handles({}), "Kestrion:AmbiguousOrInvalidReorder",
       "When reordering, there must be one or more Kestrion components."},
      {"species", host().handles({a}), "Kestrion:ModelSpeciesReorderNotAllowed",
       "Reordering species on a model is not allowed, instead reorder species on compartments"},
      {"variants", host().handles({v}), "Kestrion:InvalidReorderTarget", "Invalid object type for reorder."},
      {"one missing", host().handles({k2}), "Kestrion:InvalidReorderCall", nullptr},
      {"a repeat", host().handles({k2, k2}), "Kestrion:InvalidReorderCall", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    expectHostError([&] { host().call(m, "reorder", {c.order}); }, c.id, c.text ? c.text : "");
    EXPECT_EQ(handlesOf(host().get(m, "Parameters")), (std::vector<OBInterface*>{k1, k2}));
  }
}

// --- display and diagnostics -------------------------------------------------------------------

TEST_F(ModelTreeTest, DisplayOfOneModel) {
  OBInterface* m = model("m");
  add(m, "addspecies", {host().str("A")});
  add(m, "addparameter", {host().str("k")});
  add(m, "addreaction", {host().str("A -> B")});
  host().clearLogs();
  host().call(m, "display");
  EXPECT_EQ(host().printed(),
            "\n   Kestrion Model - m \n\n   Model Components:\n"
            "     Compartments:      1\n"
            "     Events:            0\n"
            "     Parameters:        1\n"
            "     Reactions:         1\n"
            "     Rules:             0\n"
            "     Species:           2\n\n");
}

TEST_F(ModelTreeTest, DisplayOfAVectorOfModels) {
  std::vector<OBInterface*> models;
  for (int i = 1; i <= 10; ++i) models.push_back(model(("m" + std::to_string(i)).c_str()));
  qxArray* all = qxCreateHandleArray(models.size(), 1);
  for (size_t i = 0; i < models.size(); ++i) qxSetHandle(all, i, models[i]);
  host().own(all);
  host().clearLogs();
  host().call("display", {all});
  std::string expected = "\n   Kestrion Model Array\n\n   Index:    Name:\n";
  for (int i = 1; i <= 10; ++i) {
    expected += "   " + std::to_string(i) + std::string(i < 10 ? 9 : 8, ' ') + "m" + std::to_string(i) + "\n";
  }
  expected += "\n";
  EXPECT_EQ(host().printed(), expected);
}

TEST_F(ModelTreeTest, DiagnosticPrints) {
  OBInterface* m = model("m");
  add(m, "addspecies", {host().str("A")});
  add(m, "addreaction", {host().str("A -> B")});
  host().clearLogs();
  testing::internal::CaptureStdout();
  host().call(m, "printSymbolTable");
  host().call(m, "debugExpressionsAndListeners");
  const std::string printed = testing::internal::GetCapturedStdout() + host().printed();
  EXPECT_NE(printed.find("SymbolTable Contents"), std::string::npos) << printed;
  EXPECT_NE(printed.find("unnamed.A"), std::string::npos) << printed;
  EXPECT_NE(printed.find("Expression: A -> B."), std::string::npos) << printed;
}

TEST_F(ModelTreeTest, HelpAndCopy) {
  OBInterface* m = model("m");
  host().call(m, "help", {host().str("notes")});
  EXPECT_TRUE(host().warnings().empty());
  host().call(m, "help", {host().str("Bogus")});
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:HELP_INVALID_PROPERTY"});
  expectHostError([&] { host().call(m, "copy"); }, "Kestrion:KS_COPY_INVALID_METHOD",
                  "Invalid method. Use the copyobj method instead.");
}

// --- copyobj ---------------------------------------------------------------------------------

TEST_F(ModelTreeTest, CopyobjToTheRootCopiesTheModel) {
  OBInterface* m = model({host().str("m"), host().str("Notes"), host().str("n")});
  add(m, "addreaction", {host().str("A -> B"), host().str("Name"), host().str("r1")});
  add(m, "addreaction", {host().str("B -> C"), host().str("Name"), host().str("r2")});
  add(m, "addconfigset", {host().str("fast")});
  OBInterface* copy = add(m, "copyobj", {host().handle(getOBIRoot())});
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, m);
  EXPECT_EQ(copy->getUp(), getOBIRoot());
  EXPECT_EQ(nameOf(copy), "m");
  EXPECT_EQ(host().getString(copy, "Notes"), "n");
  EXPECT_EQ(handlesOf(host().get(getOBIRoot(), "Models")), (std::vector<OBInterface*>{m, copy}));
  std::vector<std::string> names;
  for (OBInterface* r : handlesOf(host().get(copy, "Reactions"))) {
    names.push_back(nameOf(r) + ": " + host().getString(r, "Reaction"));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"r1: A -> B", "r2: B -> C"}));
  ASSERT_NE(kelbor(copy)->getActiveConfigSet(), nullptr);
  EXPECT_EQ(kelbor(copy)->getActiveConfigSetName(), "default");
  EXPECT_TRUE(kelbor(copy)->getActiveConfigSet()->getActive());
  EXPECT_NE(kelbor(copy)->getActiveConfigSet(), kelbor(m)->getActiveConfigSet());
}

// The copy's active set is the source's active set; a copy of a copy
// keeps it too.
TEST_F(ModelTreeTest, CopyobjKeepsTheActiveSetByName) {
  OBInterface* m = model("m");
  add(m, "addconfigset", {host().str("fast"), host().logical(true)});
  OBInterface* copy = add(m, "copyobj", {host().handle(getOBIRoot())});
  EXPECT_EQ(kelbor(copy)->getActiveConfigSetName(), "fast");
  EXPECT_TRUE(kelbor(copy)->getActiveConfigSet()->getActive());
  EXPECT_NE(kelbor(copy)->getActiveConfigSet(), kelbor(m)->getActiveConfigSet());
  host().call(copy, "setactiveconfigset", {host().str("default")}, 1);
  OBInterface* second = add(copy, "copyobj", {host().handle(getOBIRoot())});
  EXPECT_EQ(kelbor(second)->getActiveConfigSetName(), "default");
  EXPECT_FALSE(kelbor(second)->getConfigSet("fast")->getActive());
  OBInterface* third = add(m, "copyobj", {});
  EXPECT_EQ(third->getUp(), getOBIRoot());
  EXPECT_EQ(kelbor(third)->getActiveConfigSetName(), "fast");
  EXPECT_EQ(BQuorvixRoot::getInstance()->getModels().size(), 4u);
}

// Configuration sets belong to top-level models, however a model changes
// its parent: a model that becomes top-level gets an active "default" set
// when it has none, a model that becomes a sub-model loses its sets (a set
// the user still holds stays, detached and inactive).
TEST_F(ModelTreeTest, EveryMoveKeepsSetsOnTopLevelModelsOnly) {
  struct Move {
    const char* what;
    std::function<void(ModelTreeTest&, OBInterface* moved, OBInterface* other)> move;
    bool topLevel;
  };
  const Move moves[] = {
      {"Parent set to a model",
       [](ModelTreeTest& t, OBInterface* moved, OBInterface* other) {
         t.host().set(moved, "Parent", t.host().handle(other), true);
       },
       false},
      {"Models restored on a model",
       [](ModelTreeTest& t, OBInterface* moved, OBInterface* other) {
         t.host().set(other, "Models", t.host().handles({moved}), true);
       },
       false},
      {"Parent set to the root",
       [](ModelTreeTest& t, OBInterface* moved, OBInterface*) {
         t.host().set(moved, "Parent", t.host().handle(getOBIRoot()), true);
       },
       true},
  };
  for (const Move& move : moves) {
    SCOPED_TRACE(move.what);
    OBInterface* other = model("other");
    OBInterface* moved = nullptr;
    OBInterface* fast = nullptr;
    if (move.topLevel) {
      moved = add(other, "addmodel", {host().str("moved")});
      ASSERT_TRUE(kelbor(moved)->getConfigSets().empty());
    } else {
      moved = model("moved");
      fast = add(moved, "addconfigset", {host().str("fast"), host().logical(true)});
    }
    move.move(*this, moved, other);
    Kelbor* m = kelbor(moved);
    if (move.topLevel) {
      EXPECT_EQ(moved->getUp(), getOBIRoot());
      ASSERT_EQ(m->getConfigSets().size(), 1u);
      EXPECT_EQ(m->getActiveConfigSetName(), "default");
      OBInterface* defaults = objectOf(host().call(moved, "getconfigset", {host().str("active")}, 1).at(0));
      ASSERT_NE(defaults, nullptr);
      EXPECT_EQ(defaults->getUp(), moved);
      EXPECT_TRUE(*qxGetLogicals(host().get(defaults, "Active")));
    } else {
      EXPECT_EQ(moved->getUp(), other);
      EXPECT_TRUE(m->getConfigSets().empty());
      EXPECT_EQ(m->getActiveConfigSet(), nullptr);
      EXPECT_EQ(moved->getNumChildren(), 0u);
      EXPECT_TRUE(fast->isValid());
      EXPECT_EQ(fast->getUp(), nullptr);
      EXPECT_EQ(configSetOf(fast)->getModel(), nullptr);
      EXPECT_FALSE(*qxGetLogicals(host().get(fast, "Active")));
      // Back at the root, the model starts again from a fresh default set.
      host().set(moved, "Parent", host().handle(getOBIRoot()), true);
      ASSERT_EQ(m->getConfigSets().size(), 1u);
      EXPECT_EQ(m->getConfigSets()[0]->getName(), "default");
      EXPECT_TRUE(m->getActiveConfigSet()->getActive());
    }
    host().call(getOBIRoot(), "reset");
  }
}

TEST_F(ModelTreeTest, CopyobjOnlyToTheRoot) {
  OBInterface* m = model("m");
  OBInterface* other = model("other");
  const size_t instances = OBInterface::liveCount();
  expectHostError([&] { host().call(m, "copyobj", {host().handle(other)}, 1); }, "Kestrion:COPYOBJ_INVALIDARG");
  EXPECT_EQ(OBInterface::liveCount(), instances);
  EXPECT_EQ(BQuorvixRoot::getInstance()->getModels().size(), 2u);
}

}  // namespace
