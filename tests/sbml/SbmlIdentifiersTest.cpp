// Identifiers and names of an SBML read: kinetic-law parameters keep their
// ids within their law, names a formula writes resolve to the component the
// MathML names, names the model cannot take fall back to the id, and
// duplicate names get the next free suffix.
#include <sbml/SBMLTypes.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "SbmlHostFixture.hpp"
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

}  // namespace
}  // namespace sbmltest
