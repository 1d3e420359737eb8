// "copyobj": the deep copy of a component and everything below it.  One
// method info carries the whole walk; each component class derives its own
// copyobj method info from ModelComponent_copyobj_MI and supplies only two
// decisions: canCopyInto (may this object go below that parent) and
// attachCopy (put a copied object below its new parent and do what the
// class needs for that).
//
// How a copy runs (performCopy):
//  1. the object is copied with the host's instance copy (OBInterface::copy,
//     internal client) and its "handle" and "handle vector" properties are
//     walked; every held object whose class's copyobj method info accepts
//     the copy as new parent is copied the same way, recursively;
//  2. the attachment of every copied child is queued as a deferred action
//     (bound to the child's own method info's attachCopy), a child after its
//     own descendants; attachments of reactions go to a second list that
//     runs after every other attachment;
//  3. the top copy is attached at once (two-argument form), then the queued
//     actions run in order: children are attached in the source order;
//  4. completeCopy runs on the whole copy (the class of the top object
//     carries over what the walk does not reach).
// On any failure the queued actions are dropped unrun, every copy made by
// the call is destroyed (its class's destroy hook runs) and released, and
// the error is rethrown: nothing of a failed copy stays alive.
//
// Ownership contract for derived classes:
//  - attachCopy receives a copy that holds its creation reference; that
//    reference belongs to the copy call, which releases it once every
//    queued action has run.  attachCopy must NOT release it.  It puts the
//    copy below the new parent in the host tree (OBInterface::addBelow or a
//    wiring helper), which keeps the copy alive from then on; a copy that
//    attachCopy leaves without a parent is freed when the call ends.
//  - attachCopy and canCopyInto may raise; the copy is then undone as above.
//  - Both run on the host interpreter's thread.  The method info is not
//    reentrant: a copyobj call must not start another copy on the same
//    method info from inside canCopyInto or attachCopy.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

#include <boost/function.hpp>
#include <obk/OBMethodInfo.hpp>

#include "core/KelborApi.hpp"

class OBInterface;

class KELBOR_API ModelComponent_copyobj_MI : public OBMethodInfo {
 public:
  // Name "copyobj"; signatures ("handle", "handle") -> "handle" and
  // ("handle") -> "handle", in that order.
  ModelComponent_copyobj_MI();
  // Drops any queued action (destroying the stored callables).
  ~ModelComponent_copyobj_MI() override;

  // Call body.  ins[0] is the object; in the two-argument form ins[1] is the
  // new parent.  Output: one handle (lent, as "handle" outputs are).
  // Errors ("Kestrion:COPYOBJ_INVALIDARG"), raised before anything is
  // copied:
  //  - the object is the root: "KSTRROOT cannot be copied.";
  //  - two arguments and no parent: "POBJ cannot be empty. ...";
  //  - two arguments and canCopyInto refuses (or no object):
  //    "OBJ cannot be copied to POBJ. ...";
  //  - one argument and the object is not a model: "Invalid MOBJ. ...".
  // The copy's creation reference: released when the copy has a parent;
  // for a free-standing copy it is handed to the host's current call scope
  // (released when the host call ends, after the output took its own
  // reference), or, outside any host call, left to the caller.
  void invoke(OBMethodSignature* matched, int& nOut, void* outs[], int nIn,
              void* const ins[]) override;

  // --- the two class decisions (overridden by each component class) -------
  // May obj be placed below newParent?  The base answers false.
  virtual bool canCopyInto(OBInterface* obj, OBInterface* newParent);
  // Puts copy (made from source) below newParent and does what the class
  // needs for that.  The base prints "doing nothing\n".  See the ownership
  // contract above.
  virtual void attachCopy(OBInterface* copy, OBInterface* newParent, OBInterface* source);
  // Runs once the whole copy is attached, on the method info of the user's
  // call, with the top copy and its source.  The base does nothing.  An
  // error undoes the copy as any other.
  virtual void completeCopy(OBInterface* copy, OBInterface* source);

  // --- the walk ---------------------------------------------------------------
  // The whole copy: clears the queued actions, copies obj's tree, attaches
  // the top copy below newParent with attachCopy (nothing when newParent is
  // null), runs the queued actions and releases the children's creation
  // references.  Returns the top copy holding its creation reference, which
  // the caller owns.  No argument checks.  On failure: see the file
  // comment; the error is rethrown.
  OBInterface* performCopy(OBInterface* obj, OBInterface* newParent);
  // Deep copy of obj: the host copy, then each held child through copyChild
  // (handle vectors in element order; a "Model"'s "Species" and
  // "Compartments" and the handles "Parent", "Owner" and "SolverOptions"
  // are not followed).  Returns the copy with its creation reference (the
  // caller's); on failure the copy is destroyed and the error rethrown.
  // Meant to run inside performCopy, which owns the children's copies.
  OBInterface* copyObjectTree(OBInterface* obj);
  // Copies one held child below the copy being built: when the child's own
  // copyobj method info accepts newParent, copies the child's tree and
  // queues the attachment (reactions on the reaction list), returning the
  // child's copy (its creation reference is kept by the running copy).  A
  // refused "RuntimeOptions" child is replaced by a fresh instance of its
  // class, attached at once and not kept.  Otherwise (refused, or a class
  // without a copyobj method info of this family) returns null.
  OBInterface* copyChild(OBInterface* child, OBInterface* newParent);
  // Runs the general list, then the reaction list, in order, and empties
  // both.  An empty action raises boost::bad_function_call.  On an error
  // both lists are emptied (the remaining actions are not run) and the
  // error is rethrown.
  void runDeferredActions();

  // True for the one-argument signature.
  bool isOneArgumentSignature(const OBMethodSignature* sig) const noexcept {
    return sig == oneArgSignature_;
  }
  // Number of queued actions (general and reaction lists); 0 between calls.
  size_t numQueuedActions() const noexcept { return general_.size() + reactions_.size(); }
  // The copy that the running call made of an object of the source tree
  // (the top object or a copied child); null for an object it did not copy
  // and outside a call.
  OBInterface* copyOf(const OBInterface* source) const;

 protected:
  // Raises "Kestrion:COPYOBJ_INVALIDARG" with "OBJ cannot be copied to
  // POBJ. ...", the refusal of a new parent.
  [[noreturn]] static void refuseNewParent();
  using DeferredAction = boost::function<void()>;
  // Appends an action to the general or the reaction list.
  void queueAction(DeferredAction action, bool reactionList);
  // Empties both lists without running them.
  void clearDeferredActions() noexcept;

 private:
  // Releases the creation references of the children copied by the
  // running call (success).
  void releaseChildCopies() noexcept;
  // Destroys and releases every child copied by the running call (failure).
  void discardChildCopies() noexcept;

  OBMethodSignature* oneArgSignature_;
  std::vector<DeferredAction> general_;
  std::vector<DeferredAction> reactions_;
  std::unordered_map<const OBInterface*, OBInterface*> copies_;
  // Children copied by the running call, each holding its creation
  // reference, in the order they were made.
  std::vector<OBInterface*> childCopies_;
};
