// Reading SBML of unusual shape as a user would: formulas nested deeper, or
// sums longer, than any model needs, elements nested without end, long
// chains of compartments each outside the next and outside references that
// come back to where they started.  What the read accepts keeps its meaning;
// what it refuses raises a clear error and leaves no model.
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "SbmlHostFixture.hpp"
#include "core/KelborComponent.hpp"
#include "quantities/BCompartment.hpp"

namespace sbmltest {
namespace {

std::string repeat(const std::string& text, size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

const std::string kOneCompartment =
    "<listOfCompartments><compartment id=\"c\" size=\"2\"/></listOfCompartments>"
    "<listOfSpecies><species id=\"A\" compartment=\"c\" initialAmount=\"1\"/></listOfSpecies>"
    "<listOfParameters><parameter id=\"k\" value=\"3\"/></listOfParameters>";

// A model whose one reaction has the MathML content as its rate.
std::string withRate(const std::string& content) {
  return l2v1(kOneCompartment +
              "<listOfReactions><reaction id=\"r\"><listOfReactants><speciesReference species=\"A\"/>"
              "</listOfReactants><kineticLaw>" + math(content) + "</kineticLaw></reaction></listOfReactions>");
}

// k + (k + (... + A)), levels plus signs deep.
std::string nestedSum(size_t levels) {
  return repeat("<apply><plus/><ci>k</ci>", levels) + "<ci>A</ci>" + repeat("</apply>", levels);
}

// One plus of terms operands, every tenth A and the others k.
std::string longSum(size_t terms) {
  std::string content = "<apply><plus/>";
  for (size_t i = 0; i < terms; ++i) content += i % 10 == 9 ? "<ci>A</ci>" : "<ci>k</ci>";
  return content + "</apply>";
}

// The terms of a sum text: its tokens between the plus signs, without
// spaces and parentheses.
std::vector<std::string> termsOf(const std::string& formula) {
  std::vector<std::string> terms(1);
  for (char c : formula) {
    if (c == '+') {
      terms.emplace_back();
    } else if (c != ' ' && c != '(' && c != ')') {
      terms.back() += c;
    }
  }
  return terms;
}

std::vector<std::string> expectedLongSum(size_t terms) {
  std::vector<std::string> out;
  for (size_t i = 0; i < terms; ++i) out.push_back(i % 10 == 9 ? "A" : "k");
  return out;
}

std::vector<std::string> expectedNestedSum(size_t levels) {
  std::vector<std::string> out(levels, "k");
  out.push_back("A");
  return out;
}

// Formulas and nesting within the bounds read with their meaning; a formula
// too large for libSBML's unit check is read without it, with a warning.
TEST_F(SbmlHostTest, ReadKeepsLongSumsAndDeepFormulasWithinItsBounds) {
  struct Row {
    const char* name;
    std::string text;
    std::vector<std::string> terms;
    size_t unitCheckSkipped;
  };
  const Row rows[] = {
      {"sum of 8,000 terms", withRate(longSum(8000)), expectedLongSum(8000), 1},
      {"sum nested 1,000 deep", withRate(nestedSum(1000)), expectedNestedSum(1000), 1},
      {"sum of 12 terms", withRate(longSum(12)), expectedLongSum(12), 0},
      // Markup in a comment and a quoted ">" are not elements.
      {"comment full of tags",
       withRate("<apply><plus/><ci>k</ci><ci>A</ci></apply>") + "<!-- " + repeat("<a>", 5000) + " -->",
       {"k", "A"}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    host().clearLogs();
    OBInterface* m = readText(row.text);
    const std::vector<OBInterface*> reactions = children(m, "reaction");
    ASSERT_EQ(reactions.size(), 1u);
    EXPECT_EQ(termsOf(host().getString(reactions.at(0), "ReactionRate")), row.terms);
    EXPECT_EQ(warningCount("Kestrion:SBML_UNIT_CHECK_SKIPPED"), row.unitCheckSkipped);
    host().call(m, "delete");
  }
}

// Each row is refused before libSBML's recursive parse and check, and
// before the engine's own walks, could overflow the caller's stack.
TEST_F(SbmlHostTest, ReadRefusesFormulasAndNestingTooDeepAndLeavesNoModel) {
  struct Row {
    const char* name;
    std::string text;
    const char* id;
  };
  const std::string rule =
      "<listOfRules><assignmentRule variable=\"k\">" + math(nestedSum(10000)) + "</assignmentRule></listOfRules>";
  const std::string annotation = "<annotation><x:a xmlns:x=\"http://example.org/x\">" + repeat("<x:a>", 20000) +
                                 repeat("</x:a>", 20000) + "</x:a></annotation>";
  const Row rows[] = {
      {"rate nested 10,000 deep", withRate(nestedSum(10000)), "Kestrion:SBML_MATH_TOO_DEEP"},
      {"sum of 100,000 terms", withRate(longSum(100000)), "Kestrion:SBML_MATH_TOO_DEEP"},
      {"rule nested 10,000 deep", l2v1(kOneCompartment + rule), "Kestrion:SBML_MATH_TOO_DEEP"},
      {"annotation nested 20,000 deep", l2v1(annotation + kOneCompartment), "Kestrion:SBML_NESTING_TOO_DEEP"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    for (const bool fromFile : {false, true}) {
      const std::string path = fromFile ? writeTempFile("deep.xml", row.text) : std::string();
      const HostCallError error =
          expectError([&] { fromFile ? readFile(path) : readText(row.text); }, row.id);
      EXPECT_NE(error.message.find("line"), std::string::npos) << error.message;
      EXPECT_EQ(modelCount(), 0u);
      if (fromFile) std::remove(path.c_str());
    }
  }
}

// "qesbmlvalidate" measures the file as the read does: a file nested too
// deep gets the refusal as its one fatal entry, and a formula too large for
// the unit check a warning that the units were not checked.
TEST_F(SbmlHostTest, ValidateReportsNestingTooDeepAndSkippedUnitCheck) {
  const std::string deep = writeTempFile("deepvalidate.xml", withRate(nestedSum(10000)));
  std::vector<std::vector<std::string>> lists = validate(deep);
  ASSERT_EQ(lists.at(0).size(), 1u);
  EXPECT_NE(lists.at(0).at(0).find("too deep"), std::string::npos) << lists.at(0).at(0);

  const std::string wide = writeTempFile("widevalidate.xml", withRate(longSum(2000)));
  lists = validate(wide);
  EXPECT_TRUE(lists.at(0).empty());
  bool skippedNamed = false;
  for (const std::string& text : lists.at(2)) skippedNamed = skippedNamed || text.find("were not checked") != std::string::npos;
  EXPECT_TRUE(skippedNamed);
  for (const std::string& path : {deep, wide}) std::remove(path.c_str());
}

// Compartments as (id, outside) pairs, each with one species "s_<id>".
std::string compartmentTree(const std::vector<std::pair<std::string, std::string>>& compartments) {
  std::string lists = "<listOfCompartments>";
  for (const auto& [id, outside] : compartments) {
    lists += "<compartment id=\"" + id + "\"";
    if (!outside.empty()) lists += " outside=\"" + outside + "\"";
    lists += "/>";
  }
  lists += "</listOfCompartments><listOfSpecies>";
  for (const auto& [id, outside] : compartments) {
    lists += "<species id=\"s_" + id + "\" compartment=\"" + id + "\" initialAmount=\"1\"/>";
  }
  return l2v1(lists + "</listOfSpecies>");
}

BCompartment* compartmentOf(OBInterface* handle) { return dynamic_cast<BCompartment*>(componentOf(handle)); }

std::vector<std::string> memberNames(const BCompartment& compartment) {
  std::vector<std::string> names;
  for (const BCompartment* member : compartment.getCompartments()) names.push_back(member->getName());
  return names;
}

// However the file orders them, each owner's members follow the file's
// order and the tree lists every compartment's members (and their species)
// before its own species; a chain of thousands nests whole.
TEST_F(SbmlHostTest, ReadNestsCompartmentsInFileOrderAtAnyDepth) {
  OBInterface* m = readText(compartmentTree(
      {{"d", "b"}, {"a", ""}, {"b", "a"}, {"c", "a"}, {"e", "b"}, {"f", ""}, {"g", "f"}}));
  EXPECT_EQ(names(m, "compartment"), (std::vector<std::string>{"a", "b", "d", "e", "c", "f", "g"}));
  std::map<std::string, BCompartment*> byName;
  for (OBInterface* h : children(m, "compartment")) byName[compartmentOf(h)->getName()] = compartmentOf(h);
  EXPECT_EQ(memberNames(*byName.at("a")), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(memberNames(*byName.at("b")), (std::vector<std::string>{"d", "e"}));
  EXPECT_EQ(memberNames(*byName.at("f")), (std::vector<std::string>{"g"}));
  for (const char* top : {"a", "f"}) EXPECT_EQ(byName.at(top)->getOwner(), nullptr);
  EXPECT_EQ(byName.at("d")->getOwner(), byName.at("b"));
  EXPECT_EQ(names(m, "species"), (std::vector<std::string>{"s_d", "s_e", "s_b", "s_c", "s_a", "s_g", "s_f"}));
  EXPECT_EQ(host().getString(children(m, "species").at(0), "Name"), "s_d");
  host().call(m, "delete");

  std::vector<std::pair<std::string, std::string>> chain;
  for (size_t i = 0; i < 3000; ++i) chain.emplace_back("c" + std::to_string(i), i ? "c" + std::to_string(i - 1) : "");
  m = readText(compartmentTree(chain), {"skipcc"});
  const std::vector<OBInterface*> compartments = children(m, "compartment");
  ASSERT_EQ(compartments.size(), 3000u);
  size_t depth = 0;
  for (const BCompartment* c = compartmentOf(compartments.back()); c->getOwner(); c = c->getOwner()) ++depth;
  EXPECT_EQ(depth, 2999u);
  EXPECT_EQ(compartmentOf(compartments.at(1))->getOwner(), compartmentOf(compartments.at(0)));
}

// Outside references that come back to where they started are refused
// before anything is made, naming a compartment of the loop.
TEST_F(SbmlHostTest, ReadRefusesOutsideLoopsAtOnce) {
  struct Row {
    const char* name;
    std::vector<std::pair<std::string, std::string>> compartments;
    std::vector<std::string> loop;
  };
  std::vector<std::pair<std::string, std::string>> long_loop;
  for (size_t i = 0; i < 5000; ++i) long_loop.emplace_back("c" + std::to_string(i), "c" + std::to_string((i + 1) % 5000));
  const Row rows[] = {
      {"self", {{"a", "a"}}, {"a"}},
      {"pair", {{"a", "b"}, {"b", "a"}}, {"a", "b"}},
      {"loop reached from a chain", {{"x", "a"}, {"a", "b"}, {"b", "a"}, {"y", ""}}, {"a", "b"}},
      {"loop of 5,000", long_loop, {"c0"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const HostCallError error =
        expectError([&] { readText(compartmentTree(row.compartments)); }, "Kestrion:SBML_COMPARTMENT_OUTSIDE_LOOP");
    bool named = false;
    for (const std::string& id : row.loop) named = named || error.message.find("'" + id + "'") != std::string::npos;
    EXPECT_TRUE(named) << error.message;
    EXPECT_EQ(modelCount(), 0u);
  }
}

}  // namespace
}  // namespace sbmltest
