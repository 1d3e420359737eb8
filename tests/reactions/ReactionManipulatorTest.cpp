// The manipulator's checks of equations and name lists: every refused input
// raises its identifier and text and leaves the reaction and the model as
// they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include <obk/Exception.hpp>
#include <obk/obk.hpp>
#include <qx/qx.hpp>

#include "ReactionModelFixture.hpp"
#include "support/TestThing.hpp"

namespace rtest {
namespace {

const char* const kParseError = "Kestrion:REACTION_PARSE_ERROR";
const char* const kParseText =
    "Invalid Reaction value. Spaces are required before and after species names and "
    "stoichiometric values, for example, 2 A + B -> 2 C. Stoichiometric values must be greater "
    "than zero. Type 'help Kestrion.Model.addreaction' for more information.";
const char* const kNullError = "Kestrion:ReactionManipulator:NullSpeciesError";
const char* const kInvalidSpecies = "Kestrion:ReactionManipulator:InvalidSpeciesName";

// The message the species-name check gives for a name.
std::string speciesNameMessage(const std::string& name) {
  try {
    BSpecies::errorForInvalidNameStatic(name, nullptr, false);
  } catch (const ErrorIdException& e) {
    return e.getMessage();
  }
  return "";
}

struct RefusedCase {
  const char* equation;
  const char* id;
  std::string text;
};

TEST_F(ReactionModel, RefusedEquationsLeaveEverythingAsItWas) {
  BCompartment* c1 = compartment("c1");
  species(c1, "A");
  species(c1, "B");
  BReaction* r = reaction("A -> B");
  const std::vector<RefusedCase> cases = {
      {"A + -> B", kParseError, kParseText},
      {"-> ", kParseError, kParseText},
      {"", kParseError, kParseText},
      {"A <-> <-> B", kParseError, kParseText},
      {"0 A -> B", kParseError, kParseText},
      {"1e999 A -> B", kParseError, kParseText},
      {"A -> 2", kParseError, kParseText},
      {"A[1] -> B", kParseError, kParseText},
      {"c1.A.x -> B", kParseError, kParseText},
      {"null + A -> B", kNullError, "Invalid use of 'null' reactant or product."},
      {"null + null -> A", kNullError, "Invalid use of 'null' reactant or product."},
      {"A -> B + null", kNullError, "Invalid use of 'null' reactant or product."},
      {"time -> B", kInvalidSpecies, speciesNameMessage("time")},
      {"A->B -> C", kInvalidSpecies, speciesNameMessage("A->B")},
      {"[] -> B", kInvalidSpecies, speciesNameMessage("")},
      {"null.A -> B", "Kestrion:ReactionManipulator:InvalidCompartmentName",
       "Invalid compartment name."},
      // Every term of both sides is checked before the null rule.
      {"null + A -> time", kInvalidSpecies, speciesNameMessage("time")},
      {"null + null -> null.B", "Kestrion:ReactionManipulator:InvalidCompartmentName",
       "Invalid compartment name."},
      {"A -> null + null", kNullError, "Invalid use of 'null' reactant or product."},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.equation);
    expectError([&] { manipulator_.setReactionFromString(r, c.equation); }, c.id, c.text);
    EXPECT_EQ(r->getReactionString(), "A -> B");
  }
  EXPECT_EQ(model_->getNumSpeciesInTree(), 2u);
  EXPECT_EQ(model_->getNumCompartmentsInTree(), 1u);
}

TEST_F(ReactionModel, SeveralCompartmentsNeedQualifiedNames) {
  BCompartment* c1 = compartment("c1");
  BCompartment* c2 = compartment("c2");
  species(c1, "A");
  species(c2, "B");
  BReaction* r = reaction("c1.A -> c2.B");
  expectError([&] { manipulator_.setReactionFromString(r, "A -> c2.B"); },
              "Kestrion:ReactionManipulator:EmptyCompartmentName",
              "The model contains more than one compartment. In this situation all species "
              "must be defined as COMPARTMENT_NAME.SPECIES_NAME.");
  manipulator_.setReactionFromString(r, "null -> c1.A");  // "null" needs no qualifier
  EXPECT_EQ(r->getReactionString(), "null -> c1.A");
}

TEST_F(ReactionModel, NameListsAreParsedAndChecked) {
  BCompartment* c1 = compartment("c1");
  kstrVector<ParsedReactionTerm*> terms;
  manipulator_.parseSpeciesNameList({"A", "2 c1.B", "[x y]"}, model_, terms);
  ASSERT_EQ(terms.size(), 3u);
  EXPECT_EQ(terms[1]->name, "B");
  EXPECT_EQ(terms[1]->qualifier, "c1");
  EXPECT_EQ(terms[1]->stoichiometry, 2.0);
  EXPECT_EQ(terms[2]->name, "x y");
  for (ParsedReactionTerm* t : terms) ParsedReactionTerm::destroy(t);
  terms.clear();

  manipulator_.parseSpeciesNameList({"null"}, model_, terms);
  EXPECT_EQ(terms.size(), 1u);
  for (ParsedReactionTerm* t : terms) ParsedReactionTerm::destroy(t);
  terms.clear();

  expectError([&] { manipulator_.parseSpeciesNameList({"A", "null"}, model_, terms); },
              kNullError,
              "Invalid use of 'null' reactant or product. A reaction with a 'null' reactant "
              "(product) may not have other reactants (products).");
  EXPECT_TRUE(terms.empty());
  expectError([&] { manipulator_.parseSpeciesNameList({"A", "B +"}, model_, terms); },
              "Kestrion:ReactionManipulator:SpeciesParseError", "Invalid species name B +.");
  EXPECT_TRUE(terms.empty());
  expectError([&] { manipulator_.parseSpeciesNameList({"A", "time"}, model_, terms); },
              kInvalidSpecies);
  EXPECT_TRUE(terms.empty());
  compartment("c2");
  expectError([&] { manipulator_.parseSpeciesNameList({"c1.A", "A"}, model_, terms); },
              "Kestrion:ReactionManipulator:EmptyCompartmentName");
  EXPECT_TRUE(terms.empty());
  (void)c1;
}

TEST_F(ReactionModel, SpeciesWithoutAModelAreRefused) {
  BReaction* r = freeReaction();
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  expectError([&] { manipulator_.findSpeciesInModel(nullptr, a); }, "Kestrion:REACTION_NOT_IN_MODEL",
              "The reaction must belong to a model before species can be added to it.");
  // A species of the reaction's own model is used as it is.
  EXPECT_EQ(manipulator_.findSpeciesInModel(model_, a), a);
  BSpecies loose;
  loose.setName("L");
  expectError([&] { manipulator_.findSpeciesInModel(model_, &loose); },
              "Kestrion:ReactionManipulator:SpeciesNotInCompartment");
  EXPECT_EQ(r->getReactionString(), "null -> null");
}


// Host arrays made for one test and destroyed with it.
class Arrays {
 public:
  Arrays() = default;
  Arrays(const Arrays&) = delete;
  Arrays& operator=(const Arrays&) = delete;
  ~Arrays() {
    for (qxArray* a : arrays_) qxDestroyArray(a);
  }
  qxArray* str(const char* text) { return keep(qxCreateString(text)); }
  qxArray* cell(std::initializer_list<const char*> texts) {
    qxArray* c = qxCreateCellMatrix(1, texts.size());
    size_t i = 0;
    for (const char* t : texts) qxSetCell(c, i++, qxCreateString(t));
    return keep(c);
  }
  qxArray* nums(std::initializer_list<double> values) {
    qxArray* a = qxCreateDoubleMatrix(1, values.size(), qxREAL);
    std::copy(values.begin(), values.end(), qxGetPr(a));
    return keep(a);
  }
  qxArray* handle(OBInterface* instance) {
    qxArray* a = qxCreateHandleArray(1, 1);
    qxSetHandle(a, 0, instance);
    return keep(a);
  }

 private:
  qxArray* keep(qxArray* a) {
    arrays_.push_back(a);
    return a;
  }
  std::vector<qxArray*> arrays_;
};

TEST_F(ReactionModel, ReactantAndProductListsAreCheckedBeforeAnythingIsAdded) {
  BCompartment* c1 = compartment("c1");
  for (const char* name : {"A", "B", "C"}) species(c1, name);
  BReaction* r = reaction();
  Arrays a;
  manipulator_.setReactantsAndProducts(r, a.cell({"A", "B"}), a.str("C"), a.nums({2, 3}),
                                       nullptr);
  EXPECT_EQ(r->getReactionString(), "2 A + 3 B -> C");

  OBInterface* thing = testThingClass()->createInstance(nullptr, 0, nullptr, nullptr, 1);
  const std::string invalidR = "Kestrion:ADDREACTION_INVALIDRSTOICH";
  struct Case {
    const qxArray* reactants;
    const qxArray* products;
    const qxArray* reactantStoich;
    const qxArray* productStoich;
    const char* id;
  };
  const std::vector<Case> cases = {
      {a.cell({"A"}), a.str("C"), a.nums({1, 2}), nullptr,
       "Kestrion:ADDREACTION_SIZEMISMATCH_REACTANTS"},
      {a.str("A"), a.str("C"), nullptr, a.nums({}), "Kestrion:ADDREACTION_SIZEMISMATCH_PRODUCTS"},
      {a.str("A"), a.str("C"), a.nums({std::nan("")}), nullptr, invalidR.c_str()},
      {a.str("A"), a.str("C"), a.nums({-1}), nullptr, invalidR.c_str()},
      {a.str("A"), a.str("C"), nullptr, a.nums({HUGE_VAL}), "Kestrion:ADDREACTION_INVALIDPSTOICH"},
      {a.handle(thing), a.str("C"), nullptr, nullptr, "Kestrion:ADDREACTION_INVALIDREACTANTS"},
      {a.str("A"), a.nums({1}), nullptr, nullptr, "Kestrion:ADDREACTION_INVALIDPRODUCTS"},
      {a.str("A"), a.cell({"C", "null"}), nullptr, nullptr,
       "Kestrion:ReactionManipulator:NullSpeciesError"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    expectError([&] {
      manipulator_.setReactantsAndProducts(r, c.reactants, c.products, c.reactantStoich,
                                           c.productStoich);
    }, c.id);
    EXPECT_EQ(r->getReactionString(), "2 A + 3 B -> C");
  }
  // Outside a model nothing can be added.
  BReaction* free = freeReaction();
  expectError(
      [&] {
        manipulator_.setReactantsAndProducts(free, a.str("A"), a.str("null"), nullptr, nullptr);
      },
      "Kestrion:REACTION_NOT_IN_MODEL");
  manipulator_.setReactantsAndProducts(free, a.str("null"), a.str("null"), nullptr, nullptr);
  EXPECT_EQ(free->getReactionString(), "null -> null");
  thing->destroy(OBDatabaseClient::getInternalClient());
  thing->releaseReference();
}

TEST_F(ReactionModel, SettingAnEquationWithItsTextStopsListeningToTheOldOne) {
  BCompartment* c1 = compartment("c1");
  BSpecies* a = species(c1, "A");
  BSpecies* x = species(c1, "X");
  BReaction* r = reaction("A -> null");
  EXPECT_EQ(a->getInUseCount(), 1u);
  ParsedReactionPtr parsed(manipulator_.parseReaction("X -> null"));
  r->setReaction("X  ->  null", parsed.get());
  EXPECT_EQ(r->getReactionString(), "X  ->  null");
  EXPECT_EQ(a->getInUseCount(), 0u);
  EXPECT_EQ(x->getListeners(), KelborComponent::ListenerSet{r});
}

}  // namespace
}  // namespace rtest
