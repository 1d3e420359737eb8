// The fixture of the SBML tests: a started engine driven through the test
// host as a user's script would ("sbmlread", "sbmlwrite",
// "qesbmlvalidate"), small SBML documents to read, and a check that nothing
// is left alive when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <ks_utils/Errors.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "support/EngineHostFixture.hpp"

namespace sbmltest {

// An SBML level 2 version 1 document around the text of a model element's
// lists.
inline std::string l2v1(const std::string& lists, const std::string& modelAttributes = "id=\"m\"") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<sbml xmlns=\"http://www.sbml.org/sbml/level2\" level=\"2\" version=\"1\">\n"
         "<model " + modelAttributes + ">\n" + lists + "</model>\n</sbml>\n";
}

// The path of a file of that name in a temporary folder of this test
// process's own, removed with what is left in it when the process ends:
// tests run in parallel, and several write files of the same name.
inline std::string tempPath(const std::string& name) {
  struct Folder {
    std::filesystem::path path =
        std::filesystem::path(testing::TempDir()) / ("sbml-tests-" + std::to_string(getpid()));
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static const Folder folder;
  return (folder.path / name).string();
}

// Writes the content to a file of that name in the test's temporary folder;
// returns its path.
inline std::string writeTempFile(const std::string& name, const std::string& content) {
  const std::string path = tempPath(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

// A MathML element around the content.
inline std::string math(const std::string& content) {
  return "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">" + content + "</math>";
}

// A model with an owned compartment, species in amount and concentration
// units, a parameter, a reaction with a modifier and a kinetic law, and a
// reaction without reactants.
inline std::string mainRoadModel() {
  return l2v1(
    "<listOfCompartments>"
    "<compartment id=\"cell\" name=\"Cell\" size=\"2\" units=\"litre\"/>"
    "<compartment id=\"nuc\" name=\"Nucleus\" size=\"3\" outside=\"cell\"/>"
    "</listOfCompartments>"
    "<listOfSpecies>"
    "<species id=\"A\" name=\"Alpha\" compartment=\"cell\" initialAmount=\"5\" substanceUnits=\"mole\" "
    "hasOnlySubstanceUnits=\"true\" charge=\"2\" boundaryCondition=\"true\"/>"
    "<species id=\"B\" compartment=\"nuc\" initialConcentration=\"0.5\" substanceUnits=\"mole\" "
    "spatialSizeUnits=\"litre\"/>"
    "<species id=\"M\" compartment=\"cell\" initialAmount=\"1\"/>"
    "</listOfSpecies>"
    "<listOfParameters><parameter id=\"k1\" name=\"k one\" value=\"0.25\" constant=\"false\"/></listOfParameters>"
    "<listOfReactions>"
    "<reaction id=\"r1\" name=\"conversion\" reversible=\"false\" fast=\"true\">"
    "<listOfReactants><speciesReference species=\"A\" stoichiometry=\"2\"/></listOfReactants>"
    "<listOfProducts><speciesReference species=\"B\"/></listOfProducts>"
    "<listOfModifiers><modifierSpeciesReference species=\"M\"/></listOfModifiers>"
    "<kineticLaw>" + math("<apply><times/><ci>k1</ci><ci>A</ci><ci>M</ci></apply>") + "</kineticLaw>"
    "</reaction>"
    "<reaction id=\"source\"><listOfProducts><speciesReference species=\"A\"/></listOfProducts></reaction>"
    "</listOfReactions>",
    "id=\"main\" name=\"Main road\"");
}

class SbmlHostTest : public EngineHostTest {
 protected:
  // The shared fixture's start, with this fixture's own warm-up before the
  // host starts.
  void SetUp() override {
    hbTestSetEcho(false);
    warmUp();
    startHost();
    startHealth_ = TestHost::health();
  }

  // Gives back the service object, then the shared fixture's end.
  void TearDown() override {
    if (service_ && host_) host().release(service_);
    EngineHostTest::TearDown();
  }

  // Process-wide storage (class tables, parsers, the unit manager's base
  // names) is grown once before the health is taken.
  static void warmUp() {
    TestHost warm;
    warm.start();
    OBInterface* rw = warm.construct("SBMLReadWrite");
    const std::string text = l2v1(
        "<listOfCompartments><compartment id=\"c\"/><compartment id=\"d\" outside=\"c\"/></listOfCompartments>"
        "<listOfSpecies><species id=\"A\" compartment=\"c\" initialAmount=\"1\"/>"
        "<species id=\"B\" compartment=\"d\" initialConcentration=\"1\" substanceUnits=\"mole\" "
        "spatialSizeUnits=\"litre\" charge=\"1\"/></listOfSpecies>"
        "<listOfParameters><parameter id=\"k\" value=\"1\"/></listOfParameters>"
        "<listOfReactions><reaction id=\"r\" fast=\"true\"><listOfReactants><speciesReference species=\"A\"/>"
        "</listOfReactants><listOfProducts><speciesReference species=\"B\"/></listOfProducts>"
        "<listOfModifiers><modifierSpeciesReference species=\"A\"/></listOfModifiers>"
        "<kineticLaw>" + math("<apply><times/><ci>k</ci><ci>A</ci></apply>") +
        "</kineticLaw></reaction></listOfReactions>");
    std::vector<qxArray*> read =
        warm.call(rw, "sbmlread", {warm.str(text.c_str()), warm.cell({warm.str("stream")})}, 1);
    warm.call(rw, "sbmlwrite", {read.at(0)}, 1);
    OBInterface* model = objectOf(read.at(0));
    for (const char* property : {"Name", "ID", "Reactions"}) warm.get(model, property);
    OBInterface* reaction = objectOf(warm.get(model, "Reactions"));
    for (const char* property : {"Reaction", "ReactionRate", "Name"}) warm.getString(reaction, property);
    warm.call(rw, "sbmlread", {warm.str(mainRoadModel().c_str()), warm.cell({warm.str("stream")})}, 1);
    warm.release(rw);
    warm.call(getOBIRoot(), "reset");
  }

  // A fresh started host in place of the current one, with the health
  // taken again: for fixtures whose own warm-up grows process-wide storage.
  void restartHost() {
    if (service_) host().release(service_);
    service_ = nullptr;
    host_.reset();
    startHost();
    startHealth_ = TestHost::health();
  }

  OBInterface* service() {
    if (!service_) service_ = host().construct("SBMLReadWrite");
    return service_;
  }

  // Reads SBML text; returns the new model.
  OBInterface* readText(const std::string& text, std::initializer_list<const char*> extra = {}) {
    std::vector<qxArray*> options{host().str("stream")};
    for (const char* option : extra) options.push_back(host().str(option));
    qxArray* cell = host().own(qxCreateCellMatrix(1, options.size()));
    for (size_t i = 0; i < options.size(); ++i) qxSetCell(cell, i, qxDuplicateArray(options[i]));
    return objectOf(host().call(service(), "sbmlread", {host().str(text.c_str()), cell}, 1).at(0));
  }
  OBInterface* readFile(const std::string& file) {
    return objectOf(host().call(service(), "sbmlread", {host().str(file.c_str())}, 1).at(0));
  }
  std::string writeText(OBInterface* model) {
    return textOf(host().call(service(), "sbmlwrite", {host().handle(model)}, 1).at(0));
  }

  // The error the body raised, checked against the identifier.
  template <class Body>
  HostCallError expectError(Body body, const std::string& id) {
    std::optional<HostCallError> error = TestHost::errorOf(body);
    EXPECT_TRUE(error.has_value()) << "no error; expected " << id;
    if (!error) return {};
    EXPECT_EQ(error->id, id) << error->message;
    return *error;
  }

  // The three lists "qesbmlvalidate" gives for the file: fatal errors,
  // errors and warnings.
  std::vector<std::vector<std::string>> validate(const std::string& path);

  // How many warnings with that identifier were given.
  size_t warningCount(const std::string& id) const;
  // The number of models below the root.
  size_t modelCount();

  // The components of a model of a type keyword, in tree order.
  std::vector<OBInterface*> children(OBInterface* model, const char* type);
  std::vector<std::string> names(OBInterface* model, const char* type);

 private:
  OBInterface* service_ = nullptr;
};

}  // namespace sbmltest
