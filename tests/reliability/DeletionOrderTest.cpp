// Deletion order: every component of the world destroyed while others still
// name it, a model destroyed from a property listener while one of its
// species is being renamed, and the root's children destroyed in every
// order.  After each destruction the invariants hold and everything a user
// can read is read again (the sanitizer build catches any use of freed
// memory); nothing is leaked once the world is gone.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <obk/obk.hpp>

#include "SweepWorld.hpp"
#include "core/KelborComponent.hpp"
#include "host/HostHelpers.hpp"
#include "model/BQuorvixRoot.hpp"

namespace {

class DeletionOrder : public ::testing::Test {
 protected:
  void SetUp() override {
    classes_ = registeredClasses();
    { SweepWorld warmUp(classes_); }
    start_ = TestHost::health();
  }
  void TearDown() override {
    const HostHealth end = TestHost::health();
    EXPECT_EQ(end.instances, start_.instances) << describe(end) << " against " << describe(start_);
    EXPECT_EQ(end.arrays, start_.arrays) << describe(end) << " against " << describe(start_);
  }

  // Reads everything and checks the invariants.
  static void readEverything(const SweepWorld& world, const std::string& what) {
    EXPECT_EQ(world.checkInvariants(), "") << what;
    world.snapshot();
    for (OBInterface* object : world.reachable()) {
      if (!object->isValid()) continue;
      qxArray* in = obkHandleArray(object);
      qxArray* out[1] = {nullptr};
      // Display walks every component's texts and links.
      auto error = TestHost::errorOf([&] { obkCallMethod("display", 0, out, 1, &in); });
      (void)error;
      qxDestroyArray(out[0]);
      qxDestroyArray(in);
    }
  }

  std::vector<OBClass*> classes_;
  HostHealth start_;
};

// Each instance of the models' subtrees in turn (species in rates, rules and
// events, parameters, compartments with contents, reactions, kinetic laws,
// configuration sets, variants, doses): destroyed the way the host's delete
// does, refused by its guard or not.
TEST_F(DeletionOrder, EveryComponentDestroyedWhileOthersNameIt) {
  size_t count = 0;
  {
    SweepWorld world(classes_);
    count = modelScope().size();
  }
  size_t destroyed = 0;
  for (size_t i = 1; i < count; ++i) {  // 0 is the root
    SweepWorld world(classes_);
    std::vector<OBInterface*> scope = modelScope();
    if (i >= scope.size()) break;
    OBInterface* victim = scope[i];
    const std::string what = std::string("destroying ") + victim->getClass()->getName() + " '" +
                             (componentOf(victim) ? componentOf(victim)->getName() : "") + "'";
    destroyed += world.host().destroy(victim);
    readEverything(world, what);
    // The model still works: it can verify and take new components.
    auto error = TestHost::errorOf([&] { world.host().call(world.firstModel(), "verify", {}); });
    (void)error;
    EXPECT_EQ(world.checkInvariants(), "") << what;
  }
  std::printf("destroyed %zu of %zu instances (the rest were refused by their guards)\n", destroyed, count - 1);
}

// A listener that tries to destroy an instance the first time any property
// is set.
class InstanceDestroyer : public OBListener {
 public:
  explicit InstanceDestroyer(OBInterface* victim) : victim_(victim) {}
  bool handleEvent(const OBEvent&) override {
    if (victim_ != nullptr && victim_->isValid()) {
      OBInterface* victim = victim_;
      victim_ = nullptr;
      destroyed = victim->destroy(OBDatabaseClient::getExternalClient());
      fired = true;
    }
    return true;
  }
  bool fired = false;
  bool destroyed = false;

 private:
  OBInterface* victim_;
};

// The first element of a model's handle-vector property for which the test
// holds; null when none.
OBInterface* elementWhere(SweepWorld& world, const char* property,
                          const std::function<bool(OBInterface*)>& test) {
  qxArray* list = world.host().get(world.firstModel(), property);
  for (size_t i = 0; i < qxGetNumberOfElements(list); ++i) {
    auto* element = static_cast<OBInterface*>(qxGetHandle(list, i));
    if (test(element)) return element;
  }
  return nullptr;
}

// A component renamed (found by name in a list of the model) and the instance
// a listener tries to destroy meanwhile (a rule by its text or an event by
// its trigger, found in a list of the model; null: the model itself).
struct RenameVictim {
  const char* renamed;
  const char* renamedList;
  const char* newName;
  const char* victimList;
  const char* victim;
};

// A host listener that runs while a component in use is renamed (the rename
// sets the rates, rules and events that name it) tries to destroy the model,
// or a rule or event that names the component: each refuses until the rename
// is done, and then goes.
TEST_F(DeletionOrder, ComponentDestroyedWhileWhatItNamesIsRenamed) {
  const RenameVictim cases[] = {
      {"S", "Species", "substrate", nullptr, nullptr},
      {"S", "Species", "substrate", "Events", "time > 5"},
      {"kf", "Parameters", "kforward", "Rules", "kr = kf/10"},
  };
  for (const RenameVictim& c : cases) {
    SweepWorld world(classes_);
    const std::string what = std::string("renaming ") + c.renamed + " while destroying " +
                             (c.victim ? c.victim : "the model");
    OBInterface* renamed = elementWhere(world, c.renamedList, [&](OBInterface* e) {
      return componentOf(e)->getName() == c.renamed;
    });
    ASSERT_NE(renamed, nullptr) << what;
    OBInterface* victim = world.firstModel();
    if (c.victim != nullptr) {
      // A rule by its text, an event by its trigger.
      victim = elementWhere(world, c.victimList, [&](OBInterface* e) {
        const char* text = e->getProperty("Rule") != nullptr ? "Rule" : "Trigger";
        return qxArrayToStdString(world.host().get(e, text)) == c.victim;
      });
    }
    ASSERT_NE(victim, nullptr) << what;
    InstanceDestroyer destroyer(victim);
    for (OBClass* cls : classes_)
      OBListenerManagerHost::addListener(cls, &destroyer, nullptr, OBK_PROPERTY_POST_SET_EVENT);
    auto error = TestHost::errorOf([&] { world.host().call(renamed, "rename", {world.host().str(c.newName)}); });
    OBListenerManagerHost::removeListener(&destroyer);
    EXPECT_TRUE(destroyer.fired) << what << ": no property event reached the listener during the rename";
    EXPECT_FALSE(destroyer.destroyed) << what << ": destroyed while the rename ran through it";
    EXPECT_FALSE(error.has_value()) << what << ": " << error->id;
    ASSERT_TRUE(victim->isValid()) << what;
    EXPECT_EQ(componentOf(renamed)->getName(), c.newName) << what;
    readEverything(world, what + ", after the refusal");
    // Once the rename is done the victim can go.
    EXPECT_TRUE(world.host().destroy(victim)) << what;
    readEverything(world, what + ", after the victim went");
  }
}

// The root's children (models and whatever else hangs below the root)
// destroyed in every order; the orders are split by the child destroyed
// first, one test each, so that they run in parallel.
constexpr size_t kMostRootChildren = 5;

class RootChildrenOrder : public DeletionOrder, public ::testing::WithParamInterface<size_t> {};

TEST_P(RootChildrenOrder, DestroyedInEveryOrderStartingWithOne) {
  size_t children = 0;
  {
    SweepWorld world(classes_);
    children = std::min<size_t>(getOBIRoot()->getChildren().size(), kMostRootChildren);
  }
  if (GetParam() >= children) GTEST_SKIP() << "the root has " << children << " children";
  std::vector<size_t> rest;
  for (size_t i = 0; i < children; ++i) {
    if (i != GetParam()) rest.push_back(i);
  }
  size_t orders = 0;
  do {
    std::vector<size_t> order{GetParam()};
    order.insert(order.end(), rest.begin(), rest.end());
    SweepWorld world(classes_);
    std::vector<OBInterface*> kids = getOBIRoot()->getChildren();
    kids.resize(std::min(kids.size(), children));
    for (OBInterface* kid : kids) kid->getReference();
    for (size_t index : order) {
      OBInterface* kid = kids[index];
      if (kid->isValid()) world.host().destroy(kid);
      readEverything(world, "order " + std::to_string(orders) + " starting with child " +
                                std::to_string(GetParam()));
    }
    for (OBInterface* kid : kids) kid->releaseReference();
    ++orders;
  } while (std::next_permutation(rest.begin(), rest.end()));
  std::printf("destroyed %zu root children in %zu orders starting with child %zu\n", children, orders,
              GetParam());
}

INSTANTIATE_TEST_SUITE_P(FirstChild, RootChildrenOrder, ::testing::Range<size_t>(0, kMostRootChildren));

}  // namespace
