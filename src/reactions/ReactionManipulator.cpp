#include "reactions/ReactionManipulator.hpp"

#include <algorithm>

#include <obk/Exception.hpp>
#include <ks_utils/Errors.hpp>

#include "host/HostHelpers.hpp"
#include "model/Kelbor.hpp"
#include "model/MessageCatalog.hpp"
#include "quantities/BCompartment.hpp"
#include "quantities/BSpecies.hpp"
#include "reactions/BReaction.hpp"
#include "reactions/ReactionParser.hpp"

namespace {

constexpr const char* kNull = "null";

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

// Checks every term of one side; answers how many of them are "null".
size_t checkSide(const kstrVector<ParsedReactionTerm*>& terms, const Kelbor* model) {
  size_t nulls = 0;
  for (const ParsedReactionTerm* term : terms) {
    bool isNull = false;
    ReactionManipulator::checkTerm(*term, model, isNull);
    if (isNull) ++nulls;
  }
  return nulls;
}

// A side breaks the null rule when it holds "null" twice, or "null" and
// another term.
bool breaksNullRule(const kstrVector<ParsedReactionTerm*>& terms, size_t nulls) {
  return nulls > 1 || (nulls == 1 && terms.size() > 1);
}

// Makes sure every named species of one side exists in the model.
void createSide(ReactionManipulator& manipulator, const kstrVector<ParsedReactionTerm*>& terms,
                Kelbor* model) {
  for (const ParsedReactionTerm* term : terms) {
    if (term->name == kNull) continue;
    if (!manipulator.findOrCreateSpecies(model, term->name.c_str(), term->qualifier.c_str()) &&
        model->hasSeveralCompartments()) {
      // Never leave a term without its species.
      ReactionManipulator::throwEmptyCompartmentName();
    }
  }
}

void destroyTerms(kstrVector<ParsedReactionTerm*>& terms) {
  for (ParsedReactionTerm* term : terms) ParsedReactionTerm::destroy(term);
  terms.clear();
}

}  // namespace

ReactionManipulator::ReactionManipulator() : parser_(new ReactionParser()) {}

ReactionManipulator::~ReactionManipulator() { delete parser_; }

// --- parsing -----------------------------------------------------------------------

ParsedReaction* ReactionManipulator::parseReaction(const char* text) {
  ReactionParser& parser = *parser_;
  if (!parsesWithoutBadParse(parser, [&] { parser.parseEquation(text); })) {
    return nullptr;
  }
  return parser.takeParsedReaction();
}

ParsedReactionTerm* ReactionManipulator::parseSpeciesName(const std::string& text) {
  ReactionParser& parser = *parser_;
  if (!parsesWithoutBadParse(parser, [&] { parser.parseSpeciesReference(text.c_str()); })) {
    return nullptr;
  }
  return parser.takeFirstTerm();
}

ParsedReactionTerm* ReactionManipulator::parseParameterName(const std::string& text) {
  ReactionParser& parser = *parser_;
  if (!parsesWithoutBadParse(parser, [&] { parser.parseParameterReference(text.c_str()); })) {
    return nullptr;
  }
  return parser.takeFirstTerm();
}

// --- checks -------------------------------------------------------------------------

Kelbor* ReactionManipulator::modelOf(const BReaction* reaction) {
  KelborComponent* parent = reaction ? reaction->getParent() : nullptr;
  return parent && parent->getEnumType() == kstr::kstrmodel ? static_cast<Kelbor*>(parent)
                                                            : nullptr;
}

BSpecies* ReactionManipulator::speciesOf(const OBInterface* instance) {
  return dynamic_cast<BSpecies*>(componentOf(instance));
}

void ReactionManipulator::throwNotInModel() {
  kstr_error("Kestrion:REACTION_NOT_IN_MODEL",
             "The reaction must belong to a model before species can be added to it.");
}

void ReactionManipulator::checkTerm(const ParsedReactionTerm& term, const Kelbor* model,
                                    bool& isNull) {
  try {
    BSpecies::errorForInvalidNameStatic(term.name, nullptr, false);
  } catch (const ErrorIdException& error) {
    kstr_error("Kestrion:ReactionManipulator:InvalidSpeciesName", error.getMessage().c_str());
  }
  if (!term.qualifier.empty()) {
    try {
      BCompartment::errorForInvalidNameStatic(term.qualifier, nullptr);
    } catch (const ErrorIdException&) {
      kstr_error("Kestrion:ReactionManipulator:InvalidCompartmentName",
                 "Invalid compartment name.");
    }
  }
  isNull = term.name == kNull;
  if (model && !isNull && term.qualifier.empty() && model->hasSeveralCompartments()) {
    throwEmptyCompartmentName();
  }
}

kstrVector<std::string> ReactionManipulator::missingCompartments(
    const Kelbor* model, std::initializer_list<const kstrVector<ParsedReactionTerm*>*> sides,
    const kstrVector<std::string>& extraCompartments) {
  kstrVector<std::string> missing;
  if (!model) return missing;
  auto note = [&](const std::string& name) {
    if (name.empty() || model->getNamedCompartment(name)) return;
    if (std::find(missing.begin(), missing.end(), name) == missing.end()) missing.push_back(name);
  };
  for (const kstrVector<ParsedReactionTerm*>* side : sides) {
    for (const ParsedReactionTerm* term : *side) note(term->qualifier);
  }
  for (const std::string& name : extraCompartments) note(name);
  return missing;
}

void ReactionManipulator::checkQualification(
    const Kelbor* model, std::initializer_list<const kstrVector<ParsedReactionTerm*>*> sides,
    const kstrVector<std::string>& extraCompartments) {
  if (!model) return;
  const auto unqualified = [](const ParsedReactionTerm* term) {
    return term->qualifier.empty() && term->name != kNull;
  };
  bool anyUnqualified = false;
  for (const kstrVector<ParsedReactionTerm*>* side : sides) {
    anyUnqualified = anyUnqualified || std::any_of(side->begin(), side->end(), unqualified);
  }
  if (!anyUnqualified) return;
  if (model->hasSeveralCompartments()) throwEmptyCompartmentName();
  // Short of several, the tree holds one compartment exactly when the model
  // has a top-level one.
  const size_t present = model->getCompartments()->empty() ? 0 : 1;
  if (present + missingCompartments(model, sides, extraCompartments).size() >= 2) {
    throwEmptyCompartmentName();
  }
}

void ReactionManipulator::throwEmptyCompartmentName() {
  kstr_error("Kestrion:ReactionManipulator:EmptyCompartmentName",
             "The model contains more than one compartment. In this situation all species "
             "must be defined as COMPARTMENT_NAME.SPECIES_NAME.");
}

void ReactionManipulator::parseSpeciesNameList(const kstrVector<std::string>& names,
                                               Kelbor* model,
                                               kstrVector<ParsedReactionTerm*>& out) {
  bool sawNull = false;
  try {
    for (const std::string& name : names) {
      ParsedReactionTermPtr term(parseSpeciesName(name));
      if (!term) {
        kstr_error_str("Kestrion:ReactionManipulator:SpeciesParseError",
                       kstr::code(kstr::MessageCode::KS_REACTIONMANIPULATOR_SPECIESPARSEERROR),
                       name);
      }
      bool isNull = false;
      checkTerm(*term, model, isNull);
      sawNull = sawNull || isNull;
      // The list takes the term only once it has room for it.
      out.push_back(term.get());
      term.release();
    }
    checkQualification(model, {&out});
  } catch (...) {
    destroyTerms(out);
    throw;
  }
  if (sawNull && out.size() > 1) {
    destroyTerms(out);
    kstr_error("Kestrion:ReactionManipulator:NullSpeciesError",
               kstr::code(kstr::MessageCode::KS_REACTIONMANIPULATOR_NULLSPECIESERROR));
  }
}

// --- equations --------------------------------------------------------------------------

void ReactionManipulator::setReactionFromString(BReaction* reaction, const char* text) {
  ParsedReactionPtr parsed(parseReaction(text));
  if (!parsed) {
    kstr_error("Kestrion:REACTION_PARSE_ERROR",
               kstr::code(kstr::MessageCode::KS_REACTION_PARSE_ERROR));
  }
  Kelbor* model = modelOf(reaction);
  // Every term of both sides is checked before the null rule is applied.
  const size_t reactantNulls = checkSide(parsed->reactants, model);
  const size_t productNulls = checkSide(parsed->products, model);
  checkQualification(model, {&parsed->reactants, &parsed->products});
  if (breaksNullRule(parsed->reactants, reactantNulls) ||
      breaksNullRule(parsed->products, productNulls)) {
    kstr_error("Kestrion:ReactionManipulator:NullSpeciesError",
               "Invalid use of 'null' reactant or product.");
  }
  if (model) {
    createMissingCompartments(model, {&parsed->reactants, &parsed->products});
    createSide(*this, parsed->reactants, model);
    createSide(*this, parsed->products, model);
  }
  reaction->setReaction(parsed.get());
}

BSpecies* ReactionManipulator::findNamedSpecies(const Kelbor* model, const char* text) {
  if (!model || !text) return nullptr;
  ParsedReactionTermPtr term(parseSpeciesName(text));
  if (!term || term->name == kNull) return nullptr;
  const BCompartment* compartment = nullptr;
  if (!term->qualifier.empty()) {
    compartment = model->getNamedCompartment(term->qualifier);
  } else if (!model->hasSeveralCompartments() && !model->getCompartments()->empty()) {
    compartment = model->getCompartments()->front();
  }
  return compartment ? compartment->getNamedSpecies(term->name) : nullptr;
}

bool ReactionManipulator::removeReactantByName(BReaction* reaction, const char* name) {
  BSpecies* species = findNamedSpecies(modelOf(reaction), name);
  return species && reaction->removeReactant(species);
}

bool ReactionManipulator::removeProductByName(BReaction* reaction, const char* name) {
  BSpecies* species = findNamedSpecies(modelOf(reaction), name);
  return species && reaction->removeProduct(species);
}
