// Names in other scripts than Latin ASCII (Greek, accented Latin, Cyrillic,
// CJK, symbols outside the basic plane), driven end to end as a user
// would: species named so, a rate and a mass-action rate that name them,
// a rename that rewrites the rates, and an SBML round trip that keeps the
// rates bound to the same species.
#include <sbml/SBMLTypes.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "SbmlHostFixture.hpp"
#include <ks_utils/Identifiers.hpp>

#include "core/KelborComponent.hpp"
#include "model/Kelbor.hpp"
#include "reactions/BReaction.hpp"

namespace sbmltest {
namespace {

struct ScriptRow {
  const char* script;
  std::string substrate;
  std::string product;
  std::string renamed;
};

const ScriptRow kScripts[] = {
    {"ASCII", "A", "B", "C"},
    {"ASCII with blanks", "sugar A", "sugar B", "sugar C"},
    {"Greek", "I\xCE\xBA" "B", "\xCE\xB1-KG", "\xCE\xB2-KG"},
    {"accented Latin", "glucos\xC3\xA9", "fructos\xC3\xA9", "gluc\xC3\xB6se"},
    {"Cyrillic", "\xD0\xB3\xD0\xBB\xD1\x8E\xD0\xBA\xD0\xBE\xD0\xB7\xD0\xB0", "\xD0\xB0\xD1\x82\xD1\x84",
     "\xD0\x90\xD0\xA2\xD0\xA4"},
    {"CJK", "\xE8\x91\xA1\xE8\x90\x84\xE7\xB3\x96", "\xE6\x9E\x9C\xE7\xB3\x96", "\xE4\xB9\xB3\xE7\xB3\x96"},
    {"outside the basic plane", "\xF0\x9F\xA7\xAA tube", "\xF0\x9D\x9B\xBC x", "\xF0\x9F\xA7\xAC y"},
};

std::string bracketed(std::string name) { return bracketNameIfNotValidIdentifier(name); }

class SbmlNamesInScriptsTest : public SbmlHostTest {
 protected:
  // The first mass-action law and rename grow process-wide storage: one
  // round runs before the health is taken.
  void SetUp() override {
    SbmlHostTest::SetUp();
    roundTrip(kScripts[0]);
    restartHost();
  }

  void roundTrip(const ScriptRow& row);

  OBInterface* add(OBInterface* on, const char* method, std::initializer_list<qxArray*> args) {
    return objectOf(host().call(on, method, args, 1).at(0));
  }

  // The species each token of the reaction's rate resolves to, by name.
  std::set<std::string> rateSpecies(OBInterface* reaction) {
    auto* r = dynamic_cast<BReaction*>(componentOf(reaction));
    std::set<std::string> tokens;
    r->getReactionRateTokens(tokens, false);
    std::set<std::string> bound;
    for (const std::string& token : tokens) {
      KelborComponent* c = r->getModelGlobalData()->model->resolveSymbol(token, r);
      bound.insert(c ? c->getType() + std::string(":") + c->getName() : "unresolved:" + token);
    }
    return bound;
  }
};

void SbmlNamesInScriptsTest::roundTrip(const ScriptRow& row) {
    OBInterface* m = host().construct("Model", {host().str("scripts")});
    OBInterface* c = add(m, "addcompartment", {host().str("cell")});
    add(c, "addspecies", {host().str(row.substrate.c_str())});
    add(c, "addspecies", {host().str(row.product.c_str())});
    OBInterface* k = add(m, "addparameter", {host().str("k")});
    const std::string equation = bracketed(row.substrate) + " -> " + bracketed(row.product);
    OBInterface* plain = add(m, "addreaction", {host().str(equation.c_str())});
    const std::string rate = "k*" + bracketed(row.substrate);
    host().set(plain, "ReactionRate", host().str(rate.c_str()));
    EXPECT_EQ(host().getString(plain, "ReactionRate"), rate);
    EXPECT_EQ(rateSpecies(plain), (std::set<std::string>{"parameter:k", "species:" + row.substrate}));

    OBInterface* mass = add(m, "addreaction", {host().str(equation.c_str())});
    OBInterface* law = add(mass, "addkineticlaw", {host().str("MassAction")});
    host().call(law, "setparameter", {host().str("Forward Rate Parameter"), host().str("k")});
    EXPECT_EQ(host().getString(mass, "ReactionRate"), rate);
    EXPECT_EQ(rateSpecies(mass), rateSpecies(plain));
    host().call(m, "verify", {});

    // A rename rewrites both rates.
    OBInterface* substrate = children(m, "species").at(0);
    host().call(substrate, "rename", {host().str(row.renamed.c_str())});
    const std::string renamedRate = "k*" + bracketed(row.renamed);
    EXPECT_EQ(host().getString(plain, "ReactionRate"), renamedRate);
    EXPECT_EQ(host().getString(mass, "ReactionRate"), renamedRate);

    // The written rate names the species by id, and reads back bound.
    host().clearLogs();
    const std::string written = writeText(m);
    EXPECT_TRUE(warningIds().empty()) << written;
    const std::unique_ptr<SBMLDocument> document(readSBMLFromString(written.c_str()));
    ASSERT_EQ(document->getModel()->getNumReactions(), 2u);
    for (unsigned i = 0; i < 2; ++i) {
      const KineticLaw* kinetic = document->getModel()->getReaction(i)->getKineticLaw();
      ASSERT_NE(kinetic, nullptr) << written;
      char* formula = SBML_formulaToString(kinetic->getMath());
      EXPECT_EQ(std::string(formula), std::string(componentOf(k)->getID()) + " * " + componentOf(substrate)->getID())
          << written;
      std::free(formula);
    }
    OBInterface* again = readText(written);
    EXPECT_TRUE(warningIds().empty());
    const std::vector<OBInterface*> reactions = children(again, "reaction");
    ASSERT_EQ(reactions.size(), 2u);
    for (OBInterface* reaction : reactions) {
      EXPECT_EQ(host().getString(reaction, "ReactionRate"), "k * " + bracketed(row.renamed));
      EXPECT_EQ(rateSpecies(reaction), (std::set<std::string>{"parameter:k", "species:" + row.renamed}));
    }
    host().call(getOBIRoot(), "reset");
}

TEST_F(SbmlNamesInScriptsTest, RatesNameSpeciesOfEveryScriptThroughRenameAndRoundTrip) {
  for (const ScriptRow& row : kScripts) {
    SCOPED_TRACE(row.script);
    roundTrip(row);
  }
}

}  // namespace
}  // namespace sbmltest
