#include "core/ExpressionEvents.hpp"

#include <initializer_list>

#include <ks_utils/Identifiers.hpp>
#include <obk/OBTypes.hpp>
#include <sv/sv.hpp>

#include "core/KelborComponent.hpp"
#include "expressions/FormulaFunctions.hpp"

using javabridge::JavaMember;
using javabridge::JavaRef;
using javabridge::lookUpConstructor;
using javabridge::lookUpMethod;
using javabridge::makeJavaObject;
using javabridge::toJava;

namespace {

const char* const kStateClass = "kestridesk.eventqueue.ExpressionEventState";
const char* const kDirtyEventClass = "kestridesk.eventqueue.ExpressionDirtyEvent";
const char* const kMessagesClass = "kestridesk.eventqueue.ModelExpressionMessages";

// The statuses the desktop knows for a token of an expression.
enum TokenStatus : int { kUnresolvedToken = 0, kCollisionToken = 1 };

// Gives back the class of each member (each looked up its own) and empties
// the members.
void releaseMembers(std::initializer_list<JavaMember*> members) {
  for (JavaMember* m : members) {
    javabridge::releaseClass(m->cls);
    *m = JavaMember{};
  }
}

// A token bound to no component that the desktop must flag.
bool isUnresolvedToken(const std::string& token, const KelborComponent* component) {
  return component == nullptr && !kstr::isKnownFunctionName(token) &&
         !isKestriReservedToken(token);
}

void addTokenStatus(const ExpressionEventStateClass& cache, jobject state, const std::string& token,
                    TokenStatus status) {
  JavaRef name(pljCreateString(token.c_str()));
  JavaRef code = makeJavaObject(cache.integer, static_cast<int>(status));
  pljCallVoidMethod(state, cache.addTokenStatus, name.get(), code.get());
}

// Moves the handle between groups 1 and 2 to follow the Active flag, then
// files it in its own group.  Answers whether a group changed.
bool updateProblemGroups(const ExpressionEventStateRecord& record,
                         ModelExpressionBasedComponentMessages& messages) {
  ExpressionMessageGroup& own = record.active ? messages.activeProblems : messages.inactiveProblems;
  ExpressionMessageGroup& other =
      record.active ? messages.inactiveProblems : messages.activeProblems;
  bool changed = false;
  if (other.erase(record.component, record.kind)) {
    own.insert(record.component, record.kind);
    changed = true;
  }
  bool problem = (record.invalid || record.unresolved) && !record.deleted;
  if (problem ? own.insert(record.component, record.kind)
              : own.erase(record.component, record.kind)) {
    changed = true;
  }
  return changed;
}

bool updateCollisionGroup(const ExpressionEventStateRecord& record,
                          ModelExpressionBasedComponentMessages& messages) {
  ExpressionMessageGroup& group = messages.collisions;
  return record.collisions && !record.deleted ? group.insert(record.component, record.kind)
                                              : group.erase(record.component, record.kind);
}

void postDirtyEvent(const ExpressionDirtyEventClass& cache,
                    const ExpressionEventStateRecord& record) {
  JavaRef vector = makeJavaObject(cache.vector);
  for (jobject state : record.states) pljCallVoidMethod(vector.get(), cache.addElement, state);
  JavaRef component = toJava(cache.handleType, record.component);
  JavaRef active = makeJavaObject(cache.boolean, static_cast<int>(record.active));
  javabridge::postJavaEvent(cache.event, component.get(), vector.get(), active.get());
}

}  // namespace

// --- groups ----------------------------------------------------------------------

int* ExpressionMessageGroup::counterOf(kstr::bcomptype kind) {
  switch (kind) {
    case kstr::reaction:
      return &reactions_;
    case kstr::rule:
      return &rules_;
    case kstr::event:
      return &events_;
    default:
      return nullptr;
  }
}

bool ExpressionMessageGroup::insert(OBInterface* component, kstr::bcomptype kind) {
  if (!components_.insert(component).second) return false;
  if (int* counter = counterOf(kind)) ++*counter;
  return true;
}

bool ExpressionMessageGroup::erase(OBInterface* component, kstr::bcomptype kind) {
  if (components_.erase(component) == 0) return false;
  if (int* counter = counterOf(kind)) --*counter;
  return true;
}

// --- caches ------------------------------------------------------------------------

ExpressionEventStateRecord::~ExpressionEventStateRecord() { releaseJavaObjectVector(states); }

ExpressionEventStateClass::ExpressionEventStateClass()
    : state(lookUpConstructor(kStateClass, "(Ljava/lang/String;Ljava/lang/Boolean;)V")),
      addTokenStatus(
          lookUpMethod(state.cls, "addTokenStatus", "(Ljava/lang/String;Ljava/lang/Integer;)V")),
      integer(lookUpConstructor("java/lang/Integer", "(I)V")),
      boolean(lookUpConstructor("java/lang/Boolean", "(Z)V")) {}

bool ExpressionEventStateClass::complete() const {
  return state.found() && addTokenStatus != nullptr && integer.found() && boolean.found();
}

void ExpressionEventStateClass::release() {
  releaseMembers({&state, &integer, &boolean});
  addTokenStatus = nullptr;
}

ExpressionDirtyEventClass::ExpressionDirtyEventClass()
    : vector(lookUpConstructor("java/util/Vector", "()V")),
      addElement(lookUpMethod(vector.cls, "addElement", "(Ljava/lang/Object;)V")),
      boolean(lookUpConstructor("java/lang/Boolean", "(Z)V")),
      event(lookUpConstructor(kDirtyEventClass,
                              "(Ljpiroot/bean/OBKObject;Ljava/util/Vector;Ljava/lang/Boolean;)V")),
      handleType(OBTypeRepository::getType("handle")) {}

bool ExpressionDirtyEventClass::complete() const {
  return vector.found() && addElement != nullptr && boolean.found() && event.found() &&
         handleType != nullptr;
}

void ExpressionDirtyEventClass::release() {
  releaseMembers({&vector, &boolean, &event});
  addElement = nullptr;
}

ModelExpressionMessagesClass::ModelExpressionMessagesClass()
    : messages(lookUpConstructor(kMessagesClass, "(Ljpiroot/bean/OBKObject;IIIIIIIII)V")),
      handleType(OBTypeRepository::getType("handle")) {}

bool ModelExpressionMessagesClass::complete() const {
  return messages.found() && handleType != nullptr;
}

void ModelExpressionMessagesClass::release() { releaseMembers({&messages}); }

const ExpressionEventStateClass* getExpressionEventStateClass() {
  if (!svJavaUseJVM()) return nullptr;
  static const ExpressionEventStateClass cache;
  return &cache;
}

const ExpressionDirtyEventClass* getExpressionDirtyEventClass() {
  if (!svJavaUseJVM()) return nullptr;
  static const ExpressionDirtyEventClass cache;
  return &cache;
}

const ModelExpressionMessagesClass* getModelExpressionMessagesClass() {
  if (!svJavaUseJVM()) return nullptr;
  static const ModelExpressionMessagesClass cache;
  return &cache;
}

// --- operations ----------------------------------------------------------------------

void buildExpressionEventState(const ExpressionEventStateClass* cache, const std::string& text,
                               bool valid,
                               const kstrMap<std::string, const KelborComponent*>& tokens,
                               const std::set<std::string>& collisionTokens,
                               ExpressionEventStateRecord& record) {
  bool unresolved = false;
  for (const auto& [token, component] : tokens) {
    if (isUnresolvedToken(token, component)) unresolved = true;
  }
  record.invalid = record.invalid || !valid;
  record.unresolved = record.unresolved || unresolved;
  record.collisions = record.collisions || !collisionTokens.empty();

  if (cache == nullptr || !cache->complete() || !svJavaUseJVM()) return;
  JavaRef textRef(pljCreateString(text.c_str()));
  JavaRef validRef = makeJavaObject(cache->boolean, static_cast<int>(valid));
  JavaRef state = makeJavaObject(cache->state, textRef.get(), validRef.get());
  if (state.get() == nullptr) return;
  for (const auto& [token, component] : tokens) {
    if (isUnresolvedToken(token, component)) {
      addTokenStatus(*cache, state.get(), token, kUnresolvedToken);
    }
  }
  for (const std::string& token : collisionTokens) {
    addTokenStatus(*cache, state.get(), token, kCollisionToken);
  }
  record.states.push_back(state.get());
  state.detach();  // the record owns it from here on
}

void postExpressionDirtyEvent(const ExpressionDirtyEventClass* cache,
                              ExpressionEventStateRecord& record,
                              ModelExpressionBasedComponentMessages& messages,
                              OBInterface* modelHandle) {
  if (record.component != nullptr) {
    bool problemsChanged = updateProblemGroups(record, messages);
    bool collisionsChanged = updateCollisionGroup(record, messages);
    if (problemsChanged || collisionsChanged) sendModelExpressionMessages(messages, modelHandle);
  }
  if (record.states.empty()) return;
  if (cache == nullptr || !cache->complete() || !svJavaUseJVM()) return;
  postDirtyEvent(*cache, record);
}

void sendModelExpressionMessages(const ModelExpressionBasedComponentMessages& messages,
                                 OBInterface* modelHandle) {
  const ModelExpressionMessagesClass* cache = getModelExpressionMessagesClass();
  if (cache == nullptr || !cache->complete()) return;
  const ExpressionMessageGroup& g1 = messages.activeProblems;
  const ExpressionMessageGroup& g2 = messages.inactiveProblems;
  const ExpressionMessageGroup& g3 = messages.collisions;
  JavaRef model = toJava(cache->handleType, modelHandle);
  javabridge::postJavaEvent(cache->messages, model.get(), g1.reactions(), g1.rules(), g1.events(),
                            g2.reactions(), g2.rules(), g2.events(), g3.reactions(), g3.rules(),
                            g3.events());
}

void releaseJavaObjectVector(std::vector<jobject>& objects) {
  for (jobject object : objects) {
    if (object != nullptr) pljReleaseObject(object);
  }
  objects.clear();
}
