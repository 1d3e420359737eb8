// libSBML's recursive work on a stack of its own: reading a document, its
// consistency check and freeing it recurse as deep as the document's
// elements and formulas nest (the unit check as deep as one operator has
// operands), so for a document nested deeper than any thread's stack takes
// they run on a thread with a large stack that the calling thread waits for
// (one thread, started on first use and kept until the library is
// unloaded); a shallow document is read where it is asked for.  A write
// does the same with libSBML's copy of a deep formula into the document,
// the document's text and its destruction.  Nothing else runs there: every
// engine and host call stays on the caller's thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "sbml/SBMLForward.hpp"

namespace kstr::sbml {

// The stack of the thread runOnLargeStack starts (reserved address space:
// only the pages a deep document touches are backed by memory).
inline constexpr std::size_t kLargeStackBytes = std::size_t{256} << 20;

// With needed, runs work on the thread with a stack of kLargeStackBytes
// and waits for it to end; an exception work throws is thrown again here.
// work must make no host or engine call.  A thread that cannot be started
// raises "Kestrion:MallocError" before work runs.  Without needed (a
// document shallow enough for any stack), work runs here.
void runOnLargeStack(const std::function<void()>& work, bool needed = true);

// Frees a document, on the large stack when onLargeStack; when no thread
// can be started, on the caller's stack (the read refuses documents nested
// deep enough to need more than that before they are parsed).
struct LargeStackDocumentDeleter {
  bool onLargeStack = true;
  void operator()(SBMLDocument* document) const noexcept;
};
using LargeStackDocument = std::unique_ptr<SBMLDocument, LargeStackDocumentDeleter>;

}  // namespace kstr::sbml
