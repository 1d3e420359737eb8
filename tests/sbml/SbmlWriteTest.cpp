// Writing SBML and validating files as a user would: the document text with
// its banner and namespace, the round trip of the main road, unwritable
// paths, and the three lists of "qesbmlvalidate".
#include <sbml/SBMLTypes.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>

#include "SbmlHostFixture.hpp"
#include "support/AllocationFailures.hpp"
#include "core/KelborComponent.hpp"
#include "quantities/BSpecies.hpp"
#include "expressions/ReactionExpression.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/BRule.hpp"
#include "reactions/ReactionManipulator.hpp"
#include "sbml/SBMLReadWriteService.hpp"

namespace sbmltest {
namespace {

// The main road built through the host: compartments with an owner,
// species in amount and concentration units, a reaction with a rate, an
// initial and a repeated assignment, an event with two functions (of
// variables no assignment rule governs), and an inactive reaction and rule
// that are not written.
OBInterface* buildMainRoad(TestHost& host) {
  OBInterface* m = host.construct("Model", {host.str("road")});
  const auto add = [&host](OBInterface* on, const char* method, std::initializer_list<qxArray*> args) {
    return objectOf(host.call(on, method, args, 1).at(0));
  };
  OBInterface* cell = add(m, "addcompartment", {host.str("cell")});
  OBInterface* nucleus = add(m, "addcompartment", {host.str("nucleus")});
  host.set(nucleus, "Owner", host.handle(cell));
  OBInterface* a = add(cell, "addspecies", {host.str("A")});
  host.set(a, "InitialAmount", host.num(3));
  host.set(a, "InitialAmountUnits", host.str("mole"));
  OBInterface* b = add(nucleus, "addspecies", {host.str("B")});
  host.set(b, "InitialAmount", host.num(0.5));
  host.set(b, "InitialAmountUnits", host.str("mole/liter"));
  OBInterface* k = add(m, "addparameter", {host.str("k")});
  host.set(k, "Value", host.num(0.1));
  host.set(k, "ConstantValue", host.logical(false));
  OBInterface* r = add(m, "addreaction", {host.str("cell.A -> nucleus.B")});
  host.set(r, "ReactionRate", host.str("k*cell.A"));
  OBInterface* off = add(m, "addreaction", {host.str("nucleus.B -> cell.A")});
  host.set(off, "Active", host.logical(false));
  add(m, "addrule", {host.str("k = 0.2"), host.str("initialAssignment")});
  add(m, "addrule", {host.str("cell.A = 2*k"), host.str("repeatedAssignment")});
  OBInterface* hidden = add(m, "addrule", {host.str("nucleus.B = 1"), host.str("repeatedAssignment")});
  host.set(hidden, "Active", host.logical(false));
  host.set(add(m, "addparameter", {host.str("j")}), "ConstantValue", host.logical(false));
  add(m, "addevent", {host.str("time > 5"), host.cell({host.str("nucleus.B = 1"), host.str("j = 2*k")})});
  return m;
}

TEST_F(SbmlHostTest, WrittenTextCarriesBannerAndHtmlNamespace) {
  OBInterface* m = buildMainRoad(host());
  const std::string text = writeText(m);
  const std::unique_ptr<SBMLDocument> document(readSBMLFromString(text.c_str()));
  const std::string annotation = document->getAnnotationString();
  EXPECT_EQ(annotation.rfind(SBMLReadWriteService::banner(), 0), 0u) << annotation;
  EXPECT_EQ(annotation.substr(annotation.size() - 14), "\n</annotation>");
  EXPECT_NE(text.find("xmlns:html=\"http://www.w3.org/1999/xhtml\""), std::string::npos);
  EXPECT_EQ(document->getLevel(), 2u);
  EXPECT_EQ(document->getVersion(), 1u);
  bool present = false;
  const KestrionVersion version = SBMLReadWriteService::readToolVersionFromAnnotation(*document, present);
  EXPECT_TRUE(present);
  EXPECT_EQ(version, getVersionFromString(GetKestrionVersionString()));
  // Inactive components are not written.
  EXPECT_EQ(document->getModel()->getNumReactions(), 1u);
  EXPECT_EQ(document->getModel()->getNumRules(), 2u);
  EXPECT_EQ(document->getModel()->getNumEvents(), 1u);
  EXPECT_EQ(document->getModel()->getEvent(0)->getNumEventAssignments(), 2u);
  EXPECT_FALSE(document->getModel()->getEvent(0)->isSetDelay());
}

TEST_F(SbmlHostTest, MainRoadReadsBackWithNamesIdsUnitsAndRuleTypes) {
  OBInterface* m = buildMainRoad(host());
  OBInterface* back = readText(writeText(m), {"skipcc"});
  EXPECT_EQ(host().getString(back, "Name"), "road");
  EXPECT_EQ(host().getString(back, "ID"), host().getString(m, "ID"));
  EXPECT_EQ(names(back, "compartment"), names(m, "compartment"));
  EXPECT_EQ(names(back, "species"), names(m, "species"));
  for (const char* type : {"compartment", "species", "parameter", "reaction", "event"}) {
    SCOPED_TRACE(type);
    std::vector<std::string> before;
    std::vector<std::string> after;
    for (OBInterface* h : children(m, type)) before.push_back(componentOf(h)->getID());
    for (OBInterface* h : children(back, type)) after.push_back(componentOf(h)->getID());
    if (std::string(type) == "reaction") before.pop_back();  // the inactive one
    EXPECT_EQ(after, before);
  }
  std::vector<std::string> units;
  for (OBInterface* h : children(back, "species")) units.push_back(dynamic_cast<BSpecies*>(componentOf(h))->getUnits());
  // The nucleus, moved below the cell, and its species come first.
  EXPECT_EQ(units, (std::vector<std::string>{"mole/liter", "mole"}));
  std::vector<std::string> rules;
  for (OBInterface* h : children(back, "rule")) rules.push_back(host().getString(h, "RuleType") + ": " + host().getString(h, "Rule"));
  EXPECT_EQ(rules, (std::vector<std::string>{"initialAssignment: k = 0.2", "repeatedAssignment: cell.A = 2 * k"}));
  OBInterface* nucleus = children(back, "compartment").at(1);
  EXPECT_EQ(componentOf(objectOf(host().get(nucleus, "Owner")))->getName(), "cell");
  EXPECT_EQ(host().getString(children(back, "reaction").at(0), "ReactionRate"), "k * cell.A");
}

TEST_F(SbmlHostTest, WriteToUnwritablePathRaises) {
  OBInterface* m = buildMainRoad(host());
  const HostCallError error = expectError(
      [&] { host().call(service(), "sbmlwrite", {host().handle(m), host().str("/no/such/dir/out.xml")}); },
      "Kestrion:SBMLWriteFailed");
  EXPECT_EQ(error.message, "Unable to write the SBML file '/no/such/dir/out.xml'.");
}

// Writing to text when host memory runs out raises, whichever allocation
// fails, instead of handing back an empty document.
TEST_F(SbmlHostTest, WriteToTextRaisesWhenHostMemoryRunsOut) {
  OBInterface* m = host().construct("Model", {host().str("small")});
  host().call(m, "addcompartment", {host().str("cell")}, 1);
  host().call(m, "addspecies", {host().str("A")}, 1);
  qxArray* const args[] = {host().handle(service()), host().handle(m)};
  std::string text;
  const std::function<void()> write = [&] {
    qxArray* out[1] = {nullptr};
    obkCallMethod("sbmlwrite", 1, out, 2, args);
    text = textOf(out[0]);
    qxDestroyArray(out[0]);
  };
  hostAllocationsOf(write);  // grows what the writer keeps
  const size_t attempts = hostAllocationsOf(write);
  ASSERT_NE(text.find("<species "), std::string::npos) << text;
  ASSERT_GT(attempts, 0u);
  for (size_t k = 1; k <= attempts; ++k) {
    const std::string outcome = outcomeWithAllocationFailing(k, write);
    EXPECT_TRUE(outcome == "Kestrion:MallocError" || outcome == "obk:OutOfMemory") << k << ": " << outcome;
  }
}

// A reaction term bound to no species has no identifier to write: the
// writer leaves it out with the warning for an unknown species and writes
// the rest of the reaction.  No host path makes such a term; the engine's
// own equation entry, given a name the model lacks, does.
TEST_F(SbmlHostTest, ReactionTermWithoutItsSpeciesIsLeftOutWithAWarning) {
  OBInterface* m = host().construct("Model", {host().str("loose")});
  host().call(m, "addcompartment", {host().str("cell")}, 1);
  OBInterface* r = objectOf(host().call(m, "addreaction", {host().str("A -> B")}, 1).at(0));
  host().set(r, "Name", host().str("r1"));
  ReactionManipulator manipulator;
  ParsedReactionPtr parsed(manipulator.parseReaction("A + N -> B + Q"));
  auto* reaction = dynamic_cast<BReaction*>(componentOf(r));
  reaction->setReaction(parsed.get());
  ASSERT_FALSE(reaction->getEquation().doAllTokensResolve());
  host().clearLogs();
  const std::string text = writeText(m);
  EXPECT_EQ(warningCount("Kestrion:KS_ReactionContainsSpeciesNotInList"), 2u);
  std::vector<std::string> messages;
  for (const hbRecordedWarning& w : host().warnings()) messages.push_back(w.text);
  EXPECT_NE(std::find(messages.begin(), messages.end(),
                      "Warning: The reaction 'r1' references a species 'N'\n"
                      " that is not in the list of species for the model."),
            messages.end());
  const std::unique_ptr<SBMLDocument> document(readSBMLFromString(text.c_str()));
  const Reaction* written = document->getModel()->getReaction(0);
  ASSERT_NE(written, nullptr);
  ASSERT_EQ(written->getNumReactants(), 1u);
  ASSERT_EQ(written->getNumProducts(), 1u);
  const std::vector<OBInterface*> species = children(m, "species");
  ASSERT_EQ(names(m, "species"), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(written->getReactant(0)->getSpecies(), componentOf(species.at(0))->getID());
  EXPECT_EQ(written->getProduct(0)->getSpecies(), componentOf(species.at(1))->getID());
}

TEST_F(SbmlHostTest, WriteToFileWithoutUnitDefinitions) {
  OBInterface* m = buildMainRoad(host());
  const std::string path = tempPath("road.xml");
  host().call(service(), "sbmlwrite", {host().handle(m), host().str(path.c_str()), host().logical(true)});
  const std::unique_ptr<SBMLDocument> document(readSBMLFromFile(path.c_str()));
  EXPECT_EQ(document->getModel()->getNumUnitDefinitions(), 0u);
  EXPECT_EQ(document->getModel()->getNumSpecies(), 2u);
  std::remove(path.c_str());
}

// The three lists of "qesbmlvalidate": fatal errors, errors, warnings.
TEST_F(SbmlHostTest, ValidateListsFatalErrorsErrorsAndWarnings) {
  const std::string valid =
      writeTempFile("valid.xml", l2v1("<listOfCompartments><compartment id=\"c\"/></listOfCompartments>"));
  std::vector<std::vector<std::string>> lists = validate(valid);
  EXPECT_TRUE(lists.at(0).empty());
  EXPECT_TRUE(lists.at(1).empty());

  const std::string dangling = writeTempFile(
      "dangling.xml", l2v1("<listOfCompartments><compartment id=\"c\"/></listOfCompartments>"
                           "<listOfReactions><reaction id=\"r\"><listOfReactants><speciesReference "
                           "species=\"ghost\"/></listOfReactants></reaction></listOfReactions>"));
  lists = validate(dangling);
  EXPECT_TRUE(lists.at(0).empty());
  ASSERT_FALSE(lists.at(1).empty());
  EXPECT_NE(lists.at(1).at(0).find(" : "), std::string::npos);

  const std::string notXml = writeTempFile("notxml.xml", "this is not XML");
  lists = validate(notXml);
  EXPECT_FALSE(lists.at(0).empty());

  lists = validate("/no/such/file.xml");
  EXPECT_EQ(lists.at(0), (std::vector<std::string>{"A hard error occurred."}));
  EXPECT_TRUE(lists.at(1).empty());
  EXPECT_TRUE(lists.at(2).empty());
  for (const std::string& path : {valid, dangling, notXml}) std::remove(path.c_str());
}

}  // namespace
}  // namespace sbmltest
