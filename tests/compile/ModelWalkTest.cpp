// The model walk and the compile order: tree order of species and
// compartments, parameters of kinetic laws, the two switches.
#include "CompileFixture.hpp"
#include "compile/ModelWalk.hpp"

namespace ctest {
namespace {

using kstr::compile::collectCompileOrder;
using kstr::compile::ModelWalk;
using Names = std::vector<std::string>;

class ModelWalkTest : public CompileModel {
 protected:
  // Outer holding Inner, then Next; a model parameter; an active reaction
  // with law parameter ka and an inactive one with kb.
  void SetUp() override {
    CompileModel::SetUp();
    BCompartment* outer = compartment("Outer");
    species(outer, "O1");
    auto* inner = new BCompartment();
    owned_.insert(owned_.begin(), inner);
    inner->setName("Inner");
    outer->addCompartment(inner);
    species(inner, "I1");
    species(inner, "I2");
    BCompartment* next = compartment("Next");
    species(next, "N1");
    parameter("k", true);
    active_ = reaction("Outer.O1 -> Next.N1", "r1");
    lawParameter(lawOf(active_), "ka");
    inactive_ = reaction("Next.N1 -> Outer.O1", "r2");
    lawParameter(lawOf(inactive_), "kb");
    inactive_->setActive(false);
  }
  BReaction* active_ = nullptr;
  BReaction* inactive_ = nullptr;
};

TEST_F(ModelWalkTest, TreeOrderAndTheSwitches) {
  struct Case {
    bool inactiveEntities;
    bool inactiveParameters;
    Names parameters;
    Names reactions;
  };
  const Case cases[] = {
      {true, true, {"k", "ka", "kb"}, {"r1", "r2"}},
      {true, false, {"k", "ka"}, {"r1", "r2"}},
      {false, true, {"k", "ka", "kb"}, {"r1"}},
      {false, false, {"k", "ka"}, {"r1"}},
  };
  for (const Case& c : cases) {
    const ModelWalk walk(model_, c.inactiveEntities, c.inactiveParameters);
    EXPECT_EQ(namesOf(walk.species), (Names{"I1", "I2", "O1", "N1"}));
    EXPECT_EQ(namesOf(walk.compartments), (Names{"Inner", "Outer", "Next"}));
    EXPECT_EQ(namesOf(walk.parameters), c.parameters);
    EXPECT_EQ(namesOf(walk.reactions), c.reactions);
    EXPECT_EQ(walk.models, (kstrVector<Kelbor*>{model_}));
  }
}

TEST_F(ModelWalkTest, CompileOrderKeepsInactiveLawParametersAndAppends) {
  kstrVector<BSpecies*> species{nullptr};
  kstrVector<BParameter*> parameters;
  kstrVector<BCompartment*> compartments;
  collectCompileOrder(model_, species, parameters, compartments);
  EXPECT_EQ(namesOf(species), (Names{"<null>", "I1", "I2", "O1", "N1"}));
  EXPECT_EQ(namesOf(parameters), (Names{"k", "ka", "kb"}));
  EXPECT_EQ(namesOf(compartments), (Names{"Inner", "Outer", "Next"}));
}

TEST_F(ModelWalkTest, ComponentsThatAreNoModelAppendNothing) {
  const KelborComponent* components[] = {nullptr, active_, model_->getSpeciesInTreeAt(0),
                                         model_->getParameterAt(0)};
  for (const KelborComponent* c : components) {
    const ModelWalk walk(c, true, true);
    EXPECT_TRUE(walk.species.empty() && walk.parameters.empty() && walk.compartments.empty() &&
                walk.models.empty() && walk.reactions.empty() && walk.events.empty() &&
                walk.rules.empty());
  }
  kstrVector<BSpecies*> species;
  kstrVector<BParameter*> parameters;
  kstrVector<BCompartment*> compartments;
  collectCompileOrder(nullptr, species, parameters, compartments);
  EXPECT_TRUE(species.empty() && parameters.empty() && compartments.empty());
}

}  // namespace
}  // namespace ctest
