#include "reactions/ParsedReactionTerm.hpp"

#include <new>

#include <hb/hb.hpp>

ParsedReactionTerm::ParsedReactionTerm(const char* name, const char* qualifier,
                                       double stoichiometry, bool reactant)
    : name(name ? name : ""),
      qualifier(qualifier ? qualifier : ""),
      stoichiometry(stoichiometry),
      reactant(reactant) {}

ParsedReactionTerm* ParsedReactionTerm::create() {
  void* record = hbCallocWithCheck(1, sizeof(ParsedReactionTerm));
  return new (record) ParsedReactionTerm();
}

ParsedReactionTerm* ParsedReactionTerm::create(const char* name,
                                               const char* qualifier,
                                               double stoichiometry,
                                               bool reactant) {
  void* record = hbCallocWithCheck(1, sizeof(ParsedReactionTerm));
  try {
    return new (record)
        ParsedReactionTerm(name, qualifier, stoichiometry, reactant);
  } catch (...) {
    hbFree(record);
    throw;
  }
}

void ParsedReactionTerm::destroy(ParsedReactionTerm* term) noexcept {
  if (!term) return;
  term->~ParsedReactionTerm();
  hbFree(term);
}

void* ParsedReactionTerm::operator new(std::size_t size) {
  return hbCallocWithCheck(1, size);
}

void ParsedReactionTerm::operator delete(void* p) noexcept { hbFree(p); }
