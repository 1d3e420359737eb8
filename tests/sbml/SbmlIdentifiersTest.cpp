// Identifiers and names of an SBML read: kinetic-law parameters keep their
// ids within their law, names a formula writes resolve to the component the
// MathML names, names the model cannot take fall back to the id, and
// duplicate names get the next free suffix.
#include <sbml/SBMLTypes.h>

#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "SbmlHostFixture.hpp"
#include "TokenResolution.hpp"
#include "core/KelborComponent.hpp"
#include "kinetics/BKineticLaw.hpp"
#include "quantities/BParameter.hpp"
#include "reactions/BReaction.hpp"
#include "support/SbmlMeaning.hpp"

namespace sbmltest {
namespace {

std::string reaction(const std::string& id, const std::string& species, const std::string& rate,
                     const std::string& locals) {
  return "<reaction id=\"" + id + "\"><listOfReactants><speciesReference species=\"" + species +
         "\"/></listOfReactants><kineticLaw>" + math(rate) + "<listOfParameters>" + locals +
         "</listOfParameters></kineticLaw></reaction>";
}

const std::string kTimesK = "<apply><times/><ci>k</ci><ci>A</ci></apply>";
const std::string kTwoSpecies =
    "<listOfCompartments><compartment id=\"c\" size=\"2\"/></listOfCompartments>"
    "<listOfSpecies><species id=\"A\" compartment=\"c\" initialAmount=\"1\"/>"
    "<species id=\"B\" compartment=\"c\" initialAmount=\"1\"/></listOfSpecies>";

// Reads, writes and compares the meaning of the two documents; returns the
// model read.
class SbmlIdentifiersTest : public SbmlHostTest {
 protected:
  OBInterface* roundTrip(const std::string& text) {
    OBInterface* m = readText(text);
    const std::string written = writeText(m);
    const std::unique_ptr<SBMLDocument> original(readSBMLFromString(text.c_str()));
    const std::unique_ptr<SBMLDocument> back(readSBMLFromString(written.c_str()));
    const sbmlmeaning::Comparison comparison = sbmlmeaning::compareMeaning(*original->getModel(), *back->getModel());
    for (const std::string& difference : comparison.differences) ADD_FAILURE() << difference << "\n" << written;
    writtenBack_ = written;
    return m;
  }

  // "name/id=value" of each parameter of the reaction's kinetic law.
  std::vector<std::string> locals(OBInterface* reaction) {
    std::vector<std::string> out;
    BKineticLaw* law = dynamic_cast<BReaction*>(componentOf(reaction))->getKineticLawApi();
    if (!law) return out;
    for (const BParameter* p : *law->getParameters()) {
      out.push_back(p->getName() + "/" + (p->getID() ? p->getID() : "") + "=" + std::to_string(p->getInitialValue()));
    }
    return out;
  }

  std::string writtenBack_;
};

// A local "k" in every reaction, and one that shadows a global "k": each
// keeps the file's id as identifier and name, and the rate names it.
TEST_F(SbmlIdentifiersTest, LocalParametersKeepTheirIdsWithinTheirLaw) {
  struct Row {
    const char* what;
    std::string globals;
    std::vector<std::string> firstLocals;
    std::vector<std::string> secondLocals;
    std::vector<std::string> globalNames;
  };
  const std::string k2 = "<parameter id=\"k\" value=\"2\"/>";
  const std::string k3 = "<parameter id=\"k\" value=\"3\"/>";
  const Row rows[] = {
      {"a local k in two reactions", "", {"k/k=2.000000"}, {"k/k=3.000000"}, {}},
      {"locals shadowing a global k", "<listOfParameters><parameter id=\"k\" value=\"5\"/></listOfParameters>",
       {"k/k=2.000000"}, {"k/k=3.000000"}, {"k"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string text = l2v1(kTwoSpecies + row.globals + "<listOfReactions>" +
                                  reaction("r1", "A", kTimesK, k2) + reaction("r2", "B", kTimesK, k3) +
                                  "</listOfReactions>");
    OBInterface* m = roundTrip(text);
    const std::vector<OBInterface*> reactions = children(m, "reaction");
    ASSERT_EQ(reactions.size(), 2u);
    EXPECT_EQ(locals(reactions[0]), row.firstLocals);
    EXPECT_EQ(locals(reactions[1]), row.secondLocals);
    EXPECT_EQ(host().getString(reactions[0], "ReactionRate"), "k * A");
    EXPECT_EQ(host().getString(reactions[1], "ReactionRate"), "k * A");
    EXPECT_EQ(names(m, "parameter").size(), row.globalNames.size() + 2);
    const std::unique_ptr<SBMLDocument> back(readSBMLFromString(writtenBack_.c_str()));
    for (unsigned i = 0; i < 2; ++i) {
      const Parameter* local = back->getModel()->getReaction(i)->getKineticLaw()->getParameter(0);
      EXPECT_EQ(local->getId(), "k") << writtenBack_;
      EXPECT_EQ(local->getName(), "k") << writtenBack_;
    }
    host().call(getOBIRoot(), "reset");
  }
}

// Crafted files whose names could bind formulas to the wrong component:
// every name of every rate, rule and event resolves to the component whose
// id the MathML names, and the written file means what the file meant.
// Rows with a fault that other work mends say so; they must still fail.
struct BindingRow {
  const char* what;
  std::string lists;
  std::vector<std::string> parameterNames;  // the model's, in order; none: not checked
  const char* fault = nullptr;
};

const std::string kCellAtp =
    "<listOfCompartments><compartment id=\"c\" name=\"cell\" size=\"2\"/></listOfCompartments>"
    "<listOfSpecies><species id=\"S\" name=\"ATP\" compartment=\"c\" initialAmount=\"1\"/>"
    "<species id=\"T\" compartment=\"c\" initialAmount=\"1\"/></listOfSpecies>";

std::string rule(const std::string& kind, const std::string& variable, const std::string& content) {
  return "<" + kind + " variable=\"" + variable + "\">" + math(content) + "</" + kind + ">";
}

std::string parameters(const std::vector<std::string>& ids, const std::string& named = "") {
  std::string text = "<listOfParameters>";
  for (const std::string& id : ids) text += "<parameter id=\"" + id + "\" value=\"2\" constant=\"false\"/>";
  return text + named + "</listOfParameters>";
}

const BindingRow kBindingRows[] = {
    {"a local k in two reactions",
     kTwoSpecies + "<listOfReactions>" + reaction("r1", "A", kTimesK, "<parameter id=\"k\" value=\"2\"/>") +
         reaction("r2", "B", kTimesK, "<parameter id=\"k\" value=\"3\"/>") + "</listOfReactions>",
     {"k", "k"}},
    {"a local shadowing a global",
     kTwoSpecies + parameters({"k"}) + "<listOfReactions>" +
         reaction("r1", "A", kTimesK, "<parameter id=\"k\" value=\"3\"/>") +
         reaction("r2", "B", kTimesK, "") + "</listOfReactions>" +
         "<listOfRules>" + rule("rateRule", "k", "<cn>1</cn>") + "</listOfRules>",
     {"k", "k"}},
    {"a local whose id is the name of a global its law names",
     kTwoSpecies + parameters({}, "<parameter id=\"p\" name=\"k\" value=\"5\"/>") + "<listOfReactions>" +
         reaction("r1", "A", "<apply><times/><ci>p</ci><ci>k</ci><ci>A</ci></apply>",
                  "<parameter id=\"k\" value=\"3\"/>") +
         "</listOfReactions>",
     {"k", "k_1"}},
    {"parameters named like a species and a compartment",
     kCellAtp +
         parameters({}, "<parameter id=\"p_atp\" name=\"ATP\" value=\"2\" constant=\"false\"/>"
                        "<parameter id=\"p_cell\" name=\"cell\" value=\"3\"/>") +
         "<listOfRules>" + rule("assignmentRule", "p_atp", "<apply><times/><cn>2</cn><ci>S</ci></apply>") +
         "</listOfRules><listOfReactions>" +
         reaction("r", "T", "<apply><times/><ci>p_atp</ci><ci>p_cell</ci><ci>T</ci><ci>c</ci></apply>", "") +
         "</listOfReactions><listOfEvents><event id=\"e\"><trigger>" +
         math("<apply><gt/><ci>S</ci><ci>p_cell</ci></apply>") +
         "</trigger><listOfEventAssignments><eventAssignment variable=\"T\">" + math("<ci>p_cell</ci>") +
         "</eventAssignment></listOfEventAssignments></event></listOfEvents>",
     {"ATP_1", "cell_1"}},
    {"a compartment named like a species",
     "<listOfCompartments><compartment id=\"c\" name=\"X\" size=\"2\"/></listOfCompartments>"
     "<listOfSpecies><species id=\"S\" name=\"X\" compartment=\"c\" initialAmount=\"1\"/></listOfSpecies>"
     "<listOfReactions>" + reaction("r", "S", "<apply><times/><ci>c</ci><ci>S</ci></apply>", "") +
         "</listOfReactions>",
     {}},
    {"a local named like a species",
     kTwoSpecies + "<listOfReactions>" +
         reaction("r", "A", "<apply><times/><ci>A</ci><ci>B</ci></apply>", "<parameter id=\"A\" value=\"3\"/>") +
         "</listOfReactions>",
     {"A_1"}},
    {"names in Greek and accented Latin",
     "<listOfCompartments><compartment id=\"c\" name=\"c\xC3\xA9llule\" size=\"2\"/></listOfCompartments>"
     "<listOfSpecies><species id=\"S\" name=\"I\xCE\xBA" "B\" compartment=\"c\" initialAmount=\"1\"/>"
     "<species id=\"T\" name=\"glucos\xC3\xA9\" compartment=\"c\" initialAmount=\"1\"/></listOfSpecies>"
     "<listOfParameters><parameter id=\"a\" name=\"\xCE\xB1-KG\" value=\"2\"/></listOfParameters>"
     "<listOfReactions>" + reaction("r", "S", "<apply><times/><ci>a</ci><ci>S</ci><ci>T</ci><ci>c</ci></apply>", "") +
         "</listOfReactions>",
     {"\xCE\xB1-KG"}},
    {"parameter ids that are MathML function and constant names",
     kTwoSpecies + parameters({"pow", "ln", "INF", "Pi", "sum"}) + "<listOfReactions>" +
         reaction("r", "A",
                  "<apply><times/><ci>pow</ci><ci>ln</ci><ci>INF</ci><ci>Pi</ci><ci>sum</ci><ci>A</ci></apply>", "") +
         "</listOfReactions>",
     {"pow", "ln", "INF", "Pi", "sum"}},
};

TEST_F(SbmlIdentifiersTest, NamesBindToTheComponentsTheirMathMLNames) {
  for (const BindingRow& row : kBindingRows) {
    SCOPED_TRACE(row.what);
    const std::string text = l2v1(row.lists);
    OBInterface* m = readText(text);
    const std::unique_ptr<SBMLDocument> original(readSBMLFromString(text.c_str()));
    std::vector<std::string> faults = tokenResolutionFaults(*kelbor(m), *original->getModel());
    const std::string written = writeText(m);
    const std::unique_ptr<SBMLDocument> back(readSBMLFromString(written.c_str()));
    for (const std::string& difference :
         sbmlmeaning::compareMeaning(*original->getModel(), *back->getModel()).differences) {
      faults.push_back("written back: " + difference);
    }
    if (row.fault) {
      EXPECT_FALSE(faults.empty()) << "marked (" << row.fault << ") but binds: remove the mark";
      for (const std::string& fault : faults) std::cout << row.what << " (" << row.fault << "): " << fault << "\n";
    } else {
      for (const std::string& fault : faults) ADD_FAILURE() << fault << "\n" << written;
    }
    std::vector<std::string> parameterNames;
    for (OBInterface* p : children(m, "parameter")) parameterNames.push_back(componentOf(p)->getName());
    if (!row.parameterNames.empty()) {
      EXPECT_EQ(parameterNames, row.parameterNames);
    }
    host().call(getOBIRoot(), "reset");
  }
}

}  // namespace
}  // namespace sbmltest

namespace sbmltest {
namespace {

// A name the model refuses (chemical names with "->", "null", "time", the
// prefix of unnamed reactions) falls back to the id, or to a name derived
// from both, with a warning naming both; the read goes on.
TEST_F(SbmlHostTest, RefusedNamesFallBackToTheIdAndTheReadGoesOn) {
  struct Row {
    const char* what;
    std::string lists;
    const char* type;
    std::vector<std::string> names;
  };
  const std::string c = "<listOfCompartments><compartment id=\"c\" size=\"1\"/></listOfCompartments>";
  const auto species = [](const std::string& id, const std::string& name) {
    return "<species id=\"" + id + "\" name=\"" + name + "\" compartment=\"c\" initialAmount=\"1\"/>";
  };
  const Row rows[] = {
      {"a chemical name with an arrow", c + "<listOfSpecies>" + species("glucan", "(1->3)-beta-D-glucan") +
                                            "</listOfSpecies>", "species", {"glucan"}},
      {"null and time", c + "<listOfSpecies>" + species("S0", "null") + species("S1", "time") + "</listOfSpecies>",
       "species", {"S0", "S1"}},
      {"an id refused too", c + "<listOfSpecies>" + species("time", "time") + species("null", "a->b") +
                                "</listOfSpecies>", "species", {"time_species", "a_to_b"}},
      {"a compartment", "<listOfCompartments><compartment id=\"cyt\" name=\"null\"/></listOfCompartments>",
       "compartment", {"cyt"}},
      {"a parameter", "<listOfParameters><parameter id=\"p\" name=\"time\"/></listOfParameters>", "parameter", {"p"}},
      {"a reaction", c + "<listOfSpecies>" + species("A", "A") + "</listOfSpecies><listOfReactions>"
                         "<reaction id=\"r1\" name=\"time\"><listOfReactants><speciesReference species=\"A\"/>"
                         "</listOfReactants></reaction><reaction id=\"r2\" name=\"UnnamedReaction_4\">"
                         "<listOfReactants><speciesReference species=\"A\"/></listOfReactants></reaction>"
                         "</listOfReactions>", "reaction", {"r1", "r2"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    host().clearLogs();
    OBInterface* m = readText(l2v1(row.lists));
    EXPECT_EQ(names(m, row.type), row.names);
    EXPECT_EQ(warningCount("Kestrion:SBMLNameReplaced"), row.names.size());
    host().call(getOBIRoot(), "reset");
  }
  // The warning names the refused name and the one in its place.
  host().clearLogs();
  readText(l2v1(c + "<listOfSpecies>" + species("glucan", "(1->3)-beta-D-glucan") + "</listOfSpecies>"));
  ASSERT_FALSE(host().warnings().empty());
  const std::string& message = host().warnings().back().text;
  EXPECT_NE(message.find("'(1->3)-beta-D-glucan'"), std::string::npos) << message;
  EXPECT_NE(message.find("'glucan'"), std::string::npos) << message;
  // Host methods still refuse such names.
  OBInterface* m = host().construct("Model", {host().str("m")});
  OBInterface* cell = objectOf(host().call(m, "addcompartment", {host().str("cell")}, 1).at(0));
  expectError([&] { host().call(cell, "addspecies", {host().str("a->b")}, 1); }, "Kestrion:KSTRSPECIES_INVALIDNAME");
}

// Names that differ only in white space are the same name: the later ones
// get the next free suffix instead of ending the read; a read of one name
// many times numbers them in order, past suffixes the file took itself.
TEST_F(SbmlHostTest, DuplicateNamesTakeTheNextFreeSuffix) {
  const std::string c = "<listOfCompartments><compartment id=\"c\" size=\"1\"/></listOfCompartments>";
  std::string species = "<listOfSpecies>";
  for (const char* name : {"A_2", "A", "A ", " A", "A"}) {
    species += "<species id=\"s" + std::to_string(species.size()) + "\" name=\"" + name +
               "\" compartment=\"c\" initialAmount=\"1\"/>";
  }
  species += "</listOfSpecies>";
  std::string reactions = "<listOfReactions>";
  for (const char* name : {"r", "r ", " r", "r"}) {
    reactions += "<reaction id=\"x" + std::to_string(reactions.size()) + "\" name=\"" + name +
                 "\"><listOfReactants><speciesReference species=\"s15\"/></listOfReactants></reaction>";
  }
  reactions += "</listOfReactions>";
  OBInterface* m = readText(l2v1(c + species + reactions));
  EXPECT_EQ(names(m, "species"), (std::vector<std::string>{"A_2", "A", "A_1", "A_3", "A_4"}));
  EXPECT_EQ(names(m, "reaction"), (std::vector<std::string>{"r", "r_1", "r_2", "r_3"}));
  EXPECT_EQ(warningCount("Kestrion:AddSpeciesDuplicateNameSBML"), 3u);
  EXPECT_EQ(warningCount("Kestrion:DuplicateReactionNameRename"), 3u);
}

}  // namespace
}  // namespace sbmltest
