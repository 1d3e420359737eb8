// Formulas as deep as the read and the write accept, and deeper, on a
// caller's thread with a small stack: a read of deep MathML, a host formula
// nested deeply when it is set and when the model is written.  Within the
// bounds the formulas keep their meaning; beyond them they are refused with
// a clear error or warning, and nothing overflows the stack.
#include <pthread.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "SbmlHostFixture.hpp"

namespace sbmltest {
namespace {

// The stack of the thread the cases run on: smaller than a main thread's,
// as a host's worker thread may have (the sanitizers' frames are larger).
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kCallerStackBytes = size_t{4} << 20;
#else
constexpr size_t kCallerStackBytes = size_t{1} << 20;
#endif

// Runs body on a thread with kCallerStackBytes of stack and waits for it.
void onSmallStack(const std::function<void()>& body) {
  struct Job {
    const std::function<void()>* body;
    static void* run(void* self) {
      (*static_cast<Job*>(self)->body)();
      return nullptr;
    }
  } job{&body};
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, kCallerStackBytes), 0);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, &Job::run, &job), 0);
  pthread_attr_destroy(&attributes);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
}

std::string repeat(const std::string& text, size_t times) {
  std::string out;
  out.reserve(text.size() * times);
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// k + k + ... + A, terms in all.
std::string sumText(size_t terms) { return repeat("k + ", terms - 1) + "A"; }

// k - k - ... - A, terms in all.
std::string differenceText(size_t terms) { return repeat("k - ", terms - 1) + "A"; }

// The MathML of one plus of terms operands, the last A and the others k.
std::string sumMath(size_t terms) { return "<apply><plus/>" + repeat("<ci>k</ci>", terms - 1) + "<ci>A</ci></apply>"; }

// -(-(... -A)), levels minus signs deep, as MathML and as the read writes it.
std::string negatedMath(size_t levels) {
  return repeat("<apply><minus/>", levels) + "<ci>A</ci>" + repeat("</apply>", levels);
}
std::string negatedText(size_t levels) { return "-" + repeat("(-", levels - 1) + "A" + repeat(")", levels - 1); }

// abs(abs(... A)), levels calls deep.
std::string callsMath(size_t levels) {
  return repeat("<apply><abs/>", levels) + "<ci>A</ci>" + repeat("</apply>", levels);
}
std::string callsText(size_t levels) { return repeat("abs(", levels) + "A" + repeat(")", levels); }

std::string withRate(const std::string& content) {
  return l2v1(
      "<listOfCompartments><compartment id=\"c\" size=\"2\"/></listOfCompartments>"
      "<listOfSpecies><species id=\"A\" compartment=\"c\" initialAmount=\"1\"/></listOfSpecies>"
      "<listOfParameters><parameter id=\"k\" value=\"3\"/></listOfParameters>"
      "<listOfReactions><reaction id=\"r\"><listOfReactants><speciesReference species=\"A\"/>"
      "</listOfReactants><kineticLaw>" + math(content) + "</kineticLaw></reaction></listOfReactions>");
}

class SbmlDeepMathTest : public SbmlHostTest {
 protected:
  // A model with species A in compartment c, parameter k and one reaction
  // A -> null.
  OBInterface* smallModel(OBInterface*& reaction) {
    OBInterface* m = host().construct("Model", {host().str("deep")});
    OBInterface* c = add(m, "addcompartment", {host().str("c")});
    add(c, "addspecies", {host().str("A")});
    add(m, "addparameter", {host().str("k")});
    reaction = add(m, "addreaction", {host().str("A -> null")});
    return m;
  }

  OBInterface* add(OBInterface* on, const char* method, std::initializer_list<qxArray*> args) {
    return objectOf(host().call(on, method, args, 1).at(0));
  }
};

// The read's bounds are 10,000 levels (a sum of n terms counts n + 3: the
// math, the apply and the operands) and 2,000 nested elements (six outside
// the math).  libSBML makes a sum of n terms a tree n levels deep, which the
// engine walks on the caller's thread.
TEST_F(SbmlDeepMathTest, ReadOfDeepMathKeepsItsMeaningOrIsRefused) {
  struct Row {
    const char* name;
    std::string content;
    std::string rate;   // the rate read, when it reads
    const char* error;  // else the refusal
  };
  const Row rows[] = {
      {"sum of 9,997 terms", sumMath(9997), sumText(9997), nullptr},
      {"sum of 9,998 terms", sumMath(9998), "", "Kestrion:SBML_MATH_TOO_DEEP"},
      {"minus nested 1,993 deep", negatedMath(1993), negatedText(1993), nullptr},
      {"minus nested 1,994 deep", negatedMath(1994), "", "Kestrion:SBML_MATH_TOO_DEEP"},
      {"calls nested 1,993 deep", callsMath(1993), callsText(1993), nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string text = withRate(row.content);
    onSmallStack([&] {
      if (row.error) {
        expectError([&] { readText(text, {"skipcc"}); }, row.error);
        EXPECT_EQ(modelCount(), 0u);
        return;
      }
      OBInterface* m = readText(text, {"skipcc"});
      const std::vector<OBInterface*> reactions = children(m, "reaction");
      ASSERT_EQ(reactions.size(), 1u);
      EXPECT_EQ(host().getString(reactions.at(0), "ReactionRate"), row.rate);
      host().call(m, "delete");
    });
  }
}

// The engine's parser takes 1,000 levels of parentheses, calls and prefix
// operators; a deeper rate is kept as text and verifying it reports it.
TEST_F(SbmlDeepMathTest, DeepRateSetsAndVerifyingReportsWhatDoesNotParse) {
  struct Row {
    const char* name;
    std::string formula;
    bool parses;
  };
  const Row rows[] = {
      {"1,000 nested parentheses", repeat("(", 1000) + "k" + repeat(")", 1000), true},
      {"100,000 nested parentheses", repeat("(", 100000) + "k" + repeat(")", 100000), false},
      {"100,000 prefix minus signs", repeat("-", 100000) + "k", false},
      {"100,000 nested calls", repeat("abs(", 100000) + "k" + repeat(")", 100000), false},
      {"sum of 100,000 terms", sumText(100000), true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    onSmallStack([&] {
      OBInterface* r = nullptr;
      OBInterface* m = smallModel(r);
      host().set(r, "ReactionRate", host().str(row.formula.c_str()));
      EXPECT_EQ(host().getString(r, "ReactionRate"), row.formula);
      kstr_stacked_clear();
      host().call(r, "verifyrate", {host().logical(false)});
      const auto stacked = host().stacked();
      if (row.parses) {
        EXPECT_TRUE(stacked.empty());
      } else {
        ASSERT_EQ(stacked.size(), 1u);
        EXPECT_EQ(stacked.at(0).id, "Kestrion:InvalidReactionRateSyntax");
      }
      kstr_stacked_clear();
      host().call(m, "delete");
    });
  }
}

// A rate or a rule whose MathML would be deeper than the read accepts (or
// whose tree is too deep to measure it) is left out of the written file with
// a warning; one within the bounds is written and reads back with its
// meaning.
TEST_F(SbmlDeepMathTest, WriteOfDeepFormulasWritesOrWarns) {
  struct Row {
    const char* name;
    std::string formula;
    bool asRule;
    const char* warning;  // null when the formula is written
    std::string readBack;
  };
  const Row rows[] = {
      {"rate, sum of 9,997 terms", sumText(9997), false, nullptr, sumText(9997)},
      {"rate, sum of 9,998 terms", sumText(9998), false, "Kestrion:SBML_MATH_TOO_DEEP_TO_WRITE", ""},
      // libSBML writes a chain of differences as nested applies.
      {"rate, difference of 1,993 terms", differenceText(1993), false, nullptr, differenceText(1993)},
      {"rate, difference of 1,994 terms", differenceText(1994), false, "Kestrion:SBML_MATH_TOO_DEEP_TO_WRITE", ""},
      {"rate, sum of 100,000 terms", sumText(100000), false, "Kestrion:SBML_MATH_TOO_DEEP_TO_WRITE", ""},
      {"rule, product of 20,000 factors", repeat("k * ", 19999) + "k", true,
       "Kestrion:SBML_MATH_TOO_DEEP_TO_WRITE", ""},
      {"rate, 1,000 nested parentheses", repeat("(", 1000) + "k + A" + repeat(")", 1000), false, nullptr, "k + A"},
      {"rate, 50,000 nested parentheses", repeat("(", 50000) + "k" + repeat(")", 50000), false,
       "Kestrion:ParseErrorCannotReplaceExpressionNamesWithIDS", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    onSmallStack([&] {
      OBInterface* r = nullptr;
      OBInterface* m = smallModel(r);
      if (row.asRule) {
        add(m, "addrule", {host().str(("k = " + row.formula).c_str()), host().str("repeatedAssignment")});
      } else {
        host().set(r, "ReactionRate", host().str(row.formula.c_str()));
      }
      host().clearLogs();
      const std::string text = writeText(m);
      host().call(m, "delete");
      if (row.warning) {
        EXPECT_EQ(warningCount(row.warning), 1u);
        EXPECT_EQ(text.find("<math"), std::string::npos);
        return;
      }
      EXPECT_EQ(warningCount("Kestrion:SBML_MATH_TOO_DEEP_TO_WRITE"), 0u);
      OBInterface* back = readText(text, {"skipcc"});
      EXPECT_EQ(host().getString(children(back, "reaction").at(0), "ReactionRate"), row.readBack);
      host().call(back, "delete");
    });
  }
}

}  // namespace
}  // namespace sbmltest
