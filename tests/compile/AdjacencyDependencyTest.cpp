// The adjacency matrix and the dependency matrices, on hand-worked models.
#include <deque>

#include "CompileFixture.hpp"
#include "compile/AdjacencyMatrix.hpp"
#include "compile/DependencyMatrix.hpp"
#include "compile/Stoichiometry.hpp"

namespace ctest {
namespace {

namespace kc = kstr::compile;
using Names = std::vector<std::string>;

class MatrixModel : public CompileModel {
 protected:
  // Species A, B, X in c1; parameters k1 (constant), k2 (varying).
  void SetUp() override {
    CompileModel::SetUp();
    c1_ = compartment("c1");
    for (const char* name : {"A", "B", "X"}) species(c1_, name);
    k1_ = parameter("k1", true);
    k2_ = parameter("k2", false);
  }
  BSpecies* s(uint32_t i) const { return model_->getSpeciesInTreeAt(i); }

  // The adjacency of the model with its node names and kinds.
  SparseView adjacency(Names* names = nullptr, std::deque<int32_t>* kinds = nullptr) {
    StringVector nodeNames;
    const SparseView view = takeSparse(
        kc::buildAdjacencyMatrix(model_, names != nullptr, &nodeNames, kinds != nullptr, kinds));
    for (int i = 0; names && i < nodeNames.size(); ++i) names->push_back(nodeNames.elementAt(i));
    return view;
  }
  // Edges as (source, target) pairs: column c, row t is c -> t.
  static std::set<Cell> edges(const SparseView& view) {
    std::set<Cell> out;
    for (const auto& [cell, value] : view.cells) {
      EXPECT_EQ(value, 1.0);
      out.insert({cell.second, cell.first});
    }
    return out;
  }

  BCompartment* c1_ = nullptr;
  BParameter* k1_ = nullptr;
  BParameter* k2_ = nullptr;
};

TEST_F(MatrixModel, AdjacencyOfAReversibleReaction) {
  reaction("A <-> B", "r");
  Names names;
  std::deque<int32_t> kinds;
  const SparseView view = adjacency(&names, &kinds);
  EXPECT_EQ(view.rows, 4u);
  EXPECT_EQ(names, (Names{"A", "B", "X", "r"}));
  EXPECT_EQ(kinds, (std::deque<int32_t>{1, 1, 1, 0}));
  EXPECT_EQ(edges(view), (std::set<Cell>{{0, 3}, {3, 0}, {3, 1}, {1, 3}}));
}

TEST_F(MatrixModel, AdjacencyJoinsASpeciesOnBothSidesOnce) {
  reaction("A + B <-> A + X", "r");
  EXPECT_EQ(edges(adjacency()),
            (std::set<Cell>{{0, 3}, {3, 0}, {1, 3}, {3, 1}, {3, 2}, {2, 3}}));
}

TEST_F(MatrixModel, AdjacencyNullNodeStandsBetweenSpeciesAndReactions) {
  reaction("null -> A", "in");
  reaction("B -> X", "conv");
  BReaction* both = reaction("", "both");  // no reactants, no products
  both->setReversible(true);
  Names names;
  std::deque<int32_t> kinds;
  const SparseView view = adjacency(&names, &kinds);
  EXPECT_EQ(names, (Names{"A", "B", "X", "null", "in", "conv", "both"}));
  EXPECT_EQ(kinds, (std::deque<int32_t>{1, 1, 1, 1, 0, 0, 0}));
  EXPECT_EQ(edges(view), (std::set<Cell>{{3, 4}, {4, 0}, {1, 5}, {5, 2}, {3, 6}, {6, 3}}));
}

TEST_F(MatrixModel, AdjacencyHoldsEveryEdgeOfManySourceReactions) {
  for (int i = 0; i < 60; ++i) reaction("null -> A");
  const SparseView view = adjacency();
  EXPECT_EQ(view.cells.size(), 120u);  // null -> r and r -> A for each
  EXPECT_EQ(view.capacity, 120u);      // room for exactly its edges
  // Inactive reactions are nodes like any other.
  model_->getReactionAt(0)->setActive(false);
  EXPECT_EQ(adjacency().cells.size(), 120u);
}

TEST_F(MatrixModel, ASideBoundToNoSpeciesIsTheNullNode) {
  reaction("A -> B", "r1");
  BReaction* loose = reaction("B + A <-> X", "r2");
  loose->getReactionExpression()->setResolvedComponent("B", nullptr);
  loose->getReactionExpression()->setResolvedComponent("A", nullptr);
  // Nodes A, B, X, null, r1, r2: r2 has no bound reactant.
  const SparseView view = adjacency();
  EXPECT_EQ(view.rows, 6u);
  EXPECT_EQ(edges(view), (std::set<Cell>{{0, 4}, {4, 1}, {3, 5}, {5, 3}, {5, 2}, {2, 5}}));
  EXPECT_EQ(view.capacity, 6u);
}

TEST_F(MatrixModel, AdjacencyOfEmptyModelsAndReactions) {
  EXPECT_EQ(kc::buildAdjacencyMatrix(model_, false, nullptr, false, nullptr), nullptr);
  EXPECT_EQ(warningIds(), Names{"Kestrion:MATRIX_NO_REACTIONS"});
  hbTestClearWarnings();
  BReaction* r = reaction("A -> B");
  StringVector names;
  EXPECT_EQ(kc::buildAdjacencyMatrix(r, true, &names, false, nullptr), nullptr);
  EXPECT_EQ(warningIds(), Names{"Kestrion:MATRIX_NO_SPECIES"});
  EXPECT_EQ(names.size(), 0);
  expectError([&] { kc::buildAdjacencyMatrix(c1_, false, nullptr, false, nullptr); },
              "Kestrion:MatrixUnsupportedComponent");
}

// Rows: A=0, B=1, X=2, then the selected parameters.
TEST_F(MatrixModel, DependencyOfRates) {
  struct Case {
    const char* rate;
    bool includeConstants;
    Cells column;
  };
  const Case cases[] = {
      {"k1*A*B", false, {{{0, 0}, 1.0}, {{1, 0}, 1.0}}},
      {"k1*A*B", true, {{{0, 0}, 1.0}, {{1, 0}, 1.0}, {{3, 0}, 1.0}}},
      {"k2*A*A + A", false, {{{0, 0}, 1.0}, {{3, 0}, 1.0}}},
      {"c1*X + unknown_name", false, {{{2, 0}, 1.0}}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    BReaction* r = reactionWithRate("A -> B", "", c.rate);
    const kstrVector<BReaction*> reactions{r};
    const kstrVector<BSpecies*> species{s(0), s(1), s(2)};
    const kstrVector<BParameter*> parameters{k1_, k2_};
    const SparseView view = takeSparse(kc::buildSpeciesParameterDependencyMatrix(
        &reactions, &species, &parameters, c.includeConstants));
    EXPECT_EQ(view.rows, c.includeConstants ? 5u : 4u) << c.rate;
    EXPECT_EQ(view.cols, 1u);
    EXPECT_EQ(view.cells, c.column) << c.rate;
  }
  // A rate that does not parse has no empty column: its error passes on.
  BReaction* broken = reactionWithRate("A -> B", "broken", "k1*A*(");
  const kstrVector<BReaction*> reactions{broken};
  const kstrVector<BSpecies*> species{s(0), s(1), s(2)};
  expectError([&] { kc::buildSpeciesParameterDependencyMatrix(&reactions, &species, nullptr, true); },
              "Kestrion:InvalidReactionRateSyntax",
              "Invalid reaction rate 'k1*A*(' for reaction 'broken'.");
}

TEST_F(MatrixModel, DependencyRowsAreListPositionsAndNullsStayEmpty) {
  BReaction* r = reactionWithRate("A -> B", "r", "k2*A*B");
  const kstrVector<BReaction*> reactions{nullptr, r};
  const kstrVector<BSpecies*> species{nullptr, s(1), s(0), s(1)};
  const kstrVector<BParameter*> parameters{nullptr, k2_, k2_};
  const SparseView view = takeSparse(
      kc::buildSpeciesParameterDependencyMatrix(&reactions, &species, &parameters, false));
  EXPECT_EQ(view.rows, 7u);
  EXPECT_EQ(view.cells, (Cells{{{1, 1}, 1.0}, {{2, 1}, 1.0}, {{5, 1}, 1.0}}));
}

TEST_F(MatrixModel, DependencyOfNoReactionsOrNoRows) {
  const kstrVector<BSpecies*> species{s(0)};
  SparseView view =
      takeSparse(kc::buildSpeciesParameterDependencyMatrix(nullptr, &species, nullptr, true));
  EXPECT_EQ(view.rows, 1u);
  EXPECT_EQ(view.cols, 0u);
  const kstrVector<BReaction*> reactions{reaction("A -> B")};
  view = takeSparse(kc::buildSpeciesParameterDependencyMatrix(&reactions, nullptr, nullptr, true));
  EXPECT_EQ(view.rows, 0u);
  EXPECT_EQ(view.cols, 1u);
}

TEST_F(MatrixModel, ModelDependencyUsesTheWalk) {
  reactionWithRate("A -> B", "r1", "k2*A");
  BReaction* r2 = reactionWithRate("B -> X", "r2", "kl*B");
  lawParameter(lawOf(r2), "kl");
  r2->setReactionRate("kl*B", false);
  reactionWithRate("X -> A", "r3", "X")->setActive(false);
  const SparseView view = takeSparse(kc::buildModelDependencyMatrix(model_, true));
  // Rows A, B, X, k1, k2, kl; the inactive r3 is no column.
  EXPECT_EQ(view.rows, 6u);
  EXPECT_EQ(view.cols, 2u);
  EXPECT_EQ(view.cells, (Cells{{{0, 0}, 1.0}, {{4, 0}, 1.0}, {{1, 1}, 1.0}, {{5, 1}, 1.0}}));
  EXPECT_EQ(kc::buildModelDependencyMatrix(nullptr, true), nullptr);
}

TEST_F(MatrixModel, ComponentDependencyTakesAnyKind) {
  BReaction* r = reactionWithRate("A -> B", "r", "c1*k1*A");
  const kstrVector<BReaction*> reactions{r, nullptr};
  const kstrVector<KelborComponent*> components{c1_, nullptr, k1_, s(1)};
  const SparseView view = takeSparse(kc::buildComponentDependencyMatrix(&reactions, &components));
  EXPECT_EQ(view.rows, 4u);
  EXPECT_EQ(view.cols, 2u);
  EXPECT_EQ(view.cells, (Cells{{{0, 0}, 1.0}, {{2, 0}, 1.0}}));
}

}  // namespace
}  // namespace ctest

namespace ctest {
namespace {

// Outer holding Inner, then Next; species I (Inner), O (Outer), N (Next):
// rows I=0, O=1, N=2 in tree order.
class NestedModel : public CompileModel {
 protected:
  void SetUp() override {
    CompileModel::SetUp();
    BCompartment* outer = compartment("Outer");
    auto* inner = new BCompartment();
    owned_.insert(owned_.begin(), inner);
    inner->setName("Inner");
    outer->addCompartment(inner);
    species(outer, "O");
    species(inner, "I");
    species(compartment("Next"), "N");
    reaction("Outer.O + Inner.I <-> Next.N", "r1");
    reaction("Next.N -> null", "r2");
    reaction("Inner.I -> Inner.I + 2 Outer.O", "r3")->setActive(false);
  }
};

TEST_F(NestedModel, MatricesAgreeWithTheHandWorkedFixture) {
  StringVector species;
  StringVector reactions;
  const SparseView stoichiometry = takeSparse(
      kstr::compile::buildStoichiometryMatrix(model_, true, &species, true, &reactions));
  EXPECT_EQ(species.size(), 3);
  EXPECT_STREQ(species.elementAt(0), "Inner.I");
  EXPECT_STREQ(species.elementAt(1), "Outer.O");
  EXPECT_STREQ(species.elementAt(2), "Next.N");
  EXPECT_EQ(reactions.size(), 3);
  EXPECT_EQ(stoichiometry.cells, (Cells{{{0, 0}, -1.0}, {{1, 0}, -1.0}, {{2, 0}, 1.0},
                                        {{2, 1}, -1.0}, {{1, 2}, 2.0}}));

  // Nodes I O N null r1 r2 r3; column c lists the targets of node c.
  std::deque<int32_t> kinds;
  StringVector names;
  const SparseView adjacency =
      takeSparse(kstr::compile::buildAdjacencyMatrix(model_, true, &names, true, &kinds));
  std::set<Cell> edges;
  for (const auto& [cell, value] : adjacency.cells) edges.insert({cell.second, cell.first});
  EXPECT_EQ(edges, (std::set<Cell>{{0, 4}, {1, 4}, {4, 0}, {4, 1}, {4, 2}, {2, 4},  // r1
                                   {2, 5}, {5, 3},                                  // r2
                                   {0, 6}, {6, 0}, {6, 1}}));                       // r3
  EXPECT_STREQ(names.elementAt(3), "null");
  EXPECT_EQ(kinds, (std::deque<int32_t>{1, 1, 1, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace ctest
