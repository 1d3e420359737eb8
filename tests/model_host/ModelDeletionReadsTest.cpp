// Deleting species, parameters and reactions one by one while the user reads
// the lists in between: every read through the host ("Species",
// "Parameters", "Reactions", "Compartments", copyobj, reorder) and through
// the engine's own lists shows exactly the components left, in order.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ModelHostFixture.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BParameter.hpp"
#include "quantities/BSpecies.hpp"

namespace {

class ModelDeletionReadsTest : public ModelHostTest {
 protected:
  struct Kept {
    std::vector<OBInterface*> instances;
    std::vector<std::string> names;
    void add(OBInterface* instance) {
      instances.push_back(instance);
      names.push_back(nameOf(instance));
    }
    void remove(size_t i) {
      instances.erase(instances.begin() + static_cast<long>(i));
      names.erase(names.begin() + static_cast<long>(i));
    }
  };

  std::vector<std::string> namesOf(OBInterface* object, const char* property) {
    std::vector<std::string> out;
    for (OBInterface* h : handlesOf(host().get(object, property))) out.push_back(nameOf(h));
    return out;
  }
  // An n-by-1 handle array of the instances (n may be 0).
  static qxArray* handleArray(const std::vector<OBInterface*>& instances) {
    qxArray* a = qxCreateHandleArray(instances.size(), 1);
    for (size_t i = 0; i < instances.size(); ++i) qxSetHandle(a, i, instances[i]);
    return a;
  }
  template <class List>
  static std::vector<std::string> engineNames(const List& list) {
    std::vector<std::string> out;
    for (const auto* c : list) out.push_back(c->getName());
    return out;
  }
};

TEST_F(ModelDeletionReadsTest, RandomDeletesAndReadsShowWhatIsLeft) {
  OBInterface* m = model("m");
  OBInterface* cell = add(m, "addcompartment", {host().str("cell")});
  Kept species, parameters, reactions;
  int made = 0;
  auto addSpecies = [&] { species.add(add(cell, "addspecies", {host().str(("s" + std::to_string(made++)).c_str())})); };
  auto addParameter = [&] { parameters.add(add(m, "addparameter", {host().str(("p" + std::to_string(made++)).c_str())})); };
  auto addReaction = [&] {
    const std::string i = std::to_string(made++);
    OBInterface* r = add(m, "addreaction", {host().str(("x" + i + " -> y" + i).c_str())});
    host().set(r, "Name", host().str(("r" + i).c_str()));
    reactions.add(r);
  };
  for (int i = 0; i < 80; ++i) {
    addSpecies();
    addParameter();
    if (i % 2 == 0) addReaction();
  }
  // The species the reactions create ("x<i>", "y<i>") stay; the ones
  // added above ("s<i>") come and go.
  auto expectSpecies = [&] {
    std::vector<std::string> added;
    for (const std::string& n : namesOf(cell, "Species")) {
      if (n[0] == 's') added.push_back(n);
    }
    ASSERT_EQ(added, species.names);
  };
  std::mt19937 random(5);
  Kelbor* engine = kelbor(m);
  auto* compartment = static_cast<BCompartment*>(componentOf(cell));
  for (int step = 0; step < 600; ++step) {
    SCOPED_TRACE(step);
    const unsigned what = random() % 12;
    Kept* kind = what % 3 == 0 ? &species : what % 3 == 1 ? &parameters : &reactions;
    if (what < 6 && !kind->instances.empty()) {
      const size_t i = random() % kind->instances.size();
      ASSERT_TRUE(host().destroy(kind->instances[i]));
      kind->remove(i);
    } else if (what < 8) {
      kind == &species ? addSpecies() : kind == &parameters ? addParameter() : addReaction();
    } else if (what == 8) {
      expectSpecies();
      ASSERT_EQ(namesOf(m, "Parameters"), parameters.names);
    } else if (what == 9) {
      ASSERT_EQ(namesOf(m, "Reactions"), reactions.names);
      ASSERT_EQ(engineNames(*engine->getParameters()), parameters.names);
    } else if (what == 10 && random() % 8 == 0) {
      // A reorder reads the held vectors and replaces the engine's list.
      std::vector<OBInterface*> order = parameters.instances;
      std::reverse(order.begin(), order.end());
      qxArray* given = handleArray(order);
      host().call(m, "reorder", {given}, 0);
      qxDestroyArray(given);
      std::reverse(parameters.instances.begin(), parameters.instances.end());
      std::reverse(parameters.names.begin(), parameters.names.end());
    } else if (what == 11 && random() % 8 == 0) {
      OBInterface* copy = add(m, "copyobj", {});
      ASSERT_EQ(namesOf(copy, "Parameters"), parameters.names);
      ASSERT_EQ(namesOf(copy, "Reactions"), reactions.names);
      ASSERT_TRUE(host().destroy(copy));
    }
  }
  expectSpecies();
  ASSERT_EQ(namesOf(m, "Parameters"), parameters.names);
  ASSERT_EQ(namesOf(m, "Reactions"), reactions.names);
  EXPECT_EQ(engineNames(compartment->getSpecies()), namesOf(cell, "Species"));
}

}  // namespace
