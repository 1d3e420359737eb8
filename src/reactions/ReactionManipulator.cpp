#include "reactions/ReactionManipulator.hpp"

#include <obk/Exception.hpp>

#include "reactions/ReactionParser.hpp"

namespace {

// Runs one parse of the parser; answers false when the parser rejected the
// text (the parser has destroyed its terms then) and lets every other error
// through.
template <class Parse>
bool parsesWithoutBadParse(ReactionParser& parser, Parse parse) {
  try {
    parse();
    return true;
  } catch (const ErrorIdException& error) {
    if (error.getIdentifier() != ReactionParser::kBadParseId) throw;
    parser.destroyTerms();
    return false;
  }
}

}  // namespace

ReactionManipulator::ReactionManipulator() : parser_(new ReactionParser()) {}

ReactionManipulator::~ReactionManipulator() { delete parser_; }

ParsedReaction* ReactionManipulator::parseReaction(const char* text) {
  ReactionParser& parser = *parser_;
  if (!parsesWithoutBadParse(parser, [&] { parser.parseEquation(text); })) {
    return nullptr;
  }
  return parser.takeParsedReaction();
}

ParsedReactionTerm* ReactionManipulator::parseSpeciesName(
    const std::string& text) {
  ReactionParser& parser = *parser_;
  if (!parsesWithoutBadParse(
          parser, [&] { parser.parseSpeciesReference(text.c_str()); })) {
    return nullptr;
  }
  return parser.takeFirstTerm();
}

ParsedReactionTerm* ReactionManipulator::parseParameterName(
    const std::string& text) {
  ReactionParser& parser = *parser_;
  if (!parsesWithoutBadParse(
          parser, [&] { parser.parseParameterReference(text.c_str()); })) {
    return nullptr;
  }
  return parser.takeFirstTerm();
}
