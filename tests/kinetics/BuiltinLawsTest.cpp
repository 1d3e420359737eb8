// The built-in abstract kinetic laws after start-up: names, order,
// expressions, variables, notes, annotation, parent and consistency.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "KineticsHostFixture.hpp"
#include "kinetics/BuiltinKineticLaws.hpp"

namespace ktest {
namespace {

using Strings = std::vector<std::string>;

Strings cellTexts(const qxArray* cell) {
  Strings out;
  for (size_t i = 0; i < qxGetNumberOfElements(cell); ++i) out.push_back(qxArrayToStdString(qxGetCell(cell, i)));
  return out;
}

struct LawRow {
  const char* name;
  const char* expression;
  Strings parameters;
  Strings species;
};

TEST_F(KineticsHostTest, TheBuiltinLibraryHoldsTheElevenLawsInOrder) {
  const std::vector<LawRow> rows = {
      {"Unknown", "Unknown", {}, {}},
      {"MassAction", "MassAction", {}, {}},
      {"Henri-Michaelis-Menten", "Vm*S/(Km + S)", {"Vm", "Km"}, {"S"}},
      {"Henri-Michaelis-Menten-Reversible", "(Vmf*S/Ks - Vmr*P/Kp)/(1 + S/Ks + P/Kp)",
       {"Vmf", "Ks", "Vmr", "Kp"}, {"S", "P"}},
      {"Hill-Kinetics", "Vm*S^n/(Kp + S^n)", {"Vm", "n", "Kp"}, {"S"}},
      {"Iso-Uni-Uni", "Vmf*(S - P/Keq)/(Kms*(1 + P/Kmp) + S*(1 + P/Kiip))",
       {"Vmf", "Keq", "Kms", "Kmp", "Kiip"}, {"S", "P"}},
      {"Ordered-Bi-Bi", "Vm/((Ksa*Kmb/(A*B)) + (Kma/A) + (Kmb/B) + 1)", {"Vm", "Ksa", "Kmb", "Kma"}, {"A", "B"}},
      {"Ping-Pong-Bi-Bi", "Vm/((Kma/A) + (Kmb/B) + 1)", {"Vm", "Kma", "Kmb"}, {"A", "B"}},
      {"Competitive-Inhibition", "Vm*S/(Km*(1 + I/Ki) + S)", {"Vm", "Km", "Ki"}, {"S", "I"}},
      {"NonCompetitive-Inhibition", "Vm*S/((Ks + S)*(1 + I/Ki))", {"Vm", "Ks", "Ki"}, {"S", "I"}},
      {"UnCompetitive-Inhibition", "Vm*S/(Km + S*(1 + I/Ki))", {"Vm", "Km", "Ki"}, {"S", "I"}},
  };
  const auto& laws = library(0)->getAbstractKineticLaws();
  ASSERT_EQ(laws.size(), rows.size());
  ASSERT_EQ(getBuiltinKineticLawCount(), static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    BAbstractKineticLaw* law = laws[i];
    EXPECT_EQ(law->getName(), rows[i].name);
    EXPECT_STREQ(law->getExpression(), rows[i].expression);
    EXPECT_EQ(cellTexts(law->getParameterVariables()), rows[i].parameters);
    EXPECT_EQ(cellTexts(law->getSpeciesVariables()), rows[i].species);
    ASSERT_NE(law->getNotes(), nullptr);
    EXPECT_GT(std::strlen(law->getNotes()), 0u);
    EXPECT_EQ(law->getAnnotation() != nullptr && *law->getAnnotation(), rows[i].name == std::string("MassAction"));
    EXPECT_EQ(law->getOBIParent(), getOBIRoot());
    EXPECT_EQ(law->getOBI()->getUp(), getOBIRoot());
    EXPECT_NO_THROW(law->verify());
    EXPECT_TRUE(law->isVerified());
    // The parent as the user reads it.
    EXPECT_EQ(objectOf(host().get(law->getOBI(), "Parent")), getOBIRoot());
  }
  // The two special laws keep 0-by-0 arrays.
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(qxGetM(laws[i]->getParameterVariables()), 0u);
    EXPECT_EQ(qxGetN(laws[i]->getSpeciesVariables()), 0u);
  }
  EXPECT_NE(std::string(laws[0]->getNotes()).find("specify your own rate equation"), std::string::npos);
}

TEST_F(KineticsHostTest, BuiltinLawsRefuseEveryChange) {
  OBInterface* hmm = library(0)->findAbstractKineticLaw("Henri-Michaelis-Menten")->getOBI();
  const char* guarded = "Changing builtin library components is not allowed";
  for (const char* property : {"Notes", "Tag", "Annotation"}) {
    SCOPED_TRACE(property);
    expectHostError([&] { host().set(hmm, property, host().str("x")); },
                    "Kestrion:CannotChangeBuiltinLibraryComponent", guarded);
  }
  expectHostError([&] { host().set(hmm, "UserData", host().num(1)); }, "Kestrion:CannotChangeBuiltinLibraryComponent");
  expectHostError([&] { host().set(hmm, "Name", host().str("Henri-Michaelis-Menten")); },
                  "Kestrion:KSTRABSTRACTKL_CANNOT_RENAME_BUILTIN",
                  "The Name property of a built-in kinetic law cannot be changed.");
  expectHostError([&] { host().set(hmm, "Expression", host().str("Vm*S")); },
                  "Kestrion:AlterExpressionBuiltinAKLNotAllowed");
  expectHostError([&] { host().set(hmm, "ParameterVariables", host().str("Vm")); },
                  "Kestrion:AlterParametersBuiltinAKLNotAllowed");
  expectHostError([&] { host().set(hmm, "SpeciesVariables", host().str("S")); },
                  "Kestrion:AlterSpeciesBuiltinAKLNotAllowed");
  EXPECT_FALSE(host().destroy(hmm));
  EXPECT_EQ(warningIds(), std::vector<std::string>{"Kestrion:DeleteBuiltinAKLNotAllowed"});
  EXPECT_STREQ(library(0)->findAbstractKineticLaw("Henri-Michaelis-Menten")->getExpression(), "Vm*S/(Km + S)");
  // A free law that merely bears the name is not guarded.
  OBInterface* copy = host().construct("AbstractKineticLaw", {host().str("Henri-Michaelis-Menten")});
  host().set(copy, "Notes", host().str("mine"));
  EXPECT_EQ(host().getString(copy, "Notes"), "mine");
}

TEST_F(KineticsHostTest, ParsedExpressionAndDisplay) {
  OBInterface* hmm = library(0)->findAbstractKineticLaw("Henri-Michaelis-Menten")->getOBI();
  std::vector<qxArray*> out = host().call(hmm, "getparsedexpression", {}, 1);
  EXPECT_EQ(textsOf(out.at(0)), (Strings{"Km", "S", "Vm"}));
  OBInterface* free = host().construct("AbstractKineticLaw", {host().str("ab")});
  host().clearLogs();
  host().call(free, "display", {});
  EXPECT_EQ(host().printed(),
            "\n   Kestrion Abstract Kinetic Law Array\n\n"
            "   Index:    Library:        Name:    Expression:\n"
            "   1         NotInLibrary    ab       \n\n");
  OBInterface* mass = host().construct("AbstractKineticLaw", {host().str("MassAction")});
  host().clearLogs();
  host().call(mass, "display", {});
  EXPECT_NE(host().printed().find("BuiltIn"), std::string::npos);
  host().clearLogs();
  host().call(mass, "display", {host().logical(true)});
  EXPECT_NE(host().printed().find("NotInLibrary"), std::string::npos);
}

}  // namespace
}  // namespace ktest
