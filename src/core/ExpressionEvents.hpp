// Expression events: the state of each expression of a reaction, rule or
// event, sent to the desktop in one "ExpressionDirtyEvent" per batch, and the
// model's three groups of components with expression problems, summarised by
// "ModelExpressionMessages".
//
// An expression-based component makes one ExpressionEventStateRecord per
// batch, adds one state per expression with buildExpressionEventState, hands
// the record to postExpressionDirtyEvent and then releases the states with
// releaseJavaObjectVector.  The bookkeeping of the record's flags and of the
// model's groups runs whether or not the host runs its Java machine; Java
// objects are made only while it does.
#pragma once

#include <cstdint>
#include <ks_utils/kstrContainers.hpp>
#include <set>
#include <string>
#include <vector>

#include "core/ComponentKind.hpp"
#include "core/JavaEvents.hpp"
#include "core/KelborApi.hpp"

class Kelbor;
class KelborComponent;
class OBInterface;

// One group of a model's expression messages: an ordered set of component
// host handles and the numbers of reactions, rules and events among them.
class KELBOR_API ExpressionMessageGroup {
 public:
  // Adds the handle and raises the counter of its kind (reaction, rule or
  // event; other kinds change no counter).  Answers false, changing
  // nothing, when the handle is present.
  bool insert(OBInterface* component, kstr::bcomptype kind);
  // Removes the handle and lowers the counter of its kind.  Answers false,
  // changing nothing, when the handle is absent.
  bool erase(OBInterface* component, kstr::bcomptype kind);
  bool contains(OBInterface* component) const { return components_.count(component) != 0; }
  const std::set<OBInterface*>& components() const { return components_; }
  int reactions() const { return reactions_; }
  int rules() const { return rules_; }
  int events() const { return events_; }

 private:
  int* counterOf(kstr::bcomptype kind);

  std::set<OBInterface*> components_;
  int reactions_ = 0;
  int rules_ = 0;
  int events_ = 0;
};

// The record each model holds for its expression messages.
struct KELBOR_API ModelExpressionBasedComponentMessages {
  // Group 1: active components with an invalid or unresolved expression.
  ExpressionMessageGroup activeProblems;
  // Group 2: inactive components with an invalid or unresolved expression.
  ExpressionMessageGroup inactiveProblems;
  // Group 3: components whose expressions have collisions.
  ExpressionMessageGroup collisions;
};

// One batch of a component's expressions on its way to the desktop.  The
// Java state objects are owned by the record: whatever is left in states
// when the record goes is released then (also when posting raised).
struct KELBOR_API ExpressionEventStateRecord {
  ExpressionEventStateRecord(OBInterface* component, Kelbor* model, kstr::bcomptype kind,
                             bool active, bool deleted)
      : component(component), model(model), kind(kind), active(active), deleted(deleted) {}
  ExpressionEventStateRecord(const ExpressionEventStateRecord&) = delete;
  ExpressionEventStateRecord& operator=(const ExpressionEventStateRecord&) = delete;
  ~ExpressionEventStateRecord();

  std::vector<jobject> states;  // "ExpressionEventState" objects made so far
  OBInterface* component;       // the component's host handle
  Kelbor* model;
  kstr::bcomptype kind;
  bool active;              // the component's Active value
  bool deleted;             // the batch reports the component's removal
  bool invalid = false;     // some expression is not syntactically valid
  bool unresolved = false;  // some expression has an unresolved token
  bool collisions = false;  // some expression has collision tokens
};

// "kestridesk.eventqueue.ExpressionEventState" with its constructor and
// "addTokenStatus", and "java/lang/Integer" and "java/lang/Boolean" with
// their constructors.
struct KELBOR_API ExpressionEventStateClass {
  // Looks everything up (Java calls); unknown members stay empty.
  ExpressionEventStateClass();
  // True when every member was found.
  bool complete() const;
  // Gives back the class references; the cache is then incomplete.
  void release();

  javabridge::JavaMember state;
  jmethodID addTokenStatus = nullptr;
  javabridge::JavaMember integer;
  javabridge::JavaMember boolean;
};

// "java/util/Vector" with its constructor and "addElement",
// "java/lang/Boolean" with its constructor,
// "kestridesk.eventqueue.ExpressionDirtyEvent" with its constructor, and the
// "handle" converter.
struct KELBOR_API ExpressionDirtyEventClass {
  ExpressionDirtyEventClass();
  bool complete() const;
  void release();

  javabridge::JavaMember vector;
  jmethodID addElement = nullptr;
  javabridge::JavaMember boolean;
  javabridge::JavaMember event;
  const OBDataType* handleType = nullptr;
};

// "kestridesk.eventqueue.ModelExpressionMessages" with its constructor and
// the "handle" converter.
struct KELBOR_API ModelExpressionMessagesClass {
  ModelExpressionMessagesClass();
  bool complete() const;
  void release();

  javabridge::JavaMember messages;
  const OBDataType* handleType = nullptr;
};

// The process-wide caches, made on the first request while the host runs
// its Java machine and kept for the life of the library.  Null (and no Java
// call made) while it runs none; the request is then repeated next time.
KELBOR_API const ExpressionEventStateClass* getExpressionEventStateClass();
KELBOR_API const ExpressionDirtyEventClass* getExpressionDirtyEventClass();
KELBOR_API const ModelExpressionMessagesClass* getModelExpressionMessagesClass();

// Adds the state of one expression to the record.
//  - Flags: invalid |= !valid; unresolved |= some token maps to no component
//    and is neither a host function name nor a reserved token; collisions
//    |= the collision-token set is not empty.  Always updated.
//  - Java (only with a complete cache while the host runs its Java
//    machine): an "ExpressionEventState" (text, Boolean valid) gets
//    "addTokenStatus" (token, Integer 0) for each unresolved token in token
//    order, then (token, Integer 1) for each collision token, and is
//    appended to record.states.
KELBOR_API void buildExpressionEventState(
    const ExpressionEventStateClass* cache, const std::string& text, bool valid,
    const kstrMap<std::string, const KelborComponent*>& tokens,
    const std::set<std::string>& collisionTokens, ExpressionEventStateRecord& record);

// Posts one batch.
//  1. Groups 1 and 2: an active component's handle moves from group 2 to
//     group 1, an inactive one's from 1 to 2; then in its own group the
//     handle is removed when the record is deleted or has neither invalid
//     nor unresolved set, and inserted otherwise.
//  2. Group 3: inserted when collisions is set and deleted is not, removed
//     otherwise.
//  3. When a group changed: sendModelExpressionMessages.
//  4. When record.states is not empty: a "java/util/Vector" of the states
//     and "ExpressionDirtyEvent" (component, vector, Boolean active).
// Steps 1 to 3 run also without Java (step 3 then sends nothing); step 4
// needs a complete cache and the Java machine.  A record without a
// component handle changes no group.  The states stay in the record.
KELBOR_API void postExpressionDirtyEvent(const ExpressionDirtyEventClass* cache,
                                         ExpressionEventStateRecord& record,
                                         ModelExpressionBasedComponentMessages& messages,
                                         OBInterface* modelHandle);

// Posts "ModelExpressionMessages" (model, group 1 reactions, rules, events,
// group 2 ..., group 3 ...).  Nothing while the host runs no Java machine.
KELBOR_API void sendModelExpressionMessages(const ModelExpressionBasedComponentMessages& messages,
                                            OBInterface* modelHandle);

// Gives back every reference of the list and empties it.
KELBOR_API void releaseJavaObjectVector(std::vector<jobject>& objects);
