// Kinetic laws in the compile order, the dependency matrix and the compile
// object, on a model built through the host as a user builds it.
#include "MatrixCallsHostFixture.hpp"
#include "compile/MiniCompileObjectApi.hpp"
#include "core/QuantityComponent.hpp"
#include "kinetics/BKineticLaw.hpp"

namespace ctest {
namespace {

using Names = std::vector<std::string>;

class KineticLawMatrices : public MatrixCallsHost {
 protected:
  // S -> P with a Henri-Michaelis-Menten law (Vmax, Km), and an inactive
  // P -> null with a mass-action law (kd); model parameter k0.
  void SetUp() override {
    warmUpLaws();
    MatrixCallsHost::SetUp();
    m_ = model("laws");
    call1(m_, "addcompartment", {host().str("cell")});
    call1(m_, "addparameter", {host().str("k0")});
    OBInterface* uptake = addReaction(m_, "S -> P");
    law_ = call1(uptake, "addkineticlaw", {host().str("Henri-Michaelis-Menten")});
    call1(law_, "addparameter", {host().str("Vmax"), host().num(2)});
    call1(law_, "addparameter", {host().str("Km")});
    host().set(law_, "ParameterVariableNames", host().cell({host().str("Vmax"), host().str("Km")}));
    host().set(law_, "SpeciesVariableNames", host().cell({host().str("S")}));
    OBInterface* decay = addReaction(m_, "P -> null");
    OBInterface* massAction = call1(decay, "addkineticlaw", {host().str("MassAction")});
    call1(massAction, "addparameter", {host().str("kd")});
    host().set(massAction, "ParameterVariableNames", host().cell({host().str("kd")}));
    host().set(decay, "Active", host().logical(false));
  }
  OBInterface* m_ = nullptr;
  OBInterface* law_ = nullptr;

 private:
  // Process-wide tables grow once on the first use of a kinetic law; a
  // model with laws made and reset before the health is taken lets the test
  // count only what it leaves behind.
  static void warmUpLaws() {
    TestHost warm;
    warm.start();
    OBInterface* m = warm.construct("Model", {warm.str("warm-up")});
    warm.call(m, "addcompartment", {warm.str("cell")}, 1);
    OBInterface* r = objectOf(warm.call(m, "addreaction", {warm.str("S -> P")}, 1).at(0));
    OBInterface* law =
        objectOf(warm.call(r, "addkineticlaw", {warm.str("Henri-Michaelis-Menten")}, 1).at(0));
    warm.call(law, "addparameter", {warm.str("Vmax")}, 1);
    warm.set(law, "ParameterVariableNames", warm.cell({warm.str("Vmax"), warm.str("Km")}));
    warm.set(law, "SpeciesVariableNames", warm.cell({warm.str("S")}));
    warm.call(getOBIRoot(), "reset");
  }
};

TEST_F(KineticLawMatrices, CompileOrderListsEveryReactionsLawParameters) {
  ASSERT_EQ(rate(kelbor(m_)->getReactionAt(0)->getOBI()), "Vmax*S/(Km + S)");
  std::vector<qxArray*> outs = matrixCall("getSpecParamsCompileOrder", {host().handle(m_)}, 3);
  EXPECT_EQ(namesOf(outs[0]), (Names{"S", "P"}));
  EXPECT_EQ(namesOf(outs[1]), (Names{"k0", "Vmax", "Km", "kd"}));
  EXPECT_EQ(namesOf(outs[2]), Names{"cell"});
}

TEST_F(KineticLawMatrices, DependencyColumnsAreTheCompileOrdersParameters) {
  // Rows: the active reaction; columns S, P, k0, Vmax, Km and kd, as the
  // compile order lists them (kd, of the inactive reaction, included).
  const SparseView view = readSparse(
      matrixCall("getSpecParamDepMatrix", {host().handle(m_), host().logical(true)}, 1).at(0));
  EXPECT_EQ(view.rows, 1u);
  EXPECT_EQ(view.cols, 6u);
  EXPECT_EQ(view.cells, (Cells{{{0, 0}, 1.0}, {{0, 3}, 1.0}, {{0, 4}, 1.0}}));
}

TEST_F(KineticLawMatrices, CompileObjectHoldsLawsAndTheirParameters) {
  MiniCompileObjectApi* object = createMiniCompileObject(kelbor(m_));
  ASSERT_NE(object, nullptr);
  object->build();
  Names parameters;
  for (const kstr::QuantityComponent* q : *object->getParameterComponents()) {
    parameters.push_back(q->getName());
  }
  EXPECT_EQ(parameters, (Names{"k0", "Vmax", "Km", "kd", "cell"}));
  EXPECT_EQ(*object->getKineticLaws(),
            kstrVector<BKineticLaw*>{dynamic_cast<BKineticLaw*>(componentOf(law_))});
  EXPECT_EQ((*object->getInitialValues())[3], 2.0);  // Vmax after the two species and k0
  delete object;
}

}  // namespace
}  // namespace ctest
