// What an SBML document means, as lines a test compares: each element with
// its id, values, units, metaid, CV terms and math, in document order; and
// the errors libSBML's consistency check finds in a document's text.
#pragma once

#include <sbml/SBMLTypes.h>

#include <string>
#include <vector>

namespace sbmltest {

// One line per element (model, unit definitions, compartments, species,
// parameters, reactions with their kinetic laws, rules, events).
std::vector<std::string> describeDocument(const SBMLDocument& document);

// The CV terms of an element, as "qualifier resource" lines.
std::vector<std::string> cvTermsOf(const SBase& element);

// Every (element, metaid) and (element, CV term) line of a document.
std::vector<std::string> metaIdsAndCvTerms(const SBMLDocument& document);

// "id: message" for each error or fatal error of the consistency check of
// the text (its reading included).
std::vector<std::string> consistencyErrors(const std::string& text);
// The same for a document already read (the check runs on it).
std::vector<std::string> consistencyErrors(SBMLDocument& document);

// The MathML of a tree, as libSBML writes it.
std::string mathText(const ASTNode* math);

}  // namespace sbmltest
