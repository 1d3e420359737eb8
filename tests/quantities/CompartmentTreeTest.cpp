// The compartment tree: flat-index walks, counts, species and
// sub-compartments coming and going, owners (the owner decision table) and
// the model's view of whole subtrees moving in, within and out of it.
#include <gtest/gtest.h>

#include "support/Expect.hpp"

#include <functional>
#include <hb/hb.hpp>
#include <memory>
#include <obk/Exception.hpp>
#include <obk/OBClass.hpp>
#include <obk/OBDatabaseClient.hpp>
#include <obk/OBInterface.hpp>
#include <obk/Vector.hpp>
#include <string>
#include <vector>

#include "expressions/SymbolTable.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"

namespace {

void expectError(const std::function<void()>& call, const std::string& id) {
  try {
    call();
    ADD_FAILURE() << "no error; expected " << id;
  } catch (const ErrorIdException& e) {
    EXPECT_EQ(e.getIdentifier(), id);
  }
}

std::vector<std::string> namesOf(const kstrVector<BCompartment*>& list) {
  std::vector<std::string> names;
  for (const BCompartment* c : list) names.push_back(c ? c->getName() : "<null>");
  return names;
}

std::vector<std::string> namesOf(const kstrVector<BSpecies*>& list) {
  std::vector<std::string> names;
  for (const BSpecies* s : list) names.push_back(s ? s->getName() : "<null>");
  return names;
}

// Compartments and species made by name, kept alive for one test.
class Forest {
 public:
  BCompartment* compartment(const std::string& name, BCompartment* owner = nullptr) {
    compartments_.emplace_back(new BCompartment());
    BCompartment* c = compartments_.back().get();
    c->setName(name);
    if (owner) owner->addCompartment(c);
    return c;
  }
  BSpecies* species(const std::string& name, BCompartment* compartment) {
    species_.push_back(std::make_unique<BSpecies>());
    BSpecies* s = species_.back().get();
    s->setName(name);
    compartment->addSpecies(s);
    return s;
  }

 private:
  std::vector<std::unique_ptr<BSpecies>> species_;
  std::vector<CompartmentPtr> compartments_;
};

class CompartmentTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hb_mem_add_primary_message_table(hbGetMemoryContext(), &kstr::getMessageCatalog());
  }
};

// --- flat indices and counts ------------------------------------------------------------

TEST_F(CompartmentTreeTest, SpeciesOrders) {
  Forest f;
  BCompartment* a = f.compartment("A");
  BCompartment* b = f.compartment("B", a);
  f.species("a1", a);
  f.species("a2", a);
  f.species("b1", b);

  const char* expected[] = {"b1", "a1", "a2"};
  for (uint64_t i = 0; i < 3; ++i) {
    ASSERT_NE(a->getSpeciesInTreeAt(i), nullptr) << i;
    EXPECT_EQ(a->getSpeciesInTreeAt(i)->getName(), expected[i]);
  }
  EXPECT_EQ(a->getSpeciesInTreeAt(3), nullptr);
  EXPECT_EQ(a->getNumSpeciesInTree(), 3u);
  EXPECT_EQ(b->getNumSpeciesInTree(), 1u);

  kstrVector<BSpecies*> all;
  a->getAllDescendantSpecies(&all);
  EXPECT_EQ(namesOf(all), (std::vector<std::string>{"a1", "a2", "b1"}));

  // The running index: a tree that does not reach it subtracts its count.
  uint64_t index = 5;
  EXPECT_EQ(a->getSpeciesInTreeAtLocal(index), nullptr);
  EXPECT_EQ(index, 2u);
  index = 1;
  EXPECT_EQ(a->getSpeciesInTreeAtLocal(index)->getName(), "a1");
}

TEST_F(CompartmentTreeTest, CompartmentOrders) {
  Forest f;
  BCompartment* a = f.compartment("A");
  BCompartment* b = f.compartment("B", a);
  f.compartment("E", a);
  f.compartment("D", b);

  const char* expected[] = {"D", "B", "E", "A"};
  for (uint64_t i = 0; i < 4; ++i) {
    ASSERT_NE(a->getCompartmentInTreeAt(i), nullptr) << i;
    EXPECT_EQ(a->getCompartmentInTreeAt(i)->getName(), expected[i]);
  }
  EXPECT_EQ(a->getCompartmentInTreeAt(4), nullptr);
  EXPECT_EQ(a->getNumCompartmentsInTree(), 3u);
  EXPECT_EQ(a->getNumCompartments(), 2u);
  EXPECT_EQ(b->getCompartmentInTreeAt(1), b);  // the compartment itself is last

  kstrVector<BCompartment*> all;
  a->getAllDescendantCompartments(&all);
  EXPECT_EQ(namesOf(all), (std::vector<std::string>{"B", "D", "E"}));
  kstrVector<const char*> names;
  a->getNamesInTree(names);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_STREQ(names[0], "B");
  EXPECT_STREQ(names[1], "D");
  EXPECT_STREQ(names[2], "E");

  uint64_t index = 7;
  EXPECT_EQ(a->getCompartmentInTreeAtLocal(index), nullptr);
  EXPECT_EQ(index, 3u);

  EXPECT_TRUE(a->isCompartmentNameInUse("B"));
  EXPECT_FALSE(a->isCompartmentNameInUse("D"));   // direct members only
  EXPECT_FALSE(a->isCompartmentNameInUse(" B"));  // no trimming
}

// --- species ----------------------------------------------------------------------------

TEST_F(CompartmentTreeTest, NamedSpeciesUsesTheTrimmedNameAndDirectMembers) {
  Forest f;
  BCompartment* a = f.compartment("A");
  BCompartment* b = f.compartment("B", a);
  BSpecies* s1 = f.species("s1", a);
  f.species("inner", b);

  EXPECT_EQ(a->getNamedSpecies("  s1\t"), s1);
  EXPECT_EQ(a->getNamedSpecies("inner"), nullptr);
  EXPECT_EQ(a->getNamedSpecies("S1"), nullptr);

  // Renames re-key the index.
  s1->setName("renamed");
  EXPECT_EQ(a->getNamedSpecies("s1"), nullptr);
  EXPECT_EQ(a->getNamedSpecies("renamed"), s1);
  EXPECT_TRUE(a->isSpeciesNameInUse("renamed"));
  EXPECT_FALSE(a->isSpeciesNameInUse("renamed", s1));  // skip self
}

TEST_F(CompartmentTreeTest, SharedSpeciesNamesAnswerTheFirstInListOrder) {
  Forest f;
  BCompartment* a = f.compartment("A");
  BSpecies* first = f.species("x", a);
  BSpecies* second = f.species("x", a);  // addSpecies makes no duplicate test
  EXPECT_EQ(a->getNamedSpecies("x"), first);
  EXPECT_TRUE(a->isSpeciesNameInUse("x", first));
  a->reorderSpecies({second, first});
  EXPECT_EQ(a->getNamedSpecies("x"), second);
  a->deleteSpecies(second);
  EXPECT_EQ(a->getNamedSpecies("x"), first);
  EXPECT_FALSE(a->isSpeciesNameInUse("x", first));
}

// Leaving species null their index entries until those outnumber the rest:
// before and after that, the names answer only the species still there,
// shared names included, and a name taken again answers its new holder.
TEST_F(CompartmentTreeTest, NamesOfLeftSpeciesAnswerNothing) {
  Forest f;
  BCompartment* a = f.compartment("A");
  std::vector<BSpecies*> species;
  for (int i = 0; i < 200; ++i) species.push_back(f.species("s" + std::to_string(i), a));
  BSpecies* twin = f.species("s1", a);
  for (int i = 0; i < 150; ++i) {
    a->deleteSpecies(species[i]);
    if (i == 10 || i == 149) {
      SCOPED_TRACE(i);
      EXPECT_EQ(a->getNamedSpecies("s1"), twin);
      EXPECT_FALSE(a->isSpeciesNameInUse("s1", twin));
      EXPECT_EQ(a->getNamedSpecies("s" + std::to_string(i)), nullptr);
      EXPECT_FALSE(a->isSpeciesNameInUse("s" + std::to_string(i)));
      EXPECT_EQ(a->getNamedSpecies("s199"), species[199]);
      EXPECT_TRUE(a->isSpeciesNameInUse("s199"));
    }
  }
  BSpecies* again = f.species("s5", a);
  EXPECT_EQ(a->getNamedSpecies("s5"), again);
  // A rename away from a name and back still finds the species.
  species[170]->setName("moved");
  species[170]->setName("s170");
  EXPECT_EQ(a->getNamedSpecies("s170"), species[170]);
  EXPECT_EQ(a->getNamedSpecies("moved"), nullptr);
}

TEST_F(CompartmentTreeTest, SpeciesComeAndGoThroughTheModel) {
  Kelbor model;
  Forest f;
  BCompartment* cell = f.compartment("cell");
  model.addCompartment(cell);
  const SymbolTable& table = *model.getSymbolTable();

  model.setCompileNeeded(false);
  BSpecies* a = f.species("A", cell);
  EXPECT_EQ(a->getParent(), cell);
  EXPECT_EQ(a->getModelGlobalData()->model, &model);
  EXPECT_EQ(table.findByQualifiedName("cell.A"), a);
  EXPECT_TRUE(model.getCompileNeeded());

  BSpecies outsider;
  model.setCompileNeeded(false);
  cell->removeSpecies(&outsider);  // not a member: only marks
  EXPECT_TRUE(model.getCompileNeeded());
  EXPECT_EQ(cell->getNumSpecies(), 1u);

  cell->removeSpecies(a);
  EXPECT_EQ(cell->getNumSpecies(), 0u);
  EXPECT_EQ(cell->getNamedSpecies("A"), nullptr);
  EXPECT_EQ(table.findByQualifiedName("cell.A"), nullptr);

  // deleteSpecies leaves the model alone.
  BSpecies* b = f.species("B", cell);
  cell->deleteSpecies(b);
  EXPECT_EQ(cell->getNumSpecies(), 0u);
  EXPECT_EQ(table.findByQualifiedName("cell.B"), b);
  model.componentRemoved(b);
  model.removeCompartment(cell);
}

// --- sub-compartments ----------------------------------------------------------------------

TEST_F(CompartmentTreeTest, AddingTheSameCompartmentTwiceOrACycleIsRefused) {
  Forest f;
  BCompartment* a = f.compartment("A");
  BCompartment* b = f.compartment("B", a);
  BCompartment* c = f.compartment("C", b);
  expectError([&] { a->addCompartment(b); }, "Kestrion:COMPARTMENT_DUPLICATE_NAME");
  expectError([&] { a->moveCompartment(b); }, "Kestrion:COMPARTMENT_DUPLICATE_NAME");
  expectError([&] { a->addCompartmentHack(b); }, "Kestrion:COMPARTMENT_DUPLICATE_NAME");
  expectError([&] { c->addCompartment(a); }, "Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT");
  expectError([&] { a->addCompartment(a); }, "Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT");
  EXPECT_EQ(namesOf(a->getCompartments()), (std::vector<std::string>{"B"}));
  EXPECT_EQ(a->getOwner(), nullptr);
}

TEST_F(CompartmentTreeTest, AddingAFreeCompartmentTakesItFromItsFreeOwner) {
  Forest f;
  BCompartment* a = f.compartment("A");
  BCompartment* b = f.compartment("B");
  BCompartment* c = f.compartment("C", a);
  b->addCompartment(c);
  EXPECT_EQ(c->getOwner(), b);
  EXPECT_TRUE(a->getCompartments().empty());
  EXPECT_EQ(namesOf(b->getCompartments()), (std::vector<std::string>{"C"}));
}

TEST_F(CompartmentTreeTest, AddingACompartmentOfAModel) {
  Kelbor m1;
  Kelbor m2;
  Forest f;
  BCompartment* a = f.compartment("A");
  BCompartment* b = f.compartment("B");
  BCompartment* u = f.compartment("U");
  BCompartment* free = f.compartment("free");
  m1.addCompartment(a);
  m1.addCompartment(b);
  m2.addCompartment(u);
  expectError([&] { a->addCompartment(u); }, "Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL");
  expectError([&] { free->addCompartment(u); }, "Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL");
  EXPECT_EQ(u->getOwner(), nullptr);
  EXPECT_EQ(namesOf(*m2.getCompartments()), (std::vector<std::string>{"U"}));
  // One of the same model moves: it leaves the model's top level.
  a->addCompartment(b);
  EXPECT_EQ(b->getOwner(), a);
  EXPECT_EQ(namesOf(*m1.getCompartments()), (std::vector<std::string>{"A"}));
  EXPECT_TRUE(m1.isComponentNameInUse("B", kstr::compartment));
  a->removeCompartment(b);
  m1.removeCompartment(a);
  m2.removeCompartment(u);
}

TEST_F(CompartmentTreeTest, NewSubCompartmentByName) {
  Kelbor model;
  Forest f;
  BCompartment* cell = f.compartment("cell");
  model.addCompartment(cell);

  std::string name = "  inner\t";
  CompartmentPtr inner(cell->addCompartment(name));
  EXPECT_EQ(name, "inner");
  EXPECT_EQ(inner->getName(), "inner");
  EXPECT_EQ(inner->getOwner(), cell);
  EXPECT_EQ(inner->getParent(), &model);
  EXPECT_TRUE(model.isComponentNameInUse("inner", kstr::compartment));

  const struct {
    const char* name;
    const char* errorId;
  } refused[] = {{"cell", "Kestrion:KS_COMPARTMENT_DUPLICATE_NAME"},
                 {" inner ", "Kestrion:KS_COMPARTMENT_DUPLICATE_NAME"},
                 {"null", "Kestrion:INVALIDNAME_RESERVED"},
                 {"", "Kestrion:INVALIDNAME_RESERVED"},
                 {"a->b", "Kestrion:INVALIDNAME_RESERVED"},
                 {"time", "Kestrion:InvalidComponentName"},
                 {"[x]", "Kestrion:NameCannotContainBrackets"}};
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    std::string text = c.name;
    expectError([&] { cell->addCompartment(text); }, c.errorId);
    EXPECT_EQ(cell->getNumCompartments(), 1u);
  }
  EXPECT_EQ(model.getNumCompartmentsInTree(), 2u);

  // Outside a model only the name itself is checked.
  BCompartment* free = f.compartment("free");
  std::string again = "dup";
  CompartmentPtr first(free->addCompartment(again));
  CompartmentPtr second(free->addCompartment(again));
  EXPECT_EQ(first->getParent(), nullptr);
  EXPECT_EQ(free->getNumCompartments(), 2u);
  free->removeCompartment(first.get());
  free->removeCompartment(second.get());
  cell->removeCompartment(inner.get());
  model.removeCompartment(cell);
}

// --- the owner decision table ----------------------------------------------------------------

// Two models and a free tree:
//   m1: T1 > N1 > D1, T2 (T1 holds N1 then X1)
//   m2: U
//   free: F > G, H
struct OwnerWorld {
  Kelbor m1;
  Kelbor m2;
  Forest f;
  BCompartment* T1;
  BCompartment* N1;
  BCompartment* D1;
  BCompartment* X1;
  BCompartment* T2;
  BCompartment* U;
  BCompartment* F;
  BCompartment* G;
  BCompartment* H;

  OwnerWorld() {
    T1 = f.compartment("T1");
    T2 = f.compartment("T2");
    m1.addCompartment(T1);
    m1.addCompartment(T2);
    N1 = f.compartment("N1", T1);
    X1 = f.compartment("X1", T1);
    D1 = f.compartment("D1", N1);
    U = f.compartment("U");
    m2.addCompartment(U);
    F = f.compartment("F");
    G = f.compartment("G", F);
    H = f.compartment("H");
  }
};

struct OwnerCase {
  const char* label;
  std::function<void(OwnerWorld&)> act;
  const char* errorId;  // null: no error
  std::function<void(OwnerWorld&)> check;
};

using Names = std::vector<std::string>;

const OwnerCase kOwnerCases[] = {
    {"free, no owner, to none", [](OwnerWorld& w) { w.H->setOwner(nullptr); }, nullptr,
     [](OwnerWorld& w) { EXPECT_EQ(w.H->getOwner(), nullptr); }},
    {"free, owned, to none", [](OwnerWorld& w) { w.G->setOwner(nullptr); },
     "Kestrion:COMPARTMENT_INVALID_OWNER", [](OwnerWorld& w) { EXPECT_EQ(w.G->getOwner(), w.F); }},
    {"free to free owner", [](OwnerWorld& w) { w.H->setOwner(w.F); }, nullptr,
     [](OwnerWorld& w) {
       EXPECT_EQ(w.H->getOwner(), w.F);
       EXPECT_EQ(namesOf(w.F->getCompartments()), (Names{"G", "H"}));
       EXPECT_EQ(w.H->getParent(), nullptr);
     }},
    {"free owned to another free owner", [](OwnerWorld& w) { w.G->setOwner(w.H); }, nullptr,
     [](OwnerWorld& w) {
       EXPECT_EQ(w.G->getOwner(), w.H);
       EXPECT_TRUE(w.F->getCompartments().empty());
     }},
    {"free to its own descendant", [](OwnerWorld& w) { w.F->setOwner(w.G); },
     "Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT",
     [](OwnerWorld& w) {
       EXPECT_EQ(w.F->getOwner(), nullptr);
       EXPECT_EQ(w.G->getOwner(), w.F);
     }},
    {"free into a model", [](OwnerWorld& w) { w.H->setOwner(w.T1); }, nullptr,
     [](OwnerWorld& w) {
       EXPECT_EQ(w.H->getOwner(), w.T1);
       EXPECT_EQ(w.H->getParent(), &w.m1);
       EXPECT_TRUE(w.m1.isComponentNameInUse("H", kstr::compartment));
     }},
    {"free owned tree into a model", [](OwnerWorld& w) { w.F->setOwner(w.T2); }, nullptr,
     [](OwnerWorld& w) {
       EXPECT_EQ(w.F->getOwner(), w.T2);
       EXPECT_EQ(w.G->getParent(), &w.m1);
       EXPECT_TRUE(w.m1.isComponentNameInUse("G", kstr::compartment));
     }},
    {"free owned into a model", [](OwnerWorld& w) { w.G->setOwner(w.T2); }, nullptr,
     [](OwnerWorld& w) {
       EXPECT_EQ(w.G->getOwner(), w.T2);
       EXPECT_TRUE(w.F->getCompartments().empty());
       EXPECT_EQ(w.G->getParent(), &w.m1);
     }},
    {"nested to the model level", [](OwnerWorld& w) { w.N1->setOwner(nullptr); }, nullptr,
     [](OwnerWorld& w) {
       EXPECT_EQ(w.N1->getOwner(), nullptr);
       EXPECT_EQ(namesOf(*w.m1.getCompartments()), (Names{"T1", "T2", "N1"}));
       EXPECT_EQ(namesOf(w.T1->getCompartments()), (Names{"X1"}));
       EXPECT_EQ(w.m1.getNumCompartmentsInTree(), 5u);
     }},
    {"top level to none", [](OwnerWorld& w) { w.T2->setOwner(nullptr); }, nullptr,
     [](OwnerWorld& w) {
       EXPECT_EQ(namesOf(*w.m1.getCompartments()), (Names{"T1", "T2"}));
     }},
    {"to another model", [](OwnerWorld& w) { w.N1->setOwner(w.U); },
     "Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL",
     [](OwnerWorld& w) { EXPECT_EQ(w.N1->getOwner(), w.T1); }},
    {"to a free compartment", [](OwnerWorld& w) { w.N1->setOwner(w.H); },
     "Kestrion:COMPARTMENT_INVALID_OWNER_SAME_MODEL",
     [](OwnerWorld& w) { EXPECT_EQ(w.N1->getOwner(), w.T1); }},
    {"to itself", [](OwnerWorld& w) { w.N1->setOwner(w.N1); },
     "Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT",
     [](OwnerWorld& w) { EXPECT_EQ(w.N1->getOwner(), w.T1); }},
    {"to a descendant", [](OwnerWorld& w) { w.T1->setOwner(w.D1); },
     "Kestrion:COMPARTMENT_INVALID_OWNER_DESCENDANT",
     [](OwnerWorld& w) {
       EXPECT_EQ(w.T1->getOwner(), nullptr);
       EXPECT_EQ(namesOf(*w.m1.getCompartments()), (Names{"T1", "T2"}));
     }},
    {"nested to another owner", [](OwnerWorld& w) { w.D1->setOwner(w.T2); }, nullptr,
     [](OwnerWorld& w) {
       EXPECT_EQ(w.D1->getOwner(), w.T2);
       EXPECT_TRUE(w.N1->getCompartments().empty());
     }},
    {"top level below another", [](OwnerWorld& w) { w.T2->setOwner(w.T1); }, nullptr,
     [](OwnerWorld& w) {
       EXPECT_EQ(w.T2->getOwner(), w.T1);
       EXPECT_EQ(namesOf(*w.m1.getCompartments()), (Names{"T1"}));
       EXPECT_EQ(namesOf(w.T1->getCompartments()), (Names{"N1", "X1", "T2"}));
       EXPECT_EQ(w.m1.getNumCompartmentsInTree(), 5u);
     }},
    {"same owner again moves to the end", [](OwnerWorld& w) { w.N1->setOwner(w.T1); }, nullptr,
     [](OwnerWorld& w) {
       EXPECT_EQ(namesOf(w.T1->getCompartments()), (Names{"X1", "N1"}));
       EXPECT_EQ(w.N1->getOwner(), w.T1);
       EXPECT_TRUE(w.m1.isComponentNameInUse("D1", kstr::compartment));
     }},
};

TEST_F(CompartmentTreeTest, OwnerDecisionTable) {
  for (const OwnerCase& c : kOwnerCases) {
    SCOPED_TRACE(c.label);
    OwnerWorld w;
    if (c.errorId) {
      expectError([&] { c.act(w); }, c.errorId);
    } else {
      EXPECT_NO_THROW(c.act(w));
    }
    c.check(w);
  }
}

// --- subtrees and the model ------------------------------------------------------------------

TEST_F(CompartmentTreeTest, AFreeSubtreeJoinsTheModelWhole) {
  Kelbor model;
  Forest f;
  BCompartment* a = f.compartment("A");
  model.addCompartment(a);
  // X > Y > Z, built outside any model.
  BCompartment* x = f.compartment("X");
  BCompartment* y = f.compartment("Y", x);
  BCompartment* z = f.compartment("Z", y);
  BSpecies* x1 = f.species("x1", x);
  BSpecies* y1 = f.species("y1", y);
  BSpecies* z1 = f.species("z1", z);
  BSpecies* z2 = f.species("z2", z);

  a->addCompartment(x);
  const SymbolTable& table = *model.getSymbolTable();
  EXPECT_EQ(model.getNumCompartmentsInTree(), 4u);
  EXPECT_EQ(model.getNumSpeciesInTree(), 4u);
  for (BCompartment* c : {x, y, z}) {
    SCOPED_TRACE(c->getName());
    EXPECT_EQ(c->getParent(), &model);
    EXPECT_EQ(c->getModelGlobalData()->model, &model);
    EXPECT_EQ(table.findByQualifiedName(c->getName()), c);
  }
  const struct {
    BSpecies* species;
    const char* qualified;
  } reachable[] = {{x1, "X.x1"}, {y1, "Y.y1"}, {z1, "Z.z1"}, {z2, "Z.z2"}};
  for (const auto& r : reachable) {
    SCOPED_TRACE(r.qualified);
    EXPECT_EQ(r.species->getModelGlobalData()->model, &model);
    std::string pqn;
    r.species->getPQN(pqn);
    EXPECT_EQ(pqn, r.qualified);
    EXPECT_EQ(table.findByQualifiedName(r.qualified), r.species);
  }

  // Moves inside the model keep every species reachable.
  z->setOwner(a);
  EXPECT_TRUE(y->getCompartments().empty());
  y->setOwner(nullptr);
  EXPECT_EQ(namesOf(*model.getCompartments()), (std::vector<std::string>{"A", "Y"}));
  for (const auto& r : reachable) {
    SCOPED_TRACE(r.qualified);
    EXPECT_EQ(table.findByQualifiedName(r.qualified), r.species);
  }

  // Removing a subtree takes all of it out of the symbol table.
  z->addCompartment(f.compartment("W"));
  BSpecies* w1 = f.species("w1", z->getCompartments()[0]);
  EXPECT_EQ(table.findByQualifiedName("W.w1"), w1);
  a->removeCompartment(z);
  for (const char* gone : {"Z", "W", "Z.z1", "Z.z2", "W.w1"}) {
    SCOPED_TRACE(gone);
    EXPECT_EQ(table.findByQualifiedName(gone), nullptr);
  }
  EXPECT_EQ(table.findByQualifiedName("X.x1"), x1);
  z->setOwnerField(nullptr);
  a->removeCompartment(x);
  model.removeCompartment(y);
  model.removeCompartment(a);
}

// Moves through the model's top level hand whole subtrees to the model.
TEST_F(CompartmentTreeTest, ModelLevelMovesKeepTheWholeSubtreeInTheModel) {
  Kelbor model;
  Forest f;
  BCompartment* a = f.compartment("A");
  model.addCompartment(a);
  BCompartment* b = f.compartment("B", a);
  BCompartment* c = f.compartment("C", b);
  BSpecies* c1 = f.species("c1", c);
  const SymbolTable& table = *model.getSymbolTable();

  b->setOwner(nullptr);
  EXPECT_EQ(table.findByQualifiedName("B"), b);
  EXPECT_EQ(table.findByQualifiedName("C"), c);
  EXPECT_EQ(table.findByQualifiedName("C.c1"), c1);

  b->setOwner(a);
  EXPECT_EQ(table.findByQualifiedName("C"), c);
  EXPECT_EQ(table.findByQualifiedName("C.c1"), c1);

  // A free subtree put at the top level.
  BCompartment* x = f.compartment("X");
  BCompartment* y = f.compartment("Y", x);
  BSpecies* y1 = f.species("y1", y);
  model.addCompartment(x);
  EXPECT_EQ(y->getParent(), &model);
  EXPECT_EQ(y1->getModelGlobalData().get(), model.getModelGlobalData().get());
  EXPECT_EQ(table.findByQualifiedName("Y.y1"), y1);
  model.removeCompartment(x);
  EXPECT_EQ(table.findByQualifiedName("Y.y1"), nullptr);
  EXPECT_EQ(table.findByQualifiedName("Y"), nullptr);
  a->removeCompartment(b);
  model.removeCompartment(a);
}

TEST_F(CompartmentTreeTest, ASubtreeWithATakenNameChangesNothing) {
  Kelbor model;
  Forest f;
  BCompartment* a = f.compartment("A");
  model.addCompartment(a);
  f.compartment("B", a);

  BCompartment* x = f.compartment("X");
  BCompartment* deep = f.compartment("deep", f.compartment("Y", x));
  f.compartment("B", deep);  // taken in the model
  BCompartment* twice = f.compartment("T");
  f.compartment("dup", twice);
  f.compartment("dup", twice);  // twice in its own tree

  for (BCompartment* sub : {x, twice}) {
    SCOPED_TRACE(sub->getName());
    expectError([&] { a->addCompartment(sub); }, "Kestrion:COMPARTMENT_DUPLICATE_NAME");
    EXPECT_EQ(sub->getOwner(), nullptr);
    EXPECT_EQ(sub->getParent(), nullptr);
    EXPECT_EQ(namesOf(a->getCompartments()), (std::vector<std::string>{"B"}));
    EXPECT_FALSE(model.isComponentNameInUse(sub->getName(), kstr::compartment));
  }
  EXPECT_EQ(model.getNumCompartmentsInTree(), 2u);
  a->removeCompartment(a->getCompartments()[0]);
  model.removeCompartment(a);
}

TEST_F(CompartmentTreeTest, CopiedSubtreeAttachedWithTheHackJoinsTheModel) {
  Kelbor model;
  Forest f;
  BCompartment* a = f.compartment("A");
  model.addCompartment(a);
  BCompartment* copy = f.compartment("copy");
  BCompartment* below = f.compartment("below", copy);
  BSpecies* s = f.species("s", below);

  a->addCompartmentHack(copy);
  EXPECT_EQ(copy->getOwner(), a);
  EXPECT_EQ(below->getParent(), &model);
  EXPECT_EQ(model.getSymbolTable()->findByQualifiedName("below.s"), s);
  a->removeCompartment(copy);
  model.removeCompartment(a);
}

// --- host handles and the host tree ----------------------------------------------------------

// Instances over the components, in classes named like the system's.
class HostTree {
 public:
  HostTree() {
    compartmentClass_.setName("Compartment");
    modelClass_.setName("Model");
  }
  OBInterface* instance(KelborComponent* component, bool model = false) {
    auto* instance = new OBInterface(component, model ? &modelClass_ : &compartmentClass_);
    component->setOBI(instance);
    made_.push_back(instance);
    return instance;
  }
  ~HostTree() {
    for (OBInterface* instance : made_) instance->addBelow(nullptr);
    for (OBInterface* instance : made_) {
      while (instance->getExternalReferenceCount() > 0) instance->releaseExternalReference();
      instance->releaseReference();
    }
  }

 private:
  OBClass compartmentClass_;
  OBClass modelClass_;
  std::vector<OBInterface*> made_;
};

TEST_F(CompartmentTreeTest, HostVectorsAndTheHostTreeFollowTheMoves) {
  HostTree host;
  Kelbor model;
  Vector modelCompartments;
  model.setOBICompartments(&modelCompartments);
  OBInterface* modelInstance = host.instance(&model, true);
  Forest f;
  BCompartment* a = f.compartment("A");
  OBInterface* aInstance = host.instance(a);
  aInstance->addBelow(modelInstance);
  model.addCompartment(a);

  BCompartment* b = f.compartment("B");
  OBInterface* bInstance = host.instance(b);
  a->addCompartment(b);
  // Each read goes through the getter, as the host's does: removals reach
  // the Vector's elements when it is handed out.
  auto aVector = [a] { return static_cast<Vector*>(a->getOBICompartments()); };
  EXPECT_TRUE(aVector()->indexOf(bInstance) >= 0);
  EXPECT_TRUE(modelCompartments.indexOf(bInstance) >= 0);
  EXPECT_EQ(bInstance->getExternalReferenceCount(), 2);
  EXPECT_EQ(bInstance->getUp(), aInstance);
  EXPECT_EQ(b->getOBIParent(), modelInstance);

  // A move takes the instance from one owner's vector to the other's.
  BCompartment* c = f.compartment("C");
  OBInterface* cInstance = host.instance(c);
  a->addCompartment(c);
  b->setOwner(c);
  EXPECT_FALSE(aVector()->indexOf(bInstance) >= 0);
  EXPECT_TRUE(static_cast<Vector*>(c->getOBICompartments())->indexOf(bInstance) >= 0);
  EXPECT_EQ(bInstance->getExternalReferenceCount(), 2);
  EXPECT_EQ(bInstance->getUp(), cInstance);

  // To the model level: below the model's instance, out of the owner's vector.
  b->setOwner(nullptr);
  EXPECT_EQ(bInstance->getUp(), modelInstance);
  EXPECT_EQ(bInstance->getExternalReferenceCount(), 1);

  // Species leave the species vector with their reference.
  BSpecies* s = f.species("s", a);
  OBInterface* sInstance = host.instance(s);
  static_cast<Vector*>(a->getOBISpecies())->addElement(sInstance);
  sInstance->getExternalReference();
  Vector found;
  a->getAllDescendantSpeciesOBIs(&found);
  EXPECT_EQ(found.elements(), std::vector<OBInterface*>{sInstance});
  a->removeSpecies(s);
  EXPECT_FALSE(static_cast<Vector*>(a->getOBISpecies())->indexOf(sInstance) >= 0);
  EXPECT_EQ(sInstance->getExternalReferenceCount(), 0);

  model.removeCompartment(b);
  a->removeCompartment(c);
  model.removeCompartment(a);
  modelCompartments.removeAllElements();
}

TEST_F(CompartmentTreeTest, AFreeOwnerBelowAModelInstanceFindsTheModel) {
  HostTree host;
  Kelbor model;
  OBInterface* modelInstance = host.instance(&model, true);
  Forest f;
  BCompartment* owner = f.compartment("owner");
  host.instance(owner)->addBelow(modelInstance);
  BCompartment* sub = f.compartment("sub");
  BSpecies* s = f.species("s", sub);
  owner->addCompartment(sub);
  // The owner has no parent, so the subtree keeps none, but the model
  // found above the owner's instance is told.
  EXPECT_EQ(sub->getParent(), nullptr);
  EXPECT_TRUE(model.getSymbolTable()->containsComponent(sub));
  EXPECT_TRUE(model.getSymbolTable()->containsComponent(s));
  model.componentRemoved(s);
  model.componentRemoved(sub);
}

}  // namespace
