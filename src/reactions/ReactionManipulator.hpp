// The reaction manipulator: turns what a user types into reaction terms.
// It owns one reaction-equation parser for its whole life and parses
// equations, single species references and single parameter references
// through it.
#pragma once

#include <string>

#include "core/KelborApi.hpp"
#include "reactions/ParsedReaction.hpp"
#include "reactions/ParsedReactionTerm.hpp"

class ReactionParser;

// The parse entry points below give null when the parser rejects the text
// ("Kestrion:ReactionParser:BadParse"; that error is discarded and no term
// survives); any other error passes to the caller unchanged, and
// std::bad_alloc when memory cannot be had.  Results are owned by the
// caller: release a ParsedReaction with ParsedReaction::destroy and a
// ParsedReactionTerm with ParsedReactionTerm::destroy (or destroy its two
// strings and free the record with hbFree).
//
// The parser keeps state between calls, so a manipulator serves one caller
// at a time.
class KELBOR_API ReactionManipulator {
 public:
  // Creates the manipulator's parser; throws std::bad_alloc when the
  // memory cannot be had.
  ReactionManipulator();
  // Destroys the parser.
  ~ReactionManipulator();
  ReactionManipulator(const ReactionManipulator&) = delete;
  ReactionManipulator& operator=(const ReactionManipulator&) = delete;

  // Parses an equation such as '2 A + c1.B <-> [Complex X]'.  A null text
  // counts as the empty text (and gives null).
  ParsedReaction* parseReaction(const char* text);
  // Parses one species reference: a name, a bracketed name or a
  // qualifier "." name, with an optional leading stoichiometry that the
  // term holds ('2 A').  The text is read up to its first zero byte.
  ParsedReactionTerm* parseSpeciesName(const std::string& text);
  // Parses one parameter reference: a name, a bracketed name or a
  // qualifier "." name (the qualifier names the reaction that owns the
  // parameter).  A number counts as a name here ('2' gives the name "2");
  // a leading stoichiometry is not read ('2 k' gives null).
  ParsedReactionTerm* parseParameterName(const std::string& text);

 private:
  ReactionParser* parser_;
};
