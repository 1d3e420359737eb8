// Every SBML Test Suite model read ("sbmlread") and written back
// ("sbmlwrite") means what the file means, as a simulator sees the two
// documents (tests/support SbmlMeaning): compartments, species with their
// amount or concentration meaning, global and local parameters, reactions,
// the value of every rate, rule and event at random points, and units.
// What the engine drops with a warning (function definitions and their
// callers, event delays, stoichiometry math) is listed per file in the
// output.  Files whose faults belong to other work are marked in
// data/suite-meaning-marks.txt with the fault; a marked file that comes back
// whole fails, so that its mark is removed.
#include <sbml/SBMLTypes.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>

#include "SbmlHostFixture.hpp"
#include "TokenResolution.hpp"
#include "support/SbmlMeaning.hpp"
#include "support/SbmlSuiteFiles.hpp"

namespace sbmltest {
namespace {

namespace fs = std::filesystem;
constexpr int kShards = 8;

// File stem -> the fault that makes it come back changed, from the marks
// file: "<stem> <fault text>" per line, "#" starts a comment.
const std::map<std::string, std::string>& marks() {
  static const std::map<std::string, std::string> table = [] {
    std::map<std::string, std::string> m;
    std::ifstream in(std::string(KELBOR_SBML_TEST_DATA) + "/suite-meaning-marks.txt");
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream fields(line);
      std::string stem;
      fields >> stem;
      std::string fault;
      std::getline(fields, fault);
      m[stem] = fault.substr(fault.find_first_not_of(' ') == std::string::npos ? 0 : fault.find_first_not_of(' '));
    }
    return m;
  }();
  return table;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n    " + line;
  return text;
}

class SbmlSuiteMeaningTest : public SbmlHostTest, public ::testing::WithParamInterface<int> {
 protected:
  // The comparison of one file with what the engine writes of it.
  sbmlmeaning::Comparison roundTrip(const fs::path& file) {
    const std::unique_ptr<SBMLDocument> original(readSBMLFromFile(file.c_str()));
    sbmlmeaning::Comparison result;
    OBInterface* model = nullptr;
    if (auto error = TestHost::errorOf([&] { model = readFile(file.string()); })) {
      result.differences.push_back("the read ends with " + error->id + ": " + error->message);
      return result;
    }
    const std::string written = writeText(model);
    const std::unique_ptr<SBMLDocument> back(readSBMLFromString(written.c_str()));
    if (!back->getModel()) {
      result.differences.push_back("the written document holds no model");
      return result;
    }
    sbmlmeaning::Options options;
    options.seed = std::hash<std::string>{}(file.stem().string());
    return sbmlmeaning::compareMeaning(*original->getModel(), *back->getModel(), options);
  }
};

TEST_P(SbmlSuiteMeaningTest, EveryFileComesBackWithItsMeaning) {
  const std::vector<fs::path> files = sbmlSuiteFiles();
  if (files.empty()) GTEST_SKIP() << "no SBML Test Suite cases in " << KELBOR_TESTDATA_DIR;
  std::ostringstream listing;
  size_t whole = 0;
  for (size_t i = static_cast<size_t>(GetParam()); i < files.size(); i += kShards) {
    const std::string stem = files[i].stem().string();
    SCOPED_TRACE(stem);
    const sbmlmeaning::Comparison result = roundTrip(files[i]);
    const auto mark = marks().find(stem);
    if (!result.losses.empty()) listing << stem << " loses (dropped with a warning):" << joined(result.losses) << "\n";
    if (mark != marks().end()) {
      EXPECT_FALSE(result.differences.empty())
          << stem << " is marked (" << mark->second << ") but comes back whole: remove its mark";
      if (!result.differences.empty()) {
        listing << stem << " changes, marked: " << mark->second << joined(result.differences) << "\n";
      }
    } else {
      EXPECT_TRUE(result.differences.empty()) << stem << " comes back changed:" << joined(result.differences);
    }
    whole += result.differences.empty() && result.losses.empty() ? 1 : 0;
    host().clearLogs();
    host().call(getOBIRoot(), "reset");
  }
  std::cout << listing.str();
  RecordProperty("whole", static_cast<int>(whole));
}

// Every name of every rate, rule and event of a file read resolves to the
// component whose id the MathML names.
TEST_P(SbmlSuiteMeaningTest, EveryNameResolvesToTheComponentItsMathMLNames) {
  const std::vector<fs::path> files = sbmlSuiteFiles();
  if (files.empty()) GTEST_SKIP() << "no SBML Test Suite cases in " << KELBOR_TESTDATA_DIR;
  for (size_t i = static_cast<size_t>(GetParam()); i < files.size(); i += kShards) {
    SCOPED_TRACE(files[i].filename().string());
    const std::unique_ptr<SBMLDocument> original(readSBMLFromFile(files[i].c_str()));
    OBInterface* model = nullptr;
    if (auto error = TestHost::errorOf([&] { model = readFile(files[i].string()); })) {
      ADD_FAILURE() << "the read ends with " << error->id;
      continue;
    }
    const std::vector<std::string> faults = tokenResolutionFaults(*kelbor(model), *original->getModel());
    EXPECT_TRUE(faults.empty()) << joined(faults);
    host().clearLogs();
    host().call(getOBIRoot(), "reset");
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, SbmlSuiteMeaningTest, ::testing::Range(0, kShards));

}  // namespace
}  // namespace sbmltest
