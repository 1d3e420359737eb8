// The SBML Test Suite as the tests read it: its level 2 version 1 files in
// the test-data folder (KELBOR_TESTDATA_DIR, set by the test target), and
// what libSBML reads from a file that the engine's results are compared
// with.  Only for test targets that link libSBML.
#pragma once

#include <sbml/SBMLTypes.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Net coefficients by (species, reaction id).
using SbmlNetTable = std::map<std::pair<std::string, std::string>, double>;

// The folder of the suite's level 2 version 1 files.
inline std::filesystem::path sbmlSuiteFolder() {
  return std::filesystem::path(KELBOR_TESTDATA_DIR) / "sbml-test-suite" / "l2v1";
}

// The suite's ".xml" files, sorted; none when the folder is missing.
inline std::vector<std::filesystem::path> sbmlSuiteFiles() {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  const fs::path folder = sbmlSuiteFolder();
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".xml") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// True when a reactant or product of some reaction has stoichiometryMath.
inline bool hasStoichiometryMath(const Model& model) {
  for (unsigned i = 0; i < model.getNumReactions(); ++i) {
    const Reaction* r = model.getReaction(i);
    for (unsigned k = 0; k < r->getNumReactants(); ++k)
      if (r->getReactant(k)->isSetStoichiometryMath()) return true;
    for (unsigned k = 0; k < r->getNumProducts(); ++k)
      if (r->getProduct(k)->isSetStoichiometryMath()) return true;
  }
  return false;
}

// The non-zero net stoichiometry libSBML reads, by (speciesName(species id),
// reaction id).
template <class SpeciesName>
SbmlNetTable libsbmlNets(const Model& model, SpeciesName speciesName) {
  SbmlNetTable nets;
  for (unsigned i = 0; i < model.getNumReactions(); ++i) {
    const Reaction* r = model.getReaction(i);
    for (unsigned k = 0; k < r->getNumReactants(); ++k) {
      nets[{speciesName(r->getReactant(k)->getSpecies()), r->getId()}] -= r->getReactant(k)->getStoichiometry();
    }
    for (unsigned k = 0; k < r->getNumProducts(); ++k) {
      nets[{speciesName(r->getProduct(k)->getSpecies()), r->getId()}] += r->getProduct(k)->getStoichiometry();
    }
  }
  std::erase_if(nets, [](const auto& entry) { return entry.second == 0.0; });
  return nets;
}
