#include "reactions/ParsedReaction.hpp"

#include <new>

#include <hb/hb.hpp>

ParsedReaction::~ParsedReaction() {
  for (ParsedReactionTerm* term : reactants) ParsedReactionTerm::destroy(term);
  for (ParsedReactionTerm* term : products) ParsedReactionTerm::destroy(term);
}

ParsedReaction* ParsedReaction::create() {
  void* record = hbCallocWithCheck(1, sizeof(ParsedReaction));
  return new (record) ParsedReaction();
}

void ParsedReaction::destroy(ParsedReaction* reaction) noexcept {
  if (!reaction) return;
  reaction->~ParsedReaction();
  hbFree(reaction);
}

void* ParsedReaction::operator new(std::size_t size) {
  return hbCallocWithCheck(1, size);
}

void ParsedReaction::operator delete(void* p) noexcept { hbFree(p); }
