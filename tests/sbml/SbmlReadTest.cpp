// Reading SBML as a user would: the model's components with their names,
// identifiers, values, units and stoichiometry, the read options, the
// warnings of the converters and the errors of bad input.
#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include <interp/interp.hpp>
#include <sbml/extension/SBMLExtensionRegistry.h>

#include "SbmlHostFixture.hpp"
#include "core/KelborComponent.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"

namespace sbmltest {
namespace {

const std::string kMainRoad = mainRoadModel();

TEST_F(SbmlHostTest, ReadsCompartmentsSpeciesParametersAndReactions) {
  OBInterface* m = readText(kMainRoad);
  EXPECT_EQ(host().getString(m, "Name"), "Main road");
  EXPECT_EQ(host().getString(m, "ID"), "main");
  EXPECT_EQ(names(m, "compartment"), (std::vector<std::string>{"Cell", "Nucleus"}));
  auto* nucleus = dynamic_cast<BCompartment*>(componentOf(children(m, "compartment").at(1)));
  ASSERT_NE(nucleus, nullptr);
  EXPECT_EQ(nucleus->getOwner()->getName(), "Cell");
  EXPECT_EQ(nucleus->getInitialValue(), 3.0);
  EXPECT_STREQ(nucleus->getID(), "nuc");

  // The tree lists the nucleus (moved below the cell) and its species first.
  const std::vector<OBInterface*> species = children(m, "species");
  EXPECT_EQ(names(m, "species"), (std::vector<std::string>{"B", "Alpha", "M"}));
  ASSERT_EQ(species.size(), 3u);
  auto* alpha = dynamic_cast<BSpecies*>(componentOf(species.at(1)));
  EXPECT_EQ(alpha->getName(), "Alpha");
  EXPECT_STREQ(alpha->getID(), "A");
  EXPECT_EQ(alpha->getInitialValue(), 5.0);
  EXPECT_EQ(alpha->getUnits(), "mole");
  EXPECT_EQ(*alpha->getCharge(), 2);
  EXPECT_TRUE(alpha->getBoundaryCondition());
  bool foundB = false;
  for (OBInterface* h : species) {
    auto* s = dynamic_cast<BSpecies*>(componentOf(h));
    if (s->getName() != "B") continue;
    foundB = true;
    EXPECT_EQ(s->getInitialValue(), 0.5);
    EXPECT_EQ(s->getUnits(), "mole/litre");
  }
  EXPECT_TRUE(foundB);

  EXPECT_EQ(names(m, "parameter"), (std::vector<std::string>{"k one"}));
  const std::vector<OBInterface*> reactions = children(m, "reaction");
  ASSERT_EQ(reactions.size(), 2u);
  auto* r1 = dynamic_cast<BReaction*>(componentOf(reactions.at(0)));
  EXPECT_EQ(r1->getName(), "conversion");
  EXPECT_STREQ(r1->getID(), "r1");
  EXPECT_FALSE(r1->getReversible());
  EXPECT_EQ(*r1->getFastThreshold(), 1.0);
  EXPECT_EQ(host().getString(reactions.at(0), "Reaction"), "2 Cell.Alpha + Cell.M -> Nucleus.B + Cell.M");
  EXPECT_EQ(host().getString(reactions.at(0), "ReactionRate"), "[k one] * Cell.Alpha * Cell.M");
  EXPECT_EQ(host().getString(reactions.at(1), "Reaction"), "null <-> Cell.Alpha");
  EXPECT_EQ(warningCount("Kestrion:InvalidSBMLFileWithMessage"), 0u);
}

// Each row: options given after the text, and whether the consistency
// check ran (a file with an undefined unit is invalid only when it runs).
TEST_F(SbmlHostTest, ReadOptionsSwitchTextAndConsistencyCheck) {
  const std::string invalid = l2v1(
      "<listOfCompartments><compartment id=\"c\"/></listOfCompartments>"
      "<listOfParameters><parameter id=\"p\" value=\"1\" units=\"nosuchunit\"/></listOfParameters>");
  struct Row {
    std::initializer_list<const char*> extra;
    bool checked;
  };
  for (const Row& row : {Row{{}, true}, Row{{"skipcc"}, false}, Row{{"skipcc", "skipcc"}, true}}) {
    host().clearLogs();
    readText(invalid, row.extra);
    EXPECT_EQ(warningCount("Kestrion:InvalidSBMLFileWithMessage"), row.checked ? 1u : 0u);
  }
  for (qxArray* options : {host().cell({host().str("Stream")}), host().str("stream"),
                           host().cell({host().num(1)})}) {
    expectError([&] { host().call(service(), "sbmlread", {host().str(invalid.c_str()), options}, 1); },
                "Kestrion:TooManyInputArgs");
  }
  // An empty cell keeps the defaults: the text is a file name then.
  expectError([&] { host().call(service(), "sbmlread", {host().str("no/such/file.xml"), host().cell({})}, 1); },
              "SBML:HardReadError");
}

// Bad input ends the read with the error that says what is wrong with the
// file (not readable XML, bad characters, an unsupported level or version,
// no model, a species in an unknown compartment, a value or name that the
// engine refuses) and leaves no model.
TEST_F(SbmlHostTest, BadInputRaisesAndLeavesNoModel) {
  struct Row {
    const char* name;
    std::string text;
    const char* id;
    const char* printed = nullptr;  // a text the read printed (libSBML's message)
  };
  const std::string compartment = "<listOfCompartments><compartment id=\"c\"/></listOfCompartments>";
  const Row rows[] = {
      {"empty.xml", "", "Kestrion:FatalSBMLReadError"},
      {"notxml.xml", "this is not XML", "Kestrion:FatalSBMLReadError"},
      {"badutf8.xml", l2v1(compartment, "id=\"m\" name=\"\xff\xfe\""), "Kestrion:READ_UNRECOGNIZED_CHARACTER"},
      {"l2v4.xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sbml xmlns=\"http://www.sbml.org/sbml/level2/version4\" level=\"2\" "
       "version=\"4\"><model id=\"m\"/></sbml>",
       "Kestrion:READ_INVALID_LEVEL_AND_VERSION"},
      {"l3.xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sbml xmlns=\"http://www.sbml.org/sbml/level3/version1/core\" level=\"3\" "
       "version=\"1\"><model id=\"m\"/></sbml>",
       "Kestrion:READ_INVALID_LEVEL_AND_VERSION"},
      {"nomodel.xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sbml xmlns=\"http://www.sbml.org/sbml/level2\" level=\"2\" version=\"1\"/>",
       "Kestrion:InvalidSBML"},
      {"unknowncompartment.xml",
       l2v1(compartment + "<listOfSpecies><species id=\"s\" compartment=\"nowhere\"/></listOfSpecies>"),
       "Kestrion:INVALID_COMPARTMENT_NAME_FOR_SPECIES_SBML"},
      {"negative.xml",
       l2v1(compartment + "<listOfSpecies><species id=\"s\" compartment=\"c\" initialAmount=\"-1\"/></listOfSpecies>"),
       "Kestrion:SPECIES_INITIALAMOUNT_INVALIDVALUE_SBML"},
      // A file cut short, and one whose tags do not match, are not XML.
      {"truncated.xml", l2v1(compartment).substr(0, 150), "Kestrion:FatalSBMLReadError"},
      {"mismatch.xml", l2v1("<listOfCompartments><compartment id=\"c\"/></listOfCompartment>"),
       "Kestrion:FatalSBMLReadError"},
      // An XML file that is not SBML at all.
      {"page.xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><head>"
       "<title>Model</title></head><body><p>Not a model</p></body></html>\n",
       "Kestrion:FatalSBMLReadError", "must conform to the XML Schema"},
      // libSBML reads the model of a file whose species lacks its
      // compartment (a missing required attribute): the species converter
      // refuses it.
      {"nocompartment.xml", l2v1(compartment + "<listOfSpecies><species id=\"s\" initialAmount=\"1\"/></listOfSpecies>"),
       "Kestrion:INVALID_COMPARTMENT_NAME_FOR_SPECIES_SBML"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = writeTempFile(row.name, row.text);
    hbTestClearPrinted();
    expectError([&] { readFile(path); }, row.id);
    EXPECT_EQ(modelCount(), 0u);
    if (row.printed) {
      EXPECT_NE(hbTestPrinted().find(row.printed), std::string::npos) << hbTestPrinted();
    }
    std::remove(path.c_str());
  }
  const HostCallError missing = expectError([&] { readFile("/no/such/dir/file.xml"); }, "SBML:HardReadError");
  EXPECT_NE(missing.message.find("/no/such/dir/file.xml"), std::string::npos);
  EXPECT_EQ(modelCount(), 0u);
}

// A well-formed file from which libSBML reads a model goes on to the
// converters, whatever libSBML says of its XML: without an XML declaration,
// with one without encoding, with a rule that lacks its variable.  Each row:
// the file, and the rules the model has.
TEST_F(SbmlHostTest, ReadableFilesGoOnToTheConverters) {
  struct Row {
    const char* name;
    std::string text;
    size_t rules;
    std::vector<std::string> warnings;
  };
  const std::string lists =
      "<listOfCompartments><compartment id=\"c\" name=\"cell\" size=\"1\"/></listOfCompartments>"
      "<listOfSpecies><species id=\"s\" name=\"S\" compartment=\"c\" initialAmount=\"1\"/></listOfSpecies>"
      "<listOfParameters><parameter id=\"p\" value=\"1\" constant=\"false\"/></listOfParameters>";
  const std::string full = l2v1(lists);
  const std::string body = full.substr(full.find('\n') + 1);
  const std::string noVariable = "<listOfRules><assignmentRule>" + math("<cn>3</cn>") +
                                 "</assignmentRule><rateRule>" + math("<cn>1</cn>") + "</rateRule></listOfRules>";
  const Row rows[] = {
      {"nodeclaration.xml", body, 0, {}},
      {"noencoding.xml", "<?xml version=\"1.0\"?>\n" + body, 0, {}},
      {"novariable.xml", l2v1(lists + noVariable), 0,
       {"Kestrion:RuleMissingRuleVar", "Kestrion:EmptyRuleVariable", "Kestrion:RuleMissingRuleVar",
        "Kestrion:EmptyRuleVariable"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = writeTempFile(row.name, row.text);
    host().clearLogs();
    OBInterface* m = readFile(path);
    EXPECT_EQ(names(m, "species"), (std::vector<std::string>{"S"}));
    EXPECT_EQ(names(m, "compartment"), (std::vector<std::string>{"cell"}));
    EXPECT_EQ(children(m, "rule").size(), row.rules);
    std::vector<std::string> converterWarnings;
    for (const hbRecordedWarning& w : hbTestWarnings()) {
      if (w.id != "Kestrion:InvalidSBMLFileWithMessage") converterWarnings.push_back(w.id);
    }
    EXPECT_EQ(converterWarnings, row.warnings);
    std::remove(path.c_str());
  }
}

// Recoverable faults are warnings; the rest of the model is read.
// libSBML throws, instead of logging, while it reads math under a namespace
// that does not go with the level and version; the read turns that into its
// level error.  libSBML loses the partly read document when it throws, so
// the leak checker of the sanitizer build would report the library's leak.
TEST_F(SbmlHostTest, NamespaceThatLibsbmlRefusesByThrowingIsTheLevelError) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "libSBML leaks the document it was reading when it throws";
#endif
  const std::string compartment = "<listOfCompartments><compartment id=\"c\"/></listOfCompartments>";
  const std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sbml xmlns=\"http://www.sbml.org/sbmModelel2\" level=\"2\" "
      "version=\"1\"><model id=\"m\">" + compartment +
      "<listOfSpecies><species id=\"s\" compartment=\"c\"/></listOfSpecies><listOfReactions><reaction id=\"r\">"
      "<listOfProducts><speciesReference species=\"s\"><stoichiometryMath>"
      "<math xmlns=\"http://www.w3.org/1998/Math/MathML\"><cn> 2 </cn></math></stoichiometryMath>"
      "</speciesReference></listOfProducts></reaction></listOfReactions></model></sbml>";
  const std::string path = writeTempFile("badnamespace.xml", text);
  expectError([&] { readFile(path); }, "Kestrion:READ_INVALID_LEVEL_AND_VERSION");
  EXPECT_EQ(modelCount(), 0u);
  std::remove(path.c_str());
}

TEST_F(SbmlHostTest, ConverterWarningsKeepTheRead) {
  const std::string text = l2v1(
      "<listOfFunctionDefinitions><functionDefinition id=\"f\">" +
      math("<lambda><bvar><ci>x</ci></bvar><ci>x</ci></lambda>") +
      "</functionDefinition></listOfFunctionDefinitions>"
      "<listOfCompartments><compartment id=\"c\" name=\"box\"/><compartment id=\"d\" name=\"box\"/>"
      "<compartment id=\"e\" name=\"in[1]\" outside=\"nowhere\"/></listOfCompartments>"
      "<listOfSpecies><species id=\"s1\" name=\"S\" compartment=\"c\"/><species id=\"s2\" name=\"S\" "
      "compartment=\"c\"/></listOfSpecies>"
      "<listOfParameters><parameter id=\"p\" name=\"k\"/><parameter id=\"q\" name=\"k\"/></listOfParameters>"
      "<listOfReactions><reaction id=\"r\" name=\"R\"><listOfReactants><speciesReference species=\"ghost\"/>"
      "<speciesReference species=\"s1\"><stoichiometryMath>" + math("<cn>2</cn>") +
      "</stoichiometryMath></speciesReference></listOfReactants></reaction>"
      "<reaction id=\"r2\" name=\"R\"><listOfProducts><speciesReference species=\"s2\"/></listOfProducts>"
      "</reaction></listOfReactions>");
  OBInterface* m = readText(text, {"skipcc"});
  EXPECT_EQ(warningCount("Kestrion:KS_FUNCTIONDEFS_NOT_SUPPORTED_FOR_VERSION"), 1u);
  EXPECT_EQ(warningCount("Kestrion:ADD_COMPARTMENT_DUPLICATE_NAME_SBML"), 1u);
  EXPECT_EQ(warningCount("Kestrion:SBMLBracketedNameUpdated"), 1u);
  EXPECT_EQ(warningCount("Kestrion:SBML_UNKNOWN_OUTSIDE_COMPARTMENT"), 1u);
  EXPECT_EQ(warningCount("Kestrion:AddSpeciesDuplicateNameSBML"), 1u);
  EXPECT_EQ(warningCount("Kestrion:AddParameterDuplicateNameSBML"), 1u);
  EXPECT_EQ(warningCount("Kestrion:KS_ReactionContainsSpeciesNotInList"), 1u);
  EXPECT_EQ(warningCount("Kestrion:StoichiometryMathNotSupported"), 1u);
  EXPECT_EQ(warningCount("Kestrion:DuplicateReactionNameRename"), 1u);
  EXPECT_EQ(names(m, "compartment"), (std::vector<std::string>{"box", "box_1", "in(1)"}));
  EXPECT_EQ(names(m, "species"), (std::vector<std::string>{"S", "S_1"}));
  EXPECT_EQ(names(m, "parameter"), (std::vector<std::string>{"k", "k_1"}));
  EXPECT_EQ(names(m, "reaction"), (std::vector<std::string>{"R", "R_1"}));
  EXPECT_EQ(host().getString(children(m, "reaction").at(0), "Reaction"), "box.S <-> null");
}

// A file of another tool with one compartment whose name is its id reads
// that compartment as "unnamed"; two such compartments keep their names.
TEST_F(SbmlHostTest, SingleCompartmentOfAnotherToolIsUnnamed) {
  OBInterface* one = readText(l2v1("<listOfCompartments><compartment id=\"c\" name=\"c\"/></listOfCompartments>"));
  EXPECT_EQ(names(one, "compartment"), (std::vector<std::string>{"unnamed"}));
  OBInterface* two = readText(l2v1(
      "<listOfCompartments><compartment id=\"c\" name=\"c\"/><compartment id=\"d\" name=\"d\"/></listOfCompartments>"));
  EXPECT_EQ(names(two, "compartment"), (std::vector<std::string>{"c", "d"}));
}

// A read started while another one runs is refused, and the outer read
// fails cleanly.
TEST_F(SbmlHostTest, NestedReadIsRefused) {
  std::optional<HostCallError> inner;
  interpRegisterFunction("addcompartment", [&](int, qxArray* plhs[], int, qxArray*[]) {
    inner = TestHost::errorOf([&] { readText(l2v1("")); });
    plhs[0] = nullptr;
    throw ErrorIdException("test:Stop", "stopped");
  });
  expectError([&] { readText(l2v1("<listOfCompartments><compartment id=\"c\"/></listOfCompartments>")); },
              "test:Stop");
  interpUnregisterFunction("addcompartment");
  ASSERT_TRUE(inner.has_value());
  EXPECT_EQ(inner->id, "Kestrion:SBMLReadWriteBusy");
  EXPECT_EQ(modelCount(), 0u);
}

// libSBML's packages extend level 3; two of them also read level 2
// annotations (layout, render) and would write them back in their own
// form.  The read parses without them, so such an annotation stays as the
// file wrote it, in the model and in what "sbmlwrite" gives; and whatever
// the read's outcome, each package is switched on or off after it as it
// was before (qual is switched off first, and stays off).
TEST_F(SbmlHostTest, PackageAnnotationsStayAsWrittenAndPackagesAsTheyWere) {
  const std::string layouts =
      "<listOfLayouts xmlns=\"http://projects.eml.org/bcb/sbml/level2\">"
      "<layout id=\"L1\"><dimensions width=\"400\" height=\"300\"/><listOfSpeciesGlyphs>"
      "<speciesGlyph id=\"g1\" species=\"A\"><boundingBox><position x=\"10\" y=\"20\"/>"
      "<dimensions width=\"40\" height=\"20\"/></boundingBox></speciesGlyph>"
      "</listOfSpeciesGlyphs></layout></listOfLayouts>";
  const std::string text = l2v1(
      "<annotation>" + layouts + "</annotation>"
      "<listOfCompartments><compartment id=\"cell\" size=\"2\"/></listOfCompartments>"
      "<listOfSpecies><species id=\"A\" compartment=\"cell\" initialAmount=\"1\"/>"
      "<species id=\"B\" compartment=\"cell\" initialAmount=\"0\"/></listOfSpecies>"
      "<listOfParameters><parameter id=\"k\" value=\"0.5\"/></listOfParameters>"
      "<listOfReactions><reaction id=\"R\" reversible=\"false\">"
      "<listOfReactants><speciesReference species=\"A\"><annotation>"
      "<layoutId xmlns=\"http://projects.eml.org/bcb/sbml/level2\" id=\"ref1\"/></annotation>"
      "</speciesReference></listOfReactants>"
      "<listOfProducts><speciesReference species=\"B\"/></listOfProducts>"
      "<kineticLaw>" + math("<apply><times/><ci>k</ci><ci>A</ci></apply>") + "</kineticLaw>"
      "</reaction></listOfReactions>");
  const std::vector<std::string> packages = SBMLExtensionRegistry::getAllRegisteredPackageNames();
  ASSERT_FALSE(packages.empty());
  // qual as it was for the tests after this one, whatever this one ends in.
  struct QualRestored {
    bool wasOn = SBMLExtensionRegistry::isPackageEnabled("qual");
    ~QualRestored() {
      if (wasOn) SBMLExtensionRegistry::enablePackage("qual");
    }
  } qualRestored;
  SBMLExtensionRegistry::disablePackage("qual");
  std::map<std::string, bool> before;
  for (const std::string& name : packages) before[name] = SBMLExtensionRegistry::isPackageEnabled(name);
  const auto packagesAsBefore = [&](const char* after) {
    for (const std::string& name : packages) {
      EXPECT_EQ(SBMLExtensionRegistry::isPackageEnabled(name), before[name]) << name << " after " << after;
    }
  };
  // The written annotation is read from the text of the one model element.
  const auto modelAnnotationOf = [](const std::string& written) {
    const size_t model = written.find("<model ");
    const size_t from = written.find("<annotation>", model);
    return written.substr(from, written.find("</annotation>", from) - from);
  };
  for (std::initializer_list<const char*> options : {std::initializer_list<const char*>{},
                                                      std::initializer_list<const char*>{"skipcc"}}) {
    OBInterface* model = readText(text, options);
    packagesAsBefore("a read");
    EXPECT_EQ(host().getString(objectOf(host().get(model, "Reactions")), "ReactionRate"), "k * A");
    // libSBML indents what it gives; each element keeps the file's form.
    for (const std::string& annotation : {host().getString(model, "Annotation"), modelAnnotationOf(writeText(model))}) {
      for (const char* element : {"<listOfLayouts xmlns=\"http://projects.eml.org/bcb/sbml/level2\">",
                                  "<layout id=\"L1\">", "<dimensions width=\"400\" height=\"300\"/>",
                                  "<speciesGlyph id=\"g1\" species=\"A\">", "<position x=\"10\" y=\"20\"/>"}) {
        EXPECT_NE(annotation.find(element), std::string::npos) << element << " in " << annotation;
      }
      EXPECT_EQ(annotation.find("layout:"), std::string::npos) << annotation;
    }
  }
  // A level 3 file that needs a package is refused for its level, as before.
  const std::string levelThree =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<sbml xmlns=\"http://www.sbml.org/sbml/level3/version1/core\" level=\"3\" version=\"1\" "
      "xmlns:fbc=\"http://www.sbml.org/sbml/level3/version1/fbc/version2\" fbc:required=\"false\">"
      "<model id=\"m\" fbc:strict=\"false\"/></sbml>";
  expectError([&] { readText(levelThree); }, "Kestrion:READ_INVALID_LEVEL_AND_VERSION");
  packagesAsBefore("a refused read");
}

}  // namespace
}  // namespace sbmltest
