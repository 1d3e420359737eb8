// Deletion order: every component of the world destroyed while others still
// name it, a model destroyed from a property listener while one of its
// species is being renamed, and the root's children destroyed in every
// order.  After each destruction the invariants hold and everything a user
// can read is read again (the sanitizer build catches any use of freed
// memory); nothing is leaked once the world is gone.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
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

// A listener that tries to destroy a model the first time any property is
// set.
class ModelDestroyer : public OBListener {
 public:
  explicit ModelDestroyer(OBInterface* model) : model_(model) {}
  bool handleEvent(const OBEvent&) override {
    if (model_ != nullptr && model_->isValid()) {
      OBInterface* model = model_;
      model_ = nullptr;
      destroyed = model->destroy(OBDatabaseClient::getExternalClient());
      fired = true;
    }
    return true;
  }
  bool fired = false;
  bool destroyed = false;

 private:
  OBInterface* model_;
};

// A host listener that runs while a species in use is renamed (the rename
// sets the rates that name it) tries to destroy the model: the model refuses
// until the rename is done.
TEST_F(DeletionOrder, ModelDestroyedWhileASpeciesInUseIsRenamed) {
  SweepWorld world(classes_);
  OBInterface* model = world.firstModel();
  std::vector<qxArray*> species = {world.host().get(model, "Species")};
  OBInterface* substrate = nullptr;
  for (size_t i = 0; i < qxGetNumberOfElements(species[0]); ++i) {
    auto* s = static_cast<OBInterface*>(qxGetHandle(species[0], i));
    if (componentOf(s)->getName() == "S") substrate = s;
  }
  ASSERT_NE(substrate, nullptr);
  ModelDestroyer destroyer(model);
  for (OBClass* cls : classes_) OBListenerManagerHost::addListener(cls, &destroyer, nullptr, OBK_PROPERTY_POST_SET_EVENT);
  auto error = TestHost::errorOf([&] { world.host().call(substrate, "rename", {world.host().str("substrate")}); });
  OBListenerManagerHost::removeListener(&destroyer);
  EXPECT_TRUE(destroyer.fired) << "no property event reached the listener during the rename";
  EXPECT_FALSE(destroyer.destroyed) << "the model was destroyed while the rename ran through it";
  EXPECT_FALSE(error.has_value()) << error->id;
  ASSERT_TRUE(model->isValid());
  EXPECT_EQ(componentOf(substrate)->getName(), "substrate");
  readEverything(world, "after the model refused to go during a rename");
  // Once the rename is done the model can go.
  EXPECT_TRUE(world.host().destroy(model));
  readEverything(world, "after the model went");
}

// The root's children (models and whatever else hangs below the root)
// destroyed in every order.
TEST_F(DeletionOrder, RootChildrenDestroyedInEveryOrder) {
  size_t children = 0;
  {
    SweepWorld world(classes_);
    children = std::min<size_t>(getOBIRoot()->getChildren().size(), 5);
  }
  std::vector<size_t> order(children);
  std::iota(order.begin(), order.end(), 0);
  size_t orders = 0;
  do {
    SweepWorld world(classes_);
    std::vector<OBInterface*> kids = getOBIRoot()->getChildren();
    kids.resize(std::min(kids.size(), children));
    for (OBInterface* kid : kids) kid->getReference();
    for (size_t index : order) {
      OBInterface* kid = kids[index];
      if (kid->isValid()) world.host().destroy(kid);
      readEverything(world, "order " + std::to_string(orders));
    }
    for (OBInterface* kid : kids) kid->releaseReference();
    ++orders;
  } while (std::next_permutation(order.begin(), order.end()));
  std::printf("destroyed %zu root children in %zu orders\n", children, orders);
}

}  // namespace
