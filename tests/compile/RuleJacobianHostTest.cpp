// "getRuleJPattern" as a user's script calls it: rate and algebraic rules
// over species and parameters, with the lists' bad entries.
#include "MatrixCallsHostFixture.hpp"

namespace ctest {
namespace {

class RuleJacobian : public MatrixCallsHost {
 protected:
  // Species x, y, z in cell; parameters k (varying) and c (constant).
  void SetUp() override {
    MatrixCallsHost::SetUp();
    m_ = model("rules");
    call1(m_, "addcompartment", {host().str("cell")});
    for (const char* name : {"x", "y", "z"}) call1(m_, "addspecies", {host().str(name)});
    for (const char* name : {"k", "c"}) call1(m_, "addparameter", {host().str(name)});
    host().set(named(m_, "k"), "ConstantValue", host().logical(false));
  }
  OBInterface* rule(const char* text, const char* type) {
    return call1(m_, "addrule", {host().str(text), host().str(type)});
  }
  // The pattern over species x, y, z and parameters k, c.
  SparseView pattern(std::initializer_list<OBInterface*> rules,
                     std::initializer_list<OBInterface*> variables = {}) {
    qxArray* species = handlesOfNames(m_, {"x", "y", "z"});
    qxArray* parameters = handlesOfNames(m_, {"k", "c"});
    return readSparse(matrixCall("getRuleJPattern",
                                 {host().handles(rules), species, parameters,
                                  host().handles(variables)},
                                 1)
                          .at(0));
  }
  OBInterface* m_ = nullptr;
};

// Rows and columns: x=0, y=1, z=2, k=3 (c is constant).
TEST_F(RuleJacobian, RateRulesMarkTheirVariablesRow) {
  OBInterface* r = rule("x = k*y", "rate");
  const SparseView view = pattern({r});
  EXPECT_EQ(view.rows, 4u);
  EXPECT_EQ(view.cols, 4u);
  EXPECT_EQ(view.cells, (Cells{{{0, 1}, 1.0}, {{0, 3}, 1.0}}));
  host().set(named(m_, "k"), "ConstantValue", host().logical(true));
  EXPECT_EQ(pattern({r}).cells,
            (Cells{{{0, 1}, 1.0}}));
}

TEST_F(RuleJacobian, OverlappingRulesMarkOnceAndOthersAddNothing) {
  OBInterface* r1 = rule("x = k*y", "rate");
  OBInterface* r2 = rule("x = y*z + y", "rate");
  OBInterface* constant = rule("c = x", "rate");  // its row is no quantity
  OBInterface* assignment = rule("z = x", "repeatedAssignment");
  const SparseView view = pattern({r1, r2, constant, assignment});
  EXPECT_EQ(view.cells, (Cells{{{0, 1}, 1.0}, {{0, 2}, 1.0}, {{0, 3}, 1.0}}));
}

TEST_F(RuleJacobian, AlgebraicRulesTakeTheirVariablesInOrder) {
  OBInterface* a1 = rule("x + y - k", "algebraic");
  OBInterface* a2 = rule("z - 2*y", "algebraic");
  // The first algebraic rule determines z, the second k.
  EXPECT_EQ(pattern({a1, a2}, {named(m_, "z"), named(m_, "k")}).cells,
            (Cells{{{2, 0}, 1.0}, {{2, 1}, 1.0}, {{2, 3}, 1.0}, {{3, 1}, 1.0}, {{3, 2}, 1.0}}));
  // A list shorter than the algebraic rules, or a null entry: no variable.
  EXPECT_EQ(pattern({a1, a2}, {named(m_, "z")}).cells,
            (Cells{{{2, 0}, 1.0}, {{2, 1}, 1.0}, {{2, 3}, 1.0}}));
  EXPECT_TRUE(pattern({a1, a2}, {calls_}).cells.empty());
}

TEST_F(RuleJacobian, NoRulesAndBadListEntries) {
  SparseView view = pattern({});
  EXPECT_EQ(view.rows, 4u);
  EXPECT_TRUE(view.cells.empty());
  EXPECT_EQ(view.capacity, 1u);
  // Repeated entries count once; entries of other classes are null and
  // keep an empty row.
  OBInterface* r = rule("y = k*x", "rate");
  qxArray* species = host().handles({named(m_, "y"), named(m_, "x"), named(m_, "y"), r});
  qxArray* parameters = host().handles({named(m_, "k"), named(m_, "k"), named(m_, "x")});
  qxArray* rules = host().handles({r, named(m_, "x"), r, calls_});
  view = readSparse(
      matrixCall("getRuleJPattern", {rules, species, parameters, host().handles({})}, 1).at(0));
  // Rows y=0, x=1, null=2, k=3, null=4.
  EXPECT_EQ(view.rows, 5u);
  EXPECT_EQ(view.cells, (Cells{{{0, 1}, 1.0}, {{0, 3}, 1.0}}));
}

}  // namespace
}  // namespace ctest
