// Fuzzes the reaction-equation parser.  Any text either parses or is
// rejected with the parser's own error; nothing else may escape.  A parsed
// equation must hold finite stoichiometries above 0, trimmed names, terms
// on the side their flag says, and its canonical rewrite must parse back
// to the same terms.  The single-reference parses obey the same rules, a
// parse must not depend on the one before, and every host block taken is
// given back.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <hb/hb.hpp>
#include <hb/hb_test.hpp>
#include <ks_utils/Identifiers.hpp>
#include <ks_utils/StringHelpers.hpp>
#include <obk/Exception.hpp>

#include "reactions/ParsedReaction.hpp"
#include "reactions/ParsedReactionTerm.hpp"
#include "reactions/ReactionParser.hpp"

namespace {

enum class Kind { Equation, Species, Parameter };

// Runs one parse; false when the text is rejected, abort() on any other
// error or when a rejected parse leaves terms behind.
bool parses(ReactionParser& parser, Kind kind, const char* text) {
  try {
    switch (kind) {
      case Kind::Equation: parser.parseEquation(text); break;
      case Kind::Species: parser.parseSpeciesReference(text); break;
      case Kind::Parameter: parser.parseParameterReference(text); break;
    }
    return true;
  } catch (const ErrorIdException& error) {
    if (error.getIdentifier() != ReactionParser::kBadParseId ||
        error.getMessage() != ReactionParser::kBadParseText ||
        !parser.getTerms().empty()) {
      std::abort();
    }
    return false;
  }
}

bool isTrimmed(const std::string& text) {
  return text.empty() ||
         (!STDStringHelpers::isWhitespaceChar(text.front()) &&
          !STDStringHelpers::isWhitespaceChar(text.back()));
}

void checkTerm(const ParsedReactionTerm* term, bool reactant) {
  if (!term || term->reactant != reactant) std::abort();
  if (!std::isfinite(term->stoichiometry) || !(term->stoichiometry > 0.0)) {
    std::abort();
  }
  if (!isTrimmed(term->name) || !isTrimmed(term->qualifier)) std::abort();
}

// A name holding a bracket cannot be written back; nor can one of 999
// characters in brackets, since the space after "]" is collected with it.
bool canBeWritten(const std::string& text) {
  return text.size() < ReactionParser::kTokenBufferSize - 1 &&
         text.find_first_of("[]") == std::string::npos;
}

// A name part as the parser reads it back: an identifier as it is,
// anything else (the empty name included) in brackets.
std::string writePart(const std::string& part) {
  return isValidPELLAMIdentifier(part) ? part : "[" + part + "]";
}

// A stoichiometry as integer digits and an exponent ('15e-1'), the one
// number form with an exponent that the lexer reads; 17 significant
// digits give the same double back.
std::string writeNumber(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.16e", value);
  char* mark = std::strchr(buffer, 'e');
  const int exponent = std::atoi(mark + 1) - 16;
  std::string digits(buffer, mark);
  digits.erase(1, 1);  // the decimal point
  return digits + "e" + std::to_string(exponent);
}

std::string writeTerm(const ParsedReactionTerm& term, bool withNumber) {
  std::string text;
  if (withNumber && term.stoichiometry != 1.0) {
    text = writeNumber(term.stoichiometry) + " ";
  }
  if (!term.qualifier.empty()) text += writePart(term.qualifier) + ".";
  return text + writePart(term.name);
}

bool sameTerm(const ParsedReactionTerm& a, const ParsedReactionTerm& b) {
  return a.name == b.name && a.qualifier == b.qualifier &&
         a.stoichiometry == b.stoichiometry && a.reactant == b.reactant;
}

bool sameTerms(const kstrVector<ParsedReactionTerm*>& a,
               const kstrVector<ParsedReactionTerm*>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!sameTerm(*a[i], *b[i])) return false;
  }
  return true;
}

// Null when a name cannot be written back.
const char* writeSide(const kstrVector<ParsedReactionTerm*>& side,
                      std::string& out) {
  for (std::size_t i = 0; i < side.size(); ++i) {
    if (!canBeWritten(side[i]->name) || !canBeWritten(side[i]->qualifier)) {
      return nullptr;
    }
    if (i > 0) out += " + ";
    out += writeTerm(*side[i], true);
  }
  return out.c_str();
}

void checkEquation(ReactionParser& parser, const ParsedReaction& parsed) {
  if (parsed.reactants.empty() || parsed.products.empty()) std::abort();
  for (const ParsedReactionTerm* term : parsed.reactants) checkTerm(term, true);
  for (const ParsedReactionTerm* term : parsed.products) checkTerm(term, false);
  std::string text;
  if (!writeSide(parsed.reactants, text)) return;
  text += parsed.reversible ? " <-> " : " -> ";
  if (!writeSide(parsed.products, text)) return;
  if (!parses(parser, Kind::Equation, text.c_str())) std::abort();
  ParsedReactionPtr again(parser.takeParsedReaction());
  if (again->reversible != parsed.reversible ||
      !sameTerms(again->reactants, parsed.reactants) ||
      !sameTerms(again->products, parsed.products)) {
    std::abort();
  }
}

void checkReference(ReactionParser& parser, Kind kind,
                    const ParsedReactionTerm& term) {
  checkTerm(&term, true);
  if (kind == Kind::Parameter && term.stoichiometry != 1.0) std::abort();
  if (!canBeWritten(term.name) || !canBeWritten(term.qualifier)) return;
  const std::string text = writeTerm(term, kind == Kind::Species);
  if (!parses(parser, kind, text.c_str())) std::abort();
  ParsedReactionTermPtr again(parser.takeFirstTerm());
  if (!sameTerm(*again, term)) std::abort();
}

void fuzzEquation(ReactionParser& parser, const char* text) {
  if (!parses(parser, Kind::Equation, text)) {
    // A rejection must not depend on what came before either.
    parses(parser, Kind::Equation, "A -> B");
    parser.destroyTerms();
    if (parses(parser, Kind::Equation, text)) std::abort();
    return;
  }
  ParsedReactionPtr parsed(parser.takeParsedReaction());
  if (!parser.getTerms().empty()) std::abort();
  checkEquation(parser, *parsed);
}

void fuzzReference(ReactionParser& parser, Kind kind, const char* text) {
  if (!parses(parser, kind, text)) return;
  if (parser.getTerms().size() != 1) std::abort();
  ParsedReactionTermPtr term(parser.takeFirstTerm());
  checkReference(parser, kind, *term);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static ReactionParser* parser = new ReactionParser();
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::size_t liveBlocks = hbTestLiveBlocks();
  fuzzEquation(*parser, text.c_str());
  fuzzReference(*parser, Kind::Species, text.c_str());
  fuzzReference(*parser, Kind::Parameter, text.c_str());
  // Only the term list's storage may have grown.
  parser->destroyTerms();
  if (hbTestLiveBlocks() > liveBlocks + 1) std::abort();
  return 0;
}
