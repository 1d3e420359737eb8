// The stoichiometry matrix, the compile services' reactant and product
// arrays, and the growth of sparse arrays.
#include "CompileFixture.hpp"

#include <algorithm>
#include <map>
#include <random>

#include "compile/ReactionTerms.hpp"
#include "compile/RowIndex.hpp"
#include "compile/SparseArrays.hpp"
#include "compile/Stoichiometry.hpp"

namespace ctest {
namespace {

namespace kc = kstr::compile;

class StoichiometryTest : public CompileModel {
 protected:
  // Species A, B, X in one compartment.
  void SetUp() override {
    CompileModel::SetUp();
    c1_ = compartment("c1");
    for (const char* name : {"A", "B", "X"}) species(c1_, name);
  }
  SparseView stoichiometry(const KelborComponent* component) {
    return takeSparse(kc::buildStoichiometryMatrix(component, false, nullptr, false, nullptr));
  }
  // The compile services' reactant and product arrays of the model, with
  // the lists the walk appends to.
  struct CompileArrays {
    qxArray* reactants = nullptr;
    qxArray* products = nullptr;
    kstrVector<BReaction*> reactions;
    kstrVector<Kelbor*> models;
    kstrVector<BEvent*> events;
    kstrVector<BRule*> rules;
  };
  CompileArrays compileArrays() {
    CompileArrays a;
    kc::buildCompileStoichiometry(model_, a.reactants, a.products, a.reactions, a.models,
                                  a.events, a.rules);
    return a;
  }
  BCompartment* c1_ = nullptr;
};

// Row order A=0, B=1, X=2.
TEST_F(StoichiometryTest, NetColumnsOfHandWorkedReactions) {
  struct Case {
    const char* equation;
    Cells column;  // (row, 0) -> net
  };
  const Case cases[] = {
      {"A + B -> 2 A", {{{0, 0}, 1.0}, {{1, 0}, -1.0}}},
      {"A -> A", {}},
      {"A + A -> B", {{{0, 0}, -2.0}, {{1, 0}, 1.0}}},
      {"A <-> B", {{{0, 0}, -1.0}, {{1, 0}, 1.0}}},
      {"null -> X", {{{2, 0}, 1.0}}},
      {"2.5 X -> null", {{{2, 0}, -2.5}}},
      {"A + B <-> A + X", {{{1, 0}, -1.0}, {{2, 0}, 1.0}}},
  };
  for (const Case& c : cases) {
    BReaction* r = reaction(c.equation);
    const SparseView view = stoichiometry(model_);
    ASSERT_EQ(view.rows, 3u);
    ASSERT_EQ(view.cols, model_->getNumReactions());
    Cells column;
    for (const auto& [cell, value] : view.cells) {
      if (cell.second == view.cols - 1) column[{cell.first, 0}] = value;
    }
    EXPECT_EQ(column, c.column) << c.equation;
    r->setActive(false);  // stays a column of the matrix
  }
  EXPECT_EQ(stoichiometry(model_).cols, std::size(cases));
}

TEST_F(StoichiometryTest, NamesOfRowsAndColumns) {
  reaction("A -> B", "r1");
  reaction("B -> X");
  StringVector species;
  StringVector reactions;
  takeSparse(kc::buildStoichiometryMatrix(model_, true, &species, true, &reactions));
  ASSERT_EQ(species.size(), 3);
  EXPECT_STREQ(species.elementAt(2), "X");
  ASSERT_EQ(reactions.size(), 2);
  EXPECT_STREQ(reactions.elementAt(0), "r1");
  EXPECT_STREQ(reactions.elementAt(1), "Unnamed Reaction");
}

TEST_F(StoichiometryTest, CompileArraysKeepSidesApartAndSkipInactiveReactions) {
  reaction("A + B -> 2 A", "r1");
  reaction("B -> X", "r2")->setActive(false);
  reaction("A -> A", "r3");
  const CompileArrays a = compileArrays();
  EXPECT_EQ(namesOf(a.reactions), (std::vector<std::string>{"r1", "r3"}));
  EXPECT_EQ(a.models, kstrVector<Kelbor*>{model_});
  const SparseView r = takeSparse(a.reactants);
  const SparseView p = takeSparse(a.products);
  EXPECT_EQ(r.cols, 2u);
  EXPECT_EQ(r.cells, (Cells{{{0, 0}, -1.0}, {{1, 0}, -1.0}, {{0, 1}, -1.0}}));
  EXPECT_EQ(p.cells, (Cells{{{0, 0}, 2.0}, {{0, 1}, 1.0}}));
}

TEST_F(StoichiometryTest, CompileArraysAreNullWithoutActiveReactions) {
  reaction("A -> B")->setActive(false);
  const CompileArrays a = compileArrays();
  EXPECT_EQ(a.reactants, nullptr);
  EXPECT_EQ(a.products, nullptr);
  EXPECT_TRUE(warningIds().empty());
}

TEST_F(StoichiometryTest, EmptyModelsWarn) {
  const SparseView noReactions = stoichiometry(model_);
  EXPECT_EQ(noReactions.rows, 3u);
  EXPECT_EQ(noReactions.cols, 0u);
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:MATRIX_NO_REACTIONS"});
  hbTestClearWarnings();
  BReaction* r = reaction("A -> B");
  // A reaction passes the check but lists no species.
  EXPECT_EQ(kc::buildStoichiometryMatrix(r, false, nullptr, false, nullptr), nullptr);
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:MATRIX_NO_SPECIES"});
}

// A reaction that gives no coefficients: an equation that is not valid, or
// a term bound to no species.
TEST_F(StoichiometryTest, AReactionWithoutCoefficientsGivesEmptyColumns) {
  struct Case {
    const char* what;
    void (*breakIt)(BReaction&);
  };
  const Case cases[] = {
      {"equation not valid", [](BReaction& r) { r.setReaction(nullptr); }},
      {"term bound to no species",
       [](BReaction& r) { r.getReactionExpression()->setResolvedComponent("B", nullptr); }},
  };
  for (const Case& c : cases) {
    reaction("A -> B", "r1");
    BReaction* broken = reaction("B -> 2 X", "r2");
    c.breakIt(*broken);
    if (!broken->getReactionExpression()->isSyntacticallyValid()) {
      size_t count = 7;
      hbFree(broken->getStoichiometry(count));
      EXPECT_EQ(count, 0u);
    }
    const SparseView matrix = stoichiometry(model_);
    EXPECT_EQ(matrix.cols, 2u) << c.what;
    EXPECT_EQ(matrix.cells, (Cells{{{0, 0}, -1.0}, {{1, 0}, 1.0}})) << c.what;
    EXPECT_EQ(matrix.capacity, 2u) << c.what;  // room for exactly its values
    const CompileArrays a = compileArrays();
    const SparseView r = takeSparse(a.reactants);
    const SparseView p = takeSparse(a.products);
    EXPECT_EQ(r.cols, 2u) << c.what;
    EXPECT_EQ(r.cells, (Cells{{{0, 0}, -1.0}})) << c.what;
    EXPECT_EQ(p.cells, (Cells{{{1, 0}, 1.0}})) << c.what;
    model_->removeReaction(broken);
    model_->removeReaction(model_->getReactionAt(0));
  }
}

TEST_F(StoichiometryTest, OtherComponentsAreRefused) {
  const KelborComponent* refused[] = {nullptr, c1_, model_->getSpeciesInTreeAt(0)};
  for (const KelborComponent* c : refused) {
    expectError([&] { kc::buildStoichiometryMatrix(c, false, nullptr, false, nullptr); },
                "Kestrion:MatrixUnsupportedComponent",
                "GETADJACENCYMATRIX and GETSTOICHMATRIX require a Kestrion model as the first "
                "input argument.");
  }
}

TEST_F(StoichiometryTest, NetStoichiometryIsOnePerDistinctRow) {
  BSpecies* a = model_->getSpeciesInTreeAt(0);
  BSpecies* b = model_->getSpeciesInTreeAt(1);
  const kc::RowIndex rows(kstrVector<BSpecies*>{b, a});  // b row 0, a row 1
  const double coefficients[] = {9.0, -1.0, -2.0, 3.0, -4.0};
  kstrVector<kc::NetCoefficient> net{{7, 7.0}};
  kc::computeNetStoichiometry(coefficients, {a, b, a, nullptr}, 1, rows, net);
  EXPECT_EQ(net, (kstrVector<kc::NetCoefficient>{{0, -2.0}, {1, 2.0}}));
}

// Random term tables: columns of 0 to 40 terms (past the few-terms path),
// rows repeated, some without a row, coefficients that cancel, reactions
// that are not complete.  Halves keep every sum exact, so a zero net is 0.
TEST(StoichiometryColumns, NettingInPlaceAgreesWithSortingEachColumn) {
  std::mt19937 random(13);
  for (int round = 0; round < 200; ++round) {
    kc::ReactionTermTable table;
    std::vector<std::vector<std::pair<uint32_t, double>>> expected;
    const int reactions = static_cast<int>(random() % 6);
    for (int j = 0; j < reactions; ++j) {
      const size_t count = random() % 5 == 0 ? 17 + random() % 24 : random() % 7;
      const bool complete = random() % 4 != 0;
      std::vector<std::pair<uint32_t, double>> terms;
      for (size_t t = 0; t < count; ++t) {
        const uint32_t row = random() % 8 == 0 ? kc::kNoRow : static_cast<uint32_t>(random() % 6);
        const double value = (static_cast<int>(random() % 9) - 4) * 0.5;
        table.rows.push_back(row);
        table.coefficients.push_back(value);
        if (row != kc::kNoRow) terms.emplace_back(row, value);
      }
      table.ends.push_back(table.rows.size());
      table.flags.push_back(complete ? kc::ReactionTermTable::kComplete : 0);
      std::stable_sort(terms.begin(), terms.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      std::map<uint32_t, double> net;
      for (const auto& [row, value] : terms) net[row] += value;
      std::vector<std::pair<uint32_t, double>> column;
      for (const auto& [row, value] : net) {
        if (complete && value != 0.0) column.emplace_back(row, value);
      }
      expected.push_back(column);
    }
    kc::netStoichiometryColumns(table);
    ASSERT_EQ(table.ends.size(), expected.size());
    size_t k = 0;
    for (size_t j = 0; j < expected.size(); ++j) {
      std::vector<std::pair<uint32_t, double>> column;
      for (; k < table.ends[j]; ++k) column.emplace_back(table.rows[k], table.coefficients[k]);
      EXPECT_EQ(column, expected[j]) << "round " << round << ", reaction " << j;
    }
    EXPECT_EQ(table.rows.size(), k);
    EXPECT_EQ(table.coefficients.size(), k);
  }
}

TEST(RowIndex, FindAllAgreesWithFindOneByOne) {
  // Enough entries that the lookups run past the ones fetched ahead.
  std::vector<int> objects(100);
  kstrVector<const int*> listed;
  for (size_t i = 0; i < 60; ++i) listed.push_back(&objects[i]);
  listed[7] = nullptr;          // a null entry keeps its position, no row
  listed.push_back(&objects[3]);  // listed twice: the first position wins
  const kc::RowIndex rows(listed, 10);
  std::vector<const void*> wanted{nullptr};
  for (int& o : objects) wanted.push_back(&o);
  std::vector<uint32_t> found(wanted.size(), 0);
  rows.findAll(wanted.data(), wanted.size(), found.data());
  for (size_t k = 0; k < wanted.size(); ++k) EXPECT_EQ(found[k], rows.find(wanted[k])) << k;
  EXPECT_EQ(found[0], kc::kNoRow);
  EXPECT_EQ(found[1 + 3], 13u);
  EXPECT_EQ(found[1 + 7], kc::kNoRow);
  EXPECT_EQ(found[1 + 59], 69u);
  EXPECT_EQ(found[1 + 60], kc::kNoRow);
  std::fill(found.begin(), found.end(), 0);
  kc::RowIndex().findAll(wanted.data(), wanted.size(), found.data());
  EXPECT_EQ(found, std::vector<uint32_t>(wanted.size(), kc::kNoRow));
}

TEST(SparseArrays, GrowthFollowsTheGeometricRule) {
  struct Case {
    size_t old;
    uint32_t extra;
    size_t grown;
  };
  const Case cases[] = {{9, 0, 18}, {10, 0, 11}, {10, 5, 15}, {100, 3, 110}, {0, 0, 1}, {1, 0, 2}};
  for (const Case& c : cases) EXPECT_EQ(kc::grownSparseCapacity(c.old, c.extra), c.grown);

  const size_t liveBefore = qxLiveArrayCount();
  qxArray* small = kc::createSparseArray(4, 2, 2);
  small->get_pdata()[0] = 5.0;
  small->get_ir()[0] = 3;
  small->get_jc()[1] = 1;
  small->get_jc()[2] = 1;
  qxArray* grown = kc::growSparseArray(small, 0);
  EXPECT_EQ(grown->get_nelements_allocated(), 4u);
  EXPECT_EQ(readSparse(grown).cells, (Cells{{{3, 0}, 5.0}}));
  qxDestroyArray(small);
  qxDestroyArray(grown);
  EXPECT_EQ(qxLiveArrayCount(), liveBefore);
}

TEST(SparseArrays, WriterGrowsBeforeEachWriteThatWouldNotFit) {
  kc::SparseColumnWriter writer(100, 3, 1);
  for (size_t row = 0; row < 100; ++row) writer.append(row, 1.0);
  writer.endColumn();
  writer.reserve(50);
  for (size_t row = 0; row < 50; row += 2) writer.append(row, 2.0);
  writer.endColumn();
  writer.endColumn();
  const SparseView view = takeSparse(writer.release());
  EXPECT_EQ(view.cells.size(), 125u);
  EXPECT_GE(view.capacity, 125u);
}

}  // namespace
}  // namespace ctest
