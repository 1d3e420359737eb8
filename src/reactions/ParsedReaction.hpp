// The parsed form of a reaction equation: its reactant terms, its product
// terms and whether the arrow was reversible.
#pragma once

#include <cstddef>
#include <memory>

#include <ks_utils/kstrContainers.hpp>

#include "core/KelborApi.hpp"
#include "reactions/ParsedReactionTerm.hpp"

// The record and its vectors live in host memory; the ParsedReaction owns
// every term of both vectors.  Readers (the reaction expression) never
// change or free it; its owner releases it with destroy() or `delete`.
struct KELBOR_API ParsedReaction {
  // Reactant terms in text order.
  kstrVector<ParsedReactionTerm*> reactants;
  // Product terms in text order.
  kstrVector<ParsedReactionTerm*> products;
  // True when the arrow was "<->".
  bool reversible = false;

  ParsedReaction() = default;
  ParsedReaction(const ParsedReaction&) = delete;
  ParsedReaction& operator=(const ParsedReaction&) = delete;
  // Destroys every term of both vectors (null entries are skipped).
  ~ParsedReaction();

  // A new, empty parsed reaction in host memory.  Throws std::bad_alloc
  // when the memory cannot be had.
  static ParsedReaction* create();
  // Destroys the parsed reaction with its terms; null is allowed.
  static void destroy(ParsedReaction* reaction) noexcept;

  static void* operator new(std::size_t size);
  static void* operator new(std::size_t, void* where) noexcept {
    return where;
  }
  static void operator delete(void* p) noexcept;
  static void operator delete(void*, void*) noexcept {}
};

// Destroys a parsed reaction held by a std::unique_ptr.
struct ParsedReactionDeleter {
  void operator()(ParsedReaction* reaction) const noexcept {
    ParsedReaction::destroy(reaction);
  }
};

using ParsedReactionPtr = std::unique_ptr<ParsedReaction, ParsedReactionDeleter>;
