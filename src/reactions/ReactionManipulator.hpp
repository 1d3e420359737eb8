// The reaction manipulator: turns what a user types into reaction terms.
// It owns one reaction-equation parser for its whole life and parses
// equations, single species references and single parameter references
// through it; it checks species and compartment names against the model's
// rules, finds each named species in the model or creates it through the
// host methods "addcompartment" and "addspecies", and hands the result to
// the reaction.
#pragma once

#include <initializer_list>
#include <string>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "reactions/ParsedReaction.hpp"
#include "reactions/ParsedReactionTerm.hpp"

class BReaction;
class BSpecies;
class Kelbor;
class OBInterface;
class ReactionParser;
struct qxArray_tag;

// The parse entry points below give null when the parser rejects the text
// ("Kestrion:ReactionParser:BadParse"; that error is discarded and no term
// survives); any other error passes to the caller unchanged, and
// std::bad_alloc when memory cannot be had.  Results are owned by the
// caller: release a ParsedReaction with ParsedReaction::destroy and a
// ParsedReactionTerm with ParsedReactionTerm::destroy (or destroy its two
// strings and free the record with hbFree).
//
// The placeholder name "null" stands for no species: a side or list that
// holds only "null" adds nothing on that side.
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

  // Parses the equation and sets it on the reaction; in a model every named
  // species is found or created first.  Errors, all raised before the
  // equation changes (every term of both sides is checked before the null
  // rule):
  //  "Kestrion:REACTION_PARSE_ERROR"  the text does not parse;
  //  "Kestrion:ReactionManipulator:InvalidSpeciesName",
  //  "Kestrion:ReactionManipulator:InvalidCompartmentName",
  //  "Kestrion:ReactionManipulator:EmptyCompartmentName"  (checkTerm);
  //  "Kestrion:ReactionManipulator:NullSpeciesError"  "null" twice on a
  //      side or together with another term;
  // and the errors of the host methods that create species (species and
  // compartments created before such an error stay in the model).  Outside
  // a model the equation is set without creating anything.
  void setReactionFromString(BReaction* reaction, const char* text);

  // Adds reactants, then products.  Each list is a host string, a cell
  // array of host strings or host handles of species; each stoichiometry
  // array (null: all 1) is a double array with one value per list entry.
  // Checked before anything is added:
  //  "Kestrion:ADDREACTION_INVALIDREACTANTS" / "..._INVALIDPRODUCTS"  a list
  //      of another kind, or a handle that is not a species;
  //  "Kestrion:ADDREACTION_SIZEMISMATCH_REACTANTS" / "..._PRODUCTS"  a
  //      stoichiometry array of another length;
  //  "Kestrion:ADDREACTION_INVALIDRSTOICH" / "..._INVALIDPSTOICH"  a value
  //      that is not a finite number above 0 (NaN included);
  //  the name-list errors of parseSpeciesNameList;
  //  "Kestrion:REACTION_NOT_IN_MODEL"  a species to add while the reaction
  //      belongs to no model.
  // Species are then found or created in order; an error while creating one
  // leaves the terms added before it.
  void setReactantsAndProducts(BReaction* reaction, const qxArray_tag* reactants,
                               const qxArray_tag* products, const qxArray_tag* reactantStoich,
                               const qxArray_tag* productStoich);

  // Removes the reactant (product) that the name denotes as addreactant
  // reads it (see findNamedSpecies): 'Complex X' and '[Complex X]' are one
  // name, and so are 'A' and 'cell.A' in a model whose only compartment is
  // "cell".  False when the name denotes no term of that side (nothing
  // changes).
  bool removeReactantByName(BReaction* reaction, const char* name);
  bool removeProductByName(BReaction* reaction, const char* name);
  // The model's species that the species reference denotes, without making
  // anything: with a qualifier, the species of that name in the compartment
  // of that name; without one, the species of that name in the model's only
  // compartment.  Null when there is none, when the text does not parse or
  // names "null", and for a name without qualifier in a model with several
  // compartments.
  BSpecies* findNamedSpecies(const Kelbor* model, const char* text);

  // The species of that name in the qualified compartment, or in the
  // model's only compartment, created through the host ("addcompartment",
  // "addspecies") when missing; null when the model holds several
  // compartments and no qualifier is given, or when the host made no
  // species.  The model must not be null.
  BSpecies* findOrCreateSpecies(Kelbor* model, const char* name, const char* qualifier);
  // The species itself when it belongs to the model; else the model's
  // same-named species in the same-named compartment (the compartment made
  // when missing); else a copy of the species' host object placed in that
  // compartment.  A species in no compartment raises
  // "Kestrion:ReactionManipulator:SpeciesNotInCompartment"; a null model
  // raises "Kestrion:REACTION_NOT_IN_MODEL".
  BSpecies* findSpeciesInModel(Kelbor* model, BSpecies* species);
  // Parses and checks each name into out (a name may carry a stoichiometry
  // that the term keeps).  "Kestrion:ReactionManipulator:SpeciesParseError"
  // for a name that does not parse, the checkTerm errors, and
  // "Kestrion:ReactionManipulator:NullSpeciesError" (catalog text) for
  // "null" among several names; on any error out is emptied (its terms
  // destroyed) first.
  void parseSpeciesNameList(const kstrVector<std::string>& names, Kelbor* model,
                            kstrVector<ParsedReactionTerm*>& out);

  // Refuses, with "Kestrion:ReactionManipulator:EmptyCompartmentName", a
  // non-null term without qualifier among the sides' terms when the model
  // holds two or more compartments, or will hold them once the compartments
  // named by the terms' qualifiers and by extraCompartments that it lacks
  // are made (a species term then has no compartment to join).  Nothing is
  // created.  A null model refuses nothing.
  static void checkQualification(const Kelbor* model,
                                 std::initializer_list<const kstrVector<ParsedReactionTerm*>*> sides,
                                 const kstrVector<std::string>& extraCompartments = {});
  // The names of the compartments that the terms' qualifiers and
  // extraCompartments give and the model lacks, each once, in order.
  static kstrVector<std::string> missingCompartments(
      const Kelbor* model, std::initializer_list<const kstrVector<ParsedReactionTerm*>*> sides,
      const kstrVector<std::string>& extraCompartments = {});
  // Makes, through the model's "addcompartment", every compartment of
  // missingCompartments, in order, before any species is made: a term
  // without qualifier then joins the model's only compartment instead of a
  // new "unnamed" one.  Errors of the host method pass on.
  void createMissingCompartments(Kelbor* model,
                                 std::initializer_list<const kstrVector<ParsedReactionTerm*>*> sides,
                                 const kstrVector<std::string>& extraCompartments = {});

  // Checks one term: the species name (the species rules, "null" allowed),
  // the qualifier (the compartment rules) and, in a model whose tree holds
  // two or more compartments, that a non-null name is qualified.  isNull
  // answers whether the name is "null".  Errors as for
  // setReactionFromString.
  static void checkTerm(const ParsedReactionTerm& term, const Kelbor* model, bool& isNull);
  // The species behind a host instance (by its dynamic type), else null.
  static BSpecies* speciesOf(const OBInterface* instance);
  // The reaction's parent when it is a model, else null.
  static Kelbor* modelOf(const BReaction* reaction);
  // Raises "Kestrion:REACTION_NOT_IN_MODEL".
  [[noreturn]] static void throwNotInModel();
  // Raises "Kestrion:ReactionManipulator:EmptyCompartmentName".
  [[noreturn]] static void throwEmptyCompartmentName();

 private:
  ReactionParser* parser_;
};
