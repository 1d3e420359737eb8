// The compile-service object: what one build hands the simulation side,
// and its ownership of lists, arrays and attached data.
#include <memory>

#include "CompileFixture.hpp"
#include "compile/MiniCompileObjectApi.hpp"
#include "core/QuantityComponent.hpp"

namespace ctest {
namespace {

using Names = std::vector<std::string>;

struct CompileObjectDeleter {
  void operator()(MiniCompileObjectApi* object) const { delete object; }
};
using CompileObjectPtr = std::unique_ptr<MiniCompileObjectApi, CompileObjectDeleter>;

class MiniCompileObjectTest : public CompileModel {
 protected:
  CompileObjectPtr built() {
    CompileObjectPtr object(createMiniCompileObject(model_));
    EXPECT_NE(object, nullptr);
    object->build();
    return object;
  }
  static Names quantityNames(const kstrVector<kstr::QuantityComponent*>* list) {
    Names names;
    for (const kstr::QuantityComponent* q : *list) names.push_back(q->getName());
    return names;
  }
};

TEST_F(MiniCompileObjectTest, OneBuildFillsEveryListInCompileOrder) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  species(c1, "B")->setBoundaryCondition(true);
  a->setInitialValue(3.0);
  parameter("k", true)->setInitialValue(2.0);
  BReaction* r1 = reaction("A -> B", "r1");
  lawParameter(lawOf(r1), "ka");
  reaction("B -> A", "r2");
  BReaction* off = reaction("A + B -> null", "off");
  lawParameter(lawOf(off), "koff");
  off->setActive(false);

  const CompileObjectPtr object = built();
  EXPECT_EQ(quantityNames(object->getSpeciesComponents()), (Names{"A", "B"}));
  EXPECT_EQ(namesOf(*object->getSpecies()), (Names{"A", "B"}));
  EXPECT_EQ(quantityNames(object->getParameterComponents()), (Names{"k", "ka", "koff", "c1"}));
  EXPECT_EQ(namesOf(*object->getReactions()), (Names{"r1", "r2"}));
  EXPECT_EQ(*object->getKineticLaws(), (kstrVector<BKineticLaw*>{r1->getKineticLaw(), nullptr}));
  EXPECT_EQ(*object->getModels(), kstrVector<Kelbor*>{model_});
  EXPECT_TRUE(object->getRules()->empty());
  EXPECT_TRUE(object->getEvents()->empty());
  EXPECT_EQ(object->getAttachedData(), nullptr);
  EXPECT_EQ(*object->getInitialValues(),
            (kstrVector<double>{3.0, 0.0, 2.0, 1.0, 1.0, c1->getInitialValue()}));
  EXPECT_EQ(*object->getConstantFlags(),
            (kstrVector<uint16_t>{0, 0, 1, 1, 1, static_cast<uint16_t>(c1->getConstantValue())}));
  EXPECT_EQ(*object->getBoundaryConditionFlags(), (kstrVector<uint16_t>{0, 1}));
  EXPECT_EQ(readSparse(object->getReactantStoichiometry()).cells,
            (Cells{{{0, 0}, -1.0}, {{1, 1}, -1.0}}));
  EXPECT_EQ(readSparse(object->getProductStoichiometry()).cells,
            (Cells{{{1, 0}, 1.0}, {{0, 1}, 1.0}}));

  // A second build changes nothing.
  kstrVector<BReaction*>* reactions = object->getReactions();
  object->build();
  EXPECT_EQ(object->getReactions(), reactions);
  EXPECT_EQ(reactions->size(), 2u);
}

TEST_F(MiniCompileObjectTest, ModelsWithoutSpeciesOrActiveReactions) {
  BCompartment* c1 = compartment("c1");
  parameter("k", false);
  {
    const CompileObjectPtr object = built();
    EXPECT_EQ(object->getReactantStoichiometry(), nullptr);
    EXPECT_EQ(object->getProductStoichiometry(), nullptr);
    EXPECT_TRUE(object->getSpecies()->empty());
    EXPECT_TRUE(object->getBoundaryConditionFlags()->empty());
    EXPECT_EQ(quantityNames(object->getParameterComponents()), (Names{"k", "c1"}));
    EXPECT_EQ(object->getInitialValues()->size(), 2u);
  }
  species(c1, "A");
  BReaction* r = reaction("A -> null", "r");
  lawParameter(lawOf(r), "kr");
  r->setActive(false);
  const CompileObjectPtr object = built();
  EXPECT_EQ(object->getReactantStoichiometry(), nullptr);
  EXPECT_TRUE(object->getReactions()->empty());
  EXPECT_TRUE(object->getKineticLaws()->empty());
  EXPECT_EQ(quantityNames(object->getParameterComponents()), (Names{"k", "kr", "c1"}));
  EXPECT_TRUE(warningIds().empty());
}

TEST_F(MiniCompileObjectTest, OwnershipOfListsArraysAndAttachedData) {
  BCompartment* c1 = compartment("c1");
  species(c1, "A");
  reaction("A -> null");
  const size_t blocks = hbTestLiveBlocks();
  const size_t arrays = qxLiveArrayCount();
  EXPECT_EQ(createMiniCompileObject(nullptr), nullptr);
  {
    // Never built: only the object itself is held.
    CompileObjectPtr idle(createMiniCompileObject(model_));
    EXPECT_EQ(hbTestLiveBlocks(), blocks + 1);
    EXPECT_EQ(idle->getSpecies(), nullptr);
    EXPECT_EQ(idle->getReactantStoichiometry(), nullptr);
  }
  EXPECT_EQ(hbTestLiveBlocks(), blocks);
  {
    const CompileObjectPtr object = built();
    EXPECT_EQ(qxLiveArrayCount(), arrays + 2);
    for (int i = 0; i < 2; ++i) {
      auto* data = new (hbCallocWithCheck(1, sizeof(kstrVector<void*>))) kstrVector<void*>();
      data->push_back(nullptr);
      object->setAttachedData(data);  // the one set before is freed
      EXPECT_EQ(object->getAttachedData(), data);
    }
  }
  EXPECT_EQ(hbTestLiveBlocks(), blocks);
  EXPECT_EQ(qxLiveArrayCount(), arrays);
}

}  // namespace
}  // namespace ctest
