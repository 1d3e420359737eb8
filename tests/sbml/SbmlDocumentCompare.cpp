// What an SBML document means, as lines a test compares.
#include "SbmlDocumentCompare.hpp"

#include <cstdlib>
#include <memory>

#include "expressions/FormulaFunctions.hpp"

namespace sbmltest {

namespace {

std::string number(double value) { return kstr::numberText(value); }

std::string identity(const SBase& element) {
  std::string text;
  if (element.isSetMetaId()) text += " metaid=" + element.getMetaId();
  for (const std::string& term : cvTermsOf(element)) text += " cv=[" + term + "]";
  return text;
}

std::string references(const ListOf& list, bool withStoichiometry) {
  std::string text;
  for (unsigned i = 0; i < list.size(); ++i) {
    const auto* reference = static_cast<const SimpleSpeciesReference*>(list.get(i));
    text += " " + reference->getSpecies();
    if (withStoichiometry) text += ":" + number(static_cast<const SpeciesReference*>(reference)->getStoichiometry());
  }
  return text;
}

void describeModelLists(const Model& m, std::vector<std::string>& lines) {
  for (unsigned i = 0; i < m.getNumUnitDefinitions(); ++i) {
    const UnitDefinition* d = m.getUnitDefinition(i);
    std::string line = "unitDefinition " + d->getId() + ":";
    for (unsigned j = 0; j < d->getNumUnits(); ++j) {
      const Unit* u = d->getUnit(j);
      line += std::string(" ") + UnitKind_toString(u->getKind()) + "^" + std::to_string(u->getExponent()) + "*10^" +
              std::to_string(u->getScale()) + "*" + number(u->getMultiplier()) + "+" + number(u->getOffset());
    }
    lines.push_back(line);
  }
  for (unsigned i = 0; i < m.getNumCompartments(); ++i) {
    const Compartment* c = m.getCompartment(i);
    lines.push_back("compartment " + c->getId() + " name=" + c->getName() +
                    " size=" + (c->isSetSize() ? number(c->getSize()) : "unset") + " units=" + c->getUnits() +
                    " dimensions=" + std::to_string(c->getSpatialDimensions()) + " outside=" + c->getOutside() +
                    identity(*c));
  }
  for (unsigned i = 0; i < m.getNumSpecies(); ++i) {
    const Species* s = m.getSpecies(i);
    lines.push_back("species " + s->getId() + " name=" + s->getName() + " compartment=" + s->getCompartment() +
                    " amount=" + (s->isSetInitialAmount() ? number(s->getInitialAmount()) : "unset") +
                    " concentration=" + (s->isSetInitialConcentration() ? number(s->getInitialConcentration()) : "unset") +
                    " substanceUnits=" + s->getSubstanceUnits() + " spatialSizeUnits=" + s->getSpatialSizeUnits() +
                    " onlySubstance=" + std::to_string(s->getHasOnlySubstanceUnits()) +
                    " boundary=" + std::to_string(s->getBoundaryCondition()) +
                    " constant=" + std::to_string(s->getConstant()) + identity(*s));
  }
  for (unsigned i = 0; i < m.getNumParameters(); ++i) {
    const Parameter* p = m.getParameter(i);
    lines.push_back("parameter " + p->getId() + " name=" + p->getName() +
                    " value=" + (p->isSetValue() ? number(p->getValue()) : "unset") + " units=" + p->getUnits() +
                    " constant=" + std::to_string(p->getConstant()) + identity(*p));
  }
}

void describeMath(const Model& m, std::vector<std::string>& lines) {
  for (unsigned i = 0; i < m.getNumReactions(); ++i) {
    const Reaction* r = m.getReaction(i);
    lines.push_back("reaction " + r->getId() + " name=" + r->getName() + " reversible=" +
                    std::to_string(r->getReversible()) + " reactants" + references(*r->getListOfReactants(), true) +
                    " products" + references(*r->getListOfProducts(), true) + " modifiers" +
                    references(*r->getListOfModifiers(), false) + identity(*r));
    if (const KineticLaw* law = r->getKineticLaw()) {
      std::string line = "  kineticLaw " + mathText(law->getMath());
      for (unsigned j = 0; j < law->getNumParameters(); ++j) {
        const Parameter* p = law->getParameter(j);
        line += " local " + p->getId() + "=" + (p->isSetValue() ? number(p->getValue()) : "unset") + " " + p->getUnits();
      }
      lines.push_back(line);
    }
  }
  for (unsigned i = 0; i < m.getNumRules(); ++i) {
    const Rule* rule = m.getRule(i);
    lines.push_back(std::string("rule ") + rule->getElementName() + " variable=" + rule->getVariable() + " " +
                    mathText(rule->getMath()) + identity(*rule));
  }
  for (unsigned i = 0; i < m.getNumEvents(); ++i) {
    const Event* e = m.getEvent(i);
    lines.push_back("event " + e->getId() + " name=" + e->getName() + " trigger " +
                    mathText(e->isSetTrigger() ? e->getTrigger()->getMath() : nullptr) + identity(*e));
    for (unsigned j = 0; j < e->getNumEventAssignments(); ++j) {
      const EventAssignment* a = e->getEventAssignment(j);
      lines.push_back("  assignment " + a->getVariable() + " " + mathText(a->getMath()));
    }
  }
}

}  // namespace

std::string mathText(const ASTNode* math) {
  if (!math) return "(no math)";
  char* text = writeMathMLToString(math);
  std::string result = text ? text : "";
  std::free(text);
  // The exact numbers: libSBML writes 15 digits.
  std::vector<const ASTNode*> stack{math};
  std::string numbers;
  while (!stack.empty()) {
    const ASTNode* node = stack.back();
    stack.pop_back();
    if (node->isReal()) numbers += " " + number(node->getReal());
    for (unsigned i = node->getNumChildren(); i > 0; --i) stack.push_back(node->getChild(i - 1));
  }
  const size_t start = result.find("<math");
  return (start == std::string::npos ? result : result.substr(start)) + (numbers.empty() ? "" : " numbers" + numbers);
}

std::vector<std::string> cvTermsOf(const SBase& element) {
  std::vector<std::string> terms;
  auto& e = const_cast<SBase&>(element);
  for (unsigned i = 0; i < e.getNumCVTerms(); ++i) {
    CVTerm* term = e.getCVTerm(i);
    const std::string qualifier =
        term->getQualifierType() == BIOLOGICAL_QUALIFIER
            ? std::string("bqbiol:") + BiolQualifierType_toString(term->getBiologicalQualifierType())
            : std::string("bqmodel:") + ModelQualifierType_toString(term->getModelQualifierType());
    for (unsigned j = 0; j < term->getNumResources(); ++j) terms.push_back(qualifier + " " + term->getResourceURI(j));
  }
  return terms;
}

std::vector<std::string> describeDocument(const SBMLDocument& document) {
  std::vector<std::string> lines;
  const Model* m = document.getModel();
  if (!m) return {"no model"};
  lines.push_back("model " + m->getId() + " name=" + m->getName() + identity(*m));
  describeModelLists(*m, lines);
  describeMath(*m, lines);
  return lines;
}

std::vector<std::string> metaIdsAndCvTerms(const SBMLDocument& document) {
  std::vector<std::string> lines;
  auto& d = const_cast<SBMLDocument&>(document);
  std::unique_ptr<List> all(d.getAllElements());
  std::vector<const SBase*> elements;
  for (unsigned i = 0; all && i < all->getSize(); ++i) elements.push_back(static_cast<const SBase*>(all->get(i)));
  for (const SBase* element : elements) {
    if (!element) continue;
    const std::string who = std::string(element->getElementName()) + " " + element->getId();
    if (element->isSetMetaId()) lines.push_back(who + " metaid=" + element->getMetaId());
    for (const std::string& term : cvTermsOf(*element)) lines.push_back(who + " " + term);
  }
  return lines;
}

std::vector<std::string> consistencyErrors(SBMLDocument& document) {
  document.checkConsistency();
  std::vector<std::string> errors;
  for (unsigned i = 0; i < document.getNumErrors(); ++i) {
    const SBMLError* error = document.getError(i);
    if (error->getSeverity() < LIBSBML_SEV_ERROR) continue;
    errors.push_back(std::to_string(error->getErrorId()) + ": " + error->getMessage());
  }
  return errors;
}

std::vector<std::string> consistencyErrors(const std::string& text) {
  const std::unique_ptr<SBMLDocument> document(readSBMLFromString(text.c_str()));
  return consistencyErrors(*document);
}

}  // namespace sbmltest
