// The stoichiometry matrix of every SBML Test Suite model that the host can
// build equals the net stoichiometry that libSBML reads from the same file.
// Each model is built through the host methods a user's script calls
// (addcompartment, addspecies, addreaction) from libSBML's reading of the
// file; models with stoichiometryMath, which the engine reads as 1, are
// left out.
#include <sbml/SBMLTypes.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include <ks_utils/Identifiers.hpp>

#include "MatrixCallsHostFixture.hpp"
#include "support/SbmlSuiteFiles.hpp"

namespace ctest {
namespace {

namespace fs = std::filesystem;
using NetTable = SbmlNetTable;

std::string hostName(const std::string& id) {
  return isValidPELLAMIdentifier(id) ? id : "[" + id + "]";
}

class SbmlSuite : public MatrixCallsHost {
 protected:
  // The name of a species as the engine displays it.
  std::string speciesName(const Model& model, const std::string& id) const {
    const std::string name = hostName(id);
    if (model.getNumCompartments() < 2) return name;
    return hostName(model.getSpecies(id)->getCompartment()) + "." + name;
  }

  std::string side(const Model& model, const ListOf* terms) const {
    std::string text;
    for (unsigned k = 0; k < terms->size(); ++k) {
      const auto* term = static_cast<const SpeciesReference*>(terms->get(k));
      if (!text.empty()) text += " + ";
      if (term->getStoichiometry() != 1.0) {
        char number[40];
        std::snprintf(number, sizeof(number), "%.17g ", term->getStoichiometry());
        text += number;
      }
      text += speciesName(model, term->getSpecies());
    }
    return text.empty() ? "null" : text;
  }

  // Net coefficients by (species name, reaction), zeros dropped.
  NetTable expectedNets(const Model& model) const {
    return libsbmlNets(model, [&](const std::string& id) { return speciesName(model, id); });
  }

  // Builds the model through the host; false when the host refuses it.
  bool build(OBInterface* m, const Model& model) {
    return !TestHost::errorOf([&] {
      std::map<std::string, OBInterface*> compartments;
      for (unsigned i = 0; i < model.getNumCompartments(); ++i) {
        const std::string id = model.getCompartment(i)->getId();
        compartments[id] = call1(m, "addcompartment", {host().str(id.c_str())});
      }
      for (unsigned i = 0; i < model.getNumSpecies(); ++i) {
        const Species* s = model.getSpecies(i);
        call1(compartments.at(s->getCompartment()), "addspecies",
              {host().str(s->getId().c_str())});
      }
      for (unsigned i = 0; i < model.getNumReactions(); ++i) {
        const Reaction* r = model.getReaction(i);
        const std::string equation = side(model, r->getListOfReactants()) +
                                     (r->getReversible() ? " <-> " : " -> ") +
                                     side(model, r->getListOfProducts());
        OBInterface* reaction = addReaction(m, equation.c_str());
        host().set(reaction, "Name", host().str(r->getId().c_str()));
      }
    });
  }

  // The engine's matrix by (species name, reaction name).
  NetTable engineNets(OBInterface* m) {
    std::vector<qxArray*> outs = matrixCall("getStoichMatrix", {host().handle(m)}, 3);
    NetTable nets;
    if (qxIsEmpty(outs.at(0))) return nets;
    const std::vector<std::string> species = texts(outs[1]);
    const std::vector<std::string> reactions = texts(outs[2]);
    for (const auto& [cell, value] : readSparse(outs[0]).cells) {
      nets[{species.at(cell.first), reactions.at(cell.second)}] = value;
    }
    return nets;
  }
};

TEST_F(SbmlSuite, StoichiometryMatchesLibsbml) {
  if (!fs::is_directory(sbmlSuiteFolder())) GTEST_SKIP() << "no SBML Test Suite cases in " << sbmlSuiteFolder();
  const std::vector<fs::path> files = sbmlSuiteFiles();
  size_t compared = 0;
  size_t withMath = 0;
  std::vector<std::string> refused;
  for (const fs::path& file : files) {
    const std::unique_ptr<SBMLDocument> document(readSBMLFromFile(file.c_str()));
    const Model* model = document->getModel();
    if (!model) continue;
    if (hasStoichiometryMath(*model)) {
      ++withMath;
      continue;
    }
    OBInterface* m = this->model("suite");
    if (build(m, *model)) {
      EXPECT_EQ(engineNets(m), expectedNets(*model)) << file.filename();
      ++compared;
    } else {
      refused.push_back(file.filename().string());
    }
    host().clearLogs();
    host().call(getOBIRoot(), "reset");
  }
  std::printf("compared %zu models, %zu with stoichiometryMath left out, %zu refused\n", compared,
              withMath, refused.size());
  EXPECT_EQ(withMath, 16u);
  EXPECT_GE(compared, 450u);
}

}  // namespace
}  // namespace ctest
