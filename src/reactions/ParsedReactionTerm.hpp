// One term of a parsed reaction equation, or one parsed species or
// parameter reference: a name, an optional qualifier (the compartment of a
// species, the reaction of a parameter), a stoichiometry and the side of
// the arrow it was read on.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "core/KelborApi.hpp"

// Terms live in host memory.  create() takes the record from
// hbCallocWithCheck and constructs the term in it with placement new;
// destroy() runs the destructor and hands the record back with hbFree.  An
// owner may equally destroy the two strings itself
// (term->~ParsedReactionTerm()) and free the record with hbFree, or use
// `delete`, which goes to the same host heap.
struct KELBOR_API ParsedReactionTerm {
  // The name, trimmed; empty for the bracketed name "[]".
  std::string name;
  // The text before the dot of a qualified name, trimmed; empty without one.
  std::string qualifier;
  // The leading number of the term; 1.0 when none is given.  The parser
  // only ever stores a finite value above 0.
  double stoichiometry = 1.0;
  // True for a term read on the left of the arrow.
  bool reactant = true;

  ParsedReactionTerm() = default;
  // A null name or qualifier counts as the empty string.
  ParsedReactionTerm(const char* name, const char* qualifier,
                     double stoichiometry, bool reactant);

  // A new term in host memory (empty name and qualifier, stoichiometry 1,
  // reactant).  Throws std::bad_alloc when the memory cannot be had.
  static ParsedReactionTerm* create();
  // A new term in host memory with the four values (null texts count as
  // empty).  Throws std::bad_alloc when the memory cannot be had.
  static ParsedReactionTerm* create(const char* name, const char* qualifier,
                                    double stoichiometry, bool reactant);
  // Destroys the term and frees its record; null is allowed.
  static void destroy(ParsedReactionTerm* term) noexcept;

  // `new` and `delete` of a term use the host heap (zero-filled records).
  static void* operator new(std::size_t size);
  static void* operator new(std::size_t, void* where) noexcept {
    return where;
  }
  static void operator delete(void* p) noexcept;
  static void operator delete(void*, void*) noexcept {}
};

// Destroys a term held by a std::unique_ptr.
struct ParsedReactionTermDeleter {
  void operator()(ParsedReactionTerm* term) const noexcept {
    ParsedReactionTerm::destroy(term);
  }
};

using ParsedReactionTermPtr =
    std::unique_ptr<ParsedReactionTerm, ParsedReactionTermDeleter>;
