#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <hb/hb_test.hpp>
#include <ks_utils/Identifiers.hpp>
#include <obk/Exception.hpp>

#include "support/AllocationFailures.hpp"
#include "support/CountingMemoryResource.hpp"
#include "support/TestComponents.hpp"

namespace {

std::optional<std::string> nameErrorOf(const std::string& name) {
  try {
    KelborComponent::errorForInvalidNameStatic(name, nullptr);
  } catch (const ErrorIdException& e) {
    return e.getIdentifier() + "|" + e.getMessage();
  }
  return std::nullopt;
}

class KelborComponentTest : public ::testing::Test {
 protected:
  void SetUp() override { registerMessageCatalog(); }
};

TEST_F(KelborComponentTest, NameChecksRaiseInOrder) {
  const std::string brackets = "Kestrion:NameCannotContainBrackets|Invalid name for Kestrion object: '";
  const std::string blank =
      "Kestrion:NameCannotContainOnlyWhitespace|Invalid name for Kestrion object. Name cannot "
      "contain whitespace only.";
  const std::string reserved =
      "Kestrion:InvalidComponentName|Invalid Name. Name cannot be 'time', all whitespace, or "
      "contain the strings '[' or ']'.";
  struct Case {
    std::string name;
    std::optional<std::string> expected;
  } cases[] = {
      {"", std::nullopt},
      {"A", std::nullopt},
      {"my species", std::nullopt},
      {"a]", brackets + "a]'. Name cannot contain brackets."},
      {"[ ]", brackets + "[ ]'. Name cannot contain brackets."},
      {"\t\n", blank},
      {" \r\f ", blank},
      {"time", reserved},
      {"Time", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nameErrorOf(c.name), c.expected) << "name '" << c.name << "'";
  }
}

TEST_F(KelborComponentTest, SetNameTrimsAndTellsTheModelOnce) {
  RecordingModel model;
  TestComponent c;
  c.joinModel(&model);
  model.setCompileNeeded(false);

  c.setName("  A \t");
  EXPECT_EQ(c.getName(), "A");
  EXPECT_TRUE(model.getCompileNeeded());
  // The old name was empty and the kind has no default name: nothing to re-key.
  EXPECT_EQ(model.count("componentNameChanged"), 0u);

  c.setName(" B ");
  ASSERT_EQ(model.count("componentNameChanged"), 1u);
  EXPECT_EQ(model.calls.back().a, "A");
  EXPECT_EQ(model.calls.back().b, "A");

  c.setName("B");  // same name: no re-keying
  EXPECT_EQ(model.count("componentNameChanged"), 1u);

  c.setName(" \t ");  // all blank: stored empty, no error
  EXPECT_EQ(c.getName(), "");
}

TEST_F(KelborComponentTest, SetNameUsesTheDefaultNameAsOldName) {
  RecordingModel model;
  TestComponent reaction(kstr::reaction, "Reaction_3");
  reaction.joinModel(&model);
  reaction.setName("r1");
  ASSERT_EQ(model.count("componentNameChanged"), 1u);
  EXPECT_EQ(model.calls.back().a, "Reaction_3");
}

TEST_F(KelborComponentTest, InvalidNameLeavesComponentUnchanged) {
  RecordingModel model;
  TestComponent c;
  c.joinModel(&model);
  c.setName("A");
  model.calls.clear();
  EXPECT_THROW(c.setName(" time "), ErrorIdException);
  EXPECT_THROW(c.rename("x]"), ErrorIdException);
  EXPECT_EQ(c.getName(), "A");
  EXPECT_TRUE(model.calls.empty());
}

TEST_F(KelborComponentTest, RenameRewritesBeforeTheNameChanges) {
  RecordingModel model;
  TestComponent c;
  c.joinModel(&model);
  c.setName("A");
  model.calls.clear();

  c.rename(" B ");
  ASSERT_EQ(model.calls.size(), 2u);
  EXPECT_EQ(model.calls[0].what, "componentRename");
  EXPECT_EQ(model.calls[0].a, "B");  // trimmed once, used everywhere
  EXPECT_EQ(model.calls[1].what, "componentNameChanged");
  EXPECT_EQ(c.getName(), "B");

  // Renaming to the current name rewrites and re-keys nothing.
  model.calls.clear();
  c.rename("B");
  EXPECT_EQ(model.count("componentRename"), 0u);
  EXPECT_EQ(model.count("componentNameChanged"), 0u);
}

TEST_F(KelborComponentTest, UndoableRenameReturnsTheModelsRecord) {
  RecordingModel model;
  TestComponent c;
  c.joinModel(&model);
  c.setName("A");
  auto record = c.rename("B", quorvix::type_defs::RenameUndoData{});
  EXPECT_EQ(model.count("componentRenameUndoable"), 1u);
  ASSERT_EQ(record.expressionPositions.count(&c), 1u);
  EXPECT_EQ(record.expressionPositions[&c], std::set<uint64_t>{7});

  TestComponent free;
  EXPECT_TRUE(free.rename("x", quorvix::type_defs::RenameUndoData{}).empty());
  EXPECT_EQ(free.getName(), "x");
}

TEST_F(KelborComponentTest, QualifiedNamesWalkTheParentChain) {
  TestRoot root;
  RecordingModel model;
  model.setName("m1");
  model.setParent(&root);
  TestComponent cell(kstr::compartment);
  cell.setName("cell");
  cell.setParent(&model);
  TestComponent a(kstr::species);
  a.setName("A");
  a.setParent(&cell);
  TestComponent spaced(kstr::species);
  spaced.setName("my species");
  spaced.setParent(&cell);
  TestComponent dotted(kstr::species);
  dotted.setName("x.y");
  dotted.setParent(&cell);

  std::string out;
  a.fillFullyQualifiedName(out);
  EXPECT_EQ(out, "kstrmodel:m1.compartment:cell.species:A");

  struct Case {
    const KelborComponent* c;
    const char* pqn;
    const char* dqn;
  } cases[] = {
      {&a, "cell.A", "cell.A"},
      {&spaced, "cell.[my species]", "cell.my species"},
      {&dotted, "cell.[x.y]", "cell.[x.y]"},
  };
  for (const Case& c : cases) {
    std::string pqn, dqn;
    c.c->fillPartiallyQualifiedName(pqn);
    c.c->fillDisplayQualifiedName(dqn);
    EXPECT_EQ(pqn, c.pqn);
    EXPECT_EQ(dqn, c.dqn);
  }

  // An unnamed component is named by its ID in the fully qualified name.
  TestComponent unnamed(kstr::parameter);
  unnamed.setParent(&model);
  out.clear();
  unnamed.fillFullyQualifiedName(out);
  EXPECT_EQ(out, std::string("kstrmodel:m1.parameter:") + unnamed.getID());
}

TEST_F(KelborComponentTest, KineticLawParameterIsQualifiedByItsReaction) {
  RecordingModel model;
  TestComponent reaction(kstr::reaction);
  reaction.setName("r1");
  reaction.setParent(&model);
  TestKineticLaw law;
  law.setParent(&reaction);
  TestComponent k(kstr::parameter);
  k.setName("k");
  k.setParent(&law);
  std::string pqn;
  k.fillPartiallyQualifiedName(pqn);
  EXPECT_EQ(pqn, "r1.k");
}

TEST_F(KelborComponentTest, PqnDependsOnTheNumberOfCompartments) {
  RecordingModel model;
  TestComponent cell(kstr::compartment);
  cell.setName("cell");
  cell.setParent(&model);
  TestComponent s(kstr::species);
  s.setName("my s");
  s.setParent(&cell);

  std::string pqn;
  model.setCompartmentsInTree(1);
  s.getPQN(pqn);
  EXPECT_EQ(pqn, "[my s]");
  model.setCompartmentsInTree(2);
  s.getPQN(pqn);
  EXPECT_EQ(pqn, "cell.[my s]");

  TestComponent unnamed(kstr::species);
  pqn = "stale";
  unnamed.getPQN(pqn);
  EXPECT_EQ(pqn, "");
}

TEST_F(KelborComponentTest, IdPathStopsBelowTheRoot) {
  TestRoot root;
  RecordingModel model;
  model.setParent(&root);
  TestComponent cell(kstr::compartment);
  cell.setParent(&model);
  TestComponent s(kstr::species);
  s.setParent(&cell);
  model.setID("m1");
  cell.setID("c1");
  s.setID("s1");
  EXPECT_STREQ(s.getIdWithFullPathToTopModel(), "m1_c1_s1");
  EXPECT_STREQ(model.getIdWithFullPathToTopModel(), "m1");
}

TEST_F(KelborComponentTest, IdentifiersAreFreshValidIdentifiers) {
  TestComponent a, b;
  EXPECT_TRUE(isValidPELLAMIdentifier(a.getID()));
  EXPECT_STRNE(a.getID(), b.getID());
}

TEST_F(KelborComponentTest, SetParentSharesOrDropsModelData) {
  TestRoot root;
  RecordingModel model;
  auto own = model.getModelGlobalData();
  model.setParent(&root);
  EXPECT_EQ(model.getModelGlobalData(), own);  // a root parent keeps it

  TestComponent cell(kstr::compartment);
  cell.setParent(&model);
  EXPECT_EQ(cell.getModelGlobalData(), own);
  TestComponent s(kstr::species);
  s.setParent(&cell);
  EXPECT_EQ(s.getModelGlobalData(), own);
  s.setParent(nullptr);
  EXPECT_FALSE(s.getModelGlobalData());

  TestComponent orphanParent(kstr::compartment);  // no model data, no host instance
  s.setParent(&orphanParent);
  EXPECT_FALSE(s.getModelGlobalData());
}

TEST_F(KelborComponentTest, ListenersCountOnceButNotifyEveryTime) {
  RecordingModel model;
  TestComponent c;
  c.joinModel(&model);
  auto* listener = reinterpret_cast<ExpressionBasedComponent*>(&model);
  c.addListener(listener);
  c.addListener(listener);
  EXPECT_EQ(c.getInUseCount(), 1u);
  EXPECT_EQ(model.count("inUseCountChange"), 2u);
  c.removeListener(listener);
  c.removeListener(listener);
  EXPECT_EQ(c.getInUseCount(), 0u);
  EXPECT_EQ(model.count("inUseCountChange"), 4u);
}

// A component's listener entries come from its model's pool.  They stay
// readable after the component changes model or leaves it and the model is
// deleted (the sanitizer build sees any read of freed memory); a set that
// is empty when the component joins a model takes that model's pool.
TEST_F(KelborComponentTest, ListenersOutliveTheModelWhosePoolHoldsThem) {
  auto* first = new RecordingModel;
  RecordingModel second;
  auto* one = reinterpret_cast<ExpressionBasedComponent*>(&second);
  auto* two = reinterpret_cast<ExpressionBasedComponent*>(first);
  auto poolOf = [](const KelborComponent& c) { return c.getListeners().get_allocator().resource(); };

  struct Case {
    const char* what;
    bool toSecond;  // joins the second model (or leaves every model) while holding listeners
  } cases[] = {{"moved to another model", true}, {"left its model", false}};
  std::vector<TestComponent> components(2);
  for (size_t i = 0; i < 2; ++i) {
    components[i].joinModel(first);
    EXPECT_EQ(poolOf(components[i]), &first->getModelGlobalData()->listenerMemory);
    components[i].addListener(one);
    components[i].addListener(two);
    if (cases[i].toSecond) {
      components[i].joinModel(&second);
    } else {
      components[i].setParent(nullptr);
    }
  }
  delete first;
  for (size_t i = 0; i < 2; ++i) {
    TestComponent& c = components[i];
    EXPECT_EQ(c.getListeners(), (KelborComponent::ListenerSet{one, two})) << cases[i].what;
    c.removeListener(two);
    c.addListener(two);
    c.removeListener(one);
    EXPECT_EQ(c.getInUseCount(), 1u) << cases[i].what;
    c.removeListener(two);
    // Empty now: the next model's pool takes it over.
    c.joinModel(&second);
    EXPECT_EQ(poolOf(c), &second.getModelGlobalData()->listenerMemory) << cases[i].what;
    c.addListener(one);
    EXPECT_EQ(c.getInUseCount(), 1u) << cases[i].what;
  }
}

// Whether the model is deleted whole (its components then leave their
// listener entries to the pool) or its components go one by one, every
// entry's memory is handed back once the last holder of the model's data
// has gone; a component that outlives its model keeps its listeners.
TEST_F(KelborComponentTest, ListenerEntriesAreHandedBackWhenTheModelsDataGoes) {
  CountingDefaultResource counting;
  char users[8] = {};
  auto user = [&users](size_t i) { return reinterpret_cast<ExpressionBasedComponent*>(&users[i % 8]); };
  for (const bool whole : {true, false}) {
    auto* model = new RecordingModel;
    std::vector<std::unique_ptr<TestComponent>> components;
    for (size_t i = 0; i < 300; ++i) {
      components.push_back(std::make_unique<TestComponent>());
      components.back()->joinModel(model);
      for (size_t k = 0; k < 3; ++k) components.back()->addListener(user(i + k));
    }
    EXPECT_GT(counting.outstanding(), 0u);
    std::unique_ptr<TestComponent> survivor = std::move(components.back());
    components.pop_back();
    if (whole) model->notifyModelBeingDestroyed();
    components.clear();
    delete model;
    EXPECT_EQ(survivor->getListeners(), (KelborComponent::ListenerSet{user(299), user(300), user(301)}))
        << (whole ? "whole" : "piece by piece");
    EXPECT_GT(counting.outstanding(), 0u) << "the survivor's entries are still held";
    survivor.reset();
    EXPECT_EQ(counting.outstanding(), 0u) << (whole ? "whole" : "piece by piece");
  }
}

struct AnnotationCase {
  const char* text;
  bool keep;
  const char* stored;
  const char* openingTag;
  const char* full;
};

TEST_F(KelborComponentTest, AnnotationTags) {
  const AnnotationCase cases[] = {
      // Tags in capitals with an attribute, stripped.
      {"<ANNOTATION xmlns=\"u\">word</ANNOTATION>", false, "word", "<ANNOTATION xmlns=\"u\">",
       "<ANNOTATION xmlns=\"u\">word</annotation>"},
      // No tags: stored as is, default opening tag.
      {"plain", false, "plain", "<annotation>", "<annotation>plain</annotation>"},
      {"plain", true, "plain", "<annotation>", "<annotation>plain</annotation>"},
      // Kept tags: stored whole, the full annotation equals it.
      {"<annotation>w</annotation>", true, "<annotation>w</annotation>", "<annotation>",
       "<annotation>w</annotation>"},
      // Closing tag before the opening tag: each range is removed exactly.
      {"a</annotation>b<annotation>c", false, "abc", "<annotation>",
       "<annotation>abc</annotation>"},
      // Unterminated opening tag runs to the end and swallows the closing tag.
      {"x<annotation y</annotation>", false, "x", "<annotation y</annotation>",
       "<annotation y</annotation>x</annotation>"},
      // Only a closing tag.
      {"w</annotation>", false, "w", "<annotation>", "<annotation>w</annotation>"},
  };
  for (const AnnotationCase& c : cases) {
    TestComponent comp;
    comp.setKeepAnnotationTagsInText(c.keep);
    comp.setAnnotation(c.text);
    EXPECT_STREQ(comp.getAnnotation(), c.stored) << c.text;
    EXPECT_STREQ(comp.getAnnotationOpeningTag(), c.openingTag) << c.text;
    EXPECT_STREQ(comp.getAnnotationFull(), c.full) << c.text;
  }
  TestComponent none;
  EXPECT_EQ(none.getAnnotationFull(), nullptr);
}

TEST_F(KelborComponentTest, SettingAStoredTextBackIsSafe) {
  TestComponent c;
  c.setNotes("some notes");
  c.setNotes(c.getNotes());
  EXPECT_STREQ(c.getNotes(), "some notes");
  c.setTag(nullptr);
  EXPECT_EQ(c.getTag(), nullptr);
}

TEST_F(KelborComponentTest, CopiesDuplicateOwnedTexts) {
  TestComponent a;
  a.setName("A");
  a.setNotes("n");
  TestComponent b(a);
  EXPECT_EQ(b.getName(), "A");
  EXPECT_STREQ(b.getNotes(), "n");
  EXPECT_NE(b.getNotes(), a.getNotes());
  EXPECT_STRNE(b.getID(), a.getID());  // a copy has an identity of its own
  a.setNotes("changed");
  EXPECT_STREQ(b.getNotes(), "n");
}

TEST_F(KelborComponentTest, ComponentsComeFromTheHostAllocator) {
  const size_t before = hbTestLiveBlocks();
  auto* c = new TestComponent();
  EXPECT_GT(hbTestLiveBlocks(), before);
  delete c;
  EXPECT_EQ(hbTestLiveBlocks(), before);
}

// Making, copying and assigning a component raise when any of their host
// allocations fails, give back what they took, and an assignment that fails
// leaves the target's own texts in place.
TEST_F(KelborComponentTest, MakingAndCopyingRaiseWhenHostMemoryRunsOut) {
  TestComponent source;
  source.setName("A");
  source.setAnnotation("<annotation>words</annotation>");
  source.getAnnotationFull();
  source.setNotes("notes");
  source.setTag("tag");
  const std::function<void()> make = [] { delete new TestComponent(); };
  const std::function<void()> copy = [&] { delete new TestComponent(source); };
  for (const auto& [label, body] : {std::pair{"make", make}, std::pair{"copy", copy}}) {
    SCOPED_TRACE(label);
    const size_t attempts = hostAllocationsOf(body);
    ASSERT_GT(attempts, 2u);
    for (size_t k = 1; k <= attempts; ++k) EXPECT_EQ(outcomeWithAllocationFailing(k, body), "std::bad_alloc") << k;
  }

  TestComponent target;
  const auto setOld = [&] {
    target.setName("B");
    target.setAnnotation("old words");
    target.setNotes("old notes");
    target.setTag(nullptr);
  };
  const std::function<void()> assign = [&] { target = source; };
  const size_t attempts = hostAllocationsOf(assign);
  EXPECT_STREQ(target.getNotes(), "notes");
  ASSERT_GT(attempts, 2u);
  const std::string id = target.getID();
  for (size_t k = 1; k <= attempts; ++k) {
    SCOPED_TRACE(k);
    setOld();
    EXPECT_EQ(outcomeWithAllocationFailing(k, assign), "std::bad_alloc");
    EXPECT_EQ(target.getName(), "B");
    EXPECT_STREQ(target.getAnnotation(), "old words");
    EXPECT_STREQ(target.getAnnotationOpeningTag(), "<annotation>");
    EXPECT_STREQ(target.getNotes(), "old notes");
    EXPECT_EQ(target.getTag(), nullptr);
    EXPECT_EQ(target.getID(), id);
  }
}

// The full annotation is made on each read: when memory runs out the read
// raises and the annotation is kept.
TEST_F(KelborComponentTest, FullAnnotationRaisesWhenHostMemoryRunsOut) {
  TestComponent c;
  c.setAnnotation("words");
  const std::function<void()> read = [&] { c.getAnnotationFull(); };
  EXPECT_EQ(outcomeWithAllocationFailing(1, read), "std::bad_alloc");
  EXPECT_STREQ(c.getAnnotation(), "words");
  // The failed read built nothing: the next one makes the text, and reads
  // of the unchanged text hand out the same block without a new one.
  EXPECT_EQ(hostAllocationsOf(read), 1u);
  const char* full = c.getAnnotationFull();
  EXPECT_STREQ(full, "<annotation>words</annotation>");
  EXPECT_EQ(hostAllocationsOf(read), 0u);
  EXPECT_EQ(c.getAnnotationFull(), full);
  // A changed annotation makes a new text, also after a failed attempt.
  c.setAnnotation("other");
  EXPECT_EQ(outcomeWithAllocationFailing(1, read), "std::bad_alloc");
  EXPECT_STREQ(c.getAnnotationFull(), "<annotation>other</annotation>");
}

TEST(ComponentKind, KeywordTable) {
  EXPECT_STREQ(kstr::componentTypeKeyword(0), "abstract_kinetic_law");
  EXPECT_STREQ(kstr::componentTypeKeyword(7), "species");
  EXPECT_STREQ(kstr::componentTypeKeyword(12), "compartment");
  EXPECT_EQ(kstr::componentTypeKeyword(13), nullptr);
  EXPECT_EQ(kstr::componentTypeKeyword(-1), nullptr);
}

}  // namespace
