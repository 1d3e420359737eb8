// The component copy ("copyobj"): the walk over held objects, the refusals,
// the order of the deferred attachments, the clean-up of a failed copy and
// the references of what a copy leaves behind.  A small family of test
// classes with children stands in for the component classes: every one
// holds objects in "handle vector" and "handle" properties and has its own
// copyobj method info that derives from the generic one.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include <boost/function.hpp>
#include <hb/hb_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "core/Application.hpp"
#include "core/ComponentCopy.hpp"
#include "core/ModelComponentOBC.hpp"
#include "core/ModelComponentProps.hpp"
#include "support/TestComponents.hpp"
#include "support/TestThing.hpp"

namespace {

// --- the test classes ----------------------------------------------------------

// The component of a test instance: a name and the objects it holds, each
// with one reference.
class Holder : public TestComponent {
 public:
  explicit Holder(kstr::bcomptype kind) : TestComponent(kind) {}
  std::map<std::string, Vector> vectors;
  std::map<std::string, OBInterface*> handles;
};

Holder* holderOf(const OBInterface* instance) {
  return static_cast<Holder*>(static_cast<KelborComponent*>(instance->getComponentObject()));
}

std::string nameOf(const OBInterface* instance) { return holderOf(instance)->getName(); }

// Every attachment made by a test copyobj, as "copy>parent" names.
std::vector<std::string>& attachLog() {
  static std::vector<std::string> log;
  return log;
}

// Puts child below box in the tree and in the box's "Items" (as the test
// classes' attachCopy does for copies).
void placeBelow(OBInterface* child, OBInterface* box, const char* vector = "Items") {
  child->addBelow(box);
  child->getReference();
  holderOf(box)->vectors[vector].addElement(child);
}

// Lists held in a vector of box without placing it in the tree.
void holdInVector(OBInterface* box, const char* vector, OBInterface* held) {
  held->getReference();
  holderOf(box)->vectors[vector].addElement(held);
}

void holdHandle(OBInterface* box, const char* property, OBInterface* held) {
  held->getReference();
  holderOf(box)->handles[property] = held;
}

class HeldVectorPIT : public OBPropInfoTemplate {
 public:
  explicit HeldVectorPIT(const char* name) {
    setName(name);
    setDataType("handle vector");
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    auto& vectors = holderOf(inst)->vectors;
    auto it = vectors.find(getName());
    return it == vectors.end() || it->second.size() == 0 ? nullptr : &it->second;
  }
};

class HeldHandlePIT : public OBPropInfoTemplate {
 public:
  explicit HeldHandlePIT(const char* name) {
    setName(name);
    setDataType("handle");
  }
  void* getValue(OBDatabaseClient*, OBInterface* inst) override {
    auto& handles = holderOf(inst)->handles;
    auto it = handles.find(getName());
    return it == handles.end() ? nullptr : it->second;
  }
};

// The copy rules of the test classes, chosen by the source's name:
// "keepout" is refused, "raise" raises in canCopyInto, "explode" raises in
// attachCopy after it attached the copy.  Otherwise a copy may go below an
// instance of one of the accepted classes.
class Test_copyobj_MI : public ModelComponent_copyobj_MI {
 public:
  Test_copyobj_MI(std::set<std::string> parents, bool refuseAll = false)
      : parents_(std::move(parents)), refuseAll_(refuseAll) {}

  bool canCopyInto(OBInterface* obj, OBInterface* newParent) override {
    if (refuseAll_ || newParent == nullptr || nameOf(obj) == "keepout") return false;
    if (nameOf(obj) == "raise") throw ErrorIdException("CopyTest:Refused", "cannot decide");
    return parents_.count(newParent->getClass()->getName()) != 0;
  }

  void attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface* source) override {
    placeBelow(copy, newParent);
    attachLog().push_back(nameOf(copy) + ">" + nameOf(newParent));
    if (nameOf(source) == "explode") throw ErrorIdException("CopyTest:AttachFailed", "attach failed");
  }

 private:
  std::set<std::string> parents_;
  bool refuseAll_;
};

// One creatable test class: Name, the held-object properties and copyobj.
class CopyTestOBC : public OBClass {
 public:
  CopyTestOBC(const char* name, kstr::bcomptype kind, Test_copyobj_MI* copyobj) : kind_(kind) {
    setName(name);
    addConstructorSignature(new OBMethodSignature());
    addProperty(new ModelComponent_NamePIT());
    addProperty(new ModelComponent_NotesPIT());
    for (const char* vector : {"Species", "Items", "Compartments"}) {
      addProperty(new HeldVectorPIT(vector));
    }
    for (const char* handle : {"Parent", "Extra", "Owner", "SolverOptions"}) {
      addProperty(new HeldHandlePIT(handle));
    }
    addMethod(copyobj);
  }

  OBInterface* createInstance(OBDatabaseClient*, int, void* const[], OBInterface*, int) override {
    auto* holder = new Holder(kind_);
    auto* instance = new OBInterface(static_cast<KelborComponent*>(holder), this);
    holder->setOBI(instance);
    return instance;
  }

  // Leaves the parent's "Items", then gives back every held reference.
  void destroyInstance(OBInterface* instance) override {
    Holder* holder = holderOf(instance);
    if (OBInterface* up = instance->getUp()) {
      for (auto& entry : holderOf(up)->vectors) {
        if (entry.second.removeElement(instance)) instance->releaseReference();
      }
    }
    for (auto& entry : holder->vectors) {
      std::vector<OBInterface*> held = entry.second.elements();
      entry.second.removeAllElements();
      for (OBInterface* element : held) element->releaseReference();
    }
    for (auto& entry : holder->handles) entry.second->releaseReference();
    delete holder;
    instance->setComponentObject(nullptr);
  }

 private:
  kstr::bcomptype kind_;
};

const std::set<std::string> kContainers = {"CopyBox", "Model", "Reaction"};

OBApplication* otherApplication() {
  static OBApplication* app = [] {
    auto* a = new OBApplication("CopyTests", true);
    OBApplicationManager::addApplication(a);
    return a;
  }();
  return app;
}

void registerTestClasses() {
  static bool done = [] {
    // Kestrion classes: a box that counts as a model, a leaf, a root.
    registerHostClass(new CopyTestOBC("CopyBox", kstr::kstrmodel, new Test_copyobj_MI(kContainers)));
    registerHostClass(new CopyTestOBC("CopyLeaf", kstr::species, new Test_copyobj_MI(kContainers)));
    registerHostClass(new CopyTestOBC("CopyRoot", kstr::kstrroot, new Test_copyobj_MI(kContainers)));
    // Classes whose names the copy treats apart, kept out of the Kestrion
    // application.
    otherApplication()->addLocalClass(
        new CopyTestOBC("Model", kstr::kstrmodel, new Test_copyobj_MI(kContainers)));
    otherApplication()->addLocalClass(
        new CopyTestOBC("Reaction", kstr::reaction, new Test_copyobj_MI(kContainers)));
    otherApplication()->addLocalClass(
        new CopyTestOBC("RuntimeOptions", kstr::parameter, new Test_copyobj_MI(kContainers, true)));
    return true;
  }();
  (void)done;
}

// --- fixture ---------------------------------------------------------------------

class CopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerMessageCatalog();
    testThingClass();
    getModelComponentOBClass();
    registerTestClasses();
    hbTestSetEcho(false);
    attachLog().clear();
    before_ = TestHost::health();
    host_ = std::make_unique<TestHost>();
  }
  void TearDown() override {
    host_.reset();
    EXPECT_EQ(TestHost::health(), before_) << describe(TestHost::health());
  }

  OBInterface* make(const char* cls, const char* name) {
    OBInterface* o = host_->construct(cls);
    host_->set(o, "Name", host_->str(name));
    return o;
  }
  OBInterface* box(const char* name) { return make("Kestrion.CopyBox", name); }
  OBInterface* leaf(const char* name) { return make("Kestrion.CopyLeaf", name); }

  OBInterface* copyInto(OBInterface* obj, OBInterface* parent) {
    return objectOf(host_->call(obj, "copyobj", {host_->handle(parent)}, 1).at(0));
  }
  static std::vector<std::string> childNames(const OBInterface* instance) {
    std::vector<std::string> names;
    for (OBInterface* child : instance->getChildren()) names.push_back(nameOf(child));
    return names;
  }
  static std::vector<std::string> itemNames(const OBInterface* instance) {
    std::vector<std::string> names;
    for (OBInterface* item : holderOf(instance)->vectors["Items"].elements()) {
      names.push_back(nameOf(item));
    }
    return names;
  }
  static ModelComponent_copyobj_MI* copyInfoOf(const char* className) {
    return dynamic_cast<ModelComponent_copyobj_MI*>(
        obkRequireClass(className)->getMethod("copyobj"));
  }

  HostHealth before_;
  std::unique_ptr<TestHost> host_;
};

using Names = std::vector<std::string>;

// --- the method and its errors ---------------------------------------------------------

TEST_F(CopyTest, ModelComponentOffersCopyobjFirst) {
  std::vector<OBMethodInfo*> methods = getModelComponentOBClass()->getMethods();
  ASSERT_GE(methods.size(), 3u);
  EXPECT_STREQ(methods[0]->getName(), "copyobj");
  EXPECT_STREQ(methods[1]->getName(), "display");
  EXPECT_STREQ(methods[2]->getName(), "help");
  auto* info = dynamic_cast<ModelComponent_copyobj_MI*>(methods[0]);
  ASSERT_NE(info, nullptr);
  const auto& sigs = info->getMethodSignatures();
  ASSERT_EQ(sigs.size(), 2u);
  EXPECT_EQ(sigs[0]->toString(), "(handle, handle) -> handle");
  EXPECT_EQ(sigs[1]->toString(), "(handle) -> handle");
  EXPECT_FALSE(info->isOneArgumentSignature(sigs[0]));
  EXPECT_TRUE(info->isOneArgumentSignature(sigs[1]));
}

TEST_F(CopyTest, ArgumentErrorsAreRaisedBeforeAnythingIsCopied) {
  OBInterface* root = make("Kestrion.CopyRoot", "root");
  OBInterface* model = box("model");
  OBInterface* thing = leaf("thing");
  placeBelow(leaf("child"), model);
  struct Case {
    const char* what;
    std::function<void()> call;
    const char* text;
  } cases[] = {
      {"root, two arguments", [&] { host_->call(root, "copyobj", {host_->handle(model)}, 1); },
       "KSTRROOT cannot be copied."},
      {"root, one argument", [&] { host_->call(root, "copyobj", {}, 1); },
       "KSTRROOT cannot be copied."},
      {"empty parent", [&] { host_->call(thing, "copyobj", {host_->handle(nullptr)}, 1); },
       "POBJ cannot be empty. Type 'kstrhelp copyobj' for more information."},
      {"refused parent", [&] { host_->call(model, "copyobj", {host_->handle(thing)}, 1); },
       "OBJ cannot be copied to POBJ. Type 'kstrhelp copyobj' for more information."},
      {"one argument, not a model", [&] { host_->call(thing, "copyobj", {}, 1); },
       "Invalid MOBJ. MOBJ must be a systems biology model object.\n"
       "Type 'kstrhelp copyobj' for more information."},
  };
  const size_t instances = OBInterface::liveCount();
  for (const Case& c : cases) {
    auto error = TestHost::errorOf(c.call);
    ASSERT_TRUE(error.has_value()) << c.what;
    EXPECT_EQ(error->id, "Kestrion:COPYOBJ_INVALIDARG") << c.what;
    EXPECT_EQ(error->message, c.text) << c.what;
    EXPECT_EQ(OBInterface::liveCount(), instances) << c.what;
  }
  EXPECT_TRUE(attachLog().empty());
}

// --- the walk ----------------------------------------------------------------------------

TEST_F(CopyTest, CopiesTheTreeAndAttachesInSourceOrderChildrenAfterTheirDescendants) {
  OBInterface* top = box("top");
  OBInterface* sub = box("sub");
  placeBelow(leaf("l1"), top);
  placeBelow(leaf("l2"), top);
  placeBelow(sub, top);
  placeBelow(leaf("l3"), sub);
  placeBelow(leaf("l4"), sub);
  holdHandle(top, "Extra", leaf("l5"));
  host_->set(top, "Notes", host_->str("copied note"));
  OBInterface* target = box("target");

  OBInterface* copy = copyInto(top, target);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, top);
  EXPECT_EQ(copy->getUp(), target);
  EXPECT_EQ(nameOf(copy), "top");
  EXPECT_EQ(host_->getString(copy, "Notes"), "copied note");
  EXPECT_EQ(childNames(copy), (Names{"l1", "l2", "sub", "l5"}));
  EXPECT_EQ(itemNames(copy), (Names{"l1", "l2", "sub", "l5"}));
  OBInterface* subCopy = copy->getChildren()[2];
  EXPECT_NE(subCopy, sub);
  EXPECT_EQ(childNames(subCopy), (Names{"l3", "l4"}));
  // The top copy at once, then every child after its own descendants.
  EXPECT_EQ(attachLog(), (Names{"top>target", "l1>top", "l2>top", "l3>sub", "l4>sub", "sub>top",
                                "l5>top"}));
  EXPECT_EQ(copyInfoOf("Kestrion.CopyBox")->numQueuedActions(), 0u);
  // The source is untouched.
  EXPECT_EQ(childNames(top), (Names{"l1", "l2", "sub"}));
  EXPECT_EQ(childNames(target), (Names{"top"}));
}

TEST_F(CopyTest, ParentOwnerAndSolverOptionsAreNeverFollowed) {
  OBInterface* top = box("top");
  holdHandle(top, "Parent", leaf("parent"));
  holdHandle(top, "Owner", leaf("owner"));
  holdHandle(top, "SolverOptions", leaf("options"));
  placeBelow(leaf("item"), top);
  OBInterface* target = box("target");
  const size_t instances = OBInterface::liveCount();
  OBInterface* copy = copyInto(top, target);
  EXPECT_EQ(OBInterface::liveCount(), instances + 2);
  EXPECT_EQ(childNames(copy), (Names{"item"}));
  EXPECT_TRUE(holderOf(copy)->handles.empty());
}

TEST_F(CopyTest, AModelsSpeciesAndCompartmentsAreReachedOnlyThroughItsOtherProperties) {
  OBInterface* model = make("CopyTests.Model", "m");
  OBInterface* compartment = box("c");
  OBInterface* species = leaf("s");
  placeBelow(compartment, model);
  placeBelow(species, compartment);
  // The model also lists them in its "Species" and "Compartments".
  holdInVector(model, "Species", species);
  holdInVector(model, "Compartments", compartment);
  OBInterface* target = box("target");
  OBInterface* copy = copyInto(model, target);
  EXPECT_EQ(childNames(copy), (Names{"c"}));
  EXPECT_EQ(childNames(copy->getChildren()[0]), (Names{"s"}));
  EXPECT_EQ(attachLog(), (Names{"m>target", "s>c", "c>m"}));

  // Any other class's "Species" is walked.
  attachLog().clear();
  OBInterface* plain = box("plain");
  holdInVector(plain, "Species", leaf("s2"));
  copyInto(plain, target);
  EXPECT_EQ(attachLog(), (Names{"plain>target", "s2>plain"}));
}

TEST_F(CopyTest, ReactionsAreAttachedAfterEveryOtherObjectInTheirOwnOrder) {
  OBInterface* top = box("top");
  OBInterface* r1 = make("CopyTests.Reaction", "r1");
  placeBelow(r1, top);
  placeBelow(leaf("l1"), top);
  placeBelow(make("CopyTests.Reaction", "r2"), top);
  placeBelow(leaf("l2"), top);
  placeBelow(leaf("law"), r1);
  OBInterface* target = box("target");
  OBInterface* copy = copyInto(top, target);
  EXPECT_EQ(attachLog(),
            (Names{"top>target", "law>r1", "l1>top", "l2>top", "r1>top", "r2>top"}));
  EXPECT_EQ(childNames(copy), (Names{"l1", "l2", "r1", "r2"}));
  EXPECT_EQ(childNames(copy->getChildren()[2]), (Names{"law"}));
}

TEST_F(CopyTest, ARefusedChildIsLeftOut) {
  OBInterface* top = box("top");
  placeBelow(leaf("a"), top);
  placeBelow(leaf("keepout"), top);
  placeBelow(leaf("b"), top);
  // A class without a copyobj of this family is left out as well.
  placeBelow(host_->construct("Kestrion.TestThing"), top);
  OBInterface* target = box("target");
  const size_t instances = OBInterface::liveCount();
  OBInterface* copy = copyInto(top, target);
  EXPECT_EQ(childNames(copy), (Names{"a", "b"}));
  EXPECT_EQ(OBInterface::liveCount(), instances + 3);
}

TEST_F(CopyTest, ARefusedRuntimeOptionsChildIsReplacedByAFreshInstance) {
  OBInterface* top = box("top");
  OBInterface* options = make("CopyTests.RuntimeOptions", "configured");
  holdHandle(top, "Extra", options);
  placeBelow(leaf("l1"), top);
  OBInterface* target = box("target");
  OBInterface* copy = copyInto(top, target);
  // Attached at once while the tree is walked, before any queued action.
  EXPECT_EQ(attachLog(), (Names{">top", "top>target", "l1>top"}));
  ASSERT_EQ(copy->getNumChildren(), 2u);
  OBInterface* fresh = copy->getChildren()[0];
  EXPECT_NE(fresh, options);
  EXPECT_STREQ(fresh->getClass()->getName(), "RuntimeOptions");
  EXPECT_EQ(nameOf(fresh), "");
  EXPECT_EQ(fresh->getReferenceCount(), 2);  // the tree and the box's Items
}

TEST_F(CopyTest, AFreeStandingModelCopyLivesAsLongAsTheHostHoldsIt) {
  OBInterface* top = box("top");
  placeBelow(leaf("l1"), top);
  qxArray* out = host_->call(top, "copyobj", {}, 1).at(0);
  OBInterface* copy = objectOf(out);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->getUp(), nullptr);
  EXPECT_TRUE(copy->isValid());
  EXPECT_EQ(copy->getReferenceCount(), 1);  // the host's output only
  EXPECT_EQ(childNames(copy), (Names{"l1"}));
  EXPECT_EQ(attachLog(), (Names{"l1>top"}));
}

// --- failures ------------------------------------------------------------------------------

TEST_F(CopyTest, AFailedCopyLeavesNothingAndTheNextCopyRunsOnlyItsOwnActions) {
  struct Case {
    const char* what;
    std::vector<const char*> leaves;  // children of the top, in order
    const char* deep;                 // a child of the sub-box
    const char* topName;
    const char* id;
  } cases[] = {
      {"attach of a child fails", {"a", "explode", "b"}, "d", "top", "CopyTest:AttachFailed"},
      {"attach of a grandchild fails", {"a", "b"}, "explode", "top", "CopyTest:AttachFailed"},
      {"canCopyInto raises during the walk", {"a", "raise"}, "d", "top", "CopyTest:Refused"},
      {"attach of the top copy fails", {"a"}, "d", "explode", "CopyTest:AttachFailed"},
  };
  OBInterface* target = box("target");
  ModelComponent_copyobj_MI* info = copyInfoOf("Kestrion.CopyBox");
  for (const Case& c : cases) {
    OBInterface* top = box(c.topName);
    OBInterface* sub = box("sub");
    placeBelow(sub, top);
    for (const char* name : c.leaves) placeBelow(leaf(name), top);
    placeBelow(leaf(c.deep), sub);
    const size_t instances = OBInterface::liveCount();
    const size_t arrays = qxLiveArrayCount();
    auto error = TestHost::errorOf([&] { host_->call(top, "copyobj", {host_->handle(target)}, 1); });
    ASSERT_TRUE(error.has_value()) << c.what;
    EXPECT_EQ(error->id, c.id) << c.what;
    EXPECT_EQ(OBInterface::liveCount(), instances) << c.what;
    EXPECT_EQ(qxLiveArrayCount(), arrays + 2) << c.what;  // the host's two handles
    EXPECT_EQ(target->getNumChildren(), 0u) << c.what;
    EXPECT_TRUE(itemNames(target).empty()) << c.what;
    EXPECT_EQ(info->numQueuedActions(), 0u) << c.what;
    EXPECT_TRUE(obkDestroyDiagnostics().empty()) << c.what;

    // The next copy on the same method info runs its own attachments only.
    attachLog().clear();
    OBInterface* other = box("other");
    placeBelow(leaf("x"), other);
    OBInterface* copy = copyInto(other, target);
    EXPECT_EQ(attachLog(), (Names{"other>target", "x>other"})) << c.what;
    EXPECT_TRUE(host_->destroy(copy));
    attachLog().clear();
  }
}

// --- the generic method info on its own ------------------------------------------------

// Exposes the queue to show what an empty action does.
class QueueProbe : public ModelComponent_copyobj_MI {
 public:
  using ModelComponent_copyobj_MI::DeferredAction;
  using ModelComponent_copyobj_MI::queueAction;
};

TEST_F(CopyTest, AnEmptyActionRaisesAndEmptiesBothLists) {
  QueueProbe probe;
  int ran = 0;
  probe.queueAction([&ran] { ++ran; }, false);
  probe.queueAction(QueueProbe::DeferredAction(), false);
  probe.queueAction([&ran] { ran += 10; }, true);
  EXPECT_EQ(probe.numQueuedActions(), 3u);
  EXPECT_THROW(probe.runDeferredActions(), boost::bad_function_call);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(probe.numQueuedActions(), 0u);

  probe.queueAction([&ran] { ran += 100; }, true);
  probe.queueAction([&ran] { ran *= 2; }, false);
  probe.runDeferredActions();  // general list first
  EXPECT_EQ(ran, 102);
}

TEST_F(CopyTest, TheGenericInfoCopiesATestThingRefusesEveryParentAndAttachesNothing) {
  ModelComponent_copyobj_MI generic;
  OBInterface* thing = host_->construct("Kestrion.TestThing");
  host_->set(thing, "Name", host_->str("thing"));
  host_->set(thing, "Tag", host_->str("tagged"));
  host_->set(thing, "UserData", host_->nums({1, 2}));
  OBInterface* target = box("target");
  EXPECT_FALSE(generic.canCopyInto(thing, target));

  OBInterface* copy = generic.copyObjectTree(thing);
  EXPECT_NE(copy, thing);
  EXPECT_EQ(host_->getString(copy, "Name"), "thing");
  EXPECT_EQ(host_->getString(copy, "Tag"), "tagged");
  EXPECT_TRUE(qxIsIdentical(host_->get(copy, "UserData"), host_->get(thing, "UserData")));
  EXPECT_NE(host_->getString(copy, "ID", true), host_->getString(thing, "ID", true));
  copy->releaseReference();

  host_->clearLogs();
  OBInterface* unattached = generic.performCopy(thing, target);
  EXPECT_EQ(host_->printed(), "doing nothing\n");
  EXPECT_EQ(unattached->getUp(), nullptr);
  EXPECT_EQ(target->getNumChildren(), 0u);
  unattached->releaseReference();
}

}  // namespace
