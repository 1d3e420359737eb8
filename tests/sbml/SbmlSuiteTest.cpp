// Every SBML Test Suite model read as a user would ("sbmlread"): it reads or
// ends with a "Kestrion:" or "SBML:" error and leaves nothing behind; a model
// that reads verifies (or refuses only rates that call functions the engine
// does not know), has the net stoichiometry libSBML reports for the file
// (reactions with stoichiometryMath excepted), is written as a document with
// no consistency error the file did not have (calls of the function
// definitions the read drops with a warning excepted), that keeps the file's
// metaids and CV terms, reads again with the same species, reactions and
// stoichiometry, and is written again the same.  The
// files are split into shards that run as separate tests.
#include <sbml/SBMLTypes.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "SbmlDocumentCompare.hpp"
#include "SbmlHostFixture.hpp"
#include "core/KelborComponent.hpp"
#include "support/SbmlSuiteFiles.hpp"

namespace sbmltest {
namespace {

namespace fs = std::filesystem;
using NetTable = SbmlNetTable;
constexpr int kShards = 8;

bool hasEventDelay(const Model& model) {
  for (unsigned i = 0; i < model.getNumEvents(); ++i)
    if (model.getEvent(i)->isSetDelay()) return true;
  return false;
}

class SbmlSuiteTest : public SbmlHostTest, public ::testing::WithParamInterface<int> {
 protected:
  // The engine's net stoichiometry through "matrixCallObj", rows and
  // columns labelled by the species' and reactions' "ID".
  NetTable engineNets(OBInterface* model) {
    OBInterface* calls = host().construct("matrixCallObj");
    qxArray* order = host().call(calls, "getSpecParamsCompileOrder", {host().handle(model)}, 1).at(0);
    qxArray* matrix = host().call(calls, "getStoichMatrix", {host().handle(model)}, 1).at(0);
    host().release(calls);
    qxArray* reactions = host().get(model, "Reactions");
    NetTable nets;
    const size_t* jc = matrix->get_jc();
    for (size_t c = 0; jc && c < qxGetN(matrix); ++c) {
      const std::string reaction = componentOf(static_cast<OBInterface*>(qxGetHandle(reactions, c)))->getID();
      for (size_t k = jc[c]; k < jc[c + 1]; ++k) {
        const auto* species = componentOf(static_cast<OBInterface*>(qxGetHandle(order, matrix->get_ir()[k])));
        if (matrix->get_pdata()[k] != 0.0) nets[{species->getID(), reaction}] = matrix->get_pdata()[k];
      }
    }
    return nets;
  }

  // The ids of the file's compartments, species, parameters and local
  // parameters: what a rate of the read model may name.
  static std::set<std::string> elementIds(const Model& sbml) {
    std::set<std::string> ids;
    for (unsigned i = 0; i < sbml.getNumCompartments(); ++i) ids.insert(sbml.getCompartment(i)->getId());
    for (unsigned i = 0; i < sbml.getNumSpecies(); ++i) ids.insert(sbml.getSpecies(i)->getId());
    for (unsigned i = 0; i < sbml.getNumParameters(); ++i) ids.insert(sbml.getParameter(i)->getId());
    for (unsigned i = 0; i < sbml.getNumReactions(); ++i) {
      const KineticLaw* law = sbml.getReaction(i)->getKineticLaw();
      for (unsigned k = 0; law && k < law->getNumParameters(); ++k) ids.insert(law->getParameter(k)->getId());
    }
    return ids;
  }

  // "verify" passes, or refuses only rates that call a function the engine
  // does not know (a dropped function definition, a MathML function without
  // a host form): never for an element of the file that the read lost.
  void expectVerifies(const Model& sbml, OBInterface* model) {
    const std::optional<HostCallError> error = TestHost::errorOf([&] { host().call(model, "verify", {}); });
    if (!error) return;
    EXPECT_EQ(error->id, "Kestrion:ReactionObjectDoesNotResolve") << error->message;
    const std::set<std::string> ids = elementIds(sbml);
    std::istringstream lines(error->message);
    for (std::string line; std::getline(lines, line);) {
      const size_t open = line.find('\'');
      const size_t close = line.find('\'', open + 1);
      ASSERT_NE(close, std::string::npos) << line;
      const std::string name = line.substr(open + 1, close - open - 1);
      EXPECT_EQ(ids.count(name), 0u) << line;
    }
  }

  // Reads, checks and writes one file; answers whether it read.
  bool checkFile(const fs::path& file, size_t& dropped) {
    const std::unique_ptr<SBMLDocument> original(readSBMLFromFile(file.c_str()));
    const Model& sbml = *original->getModel();
    std::optional<HostCallError> error;
    OBInterface* model = nullptr;
    error = TestHost::errorOf([&] { model = readFile(file.string()); });
    if (error) {
      EXPECT_TRUE(error->id.rfind("Kestrion:", 0) == 0 || error->id.rfind("SBML:", 0) == 0) << error->id;
      EXPECT_EQ(modelCount(), 0u);
      return false;
    }
    expectVerifies(sbml, model);
    if (!hasStoichiometryMath(sbml)) {
      EXPECT_EQ(engineNets(model), libsbmlNets(sbml, [](const std::string& id) { return id; }));
    }
    const std::string written = writeText(model);
    const std::unique_ptr<SBMLDocument> back(readSBMLFromString(written.c_str()));
    if (sbml.getNumFunctionDefinitions() > 0 || hasEventDelay(sbml)) ++dropped;
    expectNoNewErrors(*original, *back, written);
    expectIncludes(metaIdsAndCvTerms(*back), metaIdsAndCvTerms(*original));
    OBInterface* again = readText(written);
    EXPECT_EQ(names(again, "species"), names(model, "species"));
    EXPECT_EQ(names(again, "reaction"), names(model, "reaction"));
    EXPECT_EQ(engineNets(again), engineNets(model));
    // A second round trip changes nothing.
    const std::unique_ptr<SBMLDocument> twice(readSBMLFromString(writeText(again).c_str()));
    EXPECT_EQ(describeDocument(*twice), describeDocument(*back));
    return true;
  }

  // The written document has no consistency error the file did not have;
  // calls of the function definitions the read drops (with a warning) are
  // the one exception.
  static void expectNoNewErrors(SBMLDocument& original, SBMLDocument& written, const std::string& text) {
    std::set<unsigned> had;
    for (const std::string& error : sbmltest::consistencyErrors(original)) had.insert(std::stoul(error));
    if (original.getModel()->getNumFunctionDefinitions() > 0) had.insert(10214);
    for (const std::string& error : sbmltest::consistencyErrors(written)) {
      EXPECT_TRUE(had.count(std::stoul(error))) << error << "\n" << text;
    }
  }

  static void expectIncludes(const std::vector<std::string>& written, const std::vector<std::string>& original) {
    const std::set<std::string> have(written.begin(), written.end());
    for (const std::string& line : original) EXPECT_TRUE(have.count(line)) << line << " is lost";
  }
};

TEST_P(SbmlSuiteTest, ReadsWritesAndReadsAgain) {
  const std::vector<fs::path> files = sbmlSuiteFiles();
  if (files.empty()) GTEST_SKIP() << "no SBML Test Suite cases in " << KELBOR_TESTDATA_DIR;
  size_t read = 0;
  size_t dropped = 0;
  size_t refused = 0;
  for (size_t i = static_cast<size_t>(GetParam()); i < files.size(); i += kShards) {
    SCOPED_TRACE(files[i].filename().string());
    if (checkFile(files[i], dropped)) {
      ++read;
    } else {
      ++refused;
    }
    host().clearLogs();
    host().call(getOBIRoot(), "reset");
  }
  RecordProperty("read", static_cast<int>(read));
  RecordProperty("refused", static_cast<int>(refused));
  RecordProperty("with_dropped_features", static_cast<int>(dropped));
  EXPECT_GT(read, 0u);
}

INSTANTIATE_TEST_SUITE_P(Shards, SbmlSuiteTest, ::testing::Range(0, kShards));

}  // namespace
}  // namespace sbmltest
