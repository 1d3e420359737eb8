// The host class "matrixCallObj" as a user's script calls it: every method
// and form on the enzyme model, warnings on empty models, errors, and bad
// handles in the lists.
#include <functional>

#include "MatrixCallsHostFixture.hpp"
#include "compile/MiniCompileObjectApi.hpp"
#include "reactions/BEvent.hpp"
#include "reactions/BRule.hpp"

namespace ctest {
namespace {

using Names = std::vector<std::string>;

TEST_F(MatrixCallsHost, StoichiometryWithNames) {
  OBInterface* m = enzymeModel();
  std::vector<qxArray*> one = matrixCall("getStoichMatrix", {host().handle(m)}, 1);
  ASSERT_EQ(one.size(), 1u);
  const SparseView view = readSparse(one[0]);
  EXPECT_EQ(view.rows, 4u);
  EXPECT_EQ(view.cols, 2u);
  EXPECT_EQ(view.cells, (Cells{{{0, 0}, -1.0}, {{1, 0}, -1.0}, {{2, 0}, 1.0},
                               {{0, 1}, 1.0}, {{2, 1}, -1.0}, {{3, 1}, 1.0}}));
  std::vector<qxArray*> three = matrixCall("getStoichMatrix", {host().handle(m)}, 3);
  ASSERT_EQ(three.size(), 3u);
  EXPECT_EQ(readSparse(three[0]).cells, view.cells);
  EXPECT_EQ(texts(three[1]), (Names{"E", "S", "ES", "P"}));
  EXPECT_EQ(texts(three[2]), (Names{"binding", "catalysis"}));
  std::vector<qxArray*> two = matrixCall("getStoichMatrix", {host().handle(m)}, 2);
  EXPECT_EQ(texts(two[1]), (Names{"E", "S", "ES", "P"}));
}

// A species on both sides nets to zero when its terms cancel within the
// rounding of their sum, whatever their size; a single term stays, however
// small its coefficient.
struct NetCase {
  const char* equation;
  Cells column;  // rows are the species in the order the equation made them
};

TEST_F(MatrixCallsHost, NetStoichiometryDropsOnlyCancellingTerms) {
  const std::vector<NetCase> cases = {
      {"3.3 A + 6.6 A -> 9.9 A", {}},
      {"0.1 A + 0.2 A -> 0.3 A", {}},
      {"1e+20 A -> 1e+20 A + B", {{{1, 0}, 1.0}}},
      {"1e-17 A -> B", {{{0, 0}, -1e-17}, {{1, 0}, 1.0}}},
      {"1e-17 A + 2e-17 B -> 2e-17 A", {{{0, 0}, 1e-17}, {{1, 0}, -2e-17}}},
      {"2 A -> A", {{{0, 0}, -1.0}}},
      {"A -> A", {}},
  };
  for (const NetCase& c : cases) {
    SCOPED_TRACE(c.equation);
    OBInterface* m = model("m");
    call1(m, "addcompartment", {host().str("cell")});
    addReaction(m, c.equation);
    const SparseView view = readSparse(matrixCall("getStoichMatrix", {host().handle(m)}, 1).at(0));
    EXPECT_EQ(view.cols, 1u);
    EXPECT_EQ(view.cells, c.column);
    host().call(getOBIRoot(), "reset");
  }
}

TEST_F(MatrixCallsHost, AdjacencyRowsListTargets) {
  OBInterface* m = enzymeModel();
  std::vector<qxArray*> outs = matrixCall("getAdjMatrix", {host().handle(m)}, 3);
  ASSERT_EQ(outs.size(), 3u);
  // Nodes E S ES P binding catalysis; row i holds the targets of node i.
  std::set<Cell> edges;
  for (const auto& [cell, value] : readSparse(outs[0]).cells) edges.insert(cell);
  EXPECT_EQ(edges, (std::set<Cell>{{0, 4}, {1, 4}, {4, 0}, {4, 1}, {4, 2}, {2, 4},
                                   {2, 5}, {5, 0}, {5, 3}}));
  EXPECT_EQ(texts(outs[1]), (Names{"E", "S", "ES", "P", "binding", "catalysis"}));
  EXPECT_EQ(qxGetM(outs[2]), 1u);
  EXPECT_EQ(numbersOf(outs[2]), (std::vector<double>{1, 1, 1, 1, 0, 0}));
  EXPECT_EQ(matrixCall("getAdjMatrix", {host().handle(m)}, 1).size(), 1u);
  std::vector<qxArray*> two = matrixCall("getAdjMatrix", {host().handle(m)}, 2);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(texts(two[1]), (Names{"E", "S", "ES", "P", "binding", "catalysis"}));
}

TEST_F(MatrixCallsHost, EmptyModelHandlesGiveEmptyResults) {
  for (const char* method : {"getAdjMatrix", "getStoichMatrix"}) {
    std::vector<qxArray*> outs = matrixCall(method, {host().handle(nullptr)}, 3);
    ASSERT_EQ(outs.size(), 3u) << method;
    for (qxArray* out : outs) EXPECT_TRUE(qxIsEmpty(out)) << method;
  }
  std::vector<qxArray*> dep = matrixCall("getSpecParamDepMatrix", {host().handle(nullptr)}, 1);
  EXPECT_TRUE(qxIsEmpty(dep.at(0)));
  EXPECT_TRUE(host().warnings().empty());
}

TEST_F(MatrixCallsHost, ModelsWithoutSpeciesOrReactionsWarn) {
  OBInterface* m = model("empty");
  std::vector<qxArray*> outs = matrixCall("getStoichMatrix", {host().handle(m)}, 1);
  EXPECT_TRUE(qxIsEmpty(outs.at(0)));
  EXPECT_EQ(warningIds(), Names{"Kestrion:MATRIX_NO_SPECIES"});
  host().clearLogs();
  call1(m, "addcompartment", {host().str("cell")});
  call1(m, "addspecies", {host().str("A")});
  const SparseView view = readSparse(matrixCall("getStoichMatrix", {host().handle(m)}, 1).at(0));
  EXPECT_EQ(view.rows, 1u);
  EXPECT_EQ(view.cols, 0u);
  outs = matrixCall("getAdjMatrix", {host().handle(m)}, 3);
  EXPECT_TRUE(qxIsEmpty(outs.at(0)) && qxIsEmpty(outs.at(1)) && qxIsEmpty(outs.at(2)));
  EXPECT_EQ(warningIds(), (Names{"Kestrion:MATRIX_NO_REACTIONS", "Kestrion:MATRIX_NO_REACTIONS"}));
}

TEST_F(MatrixCallsHost, HandlesOfOtherKindsAreRefused) {
  OBInterface* m = enzymeModel();
  OBInterface* map = host().construct("BMapWrapper");
  for (OBInterface* wrong : {named(m, "E"), named(m, "kf"), map, calls_}) {
    for (const char* method : {"getAdjMatrix", "getStoichMatrix"}) {
      expectHostError([&] { matrixCall(method, {host().handle(wrong)}, 1); },
                      "Kestrion:MatrixUnsupportedComponent",
                      "GETADJACENCYMATRIX and GETSTOICHMATRIX require a Kestrion model as the "
                      "first input argument.");
    }
    // The other methods take no model from it and give empty results.
    EXPECT_TRUE(qxIsEmpty(matrixCall("getSpecParamDepMatrix", {host().handle(wrong)}, 1).at(0)));
    for (qxArray* out : matrixCall("getSpecParamsCompileOrder", {host().handle(wrong)}, 3)) {
      EXPECT_TRUE(qxIsEmpty(out));
    }
  }
}

TEST_F(MatrixCallsHost, DependencyOfTheModelTransposed) {
  OBInterface* m = enzymeModel();
  // Rows are reactions; columns the species, then the selected parameters.
  SparseView view = readSparse(matrixCall("getSpecParamDepMatrix", {host().handle(m)}, 1).at(0));
  EXPECT_EQ(view.rows, 2u);
  EXPECT_EQ(view.cols, 4u);  // every parameter is constant
  EXPECT_EQ(view.cells,
            (Cells{{{0, 0}, 1.0}, {{0, 1}, 1.0}, {{0, 2}, 1.0}, {{1, 2}, 1.0}}));
  host().set(named(m, "kcat"), "ConstantValue", host().logical(false));
  view = readSparse(
      matrixCall("getSpecParamDepMatrix", {host().handle(m), host().logical(true)}, 1).at(0));
  EXPECT_EQ(view.cols, 7u);
  EXPECT_EQ(view.cells, (Cells{{{0, 0}, 1.0}, {{0, 1}, 1.0}, {{0, 2}, 1.0}, {{0, 4}, 1.0},
                               {{0, 5}, 1.0}, {{1, 2}, 1.0}, {{1, 6}, 1.0}}));
  view = readSparse(
      matrixCall("getSpecParamDepMatrix", {host().handle(m), host().logical(false)}, 1).at(0));
  EXPECT_EQ(view.cols, 5u);
  EXPECT_EQ(view.cells, (Cells{{{0, 0}, 1.0}, {{0, 1}, 1.0}, {{0, 2}, 1.0}, {{1, 2}, 1.0},
                               {{1, 4}, 1.0}}));
}

// A rate that does not parse is no rate that depends on nothing: every form
// of the call raises its error, and the rate stays as it was typed.
TEST_F(MatrixCallsHost, DependencyOfARateThatDoesNotParseRaises) {
  OBInterface* m = enzymeModel();
  OBInterface* catalysis = kelbor(m)->getReactionAt(1)->getOBI();
  host().set(catalysis, "ReactionRate", host().str("kcat*ES*("));
  const std::string message = "Invalid reaction rate 'kcat*ES*(' for reaction 'catalysis'.";
  const std::vector<std::function<void()>> forms = {
      [&] { matrixCall("getSpecParamDepMatrix", {host().handle(m)}, 1); },
      [&] { matrixCall("getSpecParamDepMatrix", {host().handle(m), host().logical(true)}, 1); },
      [&] {
        matrixCall("getSpecParamDepMatrix",
                   {host().handles({catalysis}), handlesOfNames(m, {"ES"}), handlesOfNames(m, {"kcat"})},
                   1);
      },
      [&] {
        matrixCall("getSpecParamDepMatrix", {host().handles({catalysis}), handlesOfNames(m, {"ES"})}, 1);
      },
  };
  for (size_t i = 0; i < forms.size(); ++i) {
    SCOPED_TRACE(i);
    expectHostError(forms[i], "Kestrion:InvalidReactionRateSyntax", message);
  }
  EXPECT_EQ(rate(catalysis), "kcat*ES*(");
}

// The model form's columns are the compile order's species and parameters:
// a kinetic-law parameter of an inactive reaction that an active rate names
// keeps its column, where the compile order lists it.
TEST_F(MatrixCallsHost, ModelDependencyColumnsFollowTheCompileOrder) {
  OBInterface* m = model("m");
  OBInterface* cell = call1(m, "addcompartment", {host().str("cell")});
  for (const char* name : {"A", "B"}) call1(cell, "addspecies", {host().str(name)});
  OBInterface* r1 = addReaction(m, "A -> B");
  host().set(r1, "Name", host().str("r1"));
  OBInterface* law = call1(r1, "addkineticlaw", {host().str("Unknown")});
  OBInterface* kf = call1(law, "addparameter", {host().str("kf")});
  OBInterface* r2 = addReaction(m, "B -> null");
  host().set(r2, "ReactionRate", host().str("r1.kf*B"));
  host().set(r1, "Active", host().logical(false));
  std::vector<qxArray*> order = matrixCall("getSpecParamsCompileOrder", {host().handle(m)}, 3);
  ASSERT_EQ(namesOf(order[0]), (Names{"A", "B"}));
  ASSERT_EQ(handlesOf(order[1]), std::vector<OBInterface*>{kf});
  const SparseView view = readSparse(
      matrixCall("getSpecParamDepMatrix", {host().handle(m), host().logical(true)}, 1).at(0));
  EXPECT_EQ(view.rows, 1u);  // r2, the only active reaction
  EXPECT_EQ(view.cols, 3u);  // A, B, then kf
  EXPECT_EQ(view.cells, (Cells{{{0, 1}, 1.0}, {{0, 2}, 1.0}}));
}

TEST_F(MatrixCallsHost, DependencyOfListsWithWrongAndRepeatedEntries) {
  OBInterface* m = enzymeModel();
  Kelbor* model = kelbor(m);
  OBInterface* binding = model->getReactionAt(0)->getOBI();
  OBInterface* catalysis = model->getReactionAt(1)->getOBI();
  OBInterface* map = host().construct("BMapWrapper");
  // A species where a reaction belongs, the object itself, a repeated
  // reaction: null entries keep their place.
  qxArray* reactions = host().handles({named(m, "E"), catalysis, calls_, binding, catalysis});
  qxArray* species = host().handles({named(m, "S"), binding, named(m, "ES"), named(m, "S")});
  qxArray* parameters = host().handles({named(m, "kf"), map, named(m, "E")});
  SparseView view = readSparse(
      matrixCall("getSpecParamDepMatrix", {reactions, species, parameters}, 1).at(0));
  EXPECT_EQ(view.rows, 5u);
  // The constant kf is left out; the two null entries keep empty columns.
  EXPECT_EQ(view.cols, 6u);
  EXPECT_EQ(view.cells, (Cells{{{1, 2}, 1.0}, {{3, 0}, 1.0}, {{3, 2}, 1.0}, {{4, 2}, 1.0}}));
  view = readSparse(matrixCall("getSpecParamDepMatrix",
                               {reactions, species, parameters, host().logical(true)}, 1)
                        .at(0));
  EXPECT_EQ(view.cols, 7u);
  EXPECT_EQ(view.cells.count({3, 4}), 1u);  // kf in binding's rate
  // Components of any kind; non-components and empty handles are null rows.
  qxArray* components =
      host().handles({named(m, "kcat"), map, model->getCompartmentInTreeAt(0)->getOBI(),
                      named(m, "ES")});
  view = readSparse(matrixCall("getSpecParamDepMatrix", {reactions, components}, 1).at(0));
  EXPECT_EQ(view.rows, 5u);
  EXPECT_EQ(view.cols, 4u);
  EXPECT_EQ(view.cells, (Cells{{{1, 0}, 1.0}, {{1, 3}, 1.0}, {{3, 3}, 1.0}, {{4, 0}, 1.0},
                               {{4, 3}, 1.0}}));
}

TEST_F(MatrixCallsHost, CompileOrderAsHandleVectors) {
  OBInterface* m = enzymeModel();
  std::vector<qxArray*> outs = matrixCall("getSpecParamsCompileOrder", {host().handle(m)}, 3);
  ASSERT_EQ(outs.size(), 3u);
  EXPECT_EQ(namesOf(outs[0]), (Names{"E", "S", "ES", "P"}));
  EXPECT_EQ(namesOf(outs[1]), (Names{"kf", "kr", "kcat"}));
  EXPECT_EQ(namesOf(outs[2]), (Names{"cell"}));
  OBInterface* bare = model("bare");
  call1(bare, "addparameter", {host().str("k")});
  outs = matrixCall("getSpecParamsCompileOrder", {host().handle(bare)}, 3);
  EXPECT_TRUE(qxIsEmpty(outs[0]));
  EXPECT_EQ(namesOf(outs[1]), Names{"k"});
  EXPECT_TRUE(qxIsEmpty(outs[2]));
}

}  // namespace
}  // namespace ctest

namespace ctest {
namespace {

// The compile object of a model made through the host: active rules and
// events only, in model order.
TEST_F(MatrixCallsHost, CompileObjectListsActiveRulesAndEvents) {
  OBInterface* m = enzymeModel();
  OBInterface* r1 = call1(m, "addrule", {host().str("S = 2*P"), host().str("repeatedAssignment")});
  OBInterface* r2 = call1(m, "addrule", {host().str("P = kcat*ES"), host().str("rate")});
  OBInterface* r3 = call1(m, "addrule", {host().str("E = 1"), host().str("initialAssignment")});
  host().set(r2, "Active", host().logical(false));
  OBInterface* e1 = call1(m, "addevent", {host().str("time >= 5"), host().str("S = 100")});
  OBInterface* e2 = call1(m, "addevent", {host().str("time >= 9"), host().str("P = 0")});
  host().set(e1, "Active", host().logical(false));
  MiniCompileObjectApi* object = createMiniCompileObject(kelbor(m));
  ASSERT_NE(object, nullptr);
  object->build();
  EXPECT_EQ(*object->getRules(), (kstrVector<BRule*>{dynamic_cast<BRule*>(componentOf(r1)),
                                                     dynamic_cast<BRule*>(componentOf(r3))}));
  EXPECT_EQ(*object->getEvents(), kstrVector<BEvent*>{dynamic_cast<BEvent*>(componentOf(e2))});
  EXPECT_EQ(object->getReactions()->size(), 2u);
  delete object;
}

}  // namespace
}  // namespace ctest
