// Registration of abstract kinetic laws: every combination of the library
// asked for, the library that already holds the name and the overwrite
// flag; the editing rules of a law in a library; propagation into rates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <interp/interp_test.hpp>

#include "KineticsHostFixture.hpp"
#include "kinetics/LibraryRegistration.hpp"

namespace ktest {
namespace {

using Strings = std::vector<std::string>;

enum class Holder { None, Builtin, User };

struct MatrixRow {
  int library;
  Holder existing;
  bool overwrite;
  const char* error;    // "" when none
  const char* warning;  // "" when none
  int indexAfter;       // where the name is found afterwards
  bool newcomerIsEntry;
  bool rewritesFile;
};

// The name held by nothing, by a built-in law or by a user law, asked for
// the built-in (-1), the user (1) or no (0) library, with and without
// overwrite.  A user's call never reaches the built-in library.
TEST_F(KineticsHostTest, RegistrationMatrix) {
  const char* exists[] = {"", "Kestrion:KSTRABSTRACTKL_EXISTS_AS_BUILTIN", "Kestrion:KSTRABSTRACTKL_EXISTS_AS_USER"};
  const char* overwriteBuiltin = "Kestrion:KSTRABSTRACTKL_CANNOT_OVERWRITE_BUILTIN";
  const char* invalid = "Kestrion:KSTRABSTRACTKL_INVALID_ARGUMENT";
  const char* asBuiltin = "Kestrion:KSTRABSTRACTKL_CANNOT_REGISTER_AS_BUILTIN";
  std::vector<MatrixRow> rows = {
      {1, Holder::None, false, "", "", 1, true, true},
      {1, Holder::None, true, "", "", 1, true, true},
      {1, Holder::Builtin, false, exists[1], "", 0, false, false},
      {1, Holder::Builtin, true, overwriteBuiltin, "", 0, false, false},
      {1, Holder::User, false, exists[2], "", 1, false, false},
      {1, Holder::User, true, "", "", 1, true, true},
  };
  for (Holder holder : {Holder::None, Holder::Builtin, Holder::User}) {
    const int index = holder == Holder::None ? -1 : (holder == Holder::Builtin ? 0 : 1);
    for (bool overwrite : {false, true}) {
      rows.push_back({0, holder, overwrite, invalid, "", index, false, false});
      rows.push_back({-1, holder, overwrite, asBuiltin, "", index, false, false});
    }
  }
  const size_t builtinLaws = library(0)->getAbstractKineticLaws().size();
  for (const MatrixRow& row : rows) {
    SCOPED_TRACE("library " + std::to_string(row.library) + " holder " + std::to_string(static_cast<int>(row.existing)) +
                 (row.overwrite ? " overwrite" : ""));
    // A built-in holder is a law of the table made at start-up.
    const char* name = row.existing == Holder::Builtin ? "Henri-Michaelis-Menten" : "MatrixLaw";
    const OBInterface* builtin = row.existing == Holder::Builtin ? library(0)->findAbstractKineticLaw(name)->getOBI()
                                                                 : nullptr;
    if (row.existing == Holder::User) {
      host().call(userLaw(name, "k*S"), "register", {host().num(1), host().logical(false)});
    }
    OBInterface* newcomer = userLaw(name, "2*k*S");
    host().clearLogs();
    interpClearCallLog();
    std::optional<HostCallError> error = TestHost::errorOf(
        [&] { host().call(newcomer, "register", {host().num(row.library), host().logical(row.overwrite)}); });
    EXPECT_EQ(error ? error->id : "", row.error);
    if (std::string(row.error) == asBuiltin) {
      EXPECT_EQ(error->message, std::string("The kinetic law '") + name +
                                    "' cannot be registered as a built-in kinetic law.");
    }
    EXPECT_EQ(warningIds(), row.warning[0] ? Strings{row.warning} : Strings{});
    const int index = BQuorvixRoot::getInstance()->findLibraryIndex(2, name);
    EXPECT_EQ(index, row.indexAfter);
    if (index >= 0) {
      EXPECT_EQ(library(index)->findAbstractKineticLaw(name)->getOBI() == newcomer, row.newcomerIsEntry);
    }
    if (builtin) {
      EXPECT_EQ(library(0)->findAbstractKineticLaw(name)->getOBI(), builtin);
    }
    EXPECT_EQ(library(0)->getAbstractKineticLaws().size(), builtinLaws);
    bool rewrote = false;
    for (const InterpCallRecord& call : interpCallLog()) {
      rewrote = rewrote || (call.name == "kstrgate" && !call.args.empty() && call.args[0] == "privateupdatelibrary");
    }
    EXPECT_EQ(rewrote, row.rewritesFile);
    AKLRegistrationAssistant().removeFromLibrary("MatrixLaw", 1);
    EXPECT_EQ(BQuorvixRoot::getInstance()->findLibraryIndex(2, "MatrixLaw"), -1);
  }
}

TEST_F(KineticsHostTest, AnEqualLawRegistersAsNothing) {
  OBInterface* first = userLaw("Twin");
  host().call(first, "register", {host().num(1), host().logical(false)});
  OBInterface* twin = userLaw("Twin");
  interpClearCallLog();
  host().call(twin, "register", {host().num(1), host().logical(false)});
  EXPECT_TRUE(interpCallLog().empty());
  EXPECT_EQ(library(1)->findAbstractKineticLaw("Twin")->getOBI(), first);
  removeUserLaw("Twin");
}

TEST_F(KineticsHostTest, LibraryLawEditingRules) {
  OBInterface* a = userLaw("LawA");
  OBInterface* b = userLaw("LawB");
  host().call(a, "register", {host().num(1), host().logical(false)});
  host().call(b, "register", {host().num(1), host().logical(false)});
  expectHostError([&] { host().set(a, "Name", host().str("LawB")); }, "Kestrion:KSTRABSTRACTKL_EXISTS_AS_USER");
  expectHostError([&] { host().set(a, "Name", host().str("MassAction")); }, "Kestrion:KSTRABSTRACTKL_EXISTS_AS_BUILTIN");
  expectHostError([&] { host().set(a, "Name", host().str("   ")); }, "Kestrion:BadAKLName");
  host().set(a, "Name", host().str("LawA2"));
  EXPECT_EQ(library(1)->findAbstractKineticLaw("LawA2")->getOBI(), a);
  EXPECT_EQ(library(1)->findAbstractKineticLaw("LawA"), nullptr);
  expectHostError([&] { host().set(b, "Name", host().str("LawA2")); }, "Kestrion:KSTRABSTRACTKL_EXISTS_AS_USER");
  // Variables: shapes and names.
  OBInterface* free = host().construct("AbstractKineticLaw", {host().str("Free"), host().str("a*b*c")});
  qxArray* column = host().own(qxCreateCellMatrix(3, 1));
  for (size_t i = 0; i < 3; ++i) qxSetCell(column, i, qxCreateString(std::string(1, static_cast<char>('a' + i)).c_str()));
  host().set(free, "ParameterVariables", column);
  EXPECT_EQ(qxGetM(host().get(free, "ParameterVariables")), 1u);
  EXPECT_EQ(textsOf(host().get(free, "ParameterVariables")), (Strings{"a", "b", "c"}));
  qxArray* square = host().own(qxCreateCellMatrix(2, 2));
  for (size_t i = 0; i < 4; ++i) qxSetCell(square, i, qxCreateString("x"));
  expectHostError([&] { host().set(free, "ParameterVariables", square); }, "Kestrion:InvalidParameters");
  expectHostError([&] { host().set(free, "SpeciesVariables", square); }, "Kestrion:InvalidSpecies");
  expectHostError([&] { host().set(free, "SpeciesVariables", host().cell({host().str("1x")})); },
                  "Kestrion:InvalidSpeciesNames");
  expectHostError([&] { host().set(free, "ParameterVariables", host().num(1)); }, "Kestrion:Parameters_InvalidType");
  expectHostError([&] { host().set(free, "SpeciesVariables", host().cell({host().num(1)})); },
                  "Kestrion:Species_InvalidType");
  EXPECT_EQ(textsOf(host().get(free, "ParameterVariables")), (Strings{"a", "b", "c"}));
  // Consistency is checked when a kinetic law binds the law.
  host().set(free, "ParameterVariables", host().cell({host().str("a"), host().str("b"), host().str("c"), host().str("d")}));
  host().call(free, "register", {host().num(1), host().logical(false)});
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "A -> B");
  expectHostError([&] { addLaw(r, "Free"); }, "Kestrion:InconsistentAKL", "Kinetic law 'Free' is not setup correctly.");
  EXPECT_EQ(reaction(r)->getKineticLaw(), nullptr);
  host().call(getOBIRoot(), "reset");
  for (const char* name : {"LawA2", "LawB", "Free"}) removeUserLaw(name);
}

// A law that replaced another stays deletable only while no kinetic law is
// bound to it: the replaced user law keeps the kinetic laws that use it.
TEST_F(KineticsHostTest, AReplacedLawInUseCannotBeDeleted) {
  OBInterface* old = userLaw("Shared", "k*S");
  OBInterface* replacement = userLaw("Shared", "2*k*S");
  host().call(old, "register", {host().num(1), host().logical(false)});
  OBInterface* m = model();
  OBInterface* r = addReaction(m, "S -> null");
  addLaw(r, "Shared");
  host().call(replacement, "register", {host().num(1), host().logical(true)});
  EXPECT_EQ(old->getUp(), nullptr);
  host().clearLogs();
  EXPECT_FALSE(host().destroy(old));
  EXPECT_EQ(warningIds(), Strings{"Kestrion:AKLInUse"});
  host().call(getOBIRoot(), "reset");
  EXPECT_TRUE(host().destroy(old));
  removeUserLaw("Shared");
}

// A law is in use while kinetic laws are bound to it, whatever other law
// bears its name: a free namesake of a used law can be edited, and a
// replacement that nobody uses leaves the library without a warning, while
// the used law keeps its guard.
TEST_F(KineticsHostTest, InUseIsDecidedByTheLawItself) {
  OBInterface* used = userLaw("Namesake", "k*S");
  host().call(used, "register", {host().num(1), host().logical(false)});
  OBInterface* r = addReaction(model(), "S -> null");
  addLaw(r, "Namesake");
  OBInterface* free = host().construct("AbstractKineticLaw", {host().str("Namesake"), host().str("3*k*S")});
  host().set(free, "ParameterVariables", host().str("k"));
  host().set(free, "SpeciesVariables", host().str("S"));
  host().set(free, "Expression", host().str("2*k*S"));
  EXPECT_EQ(textsOf(host().get(free, "ParameterVariables")), Strings{"k"});
  expectHostError([&] { host().set(used, "Expression", host().str("4*k*S")); }, "Kestrion:AKLCannotChangeFieldUsed");
  // The free law replaces the used one in the library; nothing uses it, so
  // it leaves again without a warning.
  host().call(free, "register", {host().num(1), host().logical(true)});
  EXPECT_EQ(library(1)->findAbstractKineticLaw("Namesake")->getOBI(), free);
  host().clearLogs();
  removeUserLaw("Namesake");
  EXPECT_EQ(warningIds(), Strings{});
  EXPECT_EQ(BQuorvixRoot::getInstance()->findLibraryIndex(2, "Namesake"), -1);
  // The replaced law still serves its kinetic law and cannot be deleted.
  EXPECT_FALSE(host().destroy(used));
  EXPECT_EQ(warningIds(), Strings{"Kestrion:AKLInUse"});
  host().call(getOBIRoot(), "reset");
}

// Deleting a reaction whose law binds species and parameters leaves nothing
// listening: renames afterwards touch nothing and the counts fall to 0.
TEST_F(KineticsHostTest, DeletedReactionsLeaveNoListeners) {
  OBInterface* m = model();
  OBInterface* k = call1(m, "addparameter", {host().str("k")});
  OBInterface* r = addReaction(m, "S -> P");
  OBInterface* law = addLaw(r, "MassAction");
  setParameter(law, "Forward Rate Parameter", "k");
  EXPECT_EQ(rate(r), "k*S");
  EXPECT_EQ(qxGetScalar(host().get(species(m, "S"), "InUseCount")), 1.0);
  EXPECT_EQ(qxGetScalar(host().get(k, "InUseCount")), 1.0);
  host().set(k, "Name", host().str("k2"));
  EXPECT_EQ(rate(r), "k2*S");
  EXPECT_EQ(names(law, "ParameterVariableNames"), Strings{"k2"});
  EXPECT_TRUE(host().destroy(r));
  EXPECT_EQ(qxGetScalar(host().get(species(m, "S"), "InUseCount")), 0.0);
  EXPECT_EQ(qxGetScalar(host().get(k, "InUseCount")), 0.0);
  host().set(species(m, "S"), "Name", host().str("S2"));
  host().set(k, "Name", host().str("k3"));
}

}  // namespace
}  // namespace ktest

namespace ktest {
namespace {

// A replaced law that nobody holds any more stays the template of the
// kinetic laws bound to it, and goes with the last of them.
TEST_F(KineticsHostTest, AReplacedLawNobodyHoldsServesItsKineticLaws) {
  OBInterface* old = userLaw("Orphan", "k*S");
  OBInterface* replacement = userLaw("Orphan", "2*k*S");
  host().call(old, "register", {host().num(1), host().logical(false)});
  OBInterface* m = model();
  call1(m, "addparameter", {host().str("kd")});
  OBInterface* r = addReaction(m, "S -> null");
  OBInterface* kl = addLaw(r, "Orphan");
  host().call(replacement, "register", {host().num(1), host().logical(true)});
  host().release(old);  // the old law's instance goes now
  setParameter(kl, "k", "kd");
  setSpecies(kl, "S", "S");
  EXPECT_EQ(rate(r), "kd*S");
  host().call(getOBIRoot(), "reset");
  removeUserLaw("Orphan");
}

}  // namespace
}  // namespace ktest
