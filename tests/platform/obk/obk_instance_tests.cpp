// References, the object tree and destroy.
#include <gtest/gtest.h>

#include "obk_test_support.hpp"

using namespace obktest;

namespace {

OBDatabaseClient* internal() { return OBDatabaseClient::getInternalClient(); }

class InstanceTest : public ObkTest {};

// r -> (c1 -> g1), c2
struct Tree {
  OBInterface* r = newThing("r");
  OBInterface* c1 = newThing("c1");
  OBInterface* c2 = newThing("c2");
  OBInterface* g1 = newThing("g1");
  Tree() {
    c1->addBelow(r);
    c2->addBelow(r);
    g1->addBelow(c1);
  }
  void releaseAll() {
    for (OBInterface* o : {g1, c2, c1, r}) o->releaseReference();
  }
};

TEST_F(InstanceTest, DestroyRunsChildrenFirstWithParentLinks) {
  Tree t;
  ASSERT_TRUE(t.r->destroy(internal()));
  EXPECT_EQ(destroyLog(), (std::vector<std::string>{"g1<c1", "c1<r", "c2<r", "r<"}));
  for (OBInterface* o : {t.r, t.c1, t.c2, t.g1}) {
    EXPECT_EQ(o->getState(), OBInterface::Destroyed);
    EXPECT_TRUE(o->isBeingDestroyed());
    EXPECT_EQ(o->getUp(), nullptr);
    EXPECT_EQ(o->getComponentObject(), nullptr);
    EXPECT_EQ(o->getReferenceCount(), 1);  // only the test's own
  }
  EXPECT_EQ(t.r->getNumChildren(), 0u);
  EXPECT_TRUE(t.r->destroy(internal()));  // a second destroy does nothing
  EXPECT_EQ(destroyLog().size(), 4u);
  t.releaseAll();
}

TEST_F(InstanceTest, RefusingGuardChangesNothing) {
  Tree t;
  thingOf(t.r)->locked = true;
  EXPECT_FALSE(t.r->destroy(internal()));
  EXPECT_TRUE(destroyLog().empty());
  for (OBInterface* o : {t.r, t.c1, t.c2, t.g1}) EXPECT_EQ(o->getState(), OBInterface::Created);
  EXPECT_EQ(t.g1->getUp(), t.c1);
  thingOf(t.r)->locked = false;
  ASSERT_TRUE(t.r->destroy(internal()));
  t.releaseAll();
}

TEST_F(InstanceTest, ChildGuardIsOverriddenAndRecorded) {
  Tree t;
  thingOf(t.c2)->locked = true;
  ASSERT_TRUE(t.r->destroy(internal()));
  EXPECT_EQ(t.c2->getState(), OBInterface::Destroyed);
  ASSERT_EQ(obkDestroyDiagnostics().size(), 1u);
  EXPECT_NE(obkDestroyDiagnostics()[0].find("TestApp.Thing"), std::string::npos);
  obkClearDestroyDiagnostics();
  t.releaseAll();
}

TEST_F(InstanceTest, LastReferenceDestroysAndFrees) {
  size_t live = OBInterface::liveCount();
  OBInterface* x = newThing("x");
  EXPECT_EQ(OBInterface::liveCount(), live + 1);
  x->releaseReference();
  EXPECT_EQ(destroyLog(), std::vector<std::string>{"x<"});
  EXPECT_EQ(OBInterface::liveCount(), live);
}

TEST_F(InstanceTest, TreeKeepsChildrenAliveUntilTheParentGoes) {
  OBInterface* p = newThing("p");
  OBInterface* c = newThing("c");
  c->addBelow(p);
  EXPECT_EQ(c->getReferenceCount(), 2);
  c->releaseReference();  // the tree still holds it
  EXPECT_TRUE(destroyLog().empty());
  EXPECT_EQ(c->getUp(), p);
  p->releaseReference();  // auto-destroy of p takes c along, children first
  EXPECT_EQ(destroyLog(), (std::vector<std::string>{"c<p", "p<"}));
}

TEST_F(InstanceTest, DetachedChildWithoutReferencesIsDestroyed) {
  OBInterface* p = newThing("p");
  OBInterface* c = newThing("c");
  c->addBelow(p);
  c->releaseReference();
  c->addBelow(nullptr);  // drops the tree's reference, the last one
  EXPECT_EQ(destroyLog(), std::vector<std::string>{"c<"});
  EXPECT_EQ(p->getNumChildren(), 0u);
  p->releaseReference();
}

TEST_F(InstanceTest, StaleHandleRaisesInvalidObject) {
  OBInterface* x = newThing("x");
  Arr h = handles({x});
  ASSERT_TRUE(x->destroy(internal()));
  x->releaseReference();  // the array keeps the destroyed instance allocated
  expectError([&] { obkGetProperty(x, "Name"); }, "obk:InvalidObject");
  Arr v = str("n");
  expectError([&] { obkSetProperty(x, "Name", v.get()); }, "obk:InvalidObject");
  expectError([&] { x->addBelow(nullptr); }, "obk:InvalidObject");
  expectError([&] { x->copy(internal()); }, "obk:InvalidObject");
  EXPECT_EQ(OBTypeRepository::getType("handle")->matches(h.get()), true);
  expectError([&] { OBTypeRepository::getType("handle")->fromHost(h.get()); },
              "obk:InvalidObject");
}

TEST_F(InstanceTest, AddBelowAppendsMovesAndRefusesCycles) {
  OBInterface* p = newThing("p");
  OBInterface* q = newThing("q");
  OBInterface* kids[] = {newThing("k1"), newThing("k2"), newThing("k3")};
  for (OBInterface* k : kids) k->addBelow(p);
  kids[0]->addBelow(p);  // same parent: moves to the end
  EXPECT_EQ(p->getChildren(), (std::vector<OBInterface*>{kids[1], kids[2], kids[0]}));
  EXPECT_EQ(kids[0]->getReferenceCount(), 2);
  kids[1]->addBelow(q);  // another parent: detached first
  EXPECT_EQ(p->getChildren(), (std::vector<OBInterface*>{kids[2], kids[0]}));
  EXPECT_EQ(q->getFirstChild(), kids[1]);
  EXPECT_EQ(kids[1]->getReferenceCount(), 2);
  EXPECT_EQ(kids[2]->getRight(), kids[0]);
  EXPECT_EQ(kids[0]->getLeft(), kids[2]);
  q->addBelow(kids[2]);
  expectError([&] { p->addBelow(kids[2]); }, "obk:InvalidParent");
  expectError([&] { p->addBelow(p); }, "obk:InvalidParent");
  for (OBInterface* k : kids) k->releaseReference();
  q->releaseReference();
  p->releaseReference();
  EXPECT_EQ(destroyLog().size(), 5u);
}

TEST_F(InstanceTest, ExternalReferencesAndStates) {
  OBInterface* x = newThing("x");
  x->getExternalReference();
  EXPECT_EQ(x->getReferenceCount(), 2);
  EXPECT_EQ(x->getExternalReferenceCount(), 1);
  x->releaseExternalReference();
  x->releaseExternalReference();  // none outstanding: ignored, and counted as a misuse
  ASSERT_EQ(obkDestroyDiagnostics().size(), 1u);
  EXPECT_NE(obkDestroyDiagnostics()[0].find("external reference released without one held"),
            std::string::npos);
  obkClearDestroyDiagnostics();
  EXPECT_EQ(x->getReferenceCount(), 1);
  EXPECT_EQ(x->getState(), OBInterface::Created);
  x->activate();
  EXPECT_EQ(x->getState(), OBInterface::Active);
  EXPECT_FALSE(x->isBeingDestroyed());
  x->releaseReference();
}

TEST_F(InstanceTest, HandleArraysHoldReferences) {
  OBInterface* x = newThing("x");
  {
    Arr h = handles({x, x});
    EXPECT_EQ(x->getReferenceCount(), 3);
    EXPECT_STREQ(qxGetClassName(h.get()), "TestApp.Thing");
    Arr dup(qxDuplicateArray(h.get()));
    EXPECT_EQ(x->getReferenceCount(), 5);
  }
  EXPECT_EQ(x->getReferenceCount(), 1);
  x->releaseReference();
}

TEST_F(InstanceTest, ConstructionThroughTheHost) {
  Arr name = str("Name");
  Arr value = str("made");
  qxArray* ins[] = {name.get(), value.get()};
  OBInterface* x = obkConstruct("TestApp.Thing", 2, ins);
  EXPECT_EQ(thingOf(x)->name, "made");
  EXPECT_EQ(x->getReferenceCount(), 1);
  x->releaseReference();
  OBInterface* bare = obkConstruct("Thing", 0, nullptr);  // bare name
  EXPECT_EQ(thingOf(bare)->name, "");
  bare->releaseReference();
  Arr bad = str("Nope");
  qxArray* badIns[] = {bad.get(), value.get()};
  expectError([&] { obkConstruct("Thing", 2, badIns); }, "Test:BadPV");
  expectError([&] { obkConstruct("Abstract", 0, nullptr); }, "obk:CannotConstruct");
  EXPECT_EQ(abstractClass()->createObject(internal(), nullptr, 0, nullptr), nullptr);
  expectError([&] { obkConstruct("NoSuchClass", 0, nullptr); }, "obk:UndefinedClass");
  qxArray* two[] = {name.get(), value.get()};
  expectError([&] { configClass()->createObject(internal(), nullptr, 2, two); },
              "obk:NoMatchingConstructor");
}

}  // namespace
